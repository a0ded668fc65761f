// ParseSsidHex on a Hex element's text, into an SSID buffer of exactly 32 bytes.
#include "fragments/fragment_text.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    fuzz::SsidField<SsidCapacity> field(data, size);
    const std::wstring& text = field.text;
    const bool parsed = ParseSsidHex(text, field.bytes(), field.length);

    bool allDigits = true;
    for (wchar_t c : text) {
        allDigits = allDigits && fuzz::IsHexDigit(c);
    }
    const bool expectParsed = text.size() % 2 == 0 && text.size() <= 2 * SsidCapacity && allDigits;
    FUZZ_CHECK(parsed == expectParsed);
    field.CheckFilled(parsed, text.size() / 2);
    if (!parsed) {
        return 0;
    }
    const std::size_t length = text.size() / 2;
    std::wstring reencoded(2 * length + 1, L'?');
    EncodeHexBytes(field.bytes(), length, reencoded.data());
    reencoded.pop_back();
    FUZZ_CHECK(fuzz::FoldedAscii(reencoded) == fuzz::FoldedAscii(text));
    return 0;
}
