#pragma once

#include "common/owners.h"
#include "hostkit/ext_ui_client.h"

#include <dot11_ext_ui.h>

#include <optional>
#include <string>
#include <vector>

// What the host knows of the extension: the adapter's driver key that names its class, the
// objects behind the host's interfaces, and, for a DLL tried without an adapter, the DLL
// beside the program, its exports and the class COM has registered for it.

// Exit codes of the program.
constexpr int ExitOk = 0;
constexpr int ExitFailed = 1; // the operation failed
constexpr int ExitUsage = 2;  // the command line is wrong
constexpr int ExitNoDll = 3;  // the extension is not installed (or not registered)

std::wstring ProgramFolder();
std::wstring ExtensionDllPath();
std::wstring ExtensionInfPath(); // the driver-package INF beside the program

// DllRegisterServer or DllUnregisterServer of the DLL beside the program.
HRESULT CallRegistrationExport(const char* exportName, std::wstring& error);

// The class registered in HKEY_CLASSES_ROOT\CLSID whose InprocServer32 is the DLL beside the
// program, if any.
std::optional<CLSID> RegisteredClassOfDll();

std::wstring GuidText(const GUID& guid);
// A GUID in registry form, with or without braces.
std::optional<GUID> ParseGuid(const std::wstring& text);

// The extension's root object, or an explanation and the exit code to use. With an adapter
// the class comes from the adapter's UIExtensibilityCLSID, as the host finds it; without,
// from the registration of the DLL beside the program.
struct RootObject {
    ComPtr<IDot11ExtUI> root;
    std::wstring error;
    int exitCode = ExitOk;
};
RootObject CreateRootObject(const std::optional<GUID>& adapter);

// The host's record of a user profile on an infrastructure network, without SSID list or
// Microsoft security settings; false when the name does not fit.
bool FillHostParams(const GUID& adapter, const std::wstring& profileName,
                    DOT11EXT_IHV_PARAMS& params);
