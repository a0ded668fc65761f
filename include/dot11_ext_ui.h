#pragma once

// The host's interfaces for an adapter maker's extension of the wireless-profile user
// interface, as the extension DLL, its tests and the host program see them. Every operation
// uses STDMETHODCALLTYPE and answers an HRESULT.

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <wlanihvtypes.h>

#include <cstddef>

// The host's record of the connection, passed to every property operation: the profile's
// name and kind, its SSIDs and Microsoft security settings (either may be absent), and the
// adapter's interface GUID, the one field the extension reads. Offsets as on x64.
static_assert(sizeof(DOT11EXT_IHV_PROFILE_PARAMS) == 24);
static_assert(offsetof(DOT11EXT_IHV_PARAMS, wstrProfileName) == 24);
static_assert(offsetof(DOT11EXT_IHV_PARAMS, dwProfileTypeFlags) == 536);
static_assert(offsetof(DOT11EXT_IHV_PARAMS, interfaceGuid) == 540);
static_assert(sizeof(DOT11EXT_IHV_PARAMS) == 560);
static_assert(sizeof(DOT11_AUTH_ALGORITHM) == 4 && sizeof(DOT11_CIPHER_ALGORITHM) == 4);

// One entry of the extension's key-property table: an authentication kind with the ciphers
// that go with it.
struct KeyPropertyEntry {
    DOT11_AUTH_ALGORITHM authAlgorithm;
    BOOLEAN propertyFlag;               // reported by QueryPropertyFlag
    DWORD availabilityMask;             // bits that must meet the machine policy mask
    BOOLEAN useMarkedNames;             // cipher names with "(MFP)" / "(CCX)"
    LONG optionValue;                   // reported by QueryEntryOptions
    LONG cipherCount;                   // 0 to 10
    DOT11_CIPHER_ALGORITHM ciphers[10]; // first cipherCount used
};
static_assert(offsetof(KeyPropertyEntry, propertyFlag) == 4);
static_assert(offsetof(KeyPropertyEntry, availabilityMask) == 8);
static_assert(offsetof(KeyPropertyEntry, useMarkedNames) == 12);
static_assert(offsetof(KeyPropertyEntry, optionValue) == 16);
static_assert(offsetof(KeyPropertyEntry, cipherCount) == 20);
static_assert(offsetof(KeyPropertyEntry, ciphers) == 24);
static_assert(sizeof(KeyPropertyEntry) == 64);

// One element of the cipher list a key property hands the host; the list stays the
// property's.
struct CipherChoice {
    DOT11_CIPHER_ALGORITHM cipher;
    DWORD reserved;
    BSTR name;
};
static_assert(offsetof(CipherChoice, name) == 8);
static_assert(sizeof(CipherChoice) == 16);

// __uuidof works for these through __CRT_UUID_DECL at the end of this header.

// Property kinds the host asks for. The extension offers connection properties and key
// extensions; it has no security properties of its own. Fixed at 32 bits, so that any
// number the host passes is a value of the type.
enum DOT11_EXT_UI_PROPERTY_TYPE : DWORD {
    DOT11_EXT_UI_CONNECTION = 0,
    DOT11_EXT_UI_SECURITY = 1,
    DOT11_EXT_UI_KEYEXTENSION = 2,
};
static_assert(sizeof(DOT11_EXT_UI_PROPERTY_TYPE) == 4);

struct IDot11ExtUIProperty;

// {F2B676C7-DA6A-4167-A696-F55F5DFCBC8F}
// The platform's documentation lists the operations alphabetically under its own names;
// each is named beside the slot it fills here. The slot order is this header's.
struct IDot11ExtUI : public IUnknown {
    // GetDot11ExtUIFriendlyName
    virtual HRESULT STDMETHODCALLTYPE QueryDisplayName(BSTR* name) = 0;
    // GetDot11ExtUIProperties. The caller owns the CoTaskMem array and one reference on every
    // object in it.
    virtual HRESULT STDMETHODCALLTYPE EnumerateProperties(DOT11_EXT_UI_PROPERTY_TYPE kind,
                                                          DWORD* count,
                                                          IDot11ExtUIProperty*** properties) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved(void* reserved) = 0;
};

// No identifier of its own: the host reaches it through ICCXExtUICon or ICCXExtUIKey. The
// profile texts (vendor section, fragments) are the host's BSTRs; the connection record may
// be null.
struct IDot11ExtUIProperty : public IUnknown {
    // GetDot11ExtUIPropertyFriendlyName
    virtual HRESULT STDMETHODCALLTYPE QueryPropertyName(BSTR* name) = 0;
    // DisplayDot11ExtUIProperty
    virtual HRESULT STDMETHODCALLTYPE EditSettings(HWND parent, BSTR vendorText,
                                                   DOT11EXT_IHV_PARAMS* connection,
                                                   BSTR* newVendorText, BOOL* changed) = 0;
    // Dot11ExtUIPropertyGetSelected
    virtual HRESULT STDMETHODCALLTYPE MatchesProfile(BSTR fragment, DOT11EXT_IHV_PARAMS* connection,
                                                     BOOL* matches) = 0;
    // Dot11ExtUIPropertySetSelected
    virtual HRESULT STDMETHODCALLTYPE ApplyToProfile(BSTR fragment, DOT11EXT_IHV_PARAMS* connection,
                                                     BSTR* newFragment, BOOL* changed) = 0;
    // Dot11ExtUIPropertyHasConfigurationUI
    virtual HRESULT STDMETHODCALLTYPE QueryPropertyFlag(BOOL* flag) = 0;
    // Dot11ExtUIPropertyGetDisplayInfo
    virtual HRESULT STDMETHODCALLTYPE QueryCipherList(BOOL flag, BSTR fragment,
                                                      DOT11EXT_IHV_PARAMS* connection, DWORD* count,
                                                      DWORD* selectedIndex,
                                                      CipherChoice** list) = 0;
    // Dot11ExtUIPropertySetDisplayInfo
    virtual HRESULT STDMETHODCALLTYPE ApplyCipher(BOOL flag, BSTR fragment,
                                                  DOT11EXT_IHV_PARAMS* connection,
                                                  const CipherChoice* chosen, BSTR* newFragment,
                                                  BOOL* changed) = 0;
    // Dot11ExtUIPropertyIsStandardSecurity
    virtual HRESULT STDMETHODCALLTYPE QueryEntryOptions(BOOL* useMarkedNames,
                                                        LONG* optionValue) = 0;
};

// {F5F6B9FB-CC01-4EDE-A221-A82E6D6911CD}: adds nothing.
struct ICCXExtUICon : public IDot11ExtUIProperty {};

// {6677FEBC-263A-4967-81C4-C700B3639145}
struct ICCXExtUIKey : public IDot11ExtUIProperty {
    virtual HRESULT STDMETHODCALLTYPE BindEntry(const KeyPropertyEntry* entry) = 0;
};

inline constexpr IID IID_IDot11ExtUI = {
    0xF2B676C7, 0xDA6A, 0x4167, {0xA6, 0x96, 0xF5, 0x5F, 0x5D, 0xFC, 0xBC, 0x8F}};
inline constexpr IID IID_ICCXExtUICon = {
    0xF5F6B9FB, 0xCC01, 0x4EDE, {0xA2, 0x21, 0xA8, 0x2E, 0x6D, 0x69, 0x11, 0xCD}};
inline constexpr IID IID_ICCXExtUIKey = {
    0x6677FEBC, 0x263A, 0x4967, {0x81, 0xC4, 0xC7, 0x00, 0xB3, 0x63, 0x91, 0x45}};

__CRT_UUID_DECL(IDot11ExtUI, 0xF2B676C7, 0xDA6A, 0x4167, 0xA6, 0x96, 0xF5, 0x5F, 0x5D, 0xFC, 0xBC,
                0x8F)
__CRT_UUID_DECL(ICCXExtUICon, 0xF5F6B9FB, 0xCC01, 0x4EDE, 0xA2, 0x21, 0xA8, 0x2E, 0x6D, 0x69, 0x11,
                0xCD)
__CRT_UUID_DECL(ICCXExtUIKey, 0x6677FEBC, 0x263A, 0x4967, 0x81, 0xC4, 0xC7, 0x00, 0xB3, 0x63, 0x91,
                0x45)
