#pragma once

#include <windows.h>

// The slot of a module's import table that holds target (a function's address as
// GetProcAddress gives it), or null when the module does not import it.
void** FindImportSlot(HMODULE module, void* target);

// Writes an import slot, lifting the page protection for the write.
bool WriteImportSlot(void** slot, void* value);

// Points the test executable's import of one function at a replacement for the life of the
// object, so a test can watch what the code linked into it calls (the shipped DLL is not
// affected); or, given an importer, that module's import (the shipped DLL's, for example).
class ImportHook {
  public:
    ImportHook(const wchar_t* module, const char* function, void* replacement);
    ImportHook(HMODULE importer, const wchar_t* module, const char* function, void* replacement);
    ImportHook(const ImportHook&) = delete;
    ImportHook& operator=(const ImportHook&) = delete;
    ~ImportHook();

    bool active() const { return slot_ != nullptr; }
    void* original() const { return original_; }

  private:
    void** slot_ = nullptr;
    void* original_ = nullptr;
};
