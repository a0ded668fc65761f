#pragma once

#include "localization/string_catalogue.h"
#include "localization/ui_language.h"
#include "module/class_factory.h"
#include "module/module_state.h"

#include <dot11_ext_ui.h>

#include <new>

// What every extension object shares: one interface chain, a reference count that starts at
// 1, QueryInterface for IUnknown and the object's own interface, and its part in the module's
// life (live-object count, UI language, catalogue hold).
//
// Construction runs base (count 1), the class's own fields in their empty state, then
// ExtensionObject's constructor body: count the object, pick the UI language, take the
// catalogue hold. Destruction runs the class's own destructor (its fields freed) first and
// the base destructor last: give the hold back, uncount the object.
template <typename Interface, const IID& OwnIid> class ExtensionBase : public Interface {
  public:
    ExtensionBase(const ExtensionBase&) = delete;
    ExtensionBase& operator=(const ExtensionBase&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override {
        if (result == nullptr) {
            return E_POINTER;
        }
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, OwnIid)) {
            *result = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *result = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return AddReference(referenceCount_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG count = DropReference(referenceCount_);
        if (count == 0) {
            delete this;
        }
        return count;
    }

  protected:
    ExtensionBase() = default;
    virtual ~ExtensionBase() {
        ReleaseCatalogue();
        DecrementObjectCount();
    }

  private:
    LONG referenceCount_ = 1;
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

// The creator's contract: build with count 1, QueryInterface for what was asked, Release, and
// answer what QueryInterface answered.
template <typename Impl> HRESULT CreateExtensionObject(REFIID iid, void** result) {
    if (result == nullptr) {
        return E_POINTER;
    }
    auto* object = new (std::nothrow) ExtensionObject<Impl>();
    if (object == nullptr) {
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = object->QueryInterface(iid, result);
    object->Release();
    return hr;
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
