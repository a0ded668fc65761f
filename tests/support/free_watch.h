#pragma once

#include <windows.h>

#include <cstddef>
#include <initializer_list>
#include <string_view>

// While alive, every block the given module releases through its import table is searched for
// the UTF-16 bytes of the secrets first, whole or in pieces of 8 units. Only that module's own
// calls are watched: what other DLLs free is not. This is how a test sees that a module's memory
// holds no copy of a secret when it is let go.
class ModuleFreeWatch {
  public:
    enum class Releases {
        OwnCode,      // free, realloc, LocalFree, CoTaskMemFree, SysFreeString: the shipped DLL
        WindowSystem, // LocalFree: the edit boxes' text buffers, in user32
        LocalMemory,  // LocalFree alone: the protection buffers of the code linked into a test
    };
    // secrets: at most two literals (a copy on the heap would be found itself).
    ModuleFreeWatch(HMODULE module, std::initializer_list<std::wstring_view> secrets,
                    Releases releases = Releases::OwnCode);
    ModuleFreeWatch(const ModuleFreeWatch&) = delete;
    ModuleFreeWatch& operator=(const ModuleFreeWatch&) = delete;
    ~ModuleFreeWatch();

    // Every function of the chosen kind was found in the import table and replaced.
    bool installed() const { return installed_; }
    long releasedBlocks() const;
    long blocksHoldingSecret() const;

  private:
    Releases releases_;
    bool installed_ = false;
};

// Places in the memory that hold the secret or a piece of it: 8 consecutive units (a freed
// block's first bytes are taken over by the heap's own list links, so a copy left there shows
// only in pieces). A place counts once however many pieces of one copy it holds.
int CountSecretPieces(const void* memory, std::size_t size, std::wstring_view text);
