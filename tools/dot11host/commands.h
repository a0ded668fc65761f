#pragma once

#include <optional>
#include <string>
#include <vector>

// The program's commands; each answers the process exit code.
int RegisterCommand(bool unregister);
int ShowCommand();

struct EditOptions {
    std::optional<std::wstring> vendorFile; // none: the host passes no vendor section
    std::optional<std::wstring> adapter;    // GUID text; none: no connection record
    std::optional<std::wstring> personScript;
    std::optional<std::wstring> outFile;
};
int EditCommand(const EditOptions& options);

struct KeyOptions {
    std::wstring entry; // cckm or wpa2
    std::optional<std::wstring> fragmentFile;
    std::wstring action; // match, apply, ciphers, cipher
    std::wstring cipherName;
};
int KeyCommand(const KeyOptions& options);
