#pragma once

#include <windows.h>
#include <objbase.h>

// The module's one class identifier, parsed from string 5667 and cached once a parse has
// succeeded; all zeros until then (a failed parse is retried on the next call).
const CLSID& ModuleClassId();

// The AddRef routine every class of the module shares: interlocked increment of the
// reference count, answering the new count.
ULONG AddReference(LONG& referenceCount);

// Interlocked decrement, answering the count as read after it; the caller destroys the
// object at zero.
ULONG DropReference(LONG& referenceCount);

// Serves every class of the module under ModuleClassId; the interface identifier asked of
// CreateInstance picks the class. Factories are not counted as live objects.
class CFactory final : public IClassFactory {
  public:
    CFactory() = default;
    CFactory(const CFactory&) = delete;
    CFactory& operator=(const CFactory&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** result) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

  private:
    ~CFactory() = default;
    LONG referenceCount_ = 1;
};

STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, void** result);
