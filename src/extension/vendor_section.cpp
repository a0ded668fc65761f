#include "extension/vendor_section.h"

#include "fragments/fragment_envelope.h"
#include "services/module_state.h"
#include "services/string_loader.h"

#include <cwchar>
#include <new>
#include <string>

namespace {

std::wstring CompatibleSection(const wchar_t* outerName, const wchar_t* ccxText,
                               const wchar_t* dptText) {
    std::wstring section;
    section.append(L"<").append(outerName).append(L" xmlns=\"v1\">");
    section.append(ccxText).append(dptText);
    section.append(L"</").append(outerName).append(L">");
    return section;
}

// The envelope falls back to the CCX text alone when it cannot allocate the nested text;
// here that would silently drop the DPT fragment, so a section that lacks either whole
// fragment counts as the allocation failure it is.
bool NestedSectionIsWhole(const wchar_t* ccxText, const wchar_t* dptText, const BSTR section) {
    if (wcsstr(ccxText, L"</CCX>") == nullptr) {
        return true;
    }
    return SysStringLen(section) == wcslen(ccxText) + wcslen(dptText);
}

} // namespace

HRESULT ComposeVendorSection(bool profileCompatible, const wchar_t* outerName,
                             const wchar_t* ccxText, const wchar_t* dptText, UniqueBstr& section) {
    section.reset();
    // A writer that gave no text failed: a section without its fragment would replace the
    // host's settings with less than they hold.
    if (ccxText == nullptr || dptText == nullptr) {
        return E_OUTOFMEMORY;
    }
    try {
        section = profileCompatible ? BstrFromText(CompatibleSection(outerName, ccxText, dptText))
                                    : CombineFragments(ccxText, dptText);
    } catch (const std::bad_alloc&) {
        section.reset();
        return E_OUTOFMEMORY;
    }
    if (!section) {
        return E_OUTOFMEMORY;
    }
    if (!profileCompatible && !NestedSectionIsWhole(ccxText, dptText, section.get())) {
        section.reset();
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

void LoadOuterElementName(wchar_t (&name)[OuterElementCapacity]) {
    if (LoadResourceString(ModuleInstance(), OuterElementStringId, name, OuterElementCapacity) ==
        0) {
        wcscpy(name, L"Quilmark");
    }
}
