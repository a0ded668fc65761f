#pragma once

#include "common/owners.h"
#include "extension/extension_object.h"
#include "extension/key_property_table.h"

#include <memory>

// One adapter-specific security choice, bound to one entry of the key-property table: it
// names itself, tells whether a profile's CCX network-type fragment selects it, rewrites the
// fragment to select it, lists its ciphers and applies one.
class CExtUIKey : public ExtensionBase<ICCXExtUIKey, IID_ICCXExtUIKey> {
  public:
    HRESULT STDMETHODCALLTYPE QueryPropertyName(BSTR* name) override;
    HRESULT STDMETHODCALLTYPE EditSettings(HWND, BSTR, DOT11EXT_IHV_PARAMS*, BSTR*,
                                           BOOL*) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE MatchesProfile(BSTR fragment, DOT11EXT_IHV_PARAMS* connection,
                                             BOOL* matches) override;
    HRESULT STDMETHODCALLTYPE ApplyToProfile(BSTR fragment, DOT11EXT_IHV_PARAMS* connection,
                                             BSTR* newFragment, BOOL* changed) override;
    HRESULT STDMETHODCALLTYPE QueryPropertyFlag(BOOL* flag) override;
    HRESULT STDMETHODCALLTYPE QueryCipherList(BOOL flag, BSTR fragment,
                                              DOT11EXT_IHV_PARAMS* connection, DWORD* count,
                                              DWORD* selectedIndex, CipherChoice** list) override;
    HRESULT STDMETHODCALLTYPE ApplyCipher(BOOL flag, BSTR fragment, DOT11EXT_IHV_PARAMS* connection,
                                          const CipherChoice* chosen, BSTR* newFragment,
                                          BOOL* changed) override;
    HRESULT STDMETHODCALLTYPE QueryEntryOptions(BOOL* useMarkedNames, LONG* optionValue) override;
    HRESULT STDMETHODCALLTYPE BindEntry(const KeyPropertyEntry* entry) override;

  protected:
    CExtUIKey() = default;

  private:
    const KeyPropertyEntry* entry_ = nullptr; // not owned; constant table entry
    // The cipher list handed to the host and the names in it: the host only reads them while
    // the property lives.
    std::unique_ptr<CipherChoice[]> ciphers_;
    UniqueBstr cipherNames_[MaxCipherCount];
};

HRESULT CreateExtUIKey(REFIID iid, void** result);
