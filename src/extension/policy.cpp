#include "extension/policy.h"

#include "common/owners.h"

PolicyValue ReadPolicyValue(const wchar_t* name) {
    PolicyValue read;
    UniqueHkey key;
    read.status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, PolicyKeyPath, 0, KEY_QUERY_VALUE, key.put());
    if (read.status != ERROR_SUCCESS) {
        return read;
    }
    read.size = sizeof(read.value);
    read.status = RegQueryValueExW(key.get(), name, nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(&read.value), &read.size);
    return read;
}

DWORD ReadPolicyNumber(const wchar_t* name) {
    const PolicyValue read = ReadPolicyValue(name);
    return read.status == ERROR_SUCCESS && read.size == sizeof(read.value) ? read.value : 0;
}

BOOL ReadPolicyFlag(const wchar_t* name) {
    const PolicyValue read = ReadPolicyValue(name);
    return read.status != ERROR_SUCCESS || read.value == 1 ? TRUE : FALSE;
}
