#include "com_apartment.h"
#include "shipped_module.h"

#include "module/class_factory.h"
#include "services/module_state.h"

namespace {

// Its own executable: the identifier is parsed once per process, and this test needs the
// first parse to fail.
TEST(ModuleClassId, AFailedParseIsRetriedOnceTheStringLoads) {
    ComApartment apartment;
    // The test executable has no string 5667.
    SetModuleInstance(GetModuleHandleW(nullptr));
    EXPECT_TRUE(IsEqualCLSID(GUID_NULL, ModuleClassId()));
    // The zero identifier of the failed parse serves nothing.
    IClassFactory* factory = nullptr;
    EXPECT_HR(CLASS_E_CLASSNOTAVAILABLE,
              DllGetClassObject(GUID_NULL, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    EXPECT_EQ(nullptr, factory);

    UseShippedModuleResources();
    const CLSID parsed = ModuleClassId();
    EXPECT_FALSE(IsEqualCLSID(GUID_NULL, parsed));
    ASSERT_HR(S_OK,
              DllGetClassObject(parsed, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    EXPECT_EQ(0u, factory->Release());

    // Once parsed it stays, whatever the module handle says now.
    SetModuleInstance(GetModuleHandleW(nullptr));
    EXPECT_TRUE(IsEqualCLSID(parsed, ModuleClassId()));
}

} // namespace
