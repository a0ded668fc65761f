#include "dialogs/key_input_dlg.h"

#include "common/owners.h"
#include "dialogs/dialog_resource.h"
#include "localization/dialog_text.h"
#include "localization/reading_order.h"
#include "services/string_loader.h"

#include <algorithm>
#include <cstdlib>
#include <cwchar>

namespace {

constexpr int CaptionCapacity = 256;
constexpr int MessageCapacity = 1024;
constexpr int LengthLabelCapacity = 20;

// Copies at most 64 characters and terminates, as every copy of a key does.
void CopyKey(wchar_t (&target)[KeyBufferCapacity], const wchar_t* source) {
    size_t length = 0;
    for (; source != nullptr && length < MaxKeyLength && source[length] != L'\0'; ++length) {
        target[length] = source[length];
    }
    target[length] = L'\0';
}

// A box is read into a 65-unit buffer: longer input counts by its first 64 characters.
void ReadBox(HWND box, wchar_t (&target)[KeyBufferCapacity]) {
    target[0] = L'\0';
    if (box != nullptr) {
        GetWindowTextW(box, target, KeyBufferCapacity);
    }
}

void SetBoxTexts(const KeyEntry& keyEntry, const wchar_t* text) {
    SetWindowTextW(keyEntry.keyEdit, text);
    SetWindowTextW(keyEntry.confirmEdit, text);
}

// Only typing sets an edit box's modification flag; the dialog clears it after its own
// changes so that their notifications are not taken for the user's.
void ClearModified(const KeyEntry& keyEntry) {
    SendMessageW(keyEntry.keyEdit, EM_SETMODIFY, FALSE, 0);
    SendMessageW(keyEntry.confirmEdit, EM_SETMODIFY, FALSE, 0);
}

BOOL IsModified(HWND box) {
    return SendMessageW(box, EM_GETMODIFY, 0, 0) != 0;
}

void SetPasswordChar(const KeyEntry& keyEntry, wchar_t passwordChar) {
    SendMessageW(keyEntry.keyEdit, EM_SETPASSWORDCHAR, passwordChar, 0);
    SendMessageW(keyEntry.confirmEdit, EM_SETPASSWORDCHAR, passwordChar, 0);
}

void ShowLength(HWND label, HWND box) {
    if (label == nullptr) {
        return;
    }
    wchar_t text[LengthLabelCapacity] = {};
    const int length = GetWindowTextLengthW(box);
    if (length > 0) {
        _itow(length, text, 10);
    }
    SetWindowTextW(label, text);
}

void ShowLabel(HWND label, int command) {
    if (label != nullptr) {
        ShowWindow(label, command);
    }
}

// Writes '*' over `length` characters from the start of the box, piece by piece in place
// (the text never shrinks to nothing first, so its buffer is not given back), from a buffer
// on the stack: nothing is allocated, so the wipe cannot fail half-way.
void FillBox(HWND box, int length) {
    constexpr int PieceLength = 64;
    wchar_t piece[PieceLength + 1];
    for (int written = 0; written < length; written += PieceLength) {
        const int count = std::min(PieceLength, length - written);
        std::fill_n(piece, count, L'*');
        piece[count] = L'\0';
        SendMessageW(box, EM_SETSEL, written, written + count);
        SendMessageW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(piece));
    }
}

// An edit box keeps its text in a buffer of its own, which the window system frees unwiped
// with the box; a shorter text leaves the end of a longer one in it, and what an edit deleted
// stays in the undo buffer. So the box is overwritten over the longest text it ever held, that
// filler is deleted into the undo buffer over what it held, and then both are emptied. Not
// reached: the copies the window system makes and frees on its own (the deleted text of each
// edit, its old buffers when it grows them, its layout copies of a shown text).
void ScrubBox(HWND box, int longestText) {
    if (box == nullptr) {
        return;
    }
    const int length = std::max(longestText, GetWindowTextLengthW(box));
    if (length > 0) {
        FillBox(box, length);
        SendMessageW(box, EM_EMPTYUNDOBUFFER, 0, 0);
        SendMessageW(box, EM_SETSEL, 0, -1);
        SendMessageW(box, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L""));
    }
    SetWindowTextW(box, L"");
    SendMessageW(box, EM_EMPTYUNDOBUFFER, 0, 0);
}

void Repaint(HWND box) {
    InvalidateRect(box, nullptr, TRUE);
    UpdateWindow(box);
}

} // namespace

KeyInputDlg::KeyInputDlg(const wchar_t* initialKeyText, UINT warningCaptionId,
                         HINSTANCE messageModule)
    : resourceModule(messageModule), captionId(warningCaptionId) {
    CopyKey(initialKey, initialKeyText);
    initialStoredKey = initialKey[0] != L'\0';
}

KeyInputDlg::~KeyInputDlg() {
    SecureZeroMemory(initialKey, sizeof(initialKey));
    SecureZeroMemory(entry.key, sizeof(entry.key));
}

BOOL KeyInputDlg::IsKeyModified() {
    if ((entry.storedKey != FALSE) != (initialStoredKey != FALSE)) {
        return TRUE;
    }
    if (entry.storedKey) {
        return FALSE; // the stored key stands
    }
    return std::wcscmp(entry.key, initialKey) != 0;
}

const wchar_t* KeyInputDlg::GetKeyText() {
    return entry.key;
}

INT_PTR KeyInputDlg::OnInitDialog(HWND dialog) {
    dialogWindow = dialog;
    if (dialog == nullptr) {
        return TRUE;
    }
    TranslateChildTexts(dialog);
    BindControls();
    hideCharacters = TRUE;
    ShowKey();
    return TRUE;
}

void KeyInputDlg::OnOk(WORD) {
    const UINT messageId = ValidateKey(entry);
    if (messageId == KeyValid) {
        Close(TRUE);
        return;
    }
    ShowWarning(messageId);
}

void KeyInputDlg::OnCancel(WORD) {
    Close(FALSE);
}

void KeyInputDlg::OnEditChange(int id) {
    if (closing) {
        return;
    }
    if (id == IDC_KEY_EDIT) {
        OnKeyTextChanged(entry);
    } else if (id == IDC_CONFIRM_EDIT) {
        OnConfirmTextChanged(entry);
    }
}

HWND KeyInputDlg::Box(int id) const {
    return id == IDC_KEY_EDIT       ? entry.keyEdit
           : id == IDC_CONFIRM_EDIT ? entry.confirmEdit
                                    : nullptr;
}

void KeyInputDlg::NoteTextLength(int id) {
    HWND box = Box(id);
    if (box == nullptr) {
        return;
    }
    int& longest = id == IDC_KEY_EDIT ? longestKeyText : longestConfirmText;
    longest = std::max(longest, GetWindowTextLengthW(box));
}

void KeyInputDlg::OnEditSetFocus(int id) {
    HWND box = Box(id);
    // Posted: the whole text is selected once the focus change has been processed.
    if (box != nullptr) {
        PostMessageW(box, EM_SETSEL, 0, -1);
    }
}

void KeyInputDlg::OnUsePrivate() {}

void KeyInputDlg::OnHideCharacters() {
    hideCharacters = IsDlgButtonChecked(dialogWindow, IDC_HIDE_CHARACTERS) == BST_CHECKED;
    ApplyHideCharacters(hideCharacters, entry, TRUE);
    RefreshEntryControls(entry);
}

BOOL KeyInputDlg::ClearPlaceholder(KeyEntry& keyEntry, WPARAM, LPARAM) {
    if (busy || !keyEntry.placeholderShown) {
        return FALSE;
    }
    // Only the user's typing in a box replaces the placeholder, not the dialog's own writes.
    HWND focus = GetFocus();
    if (focus == nullptr || (focus != keyEntry.keyEdit && focus != keyEntry.confirmEdit)) {
        return FALSE;
    }
    busy = TRUE;
    SecureZeroMemory(keyEntry.key, sizeof(keyEntry.key));
    keyEntry.storedKey = FALSE;
    SetBoxTexts(keyEntry, L"");
    keyEntry.placeholderShown = FALSE;
    RefreshEntryControls(keyEntry);
    busy = FALSE;
    return TRUE;
}

BOOL KeyInputDlg::PreEditChange(WPARAM wParam, LPARAM lParam) {
    return ClearPlaceholder(entry, wParam, lParam);
}

void KeyInputDlg::BindControls() {
    entry.keyEdit = GetDlgItem(dialogWindow, IDC_KEY_EDIT);
    entry.keyLengthLabel = GetDlgItem(dialogWindow, IDC_KEY_LENGTH);
    entry.confirmEdit = GetDlgItem(dialogWindow, IDC_CONFIRM_EDIT);
    entry.confirmLengthLabel = GetDlgItem(dialogWindow, IDC_CONFIRM_LENGTH);
    entry.enabled = initialEnabled;
    entry.placeholderShown = FALSE;
    CopyKey(entry.key, initialKey);
    entry.storedKey = initialStoredKey;
}

void KeyInputDlg::ShowKey() {
    // A stored key never enters a box, not even on its way to the placeholder
    // (docs/COMPATIBILITY.md).
    SetWindowTextW(entry.keyEdit, entry.storedKey ? KeyPlaceholder : entry.key);
    SetPasswordChar(entry, L'*');
    SendMessageW(entry.keyEdit, EM_SETMODIFY, FALSE, 0);
    CheckDlgButton(dialogWindow, IDC_HIDE_CHARACTERS, hideCharacters ? BST_CHECKED : BST_UNCHECKED);
    SyncHideWithStoredKey(entry);
    ShowPlaceholderOrKey(entry);
    ClearModified(entry);
}

void KeyInputDlg::SyncHideWithStoredKey(KeyEntry& keyEntry) {
    // A stored key is never shown: "Hide characters" is forced on.
    if (keyEntry.storedKey &&
        IsDlgButtonChecked(dialogWindow, IDC_HIDE_CHARACTERS) != BST_CHECKED) {
        hideCharacters = TRUE;
        CheckDlgButton(dialogWindow, IDC_HIDE_CHARACTERS, BST_CHECKED);
        OnHideCharacters();
    }
    RefreshEntryControls(keyEntry);
}

void KeyInputDlg::RefreshEntryControls(KeyEntry& keyEntry) {
    EnableWindow(keyEntry.keyEdit, keyEntry.enabled);
    EnableWindow(keyEntry.confirmEdit, keyEntry.enabled);
    EnableWindow(Control(IDC_HIDE_CHARACTERS), !keyEntry.placeholderShown);
    const int labels = keyEntry.placeholderShown || keyEntry.storedKey ? SW_HIDE : SW_SHOW;
    ShowLabel(keyEntry.keyLengthLabel, labels);
    ShowLabel(keyEntry.confirmLengthLabel, labels);
}

void KeyInputDlg::OnKeyTextChanged(KeyEntry& keyEntry) {
    ShowLength(keyEntry.keyLengthLabel, keyEntry.keyEdit);
    if (!IsModified(keyEntry.keyEdit)) {
        return; // the change came from the dialog itself
    }
    ReadBox(keyEntry.keyEdit, keyEntry.key);
    keyEntry.storedKey = FALSE;
    keyEntry.placeholderShown = FALSE;
    EnableWindow(Control(IDC_HIDE_CHARACTERS), TRUE);
    ClearModified(keyEntry);
    // While the characters are shown the key is typed once: the confirmation mirrors it.
    if (IsDlgButtonChecked(dialogWindow, IDC_HIDE_CHARACTERS) != BST_CHECKED) {
        SetWindowTextW(keyEntry.confirmEdit, keyEntry.key);
    }
}

void KeyInputDlg::OnConfirmTextChanged(KeyEntry& keyEntry) {
    ShowLength(keyEntry.confirmLengthLabel, keyEntry.confirmEdit);
    if (IsModified(keyEntry.keyEdit) && IsModified(keyEntry.confirmEdit)) {
        SecureText<KeyBufferCapacity> key;
        SecureText<KeyBufferCapacity> confirmation;
        ReadBox(keyEntry.keyEdit, key.text);
        ReadBox(keyEntry.confirmEdit, confirmation.text);
        if (SameKeyIgnoringCase(key.text, confirmation.text)) {
            CopyKey(keyEntry.key, key.text);
            keyEntry.storedKey = FALSE;
            SetWindowTextW(keyEntry.keyEdit, keyEntry.key);
            keyEntry.placeholderShown = FALSE;
            EnableWindow(Control(IDC_HIDE_CHARACTERS), TRUE);
            ClearModified(keyEntry);
        }
    }
    RefreshEntryControls(keyEntry);
}

void KeyInputDlg::ApplyHideCharacters(BOOL hide, KeyEntry& keyEntry, BOOL active) {
    const BOOL mask = keyEntry.storedKey ? TRUE : hide;
    SetPasswordChar(keyEntry, mask ? L'*' : L'\0');
    if (!mask && active) {
        ReadBox(keyEntry.keyEdit, keyEntry.key);
        SetBoxTexts(keyEntry, keyEntry.key);
        keyEntry.placeholderShown = FALSE;
        EnableWindow(Control(IDC_HIDE_CHARACTERS), TRUE);
        ClearModified(keyEntry);
    }
    Repaint(keyEntry.keyEdit);
    Repaint(keyEntry.confirmEdit);
}

UINT KeyInputDlg::ValidateKey(KeyEntry& keyEntry) {
    SecureText<KeyBufferCapacity> key;
    SecureText<KeyBufferCapacity> confirmation;
    ReadBox(keyEntry.keyEdit, key.text);
    ReadBox(keyEntry.confirmEdit, confirmation.text);
    const UINT messageId = JudgeKey(key.text, confirmation.text);
    if (messageId != KeyValid) {
        return messageId;
    }
    if (!keyEntry.storedKey) {
        CopyKey(keyEntry.key, key.text);
    }
    return KeyValid;
}

void KeyInputDlg::ShowPlaceholderOrKey(KeyEntry& keyEntry) {
    if (keyEntry.storedKey) {
        SetBoxTexts(keyEntry, KeyPlaceholder);
        keyEntry.placeholderShown = TRUE;
        EnableWindow(Control(IDC_HIDE_CHARACTERS), FALSE);
        return;
    }
    SetBoxTexts(keyEntry, keyEntry.key);
    keyEntry.placeholderShown = FALSE;
    EnableWindow(Control(IDC_HIDE_CHARACTERS), TRUE);
}

void KeyInputDlg::ShowWarning(UINT textId) {
    wchar_t caption[CaptionCapacity] = {};
    wchar_t text[MessageCapacity] = {};
    if (LoadResourceString(resourceModule, captionId, caption, CaptionCapacity) <= 0 ||
        LoadResourceString(resourceModule, textId, text, MessageCapacity) <= 0) {
        return; // no warning without both texts; the dialog simply stays open
    }
    MessageBoxW(dialogWindow, text, caption, MB_ICONEXCLAMATION | MB_OK | MessageBoxFlags());
}

void KeyInputDlg::WipeBoxes() {
    // The wiping is the dialog's own change, not the user's: the entry keeps its key.
    busy = TRUE;
    closing = TRUE;
    ScrubBox(entry.keyEdit, longestKeyText);
    ScrubBox(entry.confirmEdit, longestConfirmText);
    busy = FALSE;
}

void KeyInputDlg::Close(BOOL accept) {
    accepted = accept;
    WipeBoxes();
    EndDialog(dialogWindow, accept);
}
