// Eight threads of the multithreaded apartment create, use and release every kind of object
// against the one string catalogue, with server locks taken and given back in between. At the
// end nothing is alive, no lock is held, the catalogue is empty, and the run ended in time.
#include "stress_support.h"

#include "extension/key_property_table.h"
#include "localization/string_catalogue.h"
#include "module/class_factory.h"
#include "services/module_state.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr int ThreadCount = 8;
constexpr wchar_t NetworkFragment[] =
    L"<CCX xmlns=\"any\"><authenticatingNetwork><wpa2><encryption>AES</encryption></wpa2>"
    L"</authenticatingNetwork></CCX>";

// scripts/stress sets QMK_STRESS_CYCLES=10000; scripts/test runs the short default.
unsigned CyclesPerThread() {
    return ScaleFromEnvironment(L"QMK_STRESS_CYCLES", 60);
}

// What a thread saw go wrong, reported by the main thread (at most a few per thread).
class Problems {
  public:
    void Add(int thread, unsigned cycle, const std::string& what) {
        std::lock_guard<std::mutex> guard(lock_);
        ++count_;
        if (texts_.size() < 24) {
            texts_.push_back("thread " + std::to_string(thread) + ", cycle " +
                             std::to_string(cycle) + ": " + what);
        }
    }
    int count() const { return count_; }
    const std::vector<std::string>& texts() const { return texts_; }

  private:
    std::mutex lock_;
    int count_ = 0;
    std::vector<std::string> texts_;
};

struct Shared {
    unsigned cycles = 0;
    Problems problems;
    std::atomic<long> objectsCreated{0};
    std::atomic<long> noticesShown{0};
};

struct ThreadArgument {
    Shared* shared;
    int index;
};

#define CHECK_IN_THREAD(condition, what)                                                           \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            shared.problems.Add(index, cycle, what);                                               \
        }                                                                                          \
    } while (0)

void UseRoot(Shared& shared, int index, unsigned cycle, IClassFactory* factory,
             std::wstring& displayName) {
    ComPtr<IDot11ExtUI> root;
    HRESULT hr = factory->CreateInstance(nullptr, IID_IDot11ExtUI,
                                         reinterpret_cast<void**>(root.GetAddressOf()));
    CHECK_IN_THREAD(hr == S_OK && root, "CExtUI not created");
    if (!root) {
        return;
    }
    ++shared.objectsCreated;
    UniqueBstr name;
    hr = root->QueryDisplayName(name.put());
    CHECK_IN_THREAD(hr == S_OK && name && name.get()[0] != L'\0', "no display name");
    if (name) {
        if (displayName.empty()) {
            displayName = name.get();
        }
        CHECK_IN_THREAD(displayName == name.get(), "display name changed");
    }
    for (DOT11_EXT_UI_PROPERTY_TYPE kind : {DOT11_EXT_UI_SECURITY, DOT11_EXT_UI_KEYEXTENSION}) {
        DWORD count = 7;
        IDot11ExtUIProperty** properties = reinterpret_cast<IDot11ExtUIProperty**>(1);
        // No policy key: nothing to offer for kind 2, and kind 1 is never offered.
        hr = root->EnumerateProperties(kind, &count, &properties);
        CHECK_IN_THREAD(hr == E_NOTIMPL && count == 0 && properties == nullptr,
                        "EnumerateProperties answered an unexpected result");
    }
    CHECK_IN_THREAD(root->Reserved(nullptr) == E_NOTIMPL, "third operation not E_NOTIMPL");
}

void UseConnectivity(Shared& shared, int index, unsigned cycle, IClassFactory* factory) {
    ComPtr<ICCXExtUICon> connectivity;
    HRESULT hr = factory->CreateInstance(nullptr, IID_ICCXExtUICon,
                                         reinterpret_cast<void**>(connectivity.GetAddressOf()));
    CHECK_IN_THREAD(hr == S_OK && connectivity, "CExtUICon not created");
    if (!connectivity) {
        return;
    }
    ++shared.objectsCreated;
    UniqueBstr name;
    CHECK_IN_THREAD(connectivity->QueryPropertyName(name.put()) == S_OK && name &&
                        std::wcscmp(name.get(), L"CCX Connectivity Settings (Sample)") == 0,
                    "wrong property name");
    BOOL flag = FALSE;
    CHECK_IN_THREAD(connectivity->QueryPropertyFlag(&flag) == S_OK && flag == TRUE,
                    "wrong property flag");
    BSTR section = nullptr;
    BOOL changed = 7;
    CHECK_IN_THREAD(connectivity->EditSettings(nullptr, nullptr, nullptr, &section, nullptr) ==
                        E_INVALIDARG,
                    "EditSettings without a changed flag not E_INVALIDARG");
    // Now and then the whole operation, notice and all (the thread's dismisser answers it).
    if (cycle % 50 == 7) {
        UniqueBstr empty(SysAllocString(L""));
        hr = connectivity->EditSettings(nullptr, empty.get(), nullptr, &section, &changed);
        UniqueBstr owned(section);
        CHECK_IN_THREAD(hr == S_OK && changed == FALSE && section == nullptr,
                        "EditSettings on an empty section changed something");
        ++shared.noticesShown;
    }
}

void UseKey(Shared& shared, int index, unsigned cycle, IClassFactory* factory) {
    ComPtr<ICCXExtUIKey> key;
    HRESULT hr = factory->CreateInstance(nullptr, IID_ICCXExtUIKey,
                                         reinterpret_cast<void**>(key.GetAddressOf()));
    CHECK_IN_THREAD(hr == S_OK && key, "CExtUIKey not created");
    if (!key) {
        return;
    }
    ++shared.objectsCreated;
    const std::size_t entry = cycle % KeyPropertyCount;
    CHECK_IN_THREAD(key->BindEntry(&KeyPropertyTable[entry]) == S_OK, "BindEntry failed");
    BOOL matches = 7;
    CHECK_IN_THREAD(key->MatchesProfile(HostText(NetworkFragment).get(), nullptr, &matches) ==
                            S_OK &&
                        matches == (entry == 1 ? TRUE : FALSE),
                    "MatchesProfile");
    DWORD count = 0;
    DWORD selected = 99;
    CipherChoice* list = nullptr;
    CHECK_IN_THREAD(key->QueryCipherList(FALSE, HostText(NetworkFragment).get(), nullptr, &count,
                                         &selected, &list) == S_OK &&
                        count == static_cast<DWORD>(KeyPropertyTable[entry].cipherCount) &&
                        list != nullptr && selected == (entry == 1 ? 1u : 2u),
                    "QueryCipherList");
    UniqueBstr applied;
    BOOL changed = FALSE;
    CHECK_IN_THREAD(key->ApplyToProfile(HostText(NetworkFragment).get(), nullptr, applied.put(),
                                        &changed) == S_OK &&
                        (changed == TRUE) == (entry == 0) && (changed == TRUE) == bool(applied),
                    "ApplyToProfile");
    UniqueBstr cipherApplied;
    CipherChoice tkip{DOT11_CIPHER_ALGO_TKIP, 0, nullptr};
    changed = FALSE;
    CHECK_IN_THREAD(key->ApplyCipher(FALSE, HostText(NetworkFragment).get(), nullptr, &tkip,
                                     cipherApplied.put(), &changed) == S_OK &&
                        changed == TRUE && cipherApplied,
                    "ApplyCipher");
}

DWORD WINAPI RunCycles(void* parameter) {
    const auto* argument = static_cast<const ThreadArgument*>(parameter);
    Shared& shared = *argument->shared;
    const int index = argument->index;
    unsigned cycle = 0;
    ComApartment apartment(COINIT_MULTITHREADED);
    CHECK_IN_THREAD(apartment.result() == S_OK, "not in the MTA");
    WindowDismisser dismisser;
    std::wstring displayName;
    ComPtr<IClassFactory> factory;
    for (; cycle < shared.cycles; ++cycle) {
        // A fresh factory now and then, as a host that asks COM again would get.
        if (!factory || cycle % 16 == 0) {
            factory.Reset();
            const HRESULT hr = DllGetClassObject(ModuleClassId(), IID_IClassFactory,
                                                 reinterpret_cast<void**>(factory.GetAddressOf()));
            CHECK_IN_THREAD(hr == S_OK && factory, "no class factory");
            if (!factory) {
                return 1;
            }
        }
        const bool locked = cycle % 3 == 0;
        if (locked) {
            CHECK_IN_THREAD(factory->LockServer(TRUE) == S_OK, "LockServer(TRUE)");
        }
        UseRoot(shared, index, cycle, factory.Get(), displayName);
        // The catalogue is built while any object lives, however the threads interleave.
        {
            ComPtr<ICCXExtUIKey> holder;
            factory->CreateInstance(nullptr, IID_ICCXExtUIKey,
                                    reinterpret_cast<void**>(holder.GetAddressOf()));
            int id = 0;
            CHECK_IN_THREAD(holder && FindStringId(L"Add", id) && id == 4006,
                            "catalogue empty while an object lives");
        }
        UseConnectivity(shared, index, cycle, factory.Get());
        UseKey(shared, index, cycle, factory.Get());
        if (locked) {
            CHECK_IN_THREAD(factory->LockServer(FALSE) == S_OK, "LockServer(FALSE)");
        }
    }
    return 0;
}

class ThreadStressTest : public StressRegistryTest {
  protected:
    // The policy key stays absent: the root object then offers no key property.
    ThreadStressTest() { OwnKey(HKEY_LOCAL_MACHINE, PolicyKeyPath); }
};

TEST_F(ThreadStressTest, EightThreadsShareTheModuleAndLeaveNothingBehind) {
    DisplayLease display; // the notices of the threads
    ASSERT_TRUE(display.held());
    ASSERT_TRUE(ModuleFactory()); // the module reads the shipped DLL's resources
    ASSERT_EQ(0, ObjectCount());
    ASSERT_EQ(0, CatalogueHoldCount());

    Shared shared;
    shared.cycles = CyclesPerThread();
    ThreadArgument arguments[ThreadCount];
    UniqueHandle owners[ThreadCount];
    HANDLE threads[ThreadCount] = {}; // as WaitForMultipleObjects takes them
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < ThreadCount; ++i) {
        arguments[i] = {&shared, i};
        owners[i].reset(CreateThread(nullptr, 0, RunCycles, &arguments[i], 0, nullptr));
        threads[i] = owners[i].get();
        ASSERT_NE(nullptr, threads[i]);
    }
    // Bounded: a deadlock fails the test instead of hanging it. A slow run on a loaded machine
    // is not a hang: the test gives up only when a whole minute passes without a new object.
    constexpr DWORD StallMs = 60000;
    DWORD waited = WAIT_TIMEOUT;
    for (long createdBefore = -1;
         (waited = WaitForMultipleObjects(ThreadCount, threads, TRUE, StallMs)) == WAIT_TIMEOUT;) {
        const long created = shared.objectsCreated.load();
        if (created == createdBefore) {
            break;
        }
        createdBefore = created;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (waited == WAIT_TIMEOUT) {
        std::printf("no object created for %lu ms, after %.1f s: deadlock or hang\n", StallMs,
                    seconds);
        std::fflush(stdout);
        ExitProcess(3); // the objects of the stuck threads cannot be cleaned up
    }
    ASSERT_EQ(WAIT_OBJECT_0, waited);
    for (HANDLE thread : threads) {
        DWORD code = 9;
        GetExitCodeThread(thread, &code);
        EXPECT_EQ(0u, code);
    }
    for (const std::string& problem : shared.problems.texts()) {
        ADD_FAILURE() << problem;
    }
    EXPECT_EQ(0, shared.problems.count());
    std::printf("%d threads x %u cycles: %ld objects created, %ld notices, %.1f s\n", ThreadCount,
                shared.cycles, shared.objectsCreated.load(), shared.noticesShown.load(), seconds);

    EXPECT_EQ(0, ObjectCount());
    EXPECT_EQ(0, ServerLockCount());
    EXPECT_EQ(0, CatalogueHoldCount());
    EXPECT_EQ(0u, CatalogueSize());
    EXPECT_HR(S_OK, DllCanUnloadNow());
}

} // namespace
