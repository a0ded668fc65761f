#include "shipped_module.h"

#include "module/module_state.h"

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
    std::wstring command = L"regsvr32.exe /s " + options + L" \"" + ShippedModulePath() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return static_cast<DWORD>(-1);
    }
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = static_cast<DWORD>(-1);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}
