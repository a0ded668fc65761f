// Every operation of every object, thousands of times: the process's heaps and the CoTaskMem
// allocations (counted by an IMallocSpy) must not grow. BSTR caching is off (OANOCACHE), so a
// BSTR that is not freed shows as a live CoTaskMem block.
#include "shipped_module.h"
#include "stress_support.h"

#include "extension/key_property_table.h"
#include "fragments/dpt_settings.h"
#include "module/class_factory.h"
#include "services/module_state.h"

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

// scripts/stress sets QMK_LEAK_CYCLES=10000; scripts/test runs the short default.
unsigned LeakCycles() {
    return ScaleFromEnvironment(L"QMK_LEAK_CYCLES", 150);
}

// A dialog run costs far more than anything else, so it runs a tenth of the cycles.
constexpr unsigned DialogCycleShare = 10;

// Growth allowed over a run: the platform's heaps move by a few hundred bytes on their own
// (MSXML's and the window manager's caches settle); one block kept per cycle, at least 16
// bytes, would show as many kilobytes.
std::size_t AllowedGrowth(unsigned cycles) {
    return 2048 + cycles / 8;
}

constexpr GUID LeakAdapter = {0x51e8c0a4, 0x1d2b, 0x4f6e, {0x9a, 0x10, 0, 0, 0, 0, 0x4c, 0x45}};

const wchar_t ValidNetworkFragment[] =
    L"<CCX xmlns=\"any\"><authenticatingNetwork><cckm><encryption>TKIP</encryption></cckm>"
    L"</authenticatingNetwork></CCX>";

class LeakTest : public StressRegistryTest {
  protected:
    LeakTest() {
        OwnKey(HKEY_LOCAL_MACHINE, PolicyKeyPath);
        OwnKey(HKEY_LOCAL_MACHINE, TestAdapterKey(L"QmkLeak0000"));
        OwnKey(HKEY_CLASSES_ROOT, ShippedClassKey());
    }
    void SetUp() override {
        StressRegistryTest::SetUp();
        ASSERT_EQ(0u, RunRegsvr32(L""));
        ASSERT_TRUE(SetRegDword(HKEY_LOCAL_MACHINE, PolicyKeyPath, L"EnableCCX", 1));
        ASSERT_TRUE(WriteDptAdapter(L"QmkLeak0000", LeakAdapter));
    }
    void TearDown() override {
        EXPECT_EQ(0u, RunRegsvr32(L"/u"));
        StressRegistryTest::TearDown();
    }
};

struct Operation {
    std::string name;
    std::function<void()> run;
    unsigned share = 1; // runs cycles / share times
};

struct Growth {
    long long heapBytes;
    long liveCoTaskMemBlocks;
    double coTaskMemAllocationsPerCycle; // what passed through the spy: it saw the traffic
};

Growth Measure(const Operation& operation, unsigned cycles, CoTaskMemCounter& counter) {
    for (int i = 0; i < 20; ++i) { // caches and first-use allocations settle
        operation.run();
    }
    const std::size_t heapBefore = HeapBytesInUse();
    const long blocksBefore = counter.liveBlocks();
    const long long allocationsBefore = counter.allocations();
    for (unsigned i = 0; i < cycles; ++i) {
        operation.run();
    }
    const std::size_t heapAfter = HeapBytesInUse();
    return {static_cast<long long>(heapAfter) - static_cast<long long>(heapBefore),
            counter.liveBlocks() - blocksBefore,
            static_cast<double>(counter.allocations() - allocationsBefore) / cycles};
}

// A vendor section of default settings, which EditSettings leaves as it is.
UniqueBstr DefaultSection(ICCXExtUICon* connectivity) {
    UniqueBstr section;
    BOOL changed = FALSE;
    EXPECT_HR(S_OK, connectivity->EditSettings(nullptr, nullptr, nullptr, section.put(), &changed));
    return section;
}

// A stored passphrase and a CCX setting out of range: EditSettings resets the CCX settings and
// writes the whole section anew, the passphrase protected again.
UniqueBstr SectionToRewrite() {
    UniqueBstr key = ProtectPassphrase(L"leak test passphrase");
    std::wstring text = L"<Quilmark xmlns=\"v1\"><CCX xmlns=\"any\"><RadioMeasurement><enabled>"
                        L"<MaxOffChannelTimeMs>51</MaxOffChannelTimeMs><MinOnChannelTimeMs>400"
                        L"</MinOnChannelTimeMs></enabled></RadioMeasurement></CCX>"
                        L"<DPT xmlns=\"dptv1\"><useDPTPrivateKey>true</useDPTPrivateKey>"
                        L"<DPTPrivateKey>";
    text += key ? key.get() : L"";
    text += L"</DPTPrivateKey><DPTEncryption>AES</DPTEncryption></DPT></Quilmark>";
    return UniqueBstr(SysAllocString(text.c_str()));
}

// The measurements see a leak: a block kept on each heap the module's allocations use.
TEST(LeakMeasurementTest, SeesWhatIsKept) {
    ComApartment apartment;
    CoTaskMemCounter counter;
    ASSERT_TRUE(counter.registered());
    for (int i = 0; i < 2; ++i) { // first uses allocate for good
        UniqueBstr first(SysAllocString(L"kept"));
        UniqueCoTaskMem<BYTE> second(static_cast<BYTE*>(CoTaskMemAlloc(64)));
    }
    const long long allocationsBefore = counter.allocations();
    const std::size_t heapBefore = HeapBytesInUse();
    ASSERT_LT(0u, heapBefore);
    void* volatile kept = std::malloc(4000); // volatile: the compiler may not drop it
    UniqueLocal<BYTE> local(static_cast<BYTE*>(LocalAlloc(LMEM_FIXED, 3000)));
    const std::size_t heapAfter = HeapBytesInUse();
    EXPECT_LE(heapBefore + 7000, heapAfter);
    EXPECT_GT(heapBefore + 7200, heapAfter);
    UniqueBstr text(SysAllocString(L"kept"));
    UniqueCoTaskMem<BYTE> block(static_cast<BYTE*>(CoTaskMemAlloc(64)));
    EXPECT_EQ(2, counter.liveBlocks());
    block.reset();
    text.reset();
    EXPECT_EQ(0, counter.liveBlocks());
    EXPECT_EQ(allocationsBefore + 2, counter.allocations());
    std::free(kept);
    local.reset();
    EXPECT_GT(heapBefore + 200, HeapBytesInUse());
    EXPECT_FALSE(HasFailure()) << "the measurement cannot be trusted";
}

TEST_F(LeakTest, NoOperationOfAnyObjectGrowsTheHeapsOrCoTaskMem) {
    wchar_t noCache[8] = {};
    ASSERT_NE(0u, GetEnvironmentVariableW(L"OANOCACHE", noCache, 8))
        << "run with OANOCACHE=1: cached BSTRs would hide leaks";
    DisplayLease display;
    ASSERT_TRUE(display.held());
    WindowDismisser dismisser;
    ASSERT_TRUE(dismisser.active());
    ComPtr<IClassFactory> factory = ModuleFactory();
    ASSERT_TRUE(factory);
    ComPtr<IDot11ExtUI> root = CreateRootObject(factory.Get());
    ComPtr<ICCXExtUICon> connectivity = CreateConnectivityObject(factory.Get());
    ComPtr<ICCXExtUIKey> keys[KeyPropertyCount] = {CreateKeyObject(factory.Get(), 0),
                                                   CreateKeyObject(factory.Get(), 1)};
    ASSERT_TRUE(root && connectivity && keys[0] && keys[1]);
    UniqueBstr unchangedSection = DefaultSection(connectivity.Get());
    UniqueBstr rewrittenSection = SectionToRewrite();
    ASSERT_TRUE(unchangedSection && rewrittenSection);
    DOT11EXT_IHV_PARAMS dptAdapter = ConnectionFor(LeakAdapter);

    IClassFactory* f = factory.Get();
    auto enumerate = [&root](DWORD kind) {
        DWORD count = 0;
        IDot11ExtUIProperty** array = nullptr;
        if (SUCCEEDED(root->EnumerateProperties(static_cast<DOT11_EXT_UI_PROPERTY_TYPE>(kind),
                                                &count, &array)) &&
            array != nullptr) {
            UniqueCoTaskMem<IDot11ExtUIProperty*> owned(array);
            for (DWORD i = 0; i < count; ++i) {
                array[i]->Release();
            }
        }
    };
    auto edit = [&](BSTR section, DOT11EXT_IHV_PARAMS* connection) {
        UniqueBstr result;
        BOOL changed = FALSE;
        connectivity->EditSettings(nullptr, section, connection, result.put(), &changed);
    };
    std::vector<Operation> operations = {
        {"CExtUI construction and destruction", [f] { CreateRootObject(f); }},
        {"CExtUICon construction and destruction", [f] { CreateConnectivityObject(f); }},
        {"CExtUIKey construction, BindEntry, destruction", [f] { CreateKeyObject(f, 1); }},
        {"DllGetClassObject, LockServer, factory release",
         [] {
             ComPtr<IClassFactory> fresh;
             DllGetClassObject(ModuleClassId(), IID_IClassFactory,
                               reinterpret_cast<void**>(fresh.GetAddressOf()));
             fresh->LockServer(TRUE);
             fresh->LockServer(FALSE);
         }},
        {"CExtUI::QueryDisplayName",
         [&root] {
             UniqueBstr name;
             root->QueryDisplayName(name.put());
         }},
        {"CExtUI::EnumerateProperties 0 (through COM)", [&] { enumerate(0); }},
        {"CExtUI::EnumerateProperties 2 (two keys)", [&] { enumerate(2); }},
        {"CExtUI::EnumerateProperties 1", [&] { enumerate(1); }},
        {"CExtUICon::QueryPropertyName",
         [&connectivity] {
             UniqueBstr name;
             connectivity->QueryPropertyName(name.put());
         }},
        {"CExtUICon::QueryPropertyFlag",
         [&connectivity] {
             BOOL flag = FALSE;
             connectivity->QueryPropertyFlag(&flag);
         }},
        {"CExtUICon::EditSettings, notice, unchanged",
         [&] { edit(unchangedSection.get(), nullptr); }},
        {"CExtUICon::EditSettings, notice, rewritten",
         [&] { edit(rewrittenSection.get(), nullptr); }},
        {"CExtUICon::EditSettings, dialog cancelled, rewritten",
         [&] { edit(rewrittenSection.get(), &dptAdapter); }, DialogCycleShare},
        {"CExtUICon unsupported operations",
         [&connectivity] {
             BOOL flag = FALSE;
             connectivity->MatchesProfile(nullptr, nullptr, &flag);
             connectivity->QueryEntryOptions(nullptr, nullptr);
         }},
    };
    for (std::size_t e = 0; e < KeyPropertyCount; ++e) {
        ICCXExtUIKey* key = keys[e].Get();
        const std::string entry = e == 0 ? " (CCKM)" : " (WPA2)";
        auto named = [&entry](const char* name) { return std::string(name) + entry; };
        operations.push_back({named("CExtUIKey::QueryPropertyName"), [key] {
                                  UniqueBstr name;
                                  key->QueryPropertyName(name.put());
                              }});
        operations.push_back({named("CExtUIKey::MatchesProfile"), [key] {
                                  BOOL matches = FALSE;
                                  key->MatchesProfile(HostText(ValidNetworkFragment).get(), nullptr,
                                                      &matches);
                              }});
        operations.push_back({named("CExtUIKey::ApplyToProfile"), [key] {
                                  UniqueBstr fragment;
                                  BOOL changed = FALSE;
                                  key->ApplyToProfile(HostText(ValidNetworkFragment).get(), nullptr,
                                                      fragment.put(), &changed);
                              }});
        operations.push_back({named("CExtUIKey::QueryPropertyFlag"), [key] {
                                  BOOL flag = FALSE;
                                  key->QueryPropertyFlag(&flag);
                              }});
        operations.push_back({named("CExtUIKey::QueryCipherList"), [key] {
                                  DWORD count = 0;
                                  DWORD index = 0;
                                  CipherChoice* list = nullptr;
                                  key->QueryCipherList(FALSE, HostText(ValidNetworkFragment).get(),
                                                       nullptr, &count, &index, &list);
                              }});
        operations.push_back({named("CExtUIKey::ApplyCipher"), [key] {
                                  UniqueBstr fragment;
                                  BOOL changed = FALSE;
                                  CipherChoice aes{DOT11_CIPHER_ALGO_CCMP, 0, nullptr};
                                  key->ApplyCipher(FALSE, HostText(ValidNetworkFragment).get(),
                                                   nullptr, &aes, fragment.put(), &changed);
                              }});
        operations.push_back({named("CExtUIKey::QueryEntryOptions"), [key] {
                                  BOOL marked = FALSE;
                                  LONG option = 0;
                                  key->QueryEntryOptions(&marked, &option);
                              }});
        operations.push_back({named("CExtUIKey::BindEntry again (refused)"),
                              [key, e] { key->BindEntry(&KeyPropertyTable[e]); }});
        operations.push_back({named("CExtUIKey::EditSettings"), [key] {
                                  UniqueBstr section;
                                  BOOL changed = FALSE;
                                  key->EditSettings(nullptr, nullptr, nullptr, section.put(),
                                                    &changed);
                              }});
    }

    CoTaskMemCounter counter;
    ASSERT_TRUE(counter.registered());
    const unsigned cycles = LeakCycles();
    std::printf("%-56s %7s %11s %10s %12s\n", "operation", "cycles", "heap growth", "CoTaskMem",
                "allocs/cycle");
    for (const Operation& operation : operations) {
        const unsigned runs = std::max(1u, cycles / operation.share);
        const Growth growth = Measure(operation, runs, counter);
        std::printf("%-56s %7u %+11lld %+10ld %12.1f\n", operation.name.c_str(), runs,
                    growth.heapBytes, growth.liveCoTaskMemBlocks,
                    growth.coTaskMemAllocationsPerCycle);
        EXPECT_EQ(0, growth.liveCoTaskMemBlocks) << operation.name;
        EXPECT_LE(growth.heapBytes, static_cast<long long>(AllowedGrowth(runs))) << operation.name;
    }
    std::fflush(stdout);
    // The notices and the dialog were really shown and answered.
    EXPECT_LT(0, dismisser.messageBoxes());
    EXPECT_LT(0, dismisser.dialogs());
}

} // namespace
