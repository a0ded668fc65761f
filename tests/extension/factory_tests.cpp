#include "extension_fixture.h"

#include "services/class_id.h"

#include <thread>

namespace {

const IID SomeOtherIid = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}; // IDispatch

struct IidCase {
    const char* name;
    const IID& iid;
};

const IidCase AllIids[] = {
    {"IUnknown", IID_IUnknown},         {"IClassFactory", IID_IClassFactory},
    {"IDot11ExtUI", IID_IDot11ExtUI},   {"ICCXExtUICon", IID_ICCXExtUICon},
    {"ICCXExtUIKey", IID_ICCXExtUIKey}, {"IDispatch", SomeOtherIid},
};

using FactoryTest = RegisteredExtensionTest;

ComPtr<IClassFactory> GetFactory() {
    ComPtr<IClassFactory> factory;
    EXPECT_HR(S_OK, ShippedDllGetClassObject(ShippedClassId(), IID_IClassFactory,
                                             reinterpret_cast<void**>(factory.GetAddressOf())));
    return factory;
}

TEST_F(FactoryTest, ModuleClassIdIsTheRegisteredClass) {
    EXPECT_TRUE(IsEqualCLSID(ShippedClassId(), ModuleClassId()));
    EXPECT_FALSE(IsEqualCLSID(GUID_NULL, ModuleClassId()));
}

TEST_F(FactoryTest, DllGetClassObjectAnswersEachInterface) {
    struct Case {
        const IID& iid;
        HRESULT expected;
    } cases[] = {
        {IID_IUnknown, S_OK},
        {IID_IClassFactory, S_OK},
        {IID_IDot11ExtUI, E_NOINTERFACE},
        {IID_ICCXExtUICon, E_NOINTERFACE},
        {IID_ICCXExtUIKey, E_NOINTERFACE},
        {SomeOtherIid, E_NOINTERFACE},
    };
    for (const Case& c : cases) {
        IUnknown* result = reinterpret_cast<IUnknown*>(SentinelBstr());
        EXPECT_HR(c.expected, ShippedDllGetClassObject(ShippedClassId(), c.iid,
                                                       reinterpret_cast<void**>(&result)));
        if (c.expected == S_OK) {
            ASSERT_NE(nullptr, result);
            EXPECT_EQ(1u, ReferenceCount(result));
            EXPECT_EQ(0u, result->Release());
        } else {
            EXPECT_EQ(nullptr, result);
        }
    }
}

TEST_F(FactoryTest, DllGetClassObjectRefusesOtherClassesAndNullResults) {
    IUnknown* result = reinterpret_cast<IUnknown*>(SentinelBstr());
    EXPECT_HR(CLASS_E_CLASSNOTAVAILABLE,
              ShippedDllGetClassObject(SomeOtherIid, IID_IClassFactory,
                                       reinterpret_cast<void**>(&result)));
    EXPECT_EQ(reinterpret_cast<IUnknown*>(SentinelBstr()), result);
    EXPECT_HR(CLASS_E_CLASSNOTAVAILABLE,
              ShippedDllGetClassObject(GUID_NULL, IID_IUnknown, reinterpret_cast<void**>(&result)));
    EXPECT_HR(E_POINTER, ShippedDllGetClassObject(ShippedClassId(), IID_IClassFactory, nullptr));
}

TEST_F(FactoryTest, FactoryQueryInterfaceAcceptsOnlyItsOwnInterfaces) {
    ComPtr<IClassFactory> factory = GetFactory();
    ASSERT_TRUE(factory);
    for (const IidCase& c : AllIids) {
        IUnknown* result = reinterpret_cast<IUnknown*>(SentinelBstr());
        const bool own = IsEqualIID(c.iid, IID_IUnknown) || IsEqualIID(c.iid, IID_IClassFactory);
        EXPECT_HR(own ? S_OK : E_NOINTERFACE,
                  factory->QueryInterface(c.iid, reinterpret_cast<void**>(&result)))
            << c.name;
        if (own) {
            EXPECT_EQ(static_cast<IUnknown*>(factory.Get()), result) << c.name;
            EXPECT_EQ(1u, result->Release()) << c.name;
        } else {
            EXPECT_EQ(nullptr, result) << c.name;
        }
    }
    EXPECT_HR(E_POINTER, factory->QueryInterface(IID_IUnknown, nullptr));
    EXPECT_EQ(1u, ReferenceCount(factory.Get()));
}

TEST_F(FactoryTest, CreateInstancePicksTheClassByInterface) {
    ComPtr<IClassFactory> factory = GetFactory();
    ASSERT_TRUE(factory);
    for (const IidCase& c : AllIids) {
        IUnknown* result = reinterpret_cast<IUnknown*>(SentinelBstr());
        const bool builds = IsEqualIID(c.iid, IID_IDot11ExtUI) ||
                            IsEqualIID(c.iid, IID_ICCXExtUICon) ||
                            IsEqualIID(c.iid, IID_ICCXExtUIKey);
        const HRESULT hr =
            factory->CreateInstance(nullptr, c.iid, reinterpret_cast<void**>(&result));
        if (!builds) {
            EXPECT_HR(E_NOINTERFACE, hr) << c.name;
            EXPECT_EQ(reinterpret_cast<IUnknown*>(SentinelBstr()), result) << c.name;
            continue;
        }
        ASSERT_HR(S_OK, hr) << c.name;
        EXPECT_HR(S_FALSE, ShippedDllCanUnloadNow()) << c.name;
        EXPECT_EQ(1u, ReferenceCount(result)) << c.name;
        // The object answers its own interface and IUnknown, nothing else.
        for (const IidCase& other : AllIids) {
            IUnknown* asked = reinterpret_cast<IUnknown*>(SentinelBstr());
            const bool accepted =
                IsEqualIID(other.iid, IID_IUnknown) || IsEqualIID(other.iid, c.iid);
            EXPECT_HR(accepted ? S_OK : E_NOINTERFACE,
                      result->QueryInterface(other.iid, reinterpret_cast<void**>(&asked)))
                << c.name << " asked for " << other.name;
            if (accepted) {
                EXPECT_EQ(result, asked);
                EXPECT_EQ(1u, asked->Release());
            } else {
                EXPECT_EQ(nullptr, asked) << c.name << " asked for " << other.name;
            }
        }
        EXPECT_HR(E_POINTER, result->QueryInterface(c.iid, nullptr)) << c.name;
        EXPECT_EQ(0u, result->Release()) << c.name;
        EXPECT_HR(S_OK, ShippedDllCanUnloadNow()) << c.name;
    }
}

TEST_F(FactoryTest, CreateInstanceRefusesAggregationAndNullResults) {
    ComPtr<IClassFactory> factory = GetFactory();
    ASSERT_TRUE(factory);
    IUnknown* result = reinterpret_cast<IUnknown*>(SentinelBstr());
    EXPECT_HR(CLASS_E_NOAGGREGATION, factory->CreateInstance(factory.Get(), IID_IDot11ExtUI,
                                                             reinterpret_cast<void**>(&result)));
    EXPECT_HR(CLASS_E_NOAGGREGATION, factory->CreateInstance(factory.Get(), IID_IUnknown,
                                                             reinterpret_cast<void**>(&result)));
    EXPECT_EQ(reinterpret_cast<IUnknown*>(SentinelBstr()), result);
    EXPECT_HR(E_POINTER, factory->CreateInstance(nullptr, IID_IDot11ExtUI, nullptr));
    EXPECT_HR(S_OK, ShippedDllCanUnloadNow());
}

TEST_F(FactoryTest, AFactoryAloneKeepsNothingAliveButLockServerDoes) {
    ComPtr<IClassFactory> factory = GetFactory();
    ASSERT_TRUE(factory);
    EXPECT_HR(S_OK, ShippedDllCanUnloadNow());
    EXPECT_HR(S_OK, factory->LockServer(TRUE));
    EXPECT_HR(S_OK, factory->LockServer(TRUE));
    EXPECT_HR(S_OK, factory->LockServer(FALSE));
    EXPECT_HR(S_FALSE, ShippedDllCanUnloadNow());
    EXPECT_HR(S_OK, factory->LockServer(FALSE));
    EXPECT_HR(S_OK, ShippedDllCanUnloadNow());
}

// The class is registered with the threading model "Both": objects come from STA and MTA
// threads alike.
TEST_F(FactoryTest, CoCreateInstanceWorksInStaAndMta) {
    for (DWORD model : {COINIT_APARTMENTTHREADED, COINIT_MULTITHREADED}) {
        std::thread worker([model] {
            ComApartment apartment(model);
            ASSERT_HR(S_OK, apartment.result());
            ComPtr<IDot11ExtUI> root = CreateRoot();
            ASSERT_TRUE(root);
            UniqueBstr name;
            EXPECT_HR(S_OK, root->QueryDisplayName(name.put()));
            PropertyList connectivity = Enumerate(root.Get(), DOT11_EXT_UI_CONNECTION);
            EXPECT_HR(S_OK, connectivity.hr);
            EXPECT_EQ(1u, connectivity.count);
        });
        worker.join();
        EXPECT_HR(S_OK, ShippedDllCanUnloadNow()) << model;
    }
}

} // namespace
