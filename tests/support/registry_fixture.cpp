#include "registry_fixture.h"

#include "common/owners.h"

#include <algorithm>

namespace {

std::wstring ParentOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

bool SameKey(const RegistryKeyPath& a, const RegistryKeyPath& b) {
    return a.root == b.root && a.path == b.path;
}

} // namespace

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
    UniqueHkey key;
    return RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

bool SetRegRaw(HKEY root, const std::wstring& path, const wchar_t* name, DWORD type,
               const void* data, DWORD size) {
    UniqueHkey key;
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    return RegSetValueExW(key.get(), name, 0, type, static_cast<const BYTE*>(data), size) ==
           ERROR_SUCCESS;
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
    UniqueHkey key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
        return value;
    }
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.data.resize(size);
        value.found = RegQueryValueExW(key.get(), name, nullptr, &value.type, value.data.data(),
                                       &size) == ERROR_SUCCESS;
        value.data.resize(size);
    }
    return value;
}

void RegistryTest::SetUp() {
    DeleteOwned();
    newParents_.clear();
    for (const RegistryKeyPath& key : owned_) {
        for (std::wstring parent = ParentOf(key.path); !parent.empty(); parent = ParentOf(parent)) {
            const RegistryKeyPath candidate{key.root, parent};
            if (KeyExists(key.root, parent)) {
                break;
            }
            if (std::none_of(newParents_.begin(), newParents_.end(),
                             [&](const RegistryKeyPath& p) { return SameKey(p, candidate); })) {
                newParents_.push_back(candidate);
            }
        }
    }
    // A key's path is longer than its parent's: the longest go first.
    std::sort(newParents_.begin(), newParents_.end(),
              [](const RegistryKeyPath& a, const RegistryKeyPath& b) {
                  return a.path.size() > b.path.size();
              });
}

void RegistryTest::TearDown() {
    DeleteOwned();
    // RegDeleteKeyW refuses a key that still has subkeys: only what the test left empty goes.
    for (const RegistryKeyPath& parent : newParents_) {
        RegDeleteKeyW(parent.root, parent.path.c_str());
    }
}

void RegistryTest::DeleteOwned() {
    for (const RegistryKeyPath& key : owned_) {
        ASSERT_TRUE(DeleteKeyTree(key.root, key.path));
    }
}
