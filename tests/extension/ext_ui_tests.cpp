#include "extension_fixture.h"

#include "refused_calls.h"
#include "shipped_module.h"

#include "services/string_loader.h"

namespace {

using ExtUITest = RegisteredExtensionTest;

struct PolicyCase {
    const char* name;
    // Values written under the policy key; a null name writes nothing.
    const wchar_t* enableName;
    DWORD enableType;
    std::vector<BYTE> enableData;
    const wchar_t* v4OnlyName;
    DWORD v4OnlyValue;
    std::vector<std::wstring> expectedKeys; // names of the key properties offered
};

std::vector<BYTE> Dword(DWORD value) {
    const BYTE* bytes = reinterpret_cast<const BYTE*>(&value);
    return std::vector<BYTE>(bytes, bytes + sizeof(value));
}

std::vector<BYTE> Text(const std::wstring& text) {
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(wchar_t));
}

const std::vector<std::wstring> NoKeys;
const std::vector<std::wstring> Cckm = {L"CCKM"};
const std::vector<std::wstring> Both = {L"CCKM", L"(WPA2)"};

TEST_F(ExtUITest, KeyPropertiesFollowTheMachinePolicy) {
    const PolicyCase cases[] = {
        {"key absent", nullptr, 0, {}, nullptr, 0, NoKeys},
        {"EnableCCX 0", L"EnableCCX", REG_DWORD, Dword(0), nullptr, 0, NoKeys},
        {"EnableCCX 0, V4Only 1", L"EnableCCX", REG_DWORD, Dword(0), L"V4Only", 1, NoKeys},
        {"EnableCCX 1", L"EnableCCX", REG_DWORD, Dword(1), nullptr, 0, Both},
        {"EnableCCX 1, V4Only 0", L"EnableCCX", REG_DWORD, Dword(1), L"V4Only", 0, Both},
        {"EnableCCX 1, V4Only 1", L"EnableCCX", REG_DWORD, Dword(1), L"V4Only", 1, Cckm},
        {"EnableCCX 7, V4Only 9", L"EnableCCX", REG_DWORD, Dword(7), L"V4Only", 9, Cckm},
        // Only 4-byte data is meaningful: a longer value counts as 0.
        {"EnableCCX as QWORD",
         L"EnableCCX",
         REG_QWORD,
         {1, 0, 0, 0, 0, 0, 0, 0},
         nullptr,
         0,
         NoKeys},
        {"EnableCCX as text 10", L"EnableCCX", REG_SZ, Text(L"10"), nullptr, 0, NoKeys},
    };
    ComPtr<IDot11ExtUI> root = CreateRoot();
    ASSERT_TRUE(root);
    for (const PolicyCase& c : cases) {
        ASSERT_TRUE(DeleteKeyTree(HKEY_LOCAL_MACHINE, PolicyKey()));
        if (c.enableName != nullptr) {
            ASSERT_TRUE(SetRegRaw(HKEY_LOCAL_MACHINE, PolicyKey(), c.enableName, c.enableType,
                                  c.enableData.data(), static_cast<DWORD>(c.enableData.size())));
        }
        if (c.v4OnlyName != nullptr) {
            ASSERT_TRUE(SetRegDword(HKEY_LOCAL_MACHINE, PolicyKey(), c.v4OnlyName, c.v4OnlyValue));
        }
        PropertyList keys = Enumerate(root.Get(), DOT11_EXT_UI_KEYEXTENSION);
        if (c.expectedKeys.empty()) {
            EXPECT_HR(E_NOTIMPL, keys.hr) << c.name;
            EXPECT_EQ(0u, keys.count) << c.name;
            EXPECT_TRUE(keys.arrayNull) << c.name;
        } else {
            EXPECT_HR(S_OK, keys.hr) << c.name;
            EXPECT_EQ(c.expectedKeys.size(), keys.count) << c.name;
            std::vector<std::wstring> names;
            for (auto& key : keys.objects) {
                names.push_back(PropertyName(key.Get()));
                // One reference for the caller (ours in the vector).
                EXPECT_EQ(1u, ReferenceCount(key.Get())) << c.name;
                ComPtr<ICCXExtUIKey> asKey;
                EXPECT_HR(S_OK, key.As(&asKey)) << c.name;
            }
            EXPECT_EQ(c.expectedKeys, names) << c.name;
        }
        // The connectivity property is offered whatever the policy says.
        PropertyList connectivity = Enumerate(root.Get(), DOT11_EXT_UI_CONNECTION);
        EXPECT_HR(S_OK, connectivity.hr) << c.name;
        ASSERT_EQ(1u, connectivity.objects.size()) << c.name;
        EXPECT_EQ(L"CCX Connectivity Settings (Sample)",
                  PropertyName(connectivity.objects[0].Get()));
        EXPECT_EQ(1u, ReferenceCount(connectivity.objects[0].Get())) << c.name;
        ComPtr<ICCXExtUICon> asCon;
        EXPECT_HR(S_OK, connectivity.objects[0].As(&asCon)) << c.name;
    }
}

TEST_F(ExtUITest, OtherKindsOfferNothing) {
    ASSERT_TRUE(SetRegDword(HKEY_LOCAL_MACHINE, PolicyKey(), L"EnableCCX", 1));
    ComPtr<IDot11ExtUI> root = CreateRoot();
    ASSERT_TRUE(root);
    for (DWORD kind : {1u, 3u, 0xFFFFFFFFu}) {
        PropertyList properties = Enumerate(root.Get(), kind);
        EXPECT_HR(E_NOTIMPL, properties.hr) << kind;
        EXPECT_EQ(0u, properties.count) << kind;
        EXPECT_TRUE(properties.arrayNull) << kind;
    }
}

TEST_F(ExtUITest, NullOutputsAnswerEPointerAndWriteNothing) {
    ComPtr<IDot11ExtUI> root = CreateRoot();
    ASSERT_TRUE(root);
    DWORD count = 0xDEADBEEF;
    IDot11ExtUIProperty** array = reinterpret_cast<IDot11ExtUIProperty**>(SentinelBstr());
    EXPECT_HR(E_POINTER, root->EnumerateProperties(DOT11_EXT_UI_CONNECTION, nullptr, &array));
    EXPECT_EQ(reinterpret_cast<IDot11ExtUIProperty**>(SentinelBstr()), array);
    EXPECT_HR(E_POINTER, root->EnumerateProperties(DOT11_EXT_UI_CONNECTION, &count, nullptr));
    EXPECT_EQ(0xDEADBEEFu, count);
    EXPECT_HR(E_POINTER, root->QueryDisplayName(nullptr));
    EXPECT_HR(E_POINTER, root->QueryInterface(IID_IDot11ExtUI, nullptr));
}

TEST_F(ExtUITest, DisplayNameIsTheLocalizedString5532) {
    ComPtr<IDot11ExtUI> root = CreateRoot();
    ASSERT_TRUE(root);
    UniqueBstr name;
    ASSERT_HR(S_OK, root->QueryDisplayName(name.put()));
    wchar_t expected[256] = {};
    ASSERT_GT(LoadResourceString(ShippedModule(), 5532, expected, 256), 0);
    EXPECT_STREQ(expected, name.get());

    // Out of memory is E_OUTOFMEMORY, as everywhere in the module, with the name written null.
    for (unsigned functions : {unsigned{RefuseLocalMemory}, unsigned{RefuseStrings}}) {
        RefusedCalls refused(ShippedModule(), functions, 0);
        ASSERT_TRUE(refused.active());
        BSTR refusedName = SentinelBstr();
        EXPECT_HR(E_OUTOFMEMORY, root->QueryDisplayName(&refusedName)) << functions;
        EXPECT_EQ(nullptr, refusedName) << functions;
    }
}

TEST_F(ExtUITest, ReservedOperationIsNotImplemented) {
    ComPtr<IDot11ExtUI> root = CreateRoot();
    ASSERT_TRUE(root);
    EXPECT_HR(E_NOTIMPL, root->Reserved(nullptr));
    EXPECT_HR(E_NOTIMPL, root->Reserved(reinterpret_cast<void*>(SentinelBstr())));
}

TEST_F(ExtUITest, EveryObjectReturnedCarriesOneReferenceAndAllGoAtTheEnd) {
    ASSERT_TRUE(SetRegDword(HKEY_LOCAL_MACHINE, PolicyKey(), L"EnableCCX", 1));
    ComPtr<IDot11ExtUI> root = CreateRoot();
    ASSERT_TRUE(root);
    EXPECT_EQ(1u, ReferenceCount(root.Get()));
    IDot11ExtUIProperty** array = nullptr;
    DWORD count = 0;
    ASSERT_HR(S_OK, root->EnumerateProperties(DOT11_EXT_UI_KEYEXTENSION, &count, &array));
    ASSERT_EQ(2u, count);
    UniqueCoTaskMem<IDot11ExtUIProperty*> owned(array);
    EXPECT_EQ(1u, ReferenceCount(array[0]));
    EXPECT_EQ(1u, ReferenceCount(array[1]));
    EXPECT_HR(S_FALSE, ShippedDllCanUnloadNow());
    EXPECT_EQ(0u, array[0]->Release());
    EXPECT_EQ(0u, array[1]->Release());
    EXPECT_EQ(0u, root.Detach()->Release());
    EXPECT_HR(S_OK, ShippedDllCanUnloadNow());
}

// The property objects are created through COM under the module's class: without the
// registration there are none, and nothing stays alive.
TEST_F(ExtUITest, PropertiesNeedTheRegisteredClass) {
    ASSERT_TRUE(SetRegDword(HKEY_LOCAL_MACHINE, PolicyKey(), L"EnableCCX", 1));
    ComPtr<IDot11ExtUI> root = CreateRoot();
    ASSERT_TRUE(root);
    ASSERT_EQ(0u, RunRegsvr32(L"/u"));
    for (DWORD kind : {DOT11_EXT_UI_CONNECTION, DOT11_EXT_UI_KEYEXTENSION}) {
        PropertyList properties = Enumerate(root.Get(), kind);
        EXPECT_TRUE(FAILED(properties.hr)) << HrText(properties.hr);
        EXPECT_EQ(0u, properties.count);
        EXPECT_TRUE(properties.arrayNull);
    }
    root.Reset();
    EXPECT_HR(S_OK, ShippedDllCanUnloadNow());
    ASSERT_EQ(0u, RunRegsvr32(L""));
}

} // namespace
