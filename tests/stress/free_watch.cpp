#include "free_watch.h"

#include "import_hook.h"

#include <objbase.h>
#include <oleauto.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <malloc.h>

namespace {

std::wstring_view watchedSecret;
std::atomic<long> released{0};
std::atomic<long> holding{0};

bool Holds(const void* block, std::size_t size) {
    const auto* begin = static_cast<const BYTE*>(block);
    const auto* pattern = reinterpret_cast<const BYTE*>(watchedSecret.data());
    const std::size_t patternSize = watchedSecret.size() * sizeof(wchar_t);
    if (block == nullptr || patternSize == 0 || size < patternSize) {
        return false;
    }
    return std::search(begin, begin + size, pattern, pattern + patternSize) != begin + size;
}

void Inspect(const void* block, std::size_t size) {
    if (block == nullptr) {
        return;
    }
    ++released;
    if (Holds(block, size)) {
        ++holding;
    }
}

using FreeFunction = void(__cdecl*)(void*);
using ReallocFunction = void*(__cdecl*)(void*, std::size_t);
using LocalFreeFunction = HLOCAL(WINAPI*)(HLOCAL);
using CoTaskMemFreeFunction = void(WINAPI*)(void*);
using SysFreeStringFunction = void(WINAPI*)(BSTR);

FreeFunction realFree = nullptr;
ReallocFunction realRealloc = nullptr;
LocalFreeFunction realLocalFree = nullptr;
CoTaskMemFreeFunction realCoTaskMemFree = nullptr;
SysFreeStringFunction realSysFreeString = nullptr;

void __cdecl WatchingFree(void* block) {
    Inspect(block, block != nullptr ? _msize(block) : 0);
    realFree(block);
}

void* __cdecl WatchingRealloc(void* block, std::size_t size) {
    const bool held = block != nullptr && Holds(block, _msize(block));
    void* moved = realRealloc(block, size);
    // A block that moved was released in its old place.
    if (block != nullptr && moved != block) {
        ++released;
        if (held) {
            ++holding;
        }
    }
    return moved;
}

HLOCAL WINAPI WatchingLocalFree(HLOCAL block) {
    Inspect(block, block != nullptr ? LocalSize(block) : 0);
    return realLocalFree(block);
}

void WINAPI WatchingCoTaskMemFree(void* block) {
    if (block != nullptr) {
        IMalloc* allocator = nullptr;
        if (SUCCEEDED(CoGetMalloc(1, &allocator))) {
            Inspect(block, allocator->GetSize(block));
            allocator->Release();
        }
    }
    realCoTaskMemFree(block);
}

void WINAPI WatchingSysFreeString(BSTR text) {
    if (text != nullptr) {
        // The length prefix, the text and its terminator.
        Inspect(reinterpret_cast<BYTE*>(text) - sizeof(UINT),
                sizeof(UINT) + SysStringByteLen(text) + sizeof(wchar_t));
    }
    realSysFreeString(text);
}

struct Replacement {
    const wchar_t* library;
    const char* function;
    void* replacement;
    void** original;
    void** slot;
};

Replacement replacements[] = {
    {L"msvcrt.dll", "free", reinterpret_cast<void*>(&WatchingFree),
     reinterpret_cast<void**>(&realFree), nullptr},
    {L"msvcrt.dll", "realloc", reinterpret_cast<void*>(&WatchingRealloc),
     reinterpret_cast<void**>(&realRealloc), nullptr},
    {L"kernel32.dll", "LocalFree", reinterpret_cast<void*>(&WatchingLocalFree),
     reinterpret_cast<void**>(&realLocalFree), nullptr},
    {L"ole32.dll", "CoTaskMemFree", reinterpret_cast<void*>(&WatchingCoTaskMemFree),
     reinterpret_cast<void**>(&realCoTaskMemFree), nullptr},
    {L"oleaut32.dll", "SysFreeString", reinterpret_cast<void*>(&WatchingSysFreeString),
     reinterpret_cast<void**>(&realSysFreeString), nullptr},
};

} // namespace

ModuleFreeWatch::ModuleFreeWatch(HMODULE module, std::wstring_view secret) {
    watchedSecret = secret;
    released = 0;
    holding = 0;
    installed_ = module != nullptr;
    for (Replacement& r : replacements) {
        void* target =
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(r.library), r.function));
        *r.original = target;
        r.slot = installed_ ? FindImportSlot(module, target) : nullptr;
        installed_ = installed_ && r.slot != nullptr && WriteImportSlot(r.slot, r.replacement);
    }
}

ModuleFreeWatch::~ModuleFreeWatch() {
    for (Replacement& r : replacements) {
        if (r.slot != nullptr) {
            WriteImportSlot(r.slot, *r.original);
            r.slot = nullptr;
        }
    }
}

long ModuleFreeWatch::releasedBlocks() const {
    return released;
}

long ModuleFreeWatch::blocksHoldingSecret() const {
    return holding;
}
