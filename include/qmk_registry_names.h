#pragma once

// Registry names the extension DLL and its host both use; no Windows header, so the host's
// tools and the tests take them from here too.

// The network-adapter class key under HKEY_LOCAL_MACHINE. Each adapter's instance (driver)
// key is a subkey of it, and its "NetCfgInstanceId" names the adapter's interface GUID.
inline constexpr wchar_t NetworkClassKeyPath[] =
    L"SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E972-E325-11CE-BFC1-08002bE10318}";
inline constexpr wchar_t AdapterInstanceIdValue[] = L"NetCfgInstanceId";

// Under an adapter's instance key: the UI extension's class id in braces, where the host
// looks for it.
inline constexpr wchar_t IhvExtensionsKeyName[] = L"Ndi\\IHVExtensions";
inline constexpr wchar_t UiExtensionClassValue[] = L"UIExtensibilityCLSID";

// The machine policy under HKEY_LOCAL_MACHINE.
inline constexpr wchar_t PolicyKeyPath[] = L"SOFTWARE\\Quilmark\\802.11";
