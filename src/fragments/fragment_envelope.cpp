#include "fragments/fragment_envelope.h"

UniqueBstr CombineFragments(const wchar_t* ccxText, const wchar_t* dptText) {
    const std::optional<std::wstring> combined = CombineFragmentTexts(ccxText, dptText);
    if (!combined) {
        return UniqueBstr();
    }
    return BstrFromText(*combined);
}
