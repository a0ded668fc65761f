#pragma once

#include "com_apartment.h"
#include "host_text.h"
#include "hr_assert.h"
#include "registry_fixture.h"
#include "shipped_module.h"

#include "common/owners.h"
#include "hostkit/ext_ui_client.h"

#include <dot11_ext_ui.h>
#include <qmk_registry_names.h>

#include <string>
#include <vector>

// Registry paths the extension reads.
std::wstring PolicyKey();
// A test-only adapter instance key under the network-adapter class key.
std::wstring AdapterInstanceKey(const std::wstring& name);

// Owns the policy key, the test adapter instance keys and the class registration.
class ExtensionRegistryTest : public RegistryTest {
  protected:
    ExtensionRegistryTest();

    static constexpr const wchar_t* AdapterKeyNames[] = {L"QmkTest0000", L"QmkTest0001",
                                                         L"QmkTest0002"};
};

// The shipped DLL registered with the prefix's regsvr32 for the test, inside an STA; the
// DLL's own DllCanUnloadNow must answer S_OK again when the test ends.
class RegisteredExtensionTest : public ExtensionRegistryTest {
  protected:
    void SetUp() override;
    void TearDown() override;

  private:
    ComApartment apartment_;
};

const CLSID& ShippedClassId();

// The DLL's DllCanUnloadNow and DllGetClassObject, through GetProcAddress.
HRESULT ShippedDllCanUnloadNow();
HRESULT ShippedDllGetClassObject(REFCLSID classId, REFIID iid, void** result);

// The reference count as the object reports it: AddRef then Release.
ULONG ReferenceCount(IUnknown* object);

ComPtr<IDot11ExtUI> CreateRoot();

// The key properties the policy "EnableCCX" = 1 offers: entry 0 (CCKM), entry 1 (WPA2).
struct KeyProperties {
    ComPtr<ICCXExtUIKey> cckm;
    ComPtr<ICCXExtUIKey> wpa2;
};
KeyProperties CreateKeyProperties(IDot11ExtUI* root);

// A sentinel out value that an operation must not touch.
inline BSTR SentinelBstr() {
    return reinterpret_cast<BSTR>(static_cast<uintptr_t>(0xDEADBEEF));
}
