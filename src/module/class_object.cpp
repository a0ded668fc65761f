#include <windows.h>

// Until the class factory exists no class is served.
STDAPI DllGetClassObject(REFCLSID, REFIID, void** result) {
    if (result != nullptr) {
        *result = nullptr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}
