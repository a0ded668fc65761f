#pragma once

// What every fuzz target of the text layer shares: the input seen as UTF-16 code units (the
// width of a Windows wchar_t, held in the native 32-bit one), split into texts, a check that
// stops the run with a message, and the independent reference rules the targets compare
// against.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: promise broken: %s\n", __FILE__, __LINE__, #condition);   \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

namespace fuzz {

// Little-endian byte pairs as UTF-16 code units; an odd last byte is dropped.
inline std::wstring Units(const std::uint8_t* data, std::size_t size) {
    std::wstring units;
    units.reserve(size / 2);
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        units.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    }
    return units;
}

// The units before the first zero unit, and everything after it (empty when there is none).
// Texts the routines take as C strings end at a zero unit anyway, so the zero separates them.
struct TwoTexts {
    std::wstring first;
    std::wstring second;
};

inline TwoTexts SplitAtZero(const std::wstring& units) {
    const std::size_t zero = units.find(L'\0');
    if (zero == std::wstring::npos) {
        return {units, {}};
    }
    return {units.substr(0, zero), units.substr(zero + 1)};
}

// The text up to its first zero unit, as a routine reading a C string sees it.
inline std::wstring AsCString(const std::wstring& units) {
    return units.substr(0, units.find(L'\0'));
}

inline wchar_t FoldAscii(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + (L'a' - L'A')) : c;
}

inline std::wstring FoldedAscii(std::wstring text) {
    for (wchar_t& c : text) {
        c = FoldAscii(c);
    }
    return text;
}

inline bool IsHexDigit(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

// The _wtoi rule through the C library: every unit outside ASCII becomes a character that is
// neither white space, sign nor digit, then strtoll in radix 10, saturated to 32 bits.
inline int ReferenceDecimal(const std::wstring& text) {
    std::string narrow;
    for (wchar_t c : AsCString(text)) {
        narrow.push_back(c > 0 && c < 0x80 ? static_cast<char>(c) : 'x');
    }
    const long long value = std::strtoll(narrow.c_str(), nullptr, 10);
    if (value > INT32_MAX) {
        return INT32_MAX;
    }
    if (value < INT32_MIN) {
        return INT32_MIN;
    }
    return static_cast<int>(value);
}

// A heap block of exactly `size` bytes, so that AddressSanitizer sees every access past it.
class ExactBlock {
  public:
    explicit ExactBlock(std::size_t size, std::uint8_t fill = 0xA5)
        : bytes_(static_cast<std::uint8_t*>(std::malloc(size == 0 ? 1 : size))), size_(size) {
        for (std::size_t i = 0; i < size; ++i) {
            bytes_[i] = fill;
        }
    }
    ExactBlock(const ExactBlock&) = delete;
    ExactBlock& operator=(const ExactBlock&) = delete;
    ~ExactBlock() { std::free(bytes_); }
    std::uint8_t* get() const { return bytes_; }
    std::size_t size() const { return size_; }

  private:
    std::uint8_t* bytes_;
    std::size_t size_;
};

// An SSID field filled from an element's text. The first input byte is the length the record
// held before (not set, invalid, or 0 to Capacity), the rest is the text; the buffer is
// exactly Capacity bytes of a fill, so that a write past it or past the copied bytes shows.
template <std::size_t Capacity> class SsidField {
  public:
    static constexpr std::uint8_t Fill = 0xA5;

    // Needs at least one byte of input.
    SsidField(const std::uint8_t* data, std::size_t size)
        : before(static_cast<int>(data[0] % (Capacity + 3)) - 2), text(Units(data + 1, size - 1)),
          length(before), block_(Capacity, Fill) {}

    unsigned char (&bytes() const)[Capacity] {
        return *reinterpret_cast<unsigned char(*)[Capacity]>(block_.get());
    }

    // A refused text leaves the length as it was; an accepted one stores `expected` as the
    // length and leaves the bytes after it untouched.
    void CheckFilled(bool accepted, std::size_t expected) const {
        if (!accepted) {
            FUZZ_CHECK(length == before);
            return;
        }
        FUZZ_CHECK(length >= 0 && length <= static_cast<int>(Capacity));
        FUZZ_CHECK(static_cast<std::size_t>(length) == expected);
        for (std::size_t i = expected; i < Capacity; ++i) {
            FUZZ_CHECK(bytes()[i] == Fill);
        }
    }

    const int before;
    const std::wstring text;
    int length;

  private:
    ExactBlock block_;
};

} // namespace fuzz
