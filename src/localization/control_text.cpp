#include "localization/control_text.h"

#include <cwchar>

bool CutDotLeader(wchar_t* text) {
    if (text == nullptr) {
        return false;
    }
    for (wchar_t* run = std::wcsstr(text, L"....."); run != nullptr;
         run = std::wcsstr(run, L".....")) {
        const std::size_t length = std::wcsspn(run, L".");
        if (run[length] == L'\0') {
            *run = L'\0';
            return true;
        }
        // A run inside the text is part of the key; search on behind it.
        run += length;
    }
    return false;
}

bool IsPlaceholderText(const std::wstring& text) {
    return text == L"Static" || text == L"..." ||
           text.find(L"<untranslated>") != std::wstring::npos;
}

std::wstring TranslateControlText(wchar_t* text, LocalizedTextLookup lookup) {
    const bool leaderCut = CutDotLeader(text);
    // An empty key is not looked up and gets no leader, even when one was cut.
    if (text == nullptr || text[0] == L'\0') {
        return {};
    }
    const std::wstring key(text);
    std::wstring result = lookup(key);
    if (result.empty() && !IsPlaceholderText(key)) {
        result = key;
    }
    if (leaderCut) {
        result.append(DotLeaderLength, L'.');
    }
    return result;
}
