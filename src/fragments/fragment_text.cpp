#include "fragments/fragment_text.h"

#include "common/ascii_case.h"

namespace {

// Working buffers of 256 units hold "</" name ">": longer names find nothing.
constexpr std::size_t PatternCapacity = 256;

constexpr std::wstring_view CcxEndTag = L"</CCX>";

std::optional<std::wstring> CopyOf(const wchar_t* text) {
    if (text == nullptr) {
        return std::nullopt;
    }
    return std::wstring(text);
}

} // namespace

int HexDigitValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') {
        return c - L'0';
    }
    if (c >= L'a' && c <= L'f') {
        return c - L'a' + 10;
    }
    if (c >= L'A' && c <= L'F') {
        return c - L'A' + 10;
    }
    return -1;
}

std::optional<std::wstring> ExtractFragment(const wchar_t* text, const wchar_t* name) {
    if (text == nullptr || *text == L'\0' || name == nullptr) {
        return std::nullopt;
    }
    const std::wstring_view section(text);
    const std::wstring_view tag(name);
    if (tag.size() + 4 > PatternCapacity) {
        return std::nullopt;
    }
    const std::wstring startPattern = L"<" + std::wstring(tag);
    const std::wstring endPattern = L"</" + std::wstring(tag) + L">";
    const std::size_t start = section.find(startPattern);
    if (start == std::wstring_view::npos) {
        return std::nullopt;
    }
    const std::size_t end = section.find(endPattern, start);
    if (end == std::wstring_view::npos) {
        return std::nullopt;
    }
    return std::wstring(section.substr(start, end + endPattern.size() - start));
}

std::optional<std::wstring> CombineFragmentTexts(const wchar_t* ccxText, const wchar_t* dptText) {
    if (dptText == nullptr) {
        return CopyOf(ccxText);
    }
    if (ccxText == nullptr) {
        return CopyOf(dptText);
    }
    const std::wstring_view ccx(ccxText);
    const std::size_t endTag = ccx.find(CcxEndTag);
    if (endTag == std::wstring_view::npos) {
        // A self-closed CCX element carries nothing worth keeping.
        return CopyOf(dptText);
    }
    std::wstring combined;
    combined.reserve(ccx.size() + std::wstring_view(dptText).size());
    combined.append(ccx.substr(0, endTag));
    combined.append(dptText);
    combined.append(ccx.substr(endTag));
    return combined;
}

void EncodeHexBytes(const unsigned char* bytes, std::size_t count, wchar_t* text) {
    static constexpr wchar_t Digits[] = L"0123456789ABCDEF";
    for (std::size_t i = 0; i < count; ++i) {
        *text++ = Digits[bytes[i] >> 4];
        *text++ = Digits[bytes[i] & 0x0F];
    }
    *text = L'\0';
}

std::optional<std::size_t> DecodeHexBytes(std::wstring_view hexText, unsigned char* blob,
                                          std::size_t capacity) {
    if (hexText.size() % 2 != 0) {
        return std::nullopt;
    }
    const std::size_t byteCount = hexText.size() / 2;
    if (blob == nullptr || capacity < HexBlobSize(hexText.size())) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < byteCount; ++i) {
        const int high = HexDigitValue(hexText[2 * i]);
        const int low = HexDigitValue(hexText[2 * i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        blob[i] = static_cast<unsigned char>(high * 16 + low);
    }
    blob[byteCount] = 0;
    blob[byteCount + 1] = 0;
    return byteCount + 2;
}

bool ParseSsidHex(std::wstring_view text, unsigned char (&ssid)[SsidCapacity], int& length) {
    if (text.size() % 2 != 0 || text.size() / 2 > SsidCapacity) {
        return false;
    }
    for (std::size_t i = 0; i < text.size() / 2; ++i) {
        const int high = HexDigitValue(text[2 * i]);
        const int low = HexDigitValue(text[2 * i + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        ssid[i] = static_cast<unsigned char>(high * 16 + low);
    }
    length = static_cast<int>(text.size() / 2);
    return true;
}

bool CopySsidText(std::wstring_view text, unsigned char (&ssid)[SsidCapacity], int& length) {
    if (text.size() > SsidCapacity) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] < L' ' || text[i] > L'~') {
            return false;
        }
        ssid[i] = static_cast<unsigned char>(text[i]);
    }
    length = static_cast<int>(text.size());
    return true;
}

bool EqualIgnoringCaseWithin(const wchar_t* a, const wchar_t* b, std::size_t maxUnits) {
    if (a == nullptr || b == nullptr) {
        return false;
    }
    for (std::size_t i = 0; i < maxUnits; ++i) {
        if (FoldAsciiCase(a[i]) != FoldAsciiCase(b[i])) {
            return false;
        }
        if (a[i] == L'\0') {
            return true;
        }
    }
    return true;
}
