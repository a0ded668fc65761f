#pragma once

#include <windows.h>

#include <string>

// While alive, every LocalFree the test executable makes (the module library is linked into
// it) goes through a check first: a block that still holds the watched text as UTF-16 bytes
// is counted. This is how the tests see that secrets are wiped before they are freed.
class LocalFreeWatch {
  public:
    explicit LocalFreeWatch(const std::wstring& secret);
    LocalFreeWatch(const LocalFreeWatch&) = delete;
    LocalFreeWatch& operator=(const LocalFreeWatch&) = delete;
    ~LocalFreeWatch();

    bool installed() const { return installed_; }
    int freedBlocks() const;
    int blocksHoldingSecret() const;

  private:
    bool installed_ = false;
};
