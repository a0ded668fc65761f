#include "extension/ext_ui_con.h"

#include "common/com_boundary.h"
#include "common/hresult.h"
#include "dialogs/conn_config_dlg.h"
#include "extension/adapter_lookup.h"
#include "extension/policy.h"
#include "extension/vendor_section.h"
#include "fragments/ccx_settings.h"
#include "fragments/dpt_settings.h"
#include "localization/reading_order.h"
#include "services/string_loader.h"

#include <cwchar>

namespace {

// Unsigned comparison, so that every negative value (not set, invalid) is out of range.
bool InRange(int value, unsigned low, unsigned high) {
    const unsigned number = static_cast<unsigned>(value);
    return number >= low && number <= high;
}

// The settings count as valid when what they write reads back within the rules; what would
// not survive being written and read again counts as absent. A writer or reader that fails
// gives no answer: the failure goes to the caller.
HRESULT CheckCcxSettings(const CcxSettings& settings, bool& valid) {
    valid = false;
    CcxSettings check;
    check.SetNotSet();
    UniqueBstr written;
    RETURN_IF_FAILED(WriteCcxSettings(settings, written));
    RETURN_IF_FAILED(ReadCcxSettings(check, written.get()));
    const bool radioValid =
        check.radioMeasurement != 1 ||
        (InRange(check.maxOffChannelTimeMs, 10, 50) && InRange(check.minOnChannelTimeMs, 0, 500));
    const bool keepAliveValid =
        check.keepAliveEnabled != 1 || InRange(check.keepAlivePeriod, 0, 255);
    valid = radioValid && keepAliveValid && check.diagnosticSsidLength != CcxInvalid;
    return S_OK;
}

bool DptSettingsAreValid(const DptSettings& settings) {
    const size_t length = wcsnlen(settings.passphrase, PassphraseCapacity);
    return settings.encryption == DptEncryptionNone || settings.usePrivateKey == 0 ||
           (length >= 8 && length <= PassphraseCapacity - 1);
}

void ResetDptSettings(DptSettings& settings) {
    settings.usePrivateKey = 0;
    SecureZeroMemory(settings.passphrase, sizeof(settings.passphrase));
    settings.encryption = DptEncryptionNone;
}

void ShowNotice(HWND parent, BOOL ccxEnabled) {
    UniqueLocalString caption;
    UniqueLocalString text;
    if (LoadModuleString(NoticeCaptionStringId, caption) != ERROR_SUCCESS ||
        LoadModuleString(ccxEnabled ? NoticeCcxEnabledStringId : NoticeCcxDisabledStringId, text) !=
            ERROR_SUCCESS) {
        return;
    }
    MessageBoxW(parent, text.get(), caption.get(), MB_OK | MessageBoxFlags());
}

// The dialog works on a record of its own; the passphrase copy in it is wiped with it.
bool RunDialogOnDpt(HWND parent, DptSettings& dpt, BOOL ccxEnabled) {
    ConnConfigRecord record;
    static_assert(sizeof(record.passphrase.text) == sizeof(dpt.passphrase));
    record.usePrivate = dpt.usePrivateKey;
    memcpy(record.passphrase.text, dpt.passphrase, sizeof(dpt.passphrase));
    if (RunConnConfigDialog(parent, record, ccxEnabled) == FALSE) {
        return false;
    }
    dpt.usePrivateKey = record.usePrivate;
    memcpy(dpt.passphrase, record.passphrase.text, sizeof(dpt.passphrase));
    return true;
}

bool OfferDptSettings(HWND parent, DOT11EXT_IHV_PARAMS* connection, DptSettings& dpt,
                      BOOL ccxEnabled) {
    if (connection != nullptr && AdapterSupportsDpt(connection->interfaceGuid)) {
        return RunDialogOnDpt(parent, dpt, ccxEnabled);
    }
    ShowNotice(parent, ccxEnabled);
    return false;
}

HRESULT BuildVendorSection(const CcxSettings& ccx, const DptSettings& dpt, UniqueBstr& section) {
    const bool profileCompatible = ReadPolicyFlag(L"QuilProfileCompatible") != FALSE;
    UniqueBstr ccxText;
    UniqueBstr dptText;
    RETURN_IF_FAILED(WriteCcxSettings(ccx, ccxText));
    RETURN_IF_FAILED(WriteDptFragment(dpt, dptText));
    wchar_t outerName[OuterElementCapacity] = {};
    LoadOuterElementName(outerName);
    return ComposeVendorSection(profileCompatible, outerName, ccxText.get(), dptText.get(),
                                section);
}

HRESULT EditVendorSection(HWND parent, BSTR vendorText, DOT11EXT_IHV_PARAMS* connection,
                          UniqueBstr& newVendorText, bool& changed) {
    CcxSettings ccx;
    ccx.SetNotSet();
    if (vendorText != nullptr) {
        RETURN_IF_FAILED(ReadCcxSettings(ccx, vendorText));
    }
    DptSettings dpt;
    // No vendor section at all: both settings start from their defaults.
    bool ccxValid = false;
    bool dptValid = false;
    if (vendorText != nullptr) {
        if (vendorText[0] != L'\0') {
            // A DPT fragment that is missing or does not load leaves the record all zero,
            // which is valid.
            RETURN_IF_FAILED(ReadDptFragment(dpt, vendorText));
        }
        RETURN_IF_FAILED(CheckCcxSettings(ccx, ccxValid));
        dptValid = DptSettingsAreValid(dpt);
    }
    if (!ccxValid) {
        ccx.SetDefaults();
    }
    if (!dptValid) {
        ResetDptSettings(dpt);
    }
    changed = !ccxValid || !dptValid;

    const BOOL ccxEnabled = ReadPolicyFlag(L"EnableCCX");
    if (OfferDptSettings(parent, connection, dpt, ccxEnabled)) {
        changed = true;
    }
    if (!changed) {
        return S_OK;
    }
    return BuildVendorSection(ccx, dpt, newVendorText);
}

} // namespace

HRESULT CreateExtUICon(REFIID iid, void** result) {
    return CreateExtensionObject<CExtUICon>(iid, result);
}

HRESULT STDMETHODCALLTYPE CExtUICon::QueryPropertyName(BSTR* name) {
    return ReturnBstr(ConnectivityPropertyName, name);
}

HRESULT STDMETHODCALLTYPE CExtUICon::QueryPropertyFlag(BOOL* flag) {
    if (flag == nullptr) {
        return E_INVALIDARG;
    }
    *flag = TRUE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CExtUICon::EditSettings(HWND parent, BSTR vendorText,
                                                  DOT11EXT_IHV_PARAMS* connection,
                                                  BSTR* newVendorText, BOOL* changed) {
    if (newVendorText == nullptr || changed == nullptr) {
        return E_INVALIDARG;
    }
    *newVendorText = nullptr;
    *changed = FALSE;
    return ComBoundary([&] {
        UniqueBstr section;
        bool sectionChanged = false;
        RETURN_IF_FAILED(
            EditVendorSection(parent, vendorText, connection, section, sectionChanged));
        *changed = sectionChanged ? TRUE : FALSE;
        *newVendorText = section.release();
        return S_OK;
    });
}
