#pragma once

#include "common/com_base.h"
#include "services/class_id.h"

// Serves every class of the module under ModuleClassId; the interface identifier asked of
// CreateInstance picks the class through the class table. Factories are not counted as live
// objects.
class CFactory final : public ComBase<IClassFactory, IID_IClassFactory> {
  public:
    CFactory() = default;

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** result) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

  private:
    ~CFactory() override = default;
};

STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, void** result);
