#include "free_watch.h"

#include "import_hook.h"

#include <objbase.h>
#include <oleauto.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <malloc.h>

namespace {

using Releases = ModuleFreeWatch::Releases;

// One watch of each kind may be alive at a time; the kinds run side by side.
struct WatchState {
    std::array<std::wstring_view, 2> secrets;
    std::atomic<long> released{0};
    std::atomic<long> holding{0};
};
WatchState states[3];

WatchState& StateOf(Releases releases) {
    return states[static_cast<int>(releases)];
}

bool Holds(const WatchState& state, const void* block, std::size_t size) {
    if (block == nullptr) {
        return false;
    }
    return std::any_of(state.secrets.begin(), state.secrets.end(), [&](std::wstring_view secret) {
        return !secret.empty() && CountSecretPieces(block, size, secret) > 0;
    });
}

void Inspect(Releases releases, const void* block, std::size_t size) {
    if (block == nullptr) {
        return;
    }
    WatchState& state = StateOf(releases);
    ++state.released;
    if (Holds(state, block, size)) {
        ++state.holding;
    }
}

using FreeFunction = void(__cdecl*)(void*);
using ReallocFunction = void*(__cdecl*)(void*, std::size_t);
using LocalFreeFunction = HLOCAL(WINAPI*)(HLOCAL);
using CoTaskMemFreeFunction = void(WINAPI*)(void*);
using SysFreeStringFunction = void(WINAPI*)(BSTR);

FreeFunction realFree = nullptr;
ReallocFunction realRealloc = nullptr;
// One per kind: the two kinds find LocalFree under different libraries' addresses.
template <Releases releases> LocalFreeFunction realLocalFree = nullptr;
CoTaskMemFreeFunction realCoTaskMemFree = nullptr;
SysFreeStringFunction realSysFreeString = nullptr;

void __cdecl WatchingFree(void* block) {
    Inspect(Releases::OwnCode, block, block != nullptr ? _msize(block) : 0);
    realFree(block);
}

void* __cdecl WatchingRealloc(void* block, std::size_t size) {
    WatchState& state = StateOf(Releases::OwnCode);
    const bool held = block != nullptr && Holds(state, block, _msize(block));
    void* moved = realRealloc(block, size);
    // A block that moved was released in its old place.
    if (block != nullptr && moved != block) {
        ++state.released;
        if (held) {
            ++state.holding;
        }
    }
    return moved;
}

template <Releases releases> HLOCAL WINAPI WatchingLocalFree(HLOCAL block) {
    // A movable block's handle is not its address: the lock gives the address.
    if (const void* data = block != nullptr ? LocalLock(block) : nullptr) {
        Inspect(releases, data, LocalSize(block));
        LocalUnlock(block);
    }
    return realLocalFree<releases>(block);
}

void WINAPI WatchingCoTaskMemFree(void* block) {
    if (block != nullptr) {
        IMalloc* allocator = nullptr;
        if (SUCCEEDED(CoGetMalloc(1, &allocator))) {
            Inspect(Releases::OwnCode, block, allocator->GetSize(block));
            allocator->Release();
        }
    }
    realCoTaskMemFree(block);
}

void WINAPI WatchingSysFreeString(BSTR text) {
    if (text != nullptr) {
        // The length prefix, the text and its terminator.
        Inspect(Releases::OwnCode, reinterpret_cast<BYTE*>(text) - sizeof(UINT),
                sizeof(UINT) + SysStringByteLen(text) + sizeof(wchar_t));
    }
    realSysFreeString(text);
}

struct Replacement {
    Releases releases;
    const wchar_t* library;
    const char* function;
    void* replacement;
    void** original;
    void** slot = nullptr;
};

template <typename Function> void* Address(Function function) {
    return reinterpret_cast<void*>(function);
}

template <typename Function> void** Original(Function* original) {
    return reinterpret_cast<void**>(original);
}

Replacement replacements[] = {
    {Releases::OwnCode, L"msvcrt.dll", "free", Address(&WatchingFree), Original(&realFree)},
    {Releases::OwnCode, L"msvcrt.dll", "realloc", Address(&WatchingRealloc),
     Original(&realRealloc)},
    {Releases::OwnCode, L"kernel32.dll", "LocalFree",
     Address(&WatchingLocalFree<Releases::OwnCode>), Original(&realLocalFree<Releases::OwnCode>)},
    {Releases::OwnCode, L"ole32.dll", "CoTaskMemFree", Address(&WatchingCoTaskMemFree),
     Original(&realCoTaskMemFree)},
    {Releases::OwnCode, L"oleaut32.dll", "SysFreeString", Address(&WatchingSysFreeString),
     Original(&realSysFreeString)},
    // The window system imports it from kernelbase.dll.
    {Releases::WindowSystem, L"kernelbase.dll", "LocalFree",
     Address(&WatchingLocalFree<Releases::WindowSystem>),
     Original(&realLocalFree<Releases::WindowSystem>)},
    {Releases::LocalMemory, L"kernel32.dll", "LocalFree",
     Address(&WatchingLocalFree<Releases::LocalMemory>),
     Original(&realLocalFree<Releases::LocalMemory>)},
};

} // namespace

ModuleFreeWatch::ModuleFreeWatch(HMODULE module, std::initializer_list<std::wstring_view> secrets,
                                 Releases releases)
    : releases_(releases) {
    WatchState& state = StateOf(releases);
    state.secrets = {};
    std::copy_n(secrets.begin(), std::min(secrets.size(), state.secrets.size()),
                state.secrets.begin());
    state.released = 0;
    state.holding = 0;
    installed_ = module != nullptr;
    for (Replacement& r : replacements) {
        if (r.releases != releases) {
            continue;
        }
        void* target =
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(r.library), r.function));
        *r.original = target;
        r.slot = installed_ ? FindImportSlot(module, target) : nullptr;
        installed_ = installed_ && r.slot != nullptr && WriteImportSlot(r.slot, r.replacement);
    }
}

ModuleFreeWatch::~ModuleFreeWatch() {
    for (Replacement& r : replacements) {
        if (r.releases == releases_ && r.slot != nullptr) {
            WriteImportSlot(r.slot, *r.original);
            r.slot = nullptr;
        }
    }
}

long ModuleFreeWatch::releasedBlocks() const {
    return StateOf(releases_).released;
}

long ModuleFreeWatch::blocksHoldingSecret() const {
    return StateOf(releases_).holding;
}

namespace {

constexpr std::size_t PieceUnits = 8;

} // namespace

int CountSecretPieces(const void* memory, std::size_t size, std::wstring_view text) {
    const auto* begin = static_cast<const BYTE*>(memory);
    const std::size_t pieceBytes = std::min(text.size(), PieceUnits) * sizeof(wchar_t);
    const std::size_t pieces = text.size() >= PieceUnits ? text.size() - PieceUnits + 1 : 1;
    const auto* secret = reinterpret_cast<const BYTE*>(text.data());
    int found = 0;
    for (std::size_t at = 0; at + pieceBytes <= size; at += sizeof(wchar_t)) {
        for (std::size_t piece = 0; piece < pieces; ++piece) {
            if (std::memcmp(begin + at, secret + piece * sizeof(wchar_t), pieceBytes) == 0) {
                ++found;
                at += text.size() * sizeof(wchar_t); // the rest of this copy
                break;
            }
        }
    }
    return found;
}
