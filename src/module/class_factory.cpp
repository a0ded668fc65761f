#include "module/class_factory.h"

#include "extension/ext_ui.h"
#include "extension/ext_ui_con.h"
#include "extension/ext_ui_key.h"
#include "module/module_state.h"
#include "module/registration.h"
#include "module/string_loader.h"

#include <cwchar>
#include <iterator>
#include <new>

namespace {

CLSID g_moduleClassId = {};
LONG g_moduleClassIdParsed = 0;

using CreateFunction = HRESULT (*)(REFIID iid, void** result);

struct ClassEntry {
    const IID& iid;
    CreateFunction create;
};

// The one table that picks a class: searched in this order by the requested interface.
const ClassEntry ClassTable[] = {
    {IID_IDot11ExtUI, CreateExtUI},
    {IID_ICCXExtUICon, CreateExtUICon},
    {IID_ICCXExtUIKey, CreateExtUIKey},
};

} // namespace

const CLSID& ModuleClassId() {
    if (g_moduleClassIdParsed == 1) {
        return g_moduleClassId;
    }
    UniqueLocalString text;
    if (LoadModuleString(ClassIdStringId, text) != ERROR_SUCCESS) {
        return g_moduleClassId;
    }
    // Registry form is 38 characters with its braces; anything longer is no identifier.
    wchar_t braced[64] = {};
    if (wcslen(text.get()) + 3 > std::size(braced)) {
        return g_moduleClassId;
    }
    swprintf(braced, std::size(braced), L"{%ls}", text.get());
    CLSID parsed = {};
    if (CLSIDFromString(braced, &parsed) == S_OK) {
        g_moduleClassId = parsed;
        InterlockedExchange(&g_moduleClassIdParsed, 1);
    }
    return g_moduleClassId;
}

ULONG AddReference(LONG& referenceCount) {
    return static_cast<ULONG>(InterlockedIncrement(&referenceCount));
}

ULONG DropReference(LONG& referenceCount) {
    return static_cast<ULONG>(InterlockedDecrement(&referenceCount));
}

HRESULT STDMETHODCALLTYPE CFactory::QueryInterface(REFIID iid, void** result) {
    if (result == nullptr) {
        return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
        *result = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *result = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CFactory::AddRef() {
    return AddReference(referenceCount_);
}

ULONG STDMETHODCALLTYPE CFactory::Release() {
    const ULONG count = DropReference(referenceCount_);
    if (count == 0) {
        delete this;
    }
    return count;
}

HRESULT STDMETHODCALLTYPE CFactory::CreateInstance(IUnknown* outer, REFIID iid, void** result) {
    if (result == nullptr) {
        return E_POINTER;
    }
    if (outer != nullptr) {
        return CLASS_E_NOAGGREGATION;
    }
    for (const ClassEntry& entry : ClassTable) {
        if (IsEqualIID(iid, entry.iid)) {
            return entry.create(iid, result);
        }
    }
    return E_NOINTERFACE;
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
    CFactory* factory = new (std::nothrow) CFactory();
    if (factory == nullptr) {
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = factory->QueryInterface(iid, result);
    factory->Release();
    return hr;
}
