#pragma once

#include <windows.h>

#include <string_view>

// While alive, every block the given module releases (free, realloc, LocalFree, CoTaskMemFree,
// SysFreeString through its import table) is searched for the UTF-16 bytes of a secret first.
// Only that module's own calls are watched: what the platform frees inside its own DLLs is
// not. This is how a test sees that the module wipes every copy it made before letting it go.
class ModuleFreeWatch {
  public:
    // secret: a literal (a copy on the heap would be found itself).
    ModuleFreeWatch(HMODULE module, std::wstring_view secret);
    ModuleFreeWatch(const ModuleFreeWatch&) = delete;
    ModuleFreeWatch& operator=(const ModuleFreeWatch&) = delete;
    ~ModuleFreeWatch();

    // All five functions were found in the import table and replaced.
    bool installed() const { return installed_; }
    long releasedBlocks() const;
    long blocksHoldingSecret() const;

  private:
    bool installed_ = false;
};
