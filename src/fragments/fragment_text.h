#pragma once

// The text rules of the profile fragments that need no Windows API: cutting a fragment out
// of the vendor section, nesting the DPT fragment into the CCX fragment, and the hexadecimal
// and SSID conversions. Texts are sequences of UTF-16 code units held in wchar_t (16 bits on
// Windows, 32 natively); every rule here compares and counts units, never characters.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Bytes of an SSID.
constexpr std::size_t SsidCapacity = 32;

// The fragment `name` cut out of `text`: from the "<" of the first "<name" through the ">"
// of the first "</name>" at or after it. The character after the name is not examined, so
// "DPT" also stops at "<DPTX". Nothing (nullopt) for a null or empty text, a null name, a
// name longer than 252 units, or a missing start or end tag (a self-closed "<DPT/>" has no
// end tag). An allocation failure raises std::bad_alloc: it is no absence.
std::optional<std::wstring> ExtractFragment(const wchar_t* text, const wchar_t* name);

// The DPT fragment nested into the CCX fragment, just before the first "</CCX>". Without a
// DPT text, the CCX text alone; without a CCX text, or when it has no "</CCX>" (a
// self-closed CCX element), the DPT text alone. Nothing when both are null. An allocation
// failure raises std::bad_alloc.
std::optional<std::wstring> CombineFragmentTexts(const wchar_t* ccxText, const wchar_t* dptText);

// Writes each of `count` bytes as two upper-case hexadecimal digits ("%02X"), then a zero
// unit: `text` must hold 2 * count + 1 units.
void EncodeHexBytes(const unsigned char* bytes, std::size_t count, wchar_t* text);

// The value of one hexadecimal digit (either case), or -1.
int HexDigitValue(wchar_t c);

// Size of the blob DecodeHexBytes makes from a hexadecimal text of `length` units: the
// decoded bytes and two zero bytes after them, which belong to the blob handed on.
constexpr std::size_t HexBlobSize(std::size_t length) {
    return length / 2 + 2;
}

// Decodes `hexText` (pairs of digits from "1234567890abcdefABCDEF", high digit first) into
// `blob`, followed by two zero bytes. Returns the blob length, HexBlobSize(hexText.size()),
// or nullopt for an odd length, any other character, or a `capacity` below the blob length.
// A failure part-way leaves the earlier bytes written.
std::optional<std::size_t> DecodeHexBytes(std::wstring_view hexText, unsigned char* blob,
                                          std::size_t capacity);

// An SSID given as hexadecimal text: an even number of digits (either case) for at most 32
// bytes. On success the bytes are in `ssid` and `length` is their count (0 for an empty
// text); on failure false, `length` unchanged, and bytes decoded before the fault written.
bool ParseSsidHex(std::wstring_view text, unsigned char (&ssid)[SsidCapacity], int& length);

// An SSID given as plain text: at most 32 units, each printable ASCII (U+0020 to U+007E),
// stored one byte per unit. Success and failure as for ParseSsidHex.
bool CopySsidText(std::wstring_view text, unsigned char (&ssid)[SsidCapacity], int& length);

// The answer of `_wcsnicmp(a, b, maxUnits) == 0` in the C locale: the first `maxUnits` units
// are equal with ASCII letters folded, where a shorter text compares its terminator. So with
// 4 units a table name "None" matches "NONE-at-all", while "AES" matches only "aes" in any
// case. Null texts never match.
bool EqualIgnoringCaseWithin(const wchar_t* a, const wchar_t* b, std::size_t maxUnits);
