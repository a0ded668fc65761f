#include "import_hook.h"

namespace {

void** FindImportSlot(void* target) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
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

void WriteSlot(void** slot, void* value) {
    DWORD protection = 0;
    VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &protection);
    *slot = value;
    VirtualProtect(slot, sizeof(void*), protection, &protection);
}

} // namespace

ImportHook::ImportHook(const wchar_t* module, const char* function, void* replacement) {
    original_ = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(module), function));
    slot_ = FindImportSlot(original_);
    if (slot_ != nullptr) {
        WriteSlot(slot_, replacement);
    }
}

ImportHook::~ImportHook() {
    if (slot_ != nullptr) {
        WriteSlot(slot_, original_);
    }
}
