// CopySsidText on a Name element's text, into an SSID buffer of exactly 32 bytes.
#include "fragments/fragment_text.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    fuzz::SsidField<SsidCapacity> field(data, size);
    const std::wstring& text = field.text;
    const bool copied = CopySsidText(text, field.bytes(), field.length);

    bool printable = true;
    for (wchar_t c : text) {
        printable = printable && c >= 0x20 && c <= 0x7E;
    }
    FUZZ_CHECK(copied == (text.size() <= SsidCapacity && printable));
    field.CheckFilled(copied, text.size());
    if (!copied) {
        return 0;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        FUZZ_CHECK(field.bytes()[i] == text[i]);
    }
    return 0;
}
