#include "stress_support.h"

#include "free_watch.h"
#include "shipped_module.h"

#include "extension/key_property_table.h"
#include "module/class_factory.h"
#include "services/string_loader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <map>
#include <mutex>

void StressRegistryTest::SetUp() {
    RegistryTest::SetUp();
    ASSERT_HR(S_OK, apartment_.result());
}

std::wstring TestAdapterKey(const std::wstring& name) {
    return std::wstring(NetworkClassKeyPath) + L"\\" + name;
}

bool WriteDptAdapter(const std::wstring& keyName, const GUID& adapter) {
    wchar_t guidText[64] = {};
    StringFromGUID2(adapter, guidText, 64);
    return SetRegString(HKEY_LOCAL_MACHINE, TestAdapterKey(keyName), L"NetCfgInstanceId",
                        guidText) &&
           SetRegString(HKEY_LOCAL_MACHINE, TestAdapterKey(keyName), L"DPTEnable", L"1");
}

DOT11EXT_IHV_PARAMS ConnectionFor(const GUID& adapter) {
    DOT11EXT_IHV_PARAMS record{};
    record.interfaceGuid = adapter;
    return record;
}

std::wstring ShippedClassKey() {
    wchar_t text[64] = {};
    LoadResourceString(ShippedModule(), 5667, text, 64);
    return std::wstring(L"CLSID\\{") + text + L"}";
}

unsigned ScaleFromEnvironment(const wchar_t* name, unsigned shortDefault) {
    wchar_t text[32] = {};
    const DWORD length = GetEnvironmentVariableW(name, text, 32);
    if (length == 0 || length >= 32) {
        return shortDefault;
    }
    const unsigned long value = std::wcstoul(text, nullptr, 10);
    return value != 0 ? static_cast<unsigned>(value) : shortDefault;
}

ComPtr<IClassFactory> ModuleFactory() {
    UseShippedModuleResources();
    ComPtr<IClassFactory> factory;
    const HRESULT hr = DllGetClassObject(ModuleClassId(), IID_IClassFactory,
                                         reinterpret_cast<void**>(factory.GetAddressOf()));
    EXPECT_HR(S_OK, hr);
    return factory;
}

ComPtr<IClassFactory> ShippedModuleFactory() {
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto get = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(ShippedModule(), "DllGetClassObject")));
    ComPtr<IClassFactory> factory;
    CLSID classId{};
    const std::wstring key = ShippedClassKey();
    if (get == nullptr || CLSIDFromString(key.substr(key.find(L'{')).c_str(), &classId) != S_OK) {
        ADD_FAILURE() << "the shipped DLL gives no class factory";
        return factory;
    }
    EXPECT_HR(S_OK,
              get(classId, IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddressOf())));
    return factory;
}

namespace {

template <typename Interface>
ComPtr<Interface> CreateObject(IClassFactory* factory, const IID& iid) {
    ComPtr<Interface> object;
    if (factory == nullptr) {
        return object;
    }
    const HRESULT hr =
        factory->CreateInstance(nullptr, iid, reinterpret_cast<void**>(object.GetAddressOf()));
    EXPECT_HR(S_OK, hr);
    return object;
}

} // namespace

ComPtr<IDot11ExtUI> CreateRootObject(IClassFactory* factory) {
    return CreateObject<IDot11ExtUI>(factory, IID_IDot11ExtUI);
}

ComPtr<ICCXExtUICon> CreateConnectivityObject(IClassFactory* factory) {
    return CreateObject<ICCXExtUICon>(factory, IID_ICCXExtUICon);
}

ComPtr<ICCXExtUIKey> CreateKeyObject(IClassFactory* factory, std::size_t entry) {
    ComPtr<ICCXExtUIKey> key = CreateObject<ICCXExtUIKey>(factory, IID_ICCXExtUIKey);
    if (key) {
        EXPECT_HR(S_OK, key->BindEntry(&KeyPropertyTable[entry]));
    }
    return key;
}

namespace {

// Walks without allocating: an allocation could reuse, and overwrite, the freed memory that
// is being searched.
template <typename Visit> void WalkHeaps(Visit visit) {
    HANDLE heaps[128];
    const DWORD count = std::min<DWORD>(GetProcessHeaps(128, heaps), 128);
    for (DWORD i = 0; i < count; ++i) {
        HANDLE heap = heaps[i];
        if (!HeapLock(heap)) {
            continue;
        }
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heap, &entry)) {
            if ((entry.wFlags & (PROCESS_HEAP_REGION | PROCESS_HEAP_UNCOMMITTED_RANGE)) != 0) {
                continue;
            }
            visit(entry);
        }
        HeapUnlock(heap);
    }
}

} // namespace

std::size_t HeapBytesInUse() {
    std::size_t bytes = 0;
    WalkHeaps([&bytes](const PROCESS_HEAP_ENTRY& entry) {
        if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) {
            bytes += entry.cbData;
        }
    });
    return bytes;
}

namespace {

// Counts what passes through CoTaskMemAlloc and CoTaskMemFree while registered.
class CountingMallocSpy final : public IMallocSpy {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IMallocSpy)) {
            *result = static_cast<IMallocSpy*>(this);
            return S_OK;
        }
        *result = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T request) override {
        pendingSize_ = request;
        return request;
    }
    void* STDMETHODCALLTYPE PostAlloc(void* actual) override {
        if (actual != nullptr) {
            std::lock_guard<std::mutex> guard(lock_);
            live_[actual] = pendingSize_;
            ++allocations_;
        }
        return actual;
    }
    void* STDMETHODCALLTYPE PreFree(void* request, BOOL spied) override {
        if (request != nullptr && spied) {
            std::lock_guard<std::mutex> guard(lock_);
            live_.erase(request);
        }
        return request;
    }
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* request, SIZE_T size, void** newRequest,
                                        BOOL spied) override {
        if (request != nullptr && spied) {
            std::lock_guard<std::mutex> guard(lock_);
            live_.erase(request);
        }
        pendingSize_ = size;
        *newRequest = request;
        return size;
    }
    void* STDMETHODCALLTYPE PostRealloc(void* actual, BOOL) override {
        if (actual != nullptr) {
            std::lock_guard<std::mutex> guard(lock_);
            live_[actual] = pendingSize_;
            ++allocations_;
        }
        return actual;
    }
    void* STDMETHODCALLTYPE PreGetSize(void* request, BOOL) override { return request; }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T actual, BOOL) override { return actual; }
    void* STDMETHODCALLTYPE PreDidAlloc(void* request, BOOL) override { return request; }
    int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    void STDMETHODCALLTYPE PreHeapMinimize() override {}
    void STDMETHODCALLTYPE PostHeapMinimize() override {}

    void Reset() {
        std::lock_guard<std::mutex> guard(lock_);
        live_.clear();
        allocations_ = 0;
    }
    long LiveBlocks() {
        std::lock_guard<std::mutex> guard(lock_);
        return static_cast<long>(live_.size());
    }
    long long LiveBytes() {
        std::lock_guard<std::mutex> guard(lock_);
        long long bytes = 0;
        for (const auto& block : live_) {
            bytes += static_cast<long long>(block.second);
        }
        return bytes;
    }
    long long Allocations() {
        std::lock_guard<std::mutex> guard(lock_);
        return allocations_;
    }

  private:
    std::mutex lock_;
    std::map<void*, SIZE_T> live_;
    long long allocations_ = 0;
    SIZE_T pendingSize_ = 0;
};

CountingMallocSpy mallocSpy;

} // namespace

CoTaskMemCounter::CoTaskMemCounter() {
    mallocSpy.Reset();
    registered_ = CoRegisterMallocSpy(&mallocSpy) == S_OK;
}

CoTaskMemCounter::~CoTaskMemCounter() {
    if (registered_) {
        // Refused while spied blocks are alive; they are the caller's to report.
        CoRevokeMallocSpy();
    }
}

long CoTaskMemCounter::liveBlocks() const {
    return mallocSpy.LiveBlocks();
}

long long CoTaskMemCounter::liveBytes() const {
    return mallocSpy.LiveBytes();
}

long long CoTaskMemCounter::allocations() const {
    return mallocSpy.Allocations();
}

namespace {

// The committed, readable pages of the calling thread's stack below stackPointer: the frames
// of calls that have returned.
int CountInStackBelow(const BYTE* stackPointer, std::wstring_view text) {
    ULONG_PTR lowest = 0;
    ULONG_PTR highest = 0;
    GetCurrentThreadStackLimits(&lowest, &highest);
    int found = 0;
    MEMORY_BASIC_INFORMATION info{};
    for (const BYTE* at = reinterpret_cast<const BYTE*>(lowest); at < stackPointer;) {
        if (VirtualQuery(at, &info, sizeof(info)) == 0) {
            break;
        }
        const BYTE* regionEnd =
            std::min(static_cast<const BYTE*>(info.BaseAddress) + info.RegionSize, stackPointer);
        const bool readable = info.State == MEM_COMMIT && (info.Protect & PAGE_GUARD) == 0 &&
                              (info.Protect & (PAGE_READWRITE | PAGE_READONLY)) != 0;
        if (readable) {
            found += CountSecretPieces(at, static_cast<std::size_t>(regionEnd - at), text);
        }
        at = regionEnd;
    }
    return found;
}

} // namespace

SecretSightings FindSecret(std::wstring_view text) {
    SecretSightings sightings;
    WalkHeaps([&](const PROCESS_HEAP_ENTRY& entry) {
        const auto* data = static_cast<const BYTE*>(entry.lpData);
        if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) {
            sightings.busyHeapBlocks += CountSecretPieces(data, entry.cbData, text);
        } else {
            sightings.freeHeapRegions += CountSecretPieces(data, entry.cbData, text);
        }
    });
    volatile BYTE marker = 0;
    sightings.stackCopies = CountInStackBelow(const_cast<const BYTE*>(&marker), text);
    return sightings;
}

void CallBelowStackPad(const std::function<void()>& call) {
    volatile BYTE* pad = static_cast<volatile BYTE*>(__builtin_alloca(64 * 1024));
    pad[0] = 0;
    asm volatile("" : : "r"(pad) : "memory");
    call();
}
