#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// The program's commands; each answers the process exit code.
int RegisterCommand(bool unregister);

struct InstallOptions {
    GUID adapter{};
    std::wstring infPath;
    std::optional<std::wstring> hardwareId; // for an adapter key without MatchingDeviceId
};
int InstallCommand(const InstallOptions& options);
int UninstallCommand(const InstallOptions& options);

// Without an adapter the extension is the DLL beside the program, and the host passes no
// connection record.
int ShowCommand(const std::optional<GUID>& adapter);

struct EditOptions {
    std::optional<std::wstring> vendorFile; // none: the host passes no vendor section
    // A wireless profile instead: its IHV element and the record filled from it.
    std::optional<std::wstring> profileFile;
    std::optional<GUID> adapter;
    std::optional<std::wstring> profileName; // default: the vendor file's name
    std::optional<std::wstring> personScript;
    std::optional<std::wstring> outFile;
};
int EditCommand(const EditOptions& options);

struct KeyOptions {
    std::wstring entry; // cckm or wpa2
    std::optional<std::wstring> fragmentFile;
    std::optional<GUID> adapter;
    std::optional<std::wstring> profileName; // default: the fragment file's name
    std::wstring action;                     // match, apply, ciphers, cipher
    std::wstring cipherName;
};
int KeyCommand(const KeyOptions& options);
