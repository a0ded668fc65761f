#include "localization/dialog_text.h"

#include "localization/control_text.h"
#include "localization/string_catalogue.h"

#include <new>

namespace {

constexpr int ControlTextCapacity = 2048;

} // namespace

std::wstring TranslateText(wchar_t* text) {
    return TranslateControlText(text, LookupLocalizedText);
}

void TranslateChildTexts(HWND dialog) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t buffer[ControlTextCapacity] = {};
        GetWindowTextW(child, buffer, ControlTextCapacity);
        try {
            const std::wstring translated = TranslateText(buffer);
            SetWindowTextW(child, translated.c_str());
        } catch (const std::bad_alloc&) {
            // Out of memory: this control keeps its English text.
        }
    }
}
