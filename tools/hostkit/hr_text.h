#pragma once

#include <string>

// An HRESULT as eight hexadecimal digits, "0x8007000E".
std::wstring HrText(long hr);
