#pragma once

// Small RAII owners for the platform's handles and allocations. Outside this header nobody
// frees a BSTR, an HKEY, a LocalAlloc or CoTaskMem block, or a VARIANT by hand. Every put()
// releases the old value first, so handing an owner to an out-parameter cannot leak.

#include <windows.h>
#include <wincrypt.h>
#include <oleauto.h>
#include <objbase.h>
#include <wrl/client.h>

#include <cstddef>
#include <utility>

using Microsoft::WRL::ComPtr;

template <typename T, void (*Close)(T)> class UniqueAny {
  public:
    UniqueAny() = default;
    explicit UniqueAny(T value) : value_(value) {}
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept {
        reset(other.release());
        return *this;
    }
    ~UniqueAny() { reset(); }

    T get() const { return value_; }
    T* put() {
        reset();
        return &value_;
    }
    T release() { return std::exchange(value_, T{}); }
    void reset(T value = T{}) {
        T old = std::exchange(value_, value);
        if (old) {
            Close(old);
        }
    }
    explicit operator bool() const { return value_ != T{}; }

  private:
    T value_{};
};

namespace owners_detail {
inline void FreeBstr(BSTR text) {
    SysFreeString(text);
}
inline void CloseKey(HKEY key) {
    RegCloseKey(key);
}
inline void FreeLocal(void* block) {
    LocalFree(block);
}
inline void FreeCoTaskMem(void* block) {
    CoTaskMemFree(block);
}
inline void UnloadLibrary(HMODULE module) {
    FreeLibrary(module);
}
inline void DestroyOwnedWindow(HWND window) {
    DestroyWindow(window);
}
} // namespace owners_detail

using UniqueBstr = UniqueAny<BSTR, owners_detail::FreeBstr>;
using UniqueHkey = UniqueAny<HKEY, owners_detail::CloseKey>;
// A library loaded with LoadLibraryW.
using UniqueLibrary = UniqueAny<HMODULE, owners_detail::UnloadLibrary>;
// A window this code created (a modeless dialog, say) and destroys.
using UniqueWindow = UniqueAny<HWND, owners_detail::DestroyOwnedWindow>;

// A LocalAlloc block seen as an array of T (LocalAlloc/LocalFree memory, including what
// the data-protection functions and LoadModuleString return).
template <typename T> class UniqueLocal {
  public:
    UniqueLocal() = default;
    explicit UniqueLocal(T* block) : block_(block) {}
    T* get() const { return static_cast<T*>(block_.get()); }
    T** put() { return reinterpret_cast<T**>(block_.put()); }
    T* release() { return static_cast<T*>(block_.release()); }
    void reset(T* block = nullptr) { block_.reset(block); }
    explicit operator bool() const { return static_cast<bool>(block_); }

  private:
    UniqueAny<void*, owners_detail::FreeLocal> block_;
};

using UniqueLocalString = UniqueLocal<wchar_t>;

template <typename T> class UniqueCoTaskMem {
  public:
    UniqueCoTaskMem() = default;
    explicit UniqueCoTaskMem(T* block) : block_(block) {}
    T* get() const { return static_cast<T*>(block_.get()); }
    T* release() { return static_cast<T*>(block_.release()); }
    explicit operator bool() const { return static_cast<bool>(block_); }

  private:
    UniqueAny<void*, owners_detail::FreeCoTaskMem> block_;
};

// A byte buffer that may hold a secret: wiped before it is freed.
class SecureBytes {
  public:
    SecureBytes() = default;
    SecureBytes(const SecureBytes&) = delete;
    SecureBytes& operator=(const SecureBytes&) = delete;
    ~SecureBytes() { reset(); }

    // Takes a LocalAlloc block of the given size.
    void reset(BYTE* block = nullptr, DWORD size = 0) {
        if (block_ != nullptr) {
            SecureZeroMemory(block_, size_);
            LocalFree(block_);
        }
        block_ = block;
        size_ = size;
    }
    bool allocate(DWORD size) {
        reset(static_cast<BYTE*>(LocalAlloc(LMEM_ZEROINIT, size == 0 ? 1 : size)), size);
        return block_ != nullptr;
    }
    BYTE* get() const { return block_; }
    DWORD size() const { return size_; }
    explicit operator bool() const { return block_ != nullptr; }

  private:
    BYTE* block_ = nullptr;
    DWORD size_ = 0;
};

// A DATA_BLOB that the data-protection functions filled: wiped and LocalFree'd.
class UniqueDataBlob {
  public:
    UniqueDataBlob() = default;
    UniqueDataBlob(const UniqueDataBlob&) = delete;
    UniqueDataBlob& operator=(const UniqueDataBlob&) = delete;
    ~UniqueDataBlob() { reset(); }
    DATA_BLOB* put() {
        reset();
        return &blob_;
    }
    const DATA_BLOB& get() const { return blob_; }
    void reset() {
        if (blob_.pbData != nullptr) {
            SecureZeroMemory(blob_.pbData, blob_.cbData);
            LocalFree(blob_.pbData);
        }
        blob_ = {};
    }

  private:
    DATA_BLOB blob_{};
};

class UniqueVariant {
  public:
    UniqueVariant() { VariantInit(&value_); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;
    ~UniqueVariant() { VariantClear(&value_); }
    VARIANT* get() { return &value_; }
    VARIANT* put() {
        VariantClear(&value_);
        return &value_;
    }

  private:
    VARIANT value_;
};

class CriticalSection {
  public:
    CriticalSection() { InitializeCriticalSection(&section_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
    ~CriticalSection() { DeleteCriticalSection(&section_); }
    void enter() { EnterCriticalSection(&section_); }
    void leave() { LeaveCriticalSection(&section_); }

  private:
    CRITICAL_SECTION section_;
};

class CriticalSectionLock {
  public:
    explicit CriticalSectionLock(CriticalSection& section) : section_(section) { section_.enter(); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;
    ~CriticalSectionLock() { section_.leave(); }

  private:
    CriticalSection& section_;
};

// Wipes a fixed-size text buffer when it goes out of scope.
template <size_t N> struct SecureText {
    wchar_t text[N] = {};
    SecureText() = default;
    SecureText(const SecureText&) = delete;
    SecureText& operator=(const SecureText&) = delete;
    ~SecureText() { SecureZeroMemory(text, sizeof(text)); }
};
