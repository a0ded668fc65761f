#include "extension/ext_ui.h"

#include "common/hresult.h"
#include "extension/key_property_table.h"
#include "extension/policy.h"
#include "services/string_loader.h"

#include <algorithm>

namespace {

constexpr DWORD InprocContext = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;

using PropertyArray = UniqueCoTaskMem<IDot11ExtUIProperty*>;

// The host frees the array with CoTaskMemFree; every slot is null until it is filled.
PropertyArray AllocatePropertyArray(DWORD count) {
    // NOLINTNEXTLINE(bugprone-sizeof-expression) an array of interface pointers: their size
    const size_t bytes = count * sizeof(IDot11ExtUIProperty*);
    PropertyArray block(static_cast<IDot11ExtUIProperty**>(CoTaskMemAlloc(bytes)));
    if (block) {
        std::fill_n(block.get(), count, nullptr);
    }
    return block;
}

// Property objects come back through COM under the module's own class, so the class must be
// registered; the factory picks the class by the interface identifier.
template <typename Interface> HRESULT CreateProperty(const IID& iid, ComPtr<Interface>& property) {
    return CoCreateInstance(ModuleClassId(), nullptr, InprocContext, iid,
                            reinterpret_cast<void**>(property.ReleaseAndGetAddressOf()));
}

HRESULT EnumerateKeyProperties(DWORD policy, DWORD* count, IDot11ExtUIProperty*** properties) {
    const KeyPropertyEntry* offered[KeyPropertyCount] = {};
    DWORD offeredCount = 0;
    for (const KeyPropertyEntry& entry : KeyPropertyTable) {
        if ((entry.availabilityMask & policy) != 0) {
            offered[offeredCount++] = &entry;
        }
    }
    if (offeredCount == 0) {
        return NotImplemented();
    }
    PropertyArray array = AllocatePropertyArray(offeredCount);
    RETURN_HR_IF_NULL(E_OUTOFMEMORY, array.get());
    ComPtr<ICCXExtUIKey> keys[KeyPropertyCount];
    for (DWORD i = 0; i < offeredCount; ++i) {
        RETURN_IF_FAILED(CreateProperty(IID_ICCXExtUIKey, keys[i]));
        keys[i]->BindEntry(offered[i]);
    }
    for (DWORD i = 0; i < offeredCount; ++i) {
        array.get()[i] = keys[i].Detach();
    }
    *count = offeredCount;
    *properties = array.release();
    return S_OK;
}

HRESULT EnumerateConnectivityProperties(DWORD* count, IDot11ExtUIProperty*** properties) {
    PropertyArray array = AllocatePropertyArray(1);
    RETURN_HR_IF_NULL(E_OUTOFMEMORY, array.get());
    ComPtr<ICCXExtUICon> connectivity;
    RETURN_IF_FAILED(CreateProperty(IID_ICCXExtUICon, connectivity));
    array.get()[0] = connectivity.Detach();
    *count = 1;
    *properties = array.release();
    return S_OK;
}

} // namespace

HRESULT CreateExtUI(REFIID iid, void** result) {
    return CreateExtensionObject<CExtUI>(iid, result);
}

DWORD ReadCcxPolicy() {
    if (ReadPolicyNumber(L"EnableCCX") == 0) {
        return PolicyNone;
    }
    return ReadPolicyNumber(L"V4Only") != 0 ? PolicyV4Only : PolicyAll;
}

HRESULT STDMETHODCALLTYPE CExtUI::QueryDisplayName(BSTR* name) {
    if (name == nullptr) {
        return E_POINTER;
    }
    *name = nullptr;
    UniqueLocalString text;
    const DWORD error = LoadModuleString(DisplayNameStringId, text);
    if (error == ERROR_NOT_ENOUGH_MEMORY || error == ERROR_OUTOFMEMORY) {
        // Both mean the same to a caller: the module's one answer for memory, E_OUTOFMEMORY.
        return E_OUTOFMEMORY;
    }
    if (error != ERROR_SUCCESS) {
        return HRESULT_FROM_WIN32(error);
    }
    return ReturnBstr(text.get(), name);
}

HRESULT STDMETHODCALLTYPE CExtUI::EnumerateProperties(DOT11_EXT_UI_PROPERTY_TYPE kind, DWORD* count,
                                                      IDot11ExtUIProperty*** properties) {
    if (count == nullptr || properties == nullptr) {
        return E_POINTER;
    }
    *count = 0;
    *properties = nullptr;
    const DWORD policy = ReadCcxPolicy();
    switch (kind) {
    case DOT11_EXT_UI_KEYEXTENSION:
        return EnumerateKeyProperties(policy, count, properties);
    case DOT11_EXT_UI_CONNECTION:
        return EnumerateConnectivityProperties(count, properties);
    default:
        return NotImplemented();
    }
}
