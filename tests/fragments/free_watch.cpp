#include "free_watch.h"

#include <algorithm>
#include <cstring>

namespace {

using LocalFreeFunction = HLOCAL(WINAPI*)(HLOCAL);

LocalFreeFunction realLocalFree = nullptr;
void** patchedSlot = nullptr;
std::wstring watchedSecret;
int freedCount = 0;
int holdingCount = 0;

bool HoldsSecret(const BYTE* block, SIZE_T size) {
    const BYTE* secret = reinterpret_cast<const BYTE*>(watchedSecret.data());
    const SIZE_T secretSize = watchedSecret.size() * sizeof(wchar_t);
    if (secretSize == 0 || size < secretSize) {
        return false;
    }
    return std::search(block, block + size, secret, secret + secretSize) != block + size;
}

HLOCAL WINAPI WatchingLocalFree(HLOCAL block) {
    if (block != nullptr) {
        ++freedCount;
        if (HoldsSecret(static_cast<const BYTE*>(block), LocalSize(block))) {
            ++holdingCount;
        }
    }
    return realLocalFree(block);
}

// The executable's import slot that holds LocalFree.
void** FindLocalFreeSlot() {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    void* target =
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LocalFree"));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0 || target == nullptr) {
        return nullptr;
    }
    for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         entry->Name != 0; ++entry) {
        for (auto* slot = reinterpret_cast<void**>(base + entry->FirstThunk); *slot != nullptr;
             ++slot) {
            if (*slot == target) {
                return slot;
            }
        }
    }
    return nullptr;
}

bool WriteSlot(void** slot, void* value) {
    DWORD oldProtection = 0;
    if (!VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &oldProtection)) {
        return false;
    }
    *slot = value;
    VirtualProtect(slot, sizeof(*slot), oldProtection, &oldProtection);
    return true;
}

} // namespace

LocalFreeWatch::LocalFreeWatch(const std::wstring& secret) {
    watchedSecret = secret;
    freedCount = 0;
    holdingCount = 0;
    patchedSlot = FindLocalFreeSlot();
    if (patchedSlot == nullptr) {
        return;
    }
    realLocalFree = reinterpret_cast<LocalFreeFunction>(*patchedSlot);
    installed_ = WriteSlot(patchedSlot, reinterpret_cast<void*>(&WatchingLocalFree));
}

LocalFreeWatch::~LocalFreeWatch() {
    if (installed_) {
        WriteSlot(patchedSlot, reinterpret_cast<void*>(realLocalFree));
    }
    patchedSlot = nullptr;
}

int LocalFreeWatch::freedBlocks() const {
    return freedCount;
}

int LocalFreeWatch::blocksHoldingSecret() const {
    return holdingCount;
}
