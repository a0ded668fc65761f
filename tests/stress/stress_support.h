#pragma once

// What the stress, leak, secret and bad-configuration tests share: the scale of a run, the
// module's objects built through its own class factory (the module library is linked into
// the test), and measurements of the process's heaps and stacks.

#include "com_apartment.h"
#include "display_lease.h"
#include "host_text.h"
#include "hr_assert.h"
#include "registry_fixture.h"
#include "window_dismisser.h"

#include "common/owners.h"

#include <dot11_ext_ui.h>
#include <qmk_registry_names.h>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The registry fixture with every test body in a single-threaded apartment.
class StressRegistryTest : public RegistryTest {
  protected:
    void SetUp() override;

  private:
    ComApartment apartment_;
};

// A test adapter instance key under the network-adapter class key.
std::wstring TestAdapterKey(const std::wstring& name);

// An adapter instance key naming the GUID with "DPTEnable" = "1", and the host's connection
// record for that adapter.
bool WriteDptAdapter(const std::wstring& keyName, const GUID& adapter);
DOT11EXT_IHV_PARAMS ConnectionFor(const GUID& adapter);

// The shipped DLL's class key under HKEY_CLASSES_ROOT ("CLSID\{...}").
std::wstring ShippedClassKey();

// A count from the environment (scripts/stress sets the long runs), else the short default.
unsigned ScaleFromEnvironment(const wchar_t* name, unsigned shortDefault);

// The module's own class factory, through the linked DllGetClassObject; the module reads
// the shipped DLL's resources (its class identifier, strings, dialog).
ComPtr<IClassFactory> ModuleFactory();
// The same factory from the shipped DLL itself (its DllGetClassObject), for tests that watch
// what the DLL's own code does.
ComPtr<IClassFactory> ShippedModuleFactory();
ComPtr<IDot11ExtUI> CreateRootObject(IClassFactory* factory);
ComPtr<ICCXExtUICon> CreateConnectivityObject(IClassFactory* factory);
// A key property bound to entry 0 (CCKM) or 1 (WPA2) of the key-property table.
ComPtr<ICCXExtUIKey> CreateKeyObject(IClassFactory* factory, std::size_t entry);

// Bytes in busy blocks of every heap of the process.
std::size_t HeapBytesInUse();

// CoTaskMem allocations made and still alive since Register, counted by an IMallocSpy.
class CoTaskMemCounter {
  public:
    CoTaskMemCounter();
    CoTaskMemCounter(const CoTaskMemCounter&) = delete;
    CoTaskMemCounter& operator=(const CoTaskMemCounter&) = delete;
    ~CoTaskMemCounter();

    bool registered() const { return registered_; }
    long liveBlocks() const;
    long long liveBytes() const;
    long long allocations() const;

  private:
    bool registered_ = false;
};

// Where a secret (its UTF-16 bytes, whole or in pieces of 8 units) still stands in memory.
struct SecretSightings {
    int busyHeapBlocks = 0;  // copies in blocks still allocated
    int freeHeapRegions = 0; // copies in memory the heaps have taken back
    int stackCopies = 0;     // below the calling thread's stack pointer: frames already left
};
// Searches every heap (busy blocks and free regions) and the calling thread's stack below
// its current frame. Pass a literal: a copy of the text on the heap would be found itself.
SecretSightings FindSecret(std::wstring_view text);

// Runs call from 64 KB further down the stack, so that the frames it leaves behind lie below
// those of a later FindSecret and survive until it searches them.
void CallBelowStackPad(const std::function<void()>& call);
