#include "free_watch.h"

#include "import_hook.h"

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

} // namespace

LocalFreeWatch::LocalFreeWatch(const std::wstring& secret) {
    watchedSecret = secret;
    freedCount = 0;
    holdingCount = 0;
    patchedSlot = FindImportSlot(
        GetModuleHandleW(nullptr),
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LocalFree")));
    if (patchedSlot == nullptr) {
        return;
    }
    realLocalFree = reinterpret_cast<LocalFreeFunction>(*patchedSlot);
    installed_ = WriteImportSlot(patchedSlot, reinterpret_cast<void*>(&WatchingLocalFree));
}

LocalFreeWatch::~LocalFreeWatch() {
    if (installed_) {
        WriteImportSlot(patchedSlot, reinterpret_cast<void*>(realLocalFree));
    }
    patchedSlot = nullptr;
}

int LocalFreeWatch::freedBlocks() const {
    return freedCount;
}

int LocalFreeWatch::blocksHoldingSecret() const {
    return holdingCount;
}
