#pragma once

#include "common/owners.h"

#include <qmk_registry_names.h>

#include <optional>
#include <string>

// The network adapters' instance keys (driver keys) under the adapter class key, as the
// host and the driver installer see them: the key whose NetCfgInstanceId names an interface
// GUID, and the UI extension's class id in its Ndi\IHVExtensions.

struct AdapterKey {
    std::wstring name; // subkey of the class key
    UniqueHkey key;
    bool standIn = false;
    std::wstring Path() const; // for messages
};

// The instance key whose NetCfgInstanceId names the adapter, opened with the access given.
std::optional<AdapterKey> FindAdapterKey(const GUID& adapter, REGSAM access);

// An instance key for an adapter the machine does not have, so that an INF can be tried
// against it: the next free four-digit name, the adapter's NetCfgInstanceId, a DriverDesc
// that says what it is, and a mark by which uninstall knows to take it away again.
std::optional<AdapterKey> CreateStandInAdapterKey(const GUID& adapter, std::wstring& error);
bool DeleteAdapterKey(const AdapterKey& adapter);

// The UI extension's class id as the adapter's key holds it; none when absent.
std::optional<std::wstring> UiExtensionClassText(HKEY adapterKey);
