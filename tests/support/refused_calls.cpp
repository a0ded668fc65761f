#include "refused_calls.h"

#include "import_hook.h"

#include <objbase.h>
#include <oleauto.h>
#include <rpc.h>
#include <wincrypt.h>

#include <atomic>
#include <cstdlib>
#include <vector>

namespace {

// {2933BF90-7B36-11D2-B20E-00C04F983E60}, the XML document class.
const CLSID DocumentClass = {
    0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

std::atomic<unsigned> g_calls{0};
unsigned g_refused = RefusedCalls::None;
HRESULT g_documentRefusal = E_OUTOFMEMORY;
const char* g_refusedName = nullptr;

bool Refuse(const char* name) {
    if (g_calls++ != g_refused) {
        return false;
    }
    g_refusedName = name;
    return true;
}

// The platform's functions, as the hooks found them.
void* g_real[16] = {};
enum Slot {
    CoCreate,
    SysAlloc,
    SysAllocLen,
    TaskAlloc,
    LocalAllocSlot,
    Malloc,
    Protect,
    Unprotect,
    RegOpen,
    RegCreate,
    RegQuery,
    RegGet,
    RegSet,
    UuidText,
    ModulePath
};
template <typename F> F Real(Slot slot) {
    return reinterpret_cast<F>(g_real[slot]);
}

HRESULT WINAPI CoCreateInstanceHook(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid,
                                    LPVOID* result) {
    if (IsEqualCLSID(clsid, DocumentClass) && Refuse("CoCreateInstance")) {
        *result = nullptr;
        return g_documentRefusal;
    }
    return Real<decltype(&CoCreateInstanceHook)>(CoCreate)(clsid, outer, context, iid, result);
}
BSTR WINAPI SysAllocStringHook(const OLECHAR* text) {
    return Refuse("SysAllocString") ? nullptr : Real<decltype(&SysAllocStringHook)>(SysAlloc)(text);
}
BSTR WINAPI SysAllocStringLenHook(const OLECHAR* text, UINT length) {
    return Refuse("SysAllocStringLen")
               ? nullptr
               : Real<decltype(&SysAllocStringLenHook)>(SysAllocLen)(text, length);
}
LPVOID WINAPI CoTaskMemAllocHook(SIZE_T size) {
    return Refuse("CoTaskMemAlloc") ? nullptr
                                    : Real<decltype(&CoTaskMemAllocHook)>(TaskAlloc)(size);
}
HLOCAL WINAPI LocalAllocHook(UINT flags, SIZE_T size) {
    if (Refuse("LocalAlloc")) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return Real<decltype(&LocalAllocHook)>(LocalAllocSlot)(flags, size);
}
void* __cdecl MallocHook(size_t size) {
    return Refuse("malloc") ? nullptr : Real<decltype(&MallocHook)>(Malloc)(size);
}
BOOL WINAPI CryptProtectDataHook(DATA_BLOB* in, LPCWSTR description, DATA_BLOB* entropy,
                                 PVOID reserved, CRYPTPROTECT_PROMPTSTRUCT* prompt, DWORD flags,
                                 DATA_BLOB* out) {
    if (Refuse("CryptProtectData")) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    return Real<decltype(&CryptProtectDataHook)>(Protect)(in, description, entropy, reserved,
                                                          prompt, flags, out);
}
BOOL WINAPI CryptUnprotectDataHook(DATA_BLOB* in, LPWSTR* description, DATA_BLOB* entropy,
                                   PVOID reserved, CRYPTPROTECT_PROMPTSTRUCT* prompt, DWORD flags,
                                   DATA_BLOB* out) {
    if (Refuse("CryptUnprotectData")) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    return Real<decltype(&CryptUnprotectDataHook)>(Unprotect)(in, description, entropy, reserved,
                                                              prompt, flags, out);
}
LSTATUS WINAPI RegOpenKeyExWHook(HKEY key, LPCWSTR path, DWORD options, REGSAM access,
                                 PHKEY result) {
    if (Refuse("RegOpenKeyExW")) {
        *result = nullptr;
        return ERROR_ACCESS_DENIED;
    }
    return Real<decltype(&RegOpenKeyExWHook)>(RegOpen)(key, path, options, access, result);
}
LSTATUS WINAPI RegCreateKeyExWHook(HKEY key, LPCWSTR path, DWORD reserved, LPWSTR type,
                                   DWORD options, REGSAM access, LPSECURITY_ATTRIBUTES security,
                                   PHKEY result, LPDWORD disposition) {
    if (Refuse("RegCreateKeyExW")) {
        *result = nullptr;
        return ERROR_ACCESS_DENIED;
    }
    return Real<decltype(&RegCreateKeyExWHook)>(RegCreate)(key, path, reserved, type, options,
                                                           access, security, result, disposition);
}
LSTATUS WINAPI RegQueryValueExWHook(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type,
                                    LPBYTE data, LPDWORD size) {
    return Refuse("RegQueryValueExW") ? ERROR_ACCESS_DENIED
                                      : Real<decltype(&RegQueryValueExWHook)>(RegQuery)(
                                            key, name, reserved, type, data, size);
}
LSTATUS WINAPI RegGetValueWHook(HKEY key, LPCWSTR subkey, LPCWSTR name, DWORD flags, LPDWORD type,
                                PVOID data, LPDWORD size) {
    return Refuse("RegGetValueW") ? ERROR_ACCESS_DENIED
                                  : Real<decltype(&RegGetValueWHook)>(RegGet)(
                                        key, subkey, name, flags, type, data, size);
}
LSTATUS WINAPI RegSetValueExWHook(HKEY key, LPCWSTR name, DWORD reserved, DWORD type,
                                  const BYTE* data, DWORD size) {
    return Refuse("RegSetValueExW")
               ? ERROR_ACCESS_DENIED
               : Real<decltype(&RegSetValueExWHook)>(RegSet)(key, name, reserved, type, data, size);
}
RPC_STATUS RPC_ENTRY UuidToStringWHook(const UUID* uuid, RPC_WSTR* text) {
    return Refuse("UuidToStringW") ? RPC_S_OUT_OF_MEMORY
                                   : Real<decltype(&UuidToStringWHook)>(UuidText)(uuid, text);
}
DWORD WINAPI GetModuleFileNameWHook(HMODULE module, LPWSTR path, DWORD size) {
    if (Refuse("GetModuleFileNameW")) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    return Real<decltype(&GetModuleFileNameWHook)>(ModulePath)(module, path, size);
}

struct HookRow {
    unsigned group;
    Slot slot;
    const wchar_t* module;
    const char* function;
    void* replacement;
};

const HookRow HookRows[] = {
    {RefuseDocuments, CoCreate, L"ole32.dll", "CoCreateInstance",
     reinterpret_cast<void*>(CoCreateInstanceHook)},
    {RefuseStrings, SysAlloc, L"oleaut32.dll", "SysAllocString",
     reinterpret_cast<void*>(SysAllocStringHook)},
    {RefuseStrings, SysAllocLen, L"oleaut32.dll", "SysAllocStringLen",
     reinterpret_cast<void*>(SysAllocStringLenHook)},
    {RefuseTaskMemory, TaskAlloc, L"ole32.dll", "CoTaskMemAlloc",
     reinterpret_cast<void*>(CoTaskMemAllocHook)},
    {RefuseLocalMemory, LocalAllocSlot, L"kernel32.dll", "LocalAlloc",
     reinterpret_cast<void*>(LocalAllocHook)},
    {RefuseMalloc, Malloc, L"msvcrt.dll", "malloc", reinterpret_cast<void*>(MallocHook)},
    {RefuseProtection, Protect, L"crypt32.dll", "CryptProtectData",
     reinterpret_cast<void*>(CryptProtectDataHook)},
    {RefuseProtection, Unprotect, L"crypt32.dll", "CryptUnprotectData",
     reinterpret_cast<void*>(CryptUnprotectDataHook)},
    {RefuseRegistry, RegOpen, L"advapi32.dll", "RegOpenKeyExW",
     reinterpret_cast<void*>(RegOpenKeyExWHook)},
    {RefuseRegistry, RegCreate, L"advapi32.dll", "RegCreateKeyExW",
     reinterpret_cast<void*>(RegCreateKeyExWHook)},
    {RefuseRegistry, RegQuery, L"advapi32.dll", "RegQueryValueExW",
     reinterpret_cast<void*>(RegQueryValueExWHook)},
    {RefuseRegistry, RegGet, L"advapi32.dll", "RegGetValueW",
     reinterpret_cast<void*>(RegGetValueWHook)},
    {RefuseRegistry, RegSet, L"advapi32.dll", "RegSetValueExW",
     reinterpret_cast<void*>(RegSetValueExWHook)},
    {RefuseUuidText, UuidText, L"rpcrt4.dll", "UuidToStringW",
     reinterpret_cast<void*>(UuidToStringWHook)},
    {RefuseModulePath, ModulePath, L"kernel32.dll", "GetModuleFileNameW",
     reinterpret_cast<void*>(GetModuleFileNameWHook)},
};

} // namespace

struct RefusedCalls::Hooks {
    std::vector<std::unique_ptr<ImportHook>> hooks;
    bool complete = true;
};

RefusedCalls::RefusedCalls(HMODULE importer, unsigned functions, unsigned refused,
                           HRESULT documentRefusal)
    : hooks_(std::make_unique<Hooks>()) {
    g_calls = 0;
    g_refused = refused;
    g_documentRefusal = documentRefusal;
    g_refusedName = nullptr;
    for (const HookRow& row : HookRows) {
        if ((row.group & functions) == 0) {
            continue;
        }
        auto hook =
            std::make_unique<ImportHook>(importer, row.module, row.function, row.replacement);
        g_real[row.slot] = hook->original();
        hooks_->complete = hooks_->complete && hook->active();
        hooks_->hooks.push_back(std::move(hook));
    }
}

RefusedCalls::~RefusedCalls() {
    hooks_->hooks.clear();
    g_refused = None;
}

bool RefusedCalls::active() const {
    return hooks_->complete;
}

unsigned RefusedCalls::count() const {
    return g_calls;
}

const char* RefusedCalls::refusedName() const {
    return g_refusedName;
}
