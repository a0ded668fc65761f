#pragma once

#include <windows.h>

#include <memory>

// The platform functions a module imports that can run out of memory or be denied, in groups.
enum RefusableCalls : unsigned {
    RefuseDocuments = 1u << 0,   // CoCreateInstance of the XML document: E_OUTOFMEMORY
    RefuseStrings = 1u << 1,     // SysAllocString, SysAllocStringLen: null
    RefuseTaskMemory = 1u << 2,  // CoTaskMemAlloc: null
    RefuseLocalMemory = 1u << 3, // LocalAlloc: null, ERROR_NOT_ENOUGH_MEMORY
    RefuseMalloc = 1u << 4,      // malloc: null (operator new then throws)
    RefuseProtection = 1u << 5,  // CryptProtectData, CryptUnprotectData: ERROR_NOT_ENOUGH_MEMORY
    RefuseRegistry = 1u << 6,    // RegOpenKeyExW, RegCreateKeyExW, RegQueryValueExW, RegGetValueW,
                                 // RegSetValueExW: ERROR_ACCESS_DENIED
    RefuseUuidText = 1u << 7,    // UuidToStringW: RPC_S_OUT_OF_MEMORY
    RefuseModulePath = 1u << 8,  // GetModuleFileNameW: 0, ERROR_NOT_ENOUGH_MEMORY
    RefuseAll = 0x1FFu,
};

// While the object lives, the calls `importer` makes to the chosen functions are counted from
// 0 together, and call number `refused` fails the way that function fails when memory or
// access runs out; every other call goes to the platform. One object at a time.
class RefusedCalls {
  public:
    static constexpr unsigned None = ~0u;

    RefusedCalls(HMODULE importer, unsigned functions, unsigned refused = None,
                 HRESULT documentRefusal = E_OUTOFMEMORY);
    RefusedCalls(const RefusedCalls&) = delete;
    RefusedCalls& operator=(const RefusedCalls&) = delete;
    ~RefusedCalls();

    // Every chosen function the module imports is hooked.
    bool active() const;
    // The calls counted so far.
    unsigned count() const;
    // The name of the function whose call was refused, or null.
    const char* refusedName() const;

  private:
    struct Hooks;
    std::unique_ptr<Hooks> hooks_;
};
