#pragma once

#include "common/owners.h"
#include "hostkit/hr_text.h"

#include <dot11_ext_ui.h>

#include <string>
#include <vector>

// What a host does with the extension's objects, as dot11host and the tests both do it.

// Takes over a reference the caller already owns. (MinGW's ComPtr::Attach adds one of its
// own, so it cannot be used for that.)
template <typename T> ComPtr<T> Adopt(T* object) {
    ComPtr<T> owner;
    *owner.ReleaseAndGetAddressOf() = object;
    return owner;
}

// EnumerateProperties of a kind, with ownership of the array and its references taken
// over. count and arrayNull say what the call wrote (count starts at 0xDEADBEEF and the
// array at a sentinel, so an out value left untouched shows).
struct PropertyList {
    HRESULT hr = E_FAIL;
    DWORD count = 0xDEADBEEF;
    bool arrayNull = false;
    std::vector<ComPtr<IDot11ExtUIProperty>> objects;
};
PropertyList Enumerate(IDot11ExtUI* root, DWORD kind);

// QueryPropertyName's answer, or "(no name: HRESULT)".
std::wstring PropertyName(IDot11ExtUIProperty* property);
