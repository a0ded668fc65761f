#include "import_hook.h"

void** FindImportSlot(HMODULE module, void* target) {
    if (module == nullptr) {
        return nullptr;
    }
    auto* base = reinterpret_cast<BYTE*>(module);
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

bool WriteImportSlot(void** slot, void* value) {
    DWORD oldProtection = 0;
    if (!VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &oldProtection)) {
        return false;
    }
    *slot = value;
    VirtualProtect(slot, sizeof(*slot), oldProtection, &oldProtection);
    return true;
}

ImportHook::ImportHook(const wchar_t* module, const char* function, void* replacement)
    : ImportHook(GetModuleHandleW(nullptr), module, function, replacement) {}

ImportHook::ImportHook(HMODULE importer, const wchar_t* module, const char* function,
                       void* replacement) {
    original_ = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(module), function));
    slot_ = FindImportSlot(importer, original_);
    if (slot_ != nullptr) {
        WriteImportSlot(slot_, replacement);
    }
}

ImportHook::~ImportHook() {
    if (slot_ != nullptr) {
        WriteImportSlot(slot_, original_);
    }
}
