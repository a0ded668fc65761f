#include "localization/reading_order.h"

#include <cstddef>
#include <cstring>
#include <new>
#include <vector>

namespace {

// DLGTEMPLATEEX (not declared by the headers) begins with dlgVer, signature 0xFFFF and
// helpID; its extended style follows at byte 8.
constexpr size_t ExtendedTemplateHeader = 12;
constexpr size_t ExtendedTemplateExStyle = 8;

bool ThreadReadsRightToLeft() {
    return IsRightToLeftLanguage(LANGIDFROMLCID(GetThreadLocale()));
}

// A DWORD-aligned copy of the template with WS_EX_LAYOUTRTL added; empty when the module
// has no such template or the copy cannot be allocated.
std::vector<DWORD> MirroredTemplate(HINSTANCE module, LPCWSTR templateName) {
    HRSRC found = FindResourceW(module, templateName, RT_DIALOG);
    HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    const DWORD size = found != nullptr ? SizeofResource(module, found) : 0;
    if (bytes == nullptr || size < sizeof(DLGTEMPLATE) || size < ExtendedTemplateHeader) {
        return {};
    }
    std::vector<DWORD> copy;
    try {
        copy.resize((size + sizeof(DWORD) - 1) / sizeof(DWORD));
    } catch (const std::bad_alloc&) {
        return {};
    }
    auto* target = reinterpret_cast<unsigned char*>(copy.data());
    std::memcpy(target, bytes, size);
    WORD signature = 0;
    std::memcpy(&signature, target + sizeof(WORD), sizeof(signature));
    const size_t offset =
        signature == 0xFFFF ? ExtendedTemplateExStyle : offsetof(DLGTEMPLATE, dwExtendedStyle);
    DWORD exStyle = 0;
    std::memcpy(&exStyle, target + offset, sizeof(exStyle));
    exStyle |= WS_EX_LAYOUTRTL;
    std::memcpy(target + offset, &exStyle, sizeof(exStyle));
    return copy;
}

} // namespace

bool IsRightToLeftLanguage(LANGID language) {
    const WORD primary = PRIMARYLANGID(language);
    return primary == LANG_ARABIC || primary == LANG_HEBREW;
}

UINT MessageBoxFlags() {
    return ThreadReadsRightToLeft() ? MB_RTLREADING | MB_RIGHT : 0;
}

INT_PTR DialogBoxInReadingOrder(HINSTANCE module, LPCWSTR templateName, HWND parent,
                                DLGPROC procedure, LPARAM parameter) {
    if (!ThreadReadsRightToLeft()) {
        return DialogBoxParamW(module, templateName, parent, procedure, parameter);
    }
    const std::vector<DWORD> mirrored = MirroredTemplate(module, templateName);
    if (mirrored.empty()) {
        return -1; // as DialogBoxParamW answers for a missing template
    }
    return DialogBoxIndirectParamW(module, reinterpret_cast<LPCDLGTEMPLATEW>(mirrored.data()),
                                   parent, procedure, parameter);
}
