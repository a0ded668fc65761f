// CopySsidText on a Name element's text, into an SSID buffer of exactly 32 bytes.
#include "fragments/fragment_text.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const int before = static_cast<int>(data[0] % 35) - 2;
    const std::wstring text = fuzz::Units(data + 1, size - 1);

    fuzz::ExactBlock buffer(SsidCapacity, 0xA5);
    auto& ssid = *reinterpret_cast<unsigned char(*)[SsidCapacity]>(buffer.get());
    int length = before;
    const bool copied = CopySsidText(text, ssid, length);

    bool printable = true;
    for (wchar_t c : text) {
        printable = printable && c >= 0x20 && c <= 0x7E;
    }
    FUZZ_CHECK(copied == (text.size() <= SsidCapacity && printable));
    if (!copied) {
        FUZZ_CHECK(length == before);
        return 0;
    }
    FUZZ_CHECK(length >= 0 && length <= static_cast<int>(SsidCapacity));
    FUZZ_CHECK(static_cast<std::size_t>(length) == text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        FUZZ_CHECK(ssid[i] == text[i]);
    }
    for (std::size_t i = text.size(); i < SsidCapacity; ++i) {
        FUZZ_CHECK(ssid[i] == 0xA5);
    }
    return 0;
}
