// CombineFragmentTexts on two fragment texts, either of which may be absent.
#include "fragments/fragment_text.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte says which text is absent; the rest are the two texts.
    const bool ccxAbsent = (data[0] & 1) != 0;
    const bool dptAbsent = (data[0] & 2) != 0;
    const fuzz::TwoTexts input = fuzz::SplitAtZero(fuzz::Units(data + 1, size - 1));
    const std::wstring& ccx = input.first;
    const std::wstring dpt = fuzz::AsCString(input.second);

    const std::optional<std::wstring> combined =
        CombineFragmentTexts(ccxAbsent ? nullptr : ccx.c_str(), dptAbsent ? nullptr : dpt.c_str());
    if (ccxAbsent && dptAbsent) {
        FUZZ_CHECK(!combined);
        return 0;
    }
    FUZZ_CHECK(combined.has_value());
    FUZZ_CHECK(combined->find(L'\0') == std::wstring::npos);
    if (dptAbsent) {
        FUZZ_CHECK(*combined == ccx);
        return 0;
    }
    const std::size_t endTag = ccxAbsent ? std::wstring::npos : ccx.find(L"</CCX>");
    if (endTag == std::wstring::npos) {
        FUZZ_CHECK(*combined == dpt);
        return 0;
    }
    // Both texts whole: the CCX text with the DPT text just before its first end tag.
    FUZZ_CHECK(combined->size() == ccx.size() + dpt.size());
    FUZZ_CHECK(combined->compare(0, endTag, ccx, 0, endTag) == 0);
    FUZZ_CHECK(combined->compare(endTag, dpt.size(), dpt) == 0);
    FUZZ_CHECK(combined->compare(endTag + dpt.size(), std::wstring::npos, ccx, endTag) == 0);
    return 0;
}
