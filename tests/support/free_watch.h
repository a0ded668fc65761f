#pragma once

#include <windows.h>

#include <string_view>

// While alive, every block the given module releases through its import table is searched for
// the UTF-16 bytes of a secret first. Only that module's own calls are watched: what other
// DLLs free is not. This is how a test sees that a module's memory holds no copy of a secret
// when it is let go.
class ModuleFreeWatch {
  public:
    enum class Releases {
        OwnCode,      // free, realloc, LocalFree, CoTaskMemFree, SysFreeString: the shipped DLL
        WindowSystem, // LocalFree: the edit boxes' text buffers, in user32
        LocalMemory,  // LocalFree alone: the protection buffers of the code linked into a test
    };
    // secret: a literal (a copy on the heap would be found itself).
    ModuleFreeWatch(HMODULE module, std::wstring_view secret,
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
