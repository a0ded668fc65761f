#pragma once

// The one set of RAII owners for the platform's handles and allocations, after WIL's
// unique_any: an owner is UniqueAny over the handle type, its close function and the value
// that means "none". Outside this header nobody closes or frees one of these by hand. Every
// put() releases the old value first, so handing an owner to an out-parameter cannot leak.

#include <windows.h>
#include <wincrypt.h>
#include <oleauto.h>
#include <objbase.h>
#include <rpc.h>
#include <wrl/client.h>

#include <cstddef>
#include <type_traits>
#include <utility>

using Microsoft::WRL::ComPtr;

// Close is the platform's own function (RegCloseKey, CloseHandle, ...), whatever it returns;
// one that takes the value's address (RpcStringFreeW) is handed that. Invalid is the "none"
// value as an integer, as WIL spells it: 0 for null, -1 for INVALID_HANDLE_VALUE (a pointer
// constant cannot be a template argument).
template <typename T, auto Close, INT_PTR Invalid = 0> class UniqueAny {
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

    static T none() { return reinterpret_cast<T>(Invalid); }

    T get() const { return value_; }
    T* put() {
        reset();
        return &value_;
    }
    T release() { return std::exchange(value_, none()); }
    // Closing leaves the thread's last error as it was, so a caller can still read the
    // error of the call that failed before the owner let go.
    void reset(T value = none()) {
        T old = std::exchange(value_, value);
        if (old != none()) {
            const DWORD lastError = GetLastError();
            if constexpr (std::is_invocable_v<decltype(Close), T>) {
                Close(old);
            } else {
                // Frees what the variable points to (RpcStringFreeW), not the variable.
                // cppcheck-suppress autovarInvalidDeallocation
                Close(&old);
            }
            SetLastError(lastError);
        }
    }
    explicit operator bool() const { return value_ != none(); }

  private:
    T value_ = none();
};

using UniqueBstr = UniqueAny<BSTR, SysFreeString>;
using UniqueHkey = UniqueAny<HKEY, RegCloseKey>;
// A kernel object (event, mutex, thread, process) whose functions answer null for none.
using UniqueHandle = UniqueAny<HANDLE, CloseHandle>;
// A file from CreateFileW, which answers INVALID_HANDLE_VALUE for none.
using UniqueFile = UniqueAny<HANDLE, CloseHandle, -1>;
// From FindFirstChangeNotificationW, INVALID_HANDLE_VALUE for none.
using UniqueChangeNotification = UniqueAny<HANDLE, FindCloseChangeNotification, -1>;
// A library loaded with LoadLibraryW.
using UniqueLibrary = UniqueAny<HMODULE, FreeLibrary>;
using UniqueHook = UniqueAny<HHOOK, UnhookWindowsHookEx>;
// A window this code created (a modeless dialog, say) and destroys.
using UniqueWindow = UniqueAny<HWND, DestroyWindow>;
using UniqueBitmap = UniqueAny<HBITMAP, DeleteObject>;
using UniqueIcon = UniqueAny<HICON, DestroyIcon>;
using UniqueRpcString = UniqueAny<RPC_WSTR, RpcStringFreeW>;

// A block seen as an array of T, freed by Free: LocalAlloc memory (including what the
// data-protection functions and LoadModuleString return) or CoTaskMem memory.
template <typename T, auto Free> class UniqueBlock {
  public:
    UniqueBlock() = default;
    explicit UniqueBlock(T* block) : block_(block) {}
    T* get() const { return static_cast<T*>(block_.get()); }
    T** put() { return reinterpret_cast<T**>(block_.put()); }
    T* release() { return static_cast<T*>(block_.release()); }
    void reset(T* block = nullptr) { block_.reset(block); }
    explicit operator bool() const { return static_cast<bool>(block_); }

  private:
    UniqueAny<void*, Free> block_;
};

template <typename T> using UniqueLocal = UniqueBlock<T, LocalFree>;
template <typename T> using UniqueCoTaskMem = UniqueBlock<T, CoTaskMemFree>;
using UniqueLocalString = UniqueLocal<wchar_t>;

// The one buffer for secrets and what is near them: LocalAlloc bytes held as a DATA_BLOB,
// wiped with SecureZeroMemory before they are freed. Filled by allocate() or handed to the
// data-protection functions through put().
class SecureBlob {
  public:
    SecureBlob() = default;
    SecureBlob(const SecureBlob&) = delete;
    SecureBlob& operator=(const SecureBlob&) = delete;
    ~SecureBlob() { reset(); }

    // Zeroed bytes of the given size (at least one byte is allocated).
    bool allocate(DWORD size) {
        reset();
        blob_.pbData = static_cast<BYTE*>(LocalAlloc(LMEM_ZEROINIT, size == 0 ? 1 : size));
        blob_.cbData = blob_.pbData != nullptr ? size : 0;
        return blob_.pbData != nullptr;
    }
    DATA_BLOB* put() {
        reset();
        return &blob_;
    }
    void reset() {
        if (blob_.pbData != nullptr) {
            SecureZeroMemory(blob_.pbData, blob_.cbData);
            LocalFree(blob_.pbData);
        }
        blob_ = {};
    }
    const DATA_BLOB& get() const { return blob_; }
    BYTE* data() const { return blob_.pbData; }
    DWORD size() const { return blob_.cbData; }
    explicit operator bool() const { return blob_.pbData != nullptr; }

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
    // Cannot fail on any supported Windows, so objects holding one are built without throwing.
    CriticalSection() noexcept { InitializeCriticalSection(&section_); }
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
