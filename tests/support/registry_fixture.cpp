#include "registry_fixture.h"

bool DeleteKeyTree(HKEY root, const std::wstring& path) {
    const LSTATUS status = RegDeleteTreeW(root, path.c_str());
    if (status == ERROR_FILE_NOT_FOUND) {
        return true;
    }
    if (status != ERROR_SUCCESS) {
        return false;
    }
    return RegDeleteKeyW(root, path.c_str()) == ERROR_SUCCESS || !KeyExists(root, path);
}

bool KeyExists(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

bool SetRegRaw(HKEY root, const std::wstring& path, const wchar_t* name, DWORD type,
               const void* data, DWORD size) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const LSTATUS status = RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool SetRegDword(HKEY root, const std::wstring& path, const wchar_t* name, DWORD value) {
    return SetRegRaw(root, path, name, REG_DWORD, &value, sizeof(value));
}

bool SetRegString(HKEY root, const std::wstring& path, const wchar_t* name,
                  const std::wstring& value) {
    return SetRegRaw(root, path, name, REG_SZ, value.c_str(),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

std::wstring RegValue::text() const {
    std::wstring result(reinterpret_cast<const wchar_t*>(data.data()),
                        data.size() / sizeof(wchar_t));
    while (!result.empty() && result.back() == L'\0') {
        result.pop_back();
    }
    return result;
}

RegValue ReadRegValue(HKEY root, const std::wstring& path, const wchar_t* name) {
    RegValue value;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return value;
    }
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.data.resize(size);
        value.found = RegQueryValueExW(key, name, nullptr, &value.type, value.data.data(), &size) ==
                      ERROR_SUCCESS;
        value.data.resize(size);
    }
    RegCloseKey(key);
    return value;
}
