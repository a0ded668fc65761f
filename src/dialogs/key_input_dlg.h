#pragma once

#include "dialogs/key_rules.h"

#include <windows.h>

// The key-entry group of a dialog: two boxes in which the same key is typed, their length
// labels, and the state that decides what the boxes display.
struct KeyEntry {
    HWND keyEdit = nullptr;
    HWND confirmEdit = nullptr;
    // Either label may be missing from a template; every use of a null label is skipped.
    HWND keyLengthLabel = nullptr;
    HWND confirmLengthLabel = nullptr;
    BOOL enabled = FALSE;
    // The key came from storage and has not been replaced; the boxes show the placeholder.
    BOOL storedKey = FALSE;
    BOOL placeholderShown = FALSE;
    wchar_t key[KeyBufferCapacity] = {};
};

// Shown in both boxes in place of a stored key, which is never displayed. It passes the
// length rule, so OK with the placeholder still shown keeps the stored key.
inline constexpr wchar_t KeyPlaceholder[] = L"Blank456";

// Base of the modal dialogs in which a secret key is typed twice, masked or shown, and
// confirmed with OK. KeyInputDlgProc runs it; the object outlives the modal loop so that
// the launcher can read the result.
class KeyInputDlg {
  public:
    KeyInputDlg(const wchar_t* initialKeyText, UINT warningCaptionId, HINSTANCE messageModule);
    KeyInputDlg(const KeyInputDlg&) = delete;
    KeyInputDlg& operator=(const KeyInputDlg&) = delete;

    // The entry holds a plain key: both copies are wiped when the object goes.
    virtual ~KeyInputDlg();
    virtual BOOL IsKeyModified();
    virtual const wchar_t* GetKeyText();
    virtual INT_PTR OnInitDialog(HWND dialog);
    virtual void OnOk(WORD code);
    virtual void OnCancel(WORD code);
    virtual void OnEditChange(int id);
    virtual void OnEditSetFocus(int id);
    virtual void OnHideCharacters();
    // The "Use a private passphrase" switch (4403) was clicked; only a dialog that has it acts.
    virtual void OnUsePrivate();
    virtual BOOL ClearPlaceholder(KeyEntry& keyEntry, WPARAM wParam, LPARAM lParam);
    virtual BOOL PreEditChange(WPARAM wParam, LPARAM lParam);
    virtual void BindControls();
    virtual void ShowKey();

    // 1 once OK closed the dialog, 0 after Cancel or when it never ran.
    BOOL IsAccepted() const { return accepted; }
    // Every change of a box's text passes here first: the box is wiped at close over the
    // longest text it ever held.
    void NoteTextLength(int id);
    // Overwrites both boxes' buffers and empties them; at OK and Cancel and again when the
    // dialog window is destroyed by any path (docs/COMPATIBILITY.md). A second pass is harmless.
    void WipeBoxes();

  protected:
    void SyncHideWithStoredKey(KeyEntry& keyEntry);
    void RefreshEntryControls(KeyEntry& keyEntry);
    void OnKeyTextChanged(KeyEntry& keyEntry);
    void OnConfirmTextChanged(KeyEntry& keyEntry);
    void ApplyHideCharacters(BOOL hide, KeyEntry& keyEntry, BOOL active);
    UINT ValidateKey(KeyEntry& keyEntry);

    // Both boxes show the placeholder for a stored key, or the entry's key for a new one.
    void ShowPlaceholderOrKey(KeyEntry& keyEntry);
    // The warning for a rejected key, shown only when its caption and text both load.
    void ShowWarning(UINT textId);
    void Close(BOOL accept);
    HWND Control(int id) const { return GetDlgItem(dialogWindow, id); }
    // The key box or the confirmation box by id, else null.
    HWND Box(int id) const;

    HINSTANCE resourceModule;
    HWND dialogWindow = nullptr;
    // Set while ClearPlaceholder rewrites the boxes, whose change notifications re-enter.
    BOOL busy = FALSE;
    BOOL hideCharacters = TRUE;
    KeyEntry entry;
    UINT captionId;
    BOOL accepted = FALSE;
    BOOL initialStoredKey = FALSE;
    BOOL initialEnabled = TRUE;
    wchar_t initialKey[KeyBufferCapacity] = {};
    int longestKeyText = 0;
    int longestConfirmText = 0;
    // Set once Close wipes the boxes: their notifications then change nothing.
    BOOL closing = FALSE;
};

// The dialog procedure of template 101 (key_input_dlg_proc.cpp); lParam of WM_INITDIALOG is
// the KeyInputDlg.
INT_PTR CALLBACK KeyInputDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
