#include "localization/string_catalogue.h"

#include "common/owners.h"
#include "services/module_state.h"
#include "services/string_block.h"
#include "services/string_loader.h"

#include <windows.h>

#include <map>
#include <new>

namespace {

constexpr LANGID IndexLanguage = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr int HighestIndexedId = 10000;
constexpr int LocalizedTextCapacity = 1024;

struct StringCatalogue {
    CriticalSection lock;
    std::map<std::wstring, int> index;
    HINSTANCE sourceModule = nullptr;
    int holdCount = 0;
};

StringCatalogue g_catalogue;

// Adds the English strings of one block. Called under the lock, from inside the resource
// enumeration, so nothing may throw out of it.
BOOL CALLBACK IndexStringBlock(HMODULE module, LPCWSTR, LPWSTR name, LONG_PTR) {
    // Blocks named by a string are not string-table blocks of ours; block 0 holds no ids.
    if (!IS_INTRESOURCE(name) || LOWORD(reinterpret_cast<ULONG_PTR>(name)) == 0) {
        return TRUE;
    }
    const unsigned block = LOWORD(reinterpret_cast<ULONG_PTR>(name));
    HRSRC found = FindResourceExW(module, RT_STRING, name, IndexLanguage);
    if (found == nullptr) {
        return TRUE;
    }
    HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr) {
        return TRUE;
    }
    const DWORD size = SizeofResource(module, found);
    try {
        for (unsigned i = 0; i < StringsPerBlock; ++i) {
            const StringBlockEntry entry = StringBlockAt(data, size, i);
            const int id = static_cast<int>(FirstIdOfBlock(block) + i);
            if (entry.length == 0 || id > HighestIndexedId) {
                continue;
            }
            // A repeated text maps to its highest id, whatever order the blocks come in.
            const auto [stored, inserted] = g_catalogue.index.try_emplace(
                std::wstring(reinterpret_cast<const wchar_t*>(entry.text), entry.length), id);
            if (!inserted && stored->second < id) {
                stored->second = id;
            }
        }
    } catch (const std::bad_alloc&) {
        // Out of memory: keep what is indexed so far and stop; the texts left out simply
        // stay untranslated until the catalogue is built again.
        return FALSE;
    }
    return TRUE;
}

void BuildIndex() {
    HINSTANCE module = ModuleInstance();
    if (module == nullptr) {
        module = GetModuleHandleW(nullptr);
    }
    g_catalogue.sourceModule = module;
    EnumResourceNamesW(module, RT_STRING, IndexStringBlock, 0);
}

} // namespace

void AcquireCatalogue() {
    CriticalSectionLock hold(g_catalogue.lock);
    if (g_catalogue.holdCount == 0) {
        BuildIndex();
    }
    ++g_catalogue.holdCount;
}

void ReleaseCatalogue() {
    CriticalSectionLock hold(g_catalogue.lock);
    // A release without a hold would drive the count negative and keep the next holder from
    // building the index: ignore it.
    if (g_catalogue.holdCount <= 0) {
        return;
    }
    if (--g_catalogue.holdCount == 0) {
        g_catalogue.index.clear();
        g_catalogue.sourceModule = nullptr;
    }
}

namespace {

// The id of an English text and the module to load it from, read under one hold of the lock.
bool FindIndexedString(const std::wstring& englishText, int& id, HINSTANCE& module) {
    CriticalSectionLock hold(g_catalogue.lock);
    const auto found = g_catalogue.index.find(englishText);
    if (found == g_catalogue.index.end()) {
        return false;
    }
    id = found->second;
    module = g_catalogue.sourceModule;
    return true;
}

} // namespace

bool FindStringId(const std::wstring& englishText, int& id) {
    HINSTANCE module = nullptr;
    return FindIndexedString(englishText, id, module);
}

std::wstring LookupLocalizedText(const std::wstring& englishText) {
    int id = 0;
    HINSTANCE module = nullptr;
    if (!FindIndexedString(englishText, id, module)) {
        return {};
    }
    // The load runs outside the lock.
    wchar_t buffer[LocalizedTextCapacity];
    const int length =
        LoadResourceString(module, static_cast<UINT>(id), buffer, LocalizedTextCapacity);
    if (length <= 0) {
        return {};
    }
    try {
        return std::wstring(buffer, static_cast<std::size_t>(length));
    } catch (const std::bad_alloc&) {
        return {};
    }
}

int CatalogueHoldCount() {
    CriticalSectionLock hold(g_catalogue.lock);
    return g_catalogue.holdCount;
}

std::size_t CatalogueSize() {
    CriticalSectionLock hold(g_catalogue.lock);
    return g_catalogue.index.size();
}
