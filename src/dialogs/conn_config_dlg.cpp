#include "dialogs/conn_config_dlg.h"

#include "dialogs/dialog_resource.h"
#include "localization/reading_order.h"
#include "services/module_state.h"
#include "resources/string_ids.h"

#include <memory>
#include <new>

namespace {

// The key-entry base reports a mismatch with its own text; this dialog names passphrases.
constexpr UINT PassphraseMismatchMessage = IDS_PASSPHRASE_MISMATCH;

void ShowCcxIndicator(HWND dialog, BOOL ccxEnabled) {
    HWND indicator = GetDlgItem(dialog, IDC_CCX_ENABLED);
    if (indicator == nullptr) {
        return;
    }
    ShowWindow(indicator, ccxEnabled ? SW_SHOW : SW_HIDE);
    CheckDlgButton(dialog, IDC_CCX_ENABLED, ccxEnabled ? BST_CHECKED : BST_UNCHECKED);
}

void CopyPassphrase(wchar_t (&text)[KeyBufferCapacity], const wchar_t* passphrase) {
    SecureZeroMemory(text, sizeof(text));
    if (passphrase == nullptr) {
        return;
    }
    for (size_t i = 0; i < MaxKeyLength && passphrase[i] != L'\0'; ++i) {
        text[i] = passphrase[i];
    }
    text[KeyBufferCapacity - 1] = L'\0';
}

// The record is written only from an accepted run.
BOOL ApplyAcceptedDialog(ConnConfigDlg& dialog, ConnConfigRecord& record) {
    BOOL changed = FALSE;
    const BOOL use = dialog.UsesPrivatePassphrase();
    if (dialog.IsKeyModified() && use) {
        CopyPassphrase(record.passphrase.text, dialog.GetPrivatePassphrase());
        changed = TRUE;
    }
    if (use != record.usePrivate) {
        record.usePrivate = use;
        changed = TRUE;
    }
    return changed;
}

} // namespace

ConnConfigDlg::ConnConfigDlg(const ConnConfigRecord& record, BOOL ccxPolicyEnabled)
    : KeyInputDlg(record.passphrase.text, IDS_CONN_CONFIG_CAPTION, ModuleInstance()),
      initialUsePrivate(record.usePrivate), ccxEnabled(ccxPolicyEnabled) {}

BOOL ConnConfigDlg::IsKeyModified() {
    return usePrivate ? KeyInputDlg::IsKeyModified() : FALSE;
}

INT_PTR ConnConfigDlg::OnInitDialog(HWND dialog) {
    if (dialog != nullptr) {
        ShowCcxIndicator(dialog, ccxEnabled);
    }
    usePrivate = initialUsePrivate;
    return KeyInputDlg::OnInitDialog(dialog);
}

void ConnConfigDlg::OnOk(WORD) {
    if (!usePrivate) {
        Close(TRUE); // without a private passphrase there is nothing to validate
        return;
    }
    UINT messageId = ValidateKey(entry);
    if (messageId == KeyMismatchMessage) {
        messageId = PassphraseMismatchMessage;
    }
    if (messageId == KeyValid) {
        Close(TRUE);
        return;
    }
    ShowWarning(messageId);
}

void ConnConfigDlg::OnHideCharacters() {
    hideCharacters = IsDlgButtonChecked(dialogWindow, IDC_HIDE_CHARACTERS) == BST_CHECKED;
    // While the switch is off only the masking of the disabled boxes changes.
    ApplyHideCharacters(hideCharacters, entry, usePrivate != FALSE);
    if (usePrivate) {
        RefreshEntryControls(entry);
    }
}

void ConnConfigDlg::OnUsePrivate() {
    const BOOL checked = IsDlgButtonChecked(dialogWindow, IDC_USE_PRIVATE) == BST_CHECKED;
    if (checked != (usePrivate != FALSE)) {
        SetUsePrivatePassphrase(checked);
    }
}

BOOL ConnConfigDlg::PreEditChange(WPARAM wParam, LPARAM lParam) {
    if (busy || !usePrivate) {
        return FALSE;
    }
    return ClearPlaceholder(entry, wParam, lParam);
}

void ConnConfigDlg::ShowKey() {
    KeyInputDlg::ShowKey();
    CheckDlgButton(dialogWindow, IDC_USE_PRIVATE, usePrivate ? BST_CHECKED : BST_UNCHECKED);
    SetUsePrivatePassphrase(usePrivate);
    if (usePrivate) {
        ShowPlaceholderOrKey(entry);
        SendMessageW(entry.keyEdit, EM_SETMODIFY, FALSE, 0);
        SendMessageW(entry.confirmEdit, EM_SETMODIFY, FALSE, 0);
    }
}

const wchar_t* ConnConfigDlg::GetPrivatePassphrase() {
    return usePrivate ? entry.key : nullptr;
}

void ConnConfigDlg::SetUsePrivatePassphrase(BOOL value) {
    usePrivate = value;
    CheckDlgButton(dialogWindow, IDC_USE_PRIVATE, value ? BST_CHECKED : BST_UNCHECKED);
    if (value) {
        SyncHideWithStoredKey(entry);
        RefreshEntryControls(entry);
        return;
    }
    // Off: the boxes keep their texts but take no input; "Hide characters" is left alone.
    for (HWND box : {entry.keyEdit, entry.confirmEdit}) {
        if (box != nullptr) {
            EnableWindow(box, FALSE);
        }
    }
    for (HWND label : {entry.keyLengthLabel, entry.confirmLengthLabel}) {
        if (label != nullptr) {
            ShowWindow(label, SW_HIDE);
        }
    }
}

BOOL RunConnConfigDialog(HWND parent, ConnConfigRecord& record, BOOL ccxEnabled) {
    std::unique_ptr<ConnConfigDlg> dialog(new (std::nothrow) ConnConfigDlg(record, ccxEnabled));
    if (!dialog) {
        return FALSE;
    }
    // The object's accepted flag decides, not the return value: a dialog that could not be
    // created leaves it at 0.
    DialogBoxInReadingOrder(ModuleInstance(), MAKEINTRESOURCEW(IDD_CONN_CONFIG), parent,
                            KeyInputDlgProc, reinterpret_cast<LPARAM>(dialog.get()));
    if (!dialog->IsAccepted()) {
        return FALSE;
    }
    return ApplyAcceptedDialog(*dialog, record);
}
