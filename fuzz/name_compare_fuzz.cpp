// EqualIgnoringCaseWithin, the _wcsnicmp rule by which the readers match the outside texts of
// DPTEncryption and encryption against their table names.
#include "fragments/fragment_text.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t maxUnits = data[0] % 8;
    const fuzz::TwoTexts input = fuzz::SplitAtZero(fuzz::Units(data + 1, size - 1));
    const std::wstring& a = input.first;
    const std::wstring b = fuzz::AsCString(input.second);

    // Equal over at most maxUnits units with A-Z folded; a text that ends earlier compares
    // its terminator.
    const bool expected =
        fuzz::FoldedAscii(a.substr(0, maxUnits)) == fuzz::FoldedAscii(b.substr(0, maxUnits));
    FUZZ_CHECK(EqualIgnoringCaseWithin(a.c_str(), b.c_str(), maxUnits) == expected);
    FUZZ_CHECK(EqualIgnoringCaseWithin(b.c_str(), a.c_str(), maxUnits) == expected);
    FUZZ_CHECK(!EqualIgnoringCaseWithin(nullptr, b.c_str(), maxUnits));
    FUZZ_CHECK(!EqualIgnoringCaseWithin(a.c_str(), nullptr, maxUnits));
    return 0;
}
