#pragma once

#include "import_hook.h"

#include <windows.h>

// Refuses document creations of one module (the test executable by default, or the shipped
// DLL) while the object lives: creation n, counted from 0, is refused with `refusal` when bit
// n of `mask` is set; every other creation, and every other class, goes to the platform. One
// object at a time.
class RefusedDocuments {
  public:
    RefusedDocuments(unsigned mask, HRESULT refusal, HMODULE importer = GetModuleHandleW(nullptr));
    RefusedDocuments(const RefusedDocuments&) = delete;
    RefusedDocuments& operator=(const RefusedDocuments&) = delete;
    ~RefusedDocuments();

    bool active() const { return hook_.active(); }
    // The document creations asked for so far, refused or not.
    static unsigned count();

  private:
    ImportHook hook_;
};
