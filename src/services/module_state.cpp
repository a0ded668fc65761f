#include "services/module_state.h"

namespace {

HINSTANCE g_instance = nullptr;
LONG g_objectCount = 0;
LONG g_serverLockCount = 0;

} // namespace

HINSTANCE ModuleInstance() {
    return g_instance;
}

void SetModuleInstance(HINSTANCE instance) {
    g_instance = instance;
}

void IncrementObjectCount() {
    InterlockedIncrement(&g_objectCount);
}

void DecrementObjectCount() {
    InterlockedDecrement(&g_objectCount);
}

LONG ObjectCount() {
    return g_objectCount;
}

void LockModule(BOOL lock) {
    if (lock) {
        InterlockedIncrement(&g_serverLockCount);
    } else {
        InterlockedDecrement(&g_serverLockCount);
    }
}

LONG ServerLockCount() {
    return g_serverLockCount;
}

STDAPI DllCanUnloadNow() {
    // Read plainly, one after the other: a snapshot is all the caller can act on anyway.
    return (g_objectCount == 0 && g_serverLockCount == 0) ? S_OK : S_FALSE;
}
