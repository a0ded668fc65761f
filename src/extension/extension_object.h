#pragma once

#include "common/com_base.h"
#include "localization/string_catalogue.h"
#include "localization/ui_language.h"
#include "services/class_id.h"
#include "services/module_state.h"

#include <dot11_ext_ui.h>

// What every extension object adds to the COM base: its part in the module's life
// (live-object count, UI language, catalogue hold).
//
// Construction runs the COM base (count 1), the class's own fields in their empty state,
// then ExtensionObject's constructor body: count the object, pick the UI language, take the
// catalogue hold. Destruction runs the class's own destructor (its fields freed) first, then
// this one: give the hold back, uncount the object.
template <typename Interface, const IID& OwnIid>
class ExtensionBase : public ComBase<Interface, OwnIid> {
  protected:
    ExtensionBase() = default;
    ~ExtensionBase() override {
        ReleaseCatalogue();
        DecrementObjectCount();
    }
};

// The most derived class of every extension object; only it can be built.
template <typename Impl> class ExtensionObject final : public Impl {
  public:
    ExtensionObject() {
        IncrementObjectCount();
        SelectUiLanguage();
        AcquireCatalogue();
    }
};

template <typename Impl> HRESULT CreateExtensionObject(REFIID iid, void** result) {
    return CreateComObject<ExtensionObject<Impl>>(iid, result);
}

// Hands a new BSTR copy of text to the caller: E_POINTER for a null result pointer (nothing
// written), E_OUTOFMEMORY with a null result when the copy cannot be made.
inline HRESULT ReturnBstr(const wchar_t* text, BSTR* result) {
    if (result == nullptr) {
        return E_POINTER;
    }
    *result = SysAllocString(text);
    return *result != nullptr ? S_OK : E_OUTOFMEMORY;
}

// The one routine behind every operation a class does not offer.
inline HRESULT NotImplemented() {
    return E_NOTIMPL;
}
