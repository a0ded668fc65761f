#pragma once

// What the stress, leak, secret and bad-configuration tests share: the scale of a run, the
// module's objects built through its own class factory (the module library is linked into
// the test), a guard that dismisses the module's message boxes and dialogs, and measurements
// of the process's heaps and stacks.

#include "com_apartment.h"
#include "host_text.h"
#include "hr_assert.h"
#include "registry_fixture.h"

#include "common/owners.h"

#include <dot11_ext_ui.h>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The machine policy key the module reads.
inline constexpr wchar_t PolicyKeyName[] = L"SOFTWARE\\Quilmark\\802.11";

// Keys the test writes are deleted before and after it; so are the parents that writing them
// brought into being (a fresh prefix has neither the maker's key nor every class key). Every
// test body runs in a single-threaded apartment.
class StressRegistryTest : public RegistryTest {
  protected:
    // Call from the derived constructor.
    void OwnKeyAndNewParents(HKEY root, const std::wstring& path);
    void SetUp() override;
    void TearDown() override;

  private:
    std::vector<RegistryKeyPath> watched_;
    std::vector<RegistryKeyPath> newParents_;
    ComApartment apartment_;
};

// The network-adapter class key and a test adapter instance key under it.
inline constexpr wchar_t NetworkClassKeyName[] =
    L"System\\CurrentControlSet\\Control\\Class\\{4D36E972-E325-11CE-BFC1-08002bE10318}";
std::wstring TestAdapterKey(const std::wstring& name);

// An adapter instance key naming the GUID with "DPTEnable" = "1", and the host's connection
// record for that adapter.
bool WriteDptAdapter(const std::wstring& keyName, const GUID& adapter);
DOT11EXT_IHV_PARAMS ConnectionFor(const GUID& adapter);

// The shipped DLL's class key under HKEY_CLASSES_ROOT ("CLSID\{...}"), and its registration
// with the prefix's regsvr32, which the root object's property creation goes through.
std::wstring ShippedClassKey();
bool RegisterShippedModule(bool unregister = false);

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

// The test display, shared with the dialog driver's UiThread: a test that opens windows
// holds it, so that no dialog test running in parallel loses its keyboard focus to them.
class DisplayLease {
  public:
    DisplayLease();
    DisplayLease(const DisplayLease&) = delete;
    DisplayLease& operator=(const DisplayLease&) = delete;
    ~DisplayLease();
    bool held() const { return held_; }

  private:
    HANDLE mutex_ = nullptr;
    bool held_ = false;
};

// While alive, every message box and dialog the calling thread opens is closed as soon as it
// has initialised: message boxes with OK, dialogs with Cancel.
class WindowDismisser {
  public:
    WindowDismisser();
    WindowDismisser(const WindowDismisser&) = delete;
    WindowDismisser& operator=(const WindowDismisser&) = delete;
    ~WindowDismisser();

    bool active() const { return hook_ != nullptr; }
    // Message boxes and dialogs closed since construction, and the last message box's text.
    int messageBoxes() const;
    int dialogs() const;
    const std::wstring& lastText() const;

  private:
    HHOOK hook_ = nullptr;
};

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
