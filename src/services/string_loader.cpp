#include "services/string_loader.h"

#include "services/module_state.h"
#include "services/string_block.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr LANGID EnglishUnitedStates = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

// The table to read when the thread's own language has none: that of its primary language
// with a neutral sublanguage. Chinese has two tables of different scripts instead: Hong Kong
// and Macao read the Traditional one, Singapore the Simplified one.
LANGID NearestTable(LANGID language) {
    switch (language) {
    case MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_HONGKONG):
    case MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_MACAU):
        return MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_TRADITIONAL);
    case MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SINGAPORE):
        return MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);
    default:
        return MAKELANGID(PRIMARYLANGID(language), SUBLANG_NEUTRAL);
    }
}

StringBlockEntry FindForThread(HINSTANCE module, UINT id) {
    const LANGID thread = LANGIDFROMLCID(GetThreadLocale());
    for (LANGID language : {thread, NearestTable(thread), EnglishUnitedStates}) {
        StringBlockEntry entry = FindStringInLanguage(module, id, language);
        if (entry.length != 0) {
            return entry;
        }
    }
    return {};
}

} // namespace

StringBlockEntry FindStringInLanguage(HINSTANCE module, UINT id, LANGID language) {
    HRSRC found =
        FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(StringBlockOfId(id)), language);
    if (found == nullptr) {
        return {};
    }
    HGLOBAL loaded = LoadResource(module, found);
    const void* block = loaded != nullptr ? LockResource(loaded) : nullptr;
    return StringBlockAt(block, SizeofResource(module, found), id % StringsPerBlock);
}

int LoadResourceString(HINSTANCE module, UINT id, wchar_t* buffer, int capacity) {
    if (buffer == nullptr || capacity <= 0) {
        return 0;
    }
    buffer[0] = L'\0';
    const StringBlockEntry entry = FindForThread(module, id);
    const size_t copied = std::min(entry.length, static_cast<size_t>(capacity - 1));
    if (copied != 0) {
        std::memcpy(buffer, entry.text, copied * sizeof(wchar_t));
    }
    buffer[copied] = L'\0';
    return static_cast<int>(copied);
}

DWORD LoadModuleString(UINT id, UniqueLocalString& text) {
    text.reset();
    for (int capacity = 256;; capacity += 256) {
        UniqueLocalString buffer(
            static_cast<wchar_t*>(LocalAlloc(LMEM_ZEROINIT, capacity * sizeof(wchar_t))));
        if (!buffer) {
            // A failed allocation is a failure even when the platform left no code for it.
            const DWORD error = GetLastError();
            return error != ERROR_SUCCESS ? error : ERROR_NOT_ENOUGH_MEMORY;
        }
        const int length = LoadResourceString(ModuleInstance(), id, buffer.get(), capacity);
        if (length == 0) {
            return ERROR_NOT_FOUND;
        }
        // A text that filled the buffer may have been cut: try again with more room.
        if (length < capacity - 1) {
            buffer.get()[length] = L'\0';
            text = std::move(buffer);
            return ERROR_SUCCESS;
        }
    }
}
