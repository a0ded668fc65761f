#include "module/class_factory.h"

#include "module/class_table.h"
#include "services/module_state.h"

HRESULT STDMETHODCALLTYPE CFactory::CreateInstance(IUnknown* outer, REFIID iid, void** result) {
    if (result == nullptr) {
        return E_POINTER;
    }
    if (outer != nullptr) {
        return CLASS_E_NOAGGREGATION;
    }
    return CreateClassInstance(iid, result);
}

HRESULT STDMETHODCALLTYPE CFactory::LockServer(BOOL lock) {
    LockModule(lock);
    return S_OK;
}

STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, void** result) {
    if (result == nullptr) {
        return E_POINTER;
    }
    // Until string 5667 has been parsed the identifier is all zeros, which names no class.
    const CLSID& served = ModuleClassId();
    if (IsEqualCLSID(served, GUID_NULL) || !IsEqualCLSID(classId, served)) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return CreateComObject<CFactory>(iid, result);
}
