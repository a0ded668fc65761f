#include "localization/ui_language.h"

#include "common/owners.h"

#include <windows.h>

namespace {

using UserDefaultUiLanguageFunction = LANGID(WINAPI*)();

// The user's UI language where the system reports one, else the user default language.
LANGID UserUiLanguage() {
    LANGID language = GetUserDefaultLangID();
    UniqueLibrary kernel(LoadLibraryW(L"kernel32.dll"));
    if (!kernel) {
        return language;
    }
    FARPROC export_ = GetProcAddress(kernel.get(), "GetUserDefaultUILanguage");
    if (export_ == nullptr) {
        return language;
    }
    // Through void(*)() so the compiler accepts the cast between function types.
    auto function =
        reinterpret_cast<UserDefaultUiLanguageFunction>(reinterpret_cast<void (*)()>(export_));
    return function();
}

} // namespace

void SelectUiLanguage() {
    const LANGID language = UserUiLanguage();
    if (LANGIDFROMLCID(GetThreadLocale()) == language) {
        return;
    }
    SetThreadLocale(MAKELCID(language, SORT_DEFAULT));
}
