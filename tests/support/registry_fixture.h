#pragma once

#include "hr_assert.h"

#include <windows.h>

#include <string>
#include <vector>

// Registry helpers for tests: values are written as the tests need them.
struct RegistryKeyPath {
    HKEY root;
    std::wstring path;
};

bool DeleteKeyTree(HKEY root, const std::wstring& path); // true also when already absent
bool KeyExists(HKEY root, const std::wstring& path);
bool SetRegDword(HKEY root, const std::wstring& path, const wchar_t* name, DWORD value);
bool SetRegString(HKEY root, const std::wstring& path, const wchar_t* name,
                  const std::wstring& value);
// Raw data of any type and length, terminator or not.
bool SetRegRaw(HKEY root, const std::wstring& path, const wchar_t* name, DWORD type,
               const void* data, DWORD size);

struct RegValue {
    bool found = false;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    std::wstring text() const; // REG_SZ data without its terminator
};
RegValue ReadRegValue(HKEY root, const std::wstring& path, const wchar_t* name);

// Deletes the keys it owns before and after the test, and after it also the parents that
// did not exist before it (a fresh prefix has neither the maker's key nor every class key)
// once the test has left them empty.
class RegistryTest : public ::testing::Test {
  protected:
    // Keys this fixture owns; call from the derived constructor.
    void OwnKey(HKEY root, std::wstring path) { owned_.push_back({root, std::move(path)}); }
    void SetUp() override;
    void TearDown() override;

  private:
    void DeleteOwned();
    std::vector<RegistryKeyPath> owned_;
    std::vector<RegistryKeyPath> newParents_; // deepest first
};
