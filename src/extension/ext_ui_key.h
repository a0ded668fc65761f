#pragma once

#include "extension/extension_object.h"

// The cipher list a key property hands the host: the property owns the array and every
// name in it; the host only reads it while the property lives.
class CipherList {
  public:
    CipherList() = default;
    CipherList(const CipherList&) = delete;
    CipherList& operator=(const CipherList&) = delete;
    ~CipherList() { reset(); }

    // Frees what was held, then makes count zeroed elements; false when that fails.
    bool allocate(LONG count);
    void reset();
    CipherChoice* get() const { return list_; }

  private:
    CipherChoice* list_ = nullptr;
    LONG count_ = 0;
};

// One adapter-specific security choice, bound to one entry of the key-property table: it
// names itself, tells whether a profile's CCX network-type fragment selects it, rewrites the
// fragment to select it, lists its ciphers and applies one.
class CExtUIKey : public ExtensionBase<ICCXExtUIKey, IID_ICCXExtUIKey> {
  public:
    HRESULT STDMETHODCALLTYPE QueryPropertyName(BSTR* name) override;
    HRESULT STDMETHODCALLTYPE EditSettings(HWND, BSTR, const HostConnectionRecord*, BSTR*,
                                           BOOL*) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE MatchesProfile(LPCWSTR fragment, LPCWSTR context,
                                             BOOL* matches) override;
    HRESULT STDMETHODCALLTYPE ApplyToProfile(LPCWSTR fragment, LPCWSTR context, BSTR* newFragment,
                                             BOOL* changed) override;
    HRESULT STDMETHODCALLTYPE QueryPropertyFlag(BOOL* flag) override;
    HRESULT STDMETHODCALLTYPE QueryCipherList(BOOL flag, LPCWSTR fragment, LPCWSTR context,
                                              DWORD* count, DWORD* selectedIndex,
                                              CipherChoice** list) override;
    HRESULT STDMETHODCALLTYPE ApplyCipher(BOOL flag, LPCWSTR fragment, LPCWSTR context,
                                          const CipherChoice* chosen, BSTR* newFragment,
                                          BOOL* changed) override;
    HRESULT STDMETHODCALLTYPE QueryEntryOptions(BOOL* useMarkedNames, LONG* optionValue) override;
    HRESULT STDMETHODCALLTYPE BindEntry(const KeyPropertyEntry* entry) override;

  protected:
    CExtUIKey() = default;

  private:
    const KeyPropertyEntry* entry_ = nullptr; // not owned; constant table entry
    CipherList ciphers_;
};

HRESULT CreateExtUIKey(REFIID iid, void** result);
