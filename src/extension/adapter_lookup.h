#pragma once

#include "common/owners.h"

#include <qmk_registry_names.h>

#include <windows.h>

// Whether the network adapter with this interface GUID has DPT enabled, from "DPTEnable" in
// its instance key under the network-adapter class key. Every failure answers false.
bool AdapterSupportsDpt(const GUID& adapterGuid);

// Opens (KEY_READ) the instance key whose "NetCfgInstanceId" names guidText, the GUID in the
// 36-character form without braces. The first matching subkey decides, even when it cannot
// be opened.
bool FindAdapterKey(const wchar_t* guidText, UniqueHkey& instanceKey);
