#pragma once

#include "extension/extension_object.h"
#include "resources/string_ids.h"

// The root object the host creates first: the extension's display name and, per property
// kind, the property objects the machine policy allows.
class CExtUI : public ExtensionBase<IDot11ExtUI, IID_IDot11ExtUI> {
  public:
    HRESULT STDMETHODCALLTYPE QueryDisplayName(BSTR* name) override;
    HRESULT STDMETHODCALLTYPE EnumerateProperties(DOT11_EXT_UI_PROPERTY_TYPE kind, DWORD* count,
                                                  IDot11ExtUIProperty*** properties) override;
    HRESULT STDMETHODCALLTYPE Reserved(void*) override { return NotImplemented(); }

  protected:
    CExtUI() = default;
};

HRESULT CreateExtUI(REFIID iid, void** result);

// Policy masks from HKLM "SOFTWARE\Quilmark\802.11", read afresh on every call: 0 when
// "EnableCCX" is absent or 0; 1 when "V4Only" is also non-zero; all bits otherwise.
constexpr DWORD PolicyNone = 0;
constexpr DWORD PolicyV4Only = 1;
constexpr DWORD PolicyAll = 0xFFFFFFFF;
DWORD ReadCcxPolicy();

constexpr UINT DisplayNameStringId = IDS_DISPLAY_NAME;
