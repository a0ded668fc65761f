#include "fragments/fragment_envelope.h"

#include "common/hresult.h"

HRESULT LoadFragmentRoot(const wchar_t* vendorText, const wchar_t* name,
                         ComPtr<IXMLDOMElement>& root) {
    root.Reset();
    const std::optional<std::wstring> fragment = ExtractFragment(vendorText, name);
    if (!fragment) {
        return S_OK;
    }
    ComPtr<IXMLDOMDocument> document;
    RETURN_IF_FAILED(LoadNewDocument(fragment->c_str(), document));
    root = DocumentElement(document.Get());
    return S_OK; // an empty root: not well-formed, absent
}

UniqueBstr CombineFragments(const wchar_t* ccxText, const wchar_t* dptText) {
    const std::optional<std::wstring> combined = CombineFragmentTexts(ccxText, dptText);
    if (!combined) {
        return UniqueBstr();
    }
    return BstrFromText(*combined);
}
