#include "extension_fixture.h"

#include "shipped_module.h"

#include "services/string_loader.h"

namespace {

std::wstring ClassIdText() {
    wchar_t text[64] = {};
    LoadResourceString(ShippedModule(), 5667, text, 64);
    return text;
}

template <typename Function> Function ShippedExport(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(ShippedModule(), name)));
}

} // namespace

std::wstring PolicyKey() {
    return PolicyKeyPath;
}

std::wstring AdapterInstanceKey(const std::wstring& name) {
    return std::wstring(NetworkClassKeyPath) + L"\\" + name;
}

ExtensionRegistryTest::ExtensionRegistryTest() {
    OwnKey(HKEY_LOCAL_MACHINE, PolicyKey());
    for (const wchar_t* name : AdapterKeyNames) {
        OwnKey(HKEY_LOCAL_MACHINE, AdapterInstanceKey(name));
    }
    OwnKey(HKEY_CLASSES_ROOT, L"CLSID\\{" + ClassIdText() + L"}");
}

void RegisteredExtensionTest::SetUp() {
    ExtensionRegistryTest::SetUp();
    ASSERT_HR(S_OK, apartment_.result());
    UseShippedModuleResources();
    ASSERT_EQ(0u, RunRegsvr32(L""));
}

void RegisteredExtensionTest::TearDown() {
    EXPECT_HR(S_OK, ShippedDllCanUnloadNow());
    EXPECT_EQ(0u, RunRegsvr32(L"/u"));
    ExtensionRegistryTest::TearDown();
}

const CLSID& ShippedClassId() {
    static const CLSID classId = [] {
        CLSID parsed{};
        CLSIDFromString((L"{" + ClassIdText() + L"}").c_str(), &parsed);
        return parsed;
    }();
    return classId;
}

HRESULT ShippedDllCanUnloadNow() {
    auto function = ShippedExport<HRESULT(STDAPICALLTYPE*)()>("DllCanUnloadNow");
    return function != nullptr ? function() : E_FAIL;
}

HRESULT ShippedDllGetClassObject(REFCLSID classId, REFIID iid, void** result) {
    auto function =
        ShippedExport<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>("DllGetClassObject");
    return function != nullptr ? function(classId, iid, result) : E_FAIL;
}

ULONG ReferenceCount(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

ComPtr<IDot11ExtUI> CreateRoot() {
    ComPtr<IDot11ExtUI> root;
    const HRESULT hr =
        CoCreateInstance(ShippedClassId(), nullptr, CLSCTX_INPROC_SERVER, IID_IDot11ExtUI,
                         reinterpret_cast<void**>(root.GetAddressOf()));
    EXPECT_HR(S_OK, hr);
    return root;
}

KeyProperties CreateKeyProperties(IDot11ExtUI* root) {
    KeyProperties keys;
    if (!SetRegDword(HKEY_LOCAL_MACHINE, PolicyKey(), L"EnableCCX", 1)) {
        ADD_FAILURE() << "policy not written";
        return keys;
    }
    PropertyList properties = Enumerate(root, DOT11_EXT_UI_KEYEXTENSION);
    EXPECT_HR(S_OK, properties.hr);
    if (properties.objects.size() != 2) {
        ADD_FAILURE() << "expected two key properties";
        return keys;
    }
    EXPECT_HR(S_OK, properties.objects[0].As(&keys.cckm));
    EXPECT_HR(S_OK, properties.objects[1].As(&keys.wpa2));
    return keys;
}
