#pragma once

#include "common/owners.h"
#include "dialogs/key_input_dlg.h"

#include <windows.h>

// What the connection-settings dialog shows and changes: the "Use a private passphrase"
// switch and the passphrase, which is wiped when the record goes.
struct ConnConfigRecord {
    BOOL usePrivate = FALSE;
    SecureText<KeyBufferCapacity> passphrase;
};

// Runs the modal "WLAN Connection Settings" dialog on the record. Returns TRUE when the
// record was changed, FALSE otherwise (also when the dialog could not be run).
BOOL RunConnConfigDialog(HWND parent, ConnConfigRecord& record, BOOL ccxEnabled);

// The connection-settings dialog: the key-entry dialog with the "Use a private passphrase"
// switch. While the switch is off the boxes are disabled, OK accepts without validation and
// no key is reported or handed out.
class ConnConfigDlg : public KeyInputDlg {
  public:
    ConnConfigDlg(const ConnConfigRecord& record, BOOL ccxPolicyEnabled);

    BOOL IsKeyModified() override;
    INT_PTR OnInitDialog(HWND dialog) override;
    void OnOk(WORD code) override;
    void OnHideCharacters() override;
    void OnUsePrivate() override;
    BOOL PreEditChange(WPARAM wParam, LPARAM lParam) override;
    void ShowKey() override;
    // The passphrase typed or kept, or null while the switch is off.
    virtual const wchar_t* GetPrivatePassphrase();

    void SetUsePrivatePassphrase(BOOL value);
    BOOL UsesPrivatePassphrase() const { return usePrivate; }

  protected:
    BOOL usePrivate = FALSE;
    BOOL initialUsePrivate;
    // Decides whether the read-only CCX indicator (1001) is shown.
    BOOL ccxEnabled;
};
