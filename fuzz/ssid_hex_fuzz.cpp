// ParseSsidHex on a Hex element's text, into an SSID buffer of exactly 32 bytes.
#include "fragments/fragment_text.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte is the length the record held before: not set, invalid, or 0 to 32.
    const int before = static_cast<int>(data[0] % 35) - 2;
    const std::wstring text = fuzz::Units(data + 1, size - 1);

    fuzz::ExactBlock buffer(SsidCapacity, 0xA5);
    auto& ssid = *reinterpret_cast<unsigned char(*)[SsidCapacity]>(buffer.get());
    int length = before;
    const bool parsed = ParseSsidHex(text, ssid, length);

    bool allDigits = true;
    for (wchar_t c : text) {
        allDigits = allDigits && fuzz::IsHexDigit(c);
    }
    const bool expectParsed = text.size() % 2 == 0 && text.size() <= 2 * SsidCapacity && allDigits;
    FUZZ_CHECK(parsed == expectParsed);
    if (!parsed) {
        FUZZ_CHECK(length == before);
        return 0;
    }
    FUZZ_CHECK(length >= 0 && length <= static_cast<int>(SsidCapacity));
    FUZZ_CHECK(static_cast<std::size_t>(length) == text.size() / 2);
    std::wstring reencoded(2 * length + 1, L'?');
    EncodeHexBytes(ssid, static_cast<std::size_t>(length), reencoded.data());
    reencoded.pop_back();
    FUZZ_CHECK(fuzz::FoldedAscii(reencoded) == fuzz::FoldedAscii(text));
    for (std::size_t i = static_cast<std::size_t>(length); i < SsidCapacity; ++i) {
        FUZZ_CHECK(ssid[i] == 0xA5);
    }
    return 0;
}
