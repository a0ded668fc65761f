// ParseDecimal (the _wtoi rule of profile texts and registry values) against the C library.
#include "common/decimal_text.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = fuzz::Units(data, size);
    FUZZ_CHECK(ParseDecimal(text.c_str()) == fuzz::ReferenceDecimal(text));
    FUZZ_CHECK(ParseDecimal(nullptr) == 0);
    return 0;
}
