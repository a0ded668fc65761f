#pragma once

// Decimal number parsing as the profile texts and the registry values need it: leading
// white space, an optional sign, then decimal digits up to the first other character.
// A text without digits reads as 0. Values beyond the 32-bit range saturate instead of
// overflowing.
int ParseDecimal(const wchar_t* text);
