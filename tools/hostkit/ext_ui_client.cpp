#include "hostkit/ext_ui_client.h"

#include <cstdint>

PropertyList Enumerate(IDot11ExtUI* root, DWORD kind) {
    PropertyList list;
    auto* const untouched = reinterpret_cast<IDot11ExtUIProperty**>(std::uintptr_t{0xDEADBEEF});
    IDot11ExtUIProperty** array = untouched;
    list.hr = root->EnumerateProperties(static_cast<DOT11_EXT_UI_PROPERTY_TYPE>(kind), &list.count,
                                        &array);
    list.arrayNull = array == nullptr;
    if (FAILED(list.hr) || array == nullptr || array == untouched) {
        return list;
    }
    const UniqueCoTaskMem<IDot11ExtUIProperty*> owned(array);
    for (DWORD i = 0; i < list.count; ++i) {
        list.objects.push_back(Adopt(owned.get()[i]));
    }
    return list;
}

std::wstring PropertyName(IDot11ExtUIProperty* property) {
    UniqueBstr name;
    const HRESULT hr = property->QueryPropertyName(name.put());
    if (FAILED(hr) || !name) {
        return L"(no name: " + HrText(hr) + L")";
    }
    return name.get();
}
