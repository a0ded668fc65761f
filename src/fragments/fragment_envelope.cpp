#include "fragments/fragment_envelope.h"

UniqueBstr BstrFromText(std::wstring_view text) {
    return UniqueBstr(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}

UniqueBstr CombineFragments(const wchar_t* ccxText, const wchar_t* dptText) {
    const std::optional<std::wstring> combined = CombineFragmentTexts(ccxText, dptText);
    if (!combined) {
        return UniqueBstr();
    }
    return BstrFromText(*combined);
}
