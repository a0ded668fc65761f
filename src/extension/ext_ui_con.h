#pragma once

#include "extension/extension_object.h"
#include "resources/string_ids.h"

// The connectivity-settings property: validates the CCX and DPT settings of a vendor
// section, lets the user edit the DPT settings (or shows a notice when the adapter cannot
// offer DPT), and hands back a rebuilt vendor section when anything changed. It keeps no
// state between calls.
class CExtUICon : public ExtensionBase<ICCXExtUICon, IID_ICCXExtUICon> {
  public:
    HRESULT STDMETHODCALLTYPE QueryPropertyName(BSTR* name) override;
    HRESULT STDMETHODCALLTYPE EditSettings(HWND parent, BSTR vendorText,
                                           DOT11EXT_IHV_PARAMS* connection, BSTR* newVendorText,
                                           BOOL* changed) override;
    HRESULT STDMETHODCALLTYPE MatchesProfile(BSTR, DOT11EXT_IHV_PARAMS*, BOOL*) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE ApplyToProfile(BSTR, DOT11EXT_IHV_PARAMS*, BSTR*, BOOL*) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE QueryPropertyFlag(BOOL* flag) override;
    HRESULT STDMETHODCALLTYPE QueryCipherList(BOOL, BSTR, DOT11EXT_IHV_PARAMS*, DWORD*, DWORD*,
                                              CipherChoice**) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE ApplyCipher(BOOL, BSTR, DOT11EXT_IHV_PARAMS*, const CipherChoice*,
                                          BSTR*, BOOL*) override {
        return NotImplemented();
    }
    HRESULT STDMETHODCALLTYPE QueryEntryOptions(BOOL*, LONG*) override { return NotImplemented(); }

  protected:
    CExtUICon() = default;
};

HRESULT CreateExtUICon(REFIID iid, void** result);

// The property's fixed, untranslated name.
inline constexpr wchar_t ConnectivityPropertyName[] = L"CCX Connectivity Settings (Sample)";

// Ids of the notice shown when DPT cannot be offered.
constexpr UINT NoticeCaptionStringId = IDS_CONN_CONFIG_CAPTION;
constexpr UINT NoticeCcxEnabledStringId = IDS_NOTICE_CCX_ENABLED;
constexpr UINT NoticeCcxDisabledStringId = IDS_NOTICE_CCX_DISABLED;
