#pragma once

#include <windows.h>

#include <qmk_registry_names.h>

// The machine policy under HKLM PolicyKeyPath, read afresh at every use; nothing is cached and
// nothing is written.
//
// One read of a policy value into 4 bytes: the registry's answer, the bytes it wrote (zero
// beyond a shorter value) and the value's size.
struct PolicyValue {
    LSTATUS status = ERROR_FILE_NOT_FOUND;
    DWORD value = 0;
    DWORD size = 0;
};
PolicyValue ReadPolicyValue(const wchar_t* name);

// The root object's reading: the value when exactly 4 bytes were read, 0 otherwise (absent,
// unreadable or of another size).
DWORD ReadPolicyNumber(const wchar_t* name);

// The connectivity property's reading: TRUE unless the value was read and is not 1, so an
// absent value counts as enabled here.
BOOL ReadPolicyFlag(const wchar_t* name);
