#pragma once

#include <windows.h>
#include <objbase.h>

#include <new>

// What every COM class of the module shares: one interface chain, a 32-bit reference count
// that starts at 1 and changes only by interlocked operations, and a QueryInterface that
// accepts exactly IUnknown and the class's own interface (no aggregation). Release answers
// the count read after the decrement and destroys the object at zero.
template <typename Interface, const IID& OwnIid> class ComBase : public Interface {
  public:
    ComBase(const ComBase&) = delete;
    ComBase& operator=(const ComBase&) = delete;

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
    ULONG STDMETHODCALLTYPE AddRef() override {
        return static_cast<ULONG>(InterlockedIncrement(&referenceCount_));
    }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG count = static_cast<ULONG>(InterlockedDecrement(&referenceCount_));
        if (count == 0) {
            delete this;
        }
        return count;
    }

  protected:
    ComBase() = default;
    virtual ~ComBase() = default;

  private:
    LONG referenceCount_ = 1;
};

// The creator's contract: build with count 1, QueryInterface for what was asked, Release, and
// answer what QueryInterface answered.
template <typename Object> HRESULT CreateComObject(REFIID iid, void** result) {
    if (result == nullptr) {
        return E_POINTER;
    }
    auto* object = new (std::nothrow) Object();
    if (object == nullptr) {
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = object->QueryInterface(iid, result);
    object->Release();
    return hr;
}
