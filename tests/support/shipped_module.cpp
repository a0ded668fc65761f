#include "shipped_module.h"

#include "hostkit/process_runner.h"

#include "services/module_state.h"

std::wstring ShippedModulePath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring result(path);
    result.resize(result.find_last_of(L"\\/") + 1);
    return result + L"qmkihvui.dll";
}

HMODULE ShippedModule() {
    static HMODULE module = LoadLibraryW(ShippedModulePath().c_str());
    return module;
}

void UseShippedModuleResources() {
    SetModuleInstance(ShippedModule());
}

DWORD RunRegsvr32(const std::wstring& options) {
    return RunProcess(L"regsvr32.exe /s " + options + L" \"" + ShippedModulePath() + L"\"");
}
