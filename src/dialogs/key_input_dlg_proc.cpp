#include "dialogs/key_input_dlg.h"

#include "common/com_boundary.h"
#include "dialogs/dialog_resource.h"

namespace {

void DispatchEditCommand(KeyInputDlg& dialog, int id, WORD code, WPARAM wParam, LPARAM lParam) {
    if (code == EN_CHANGE) {
        dialog.NoteTextLength(id);
        if (!dialog.PreEditChange(wParam, lParam)) {
            dialog.OnEditChange(id);
        }
    } else if (code == EN_SETFOCUS) {
        dialog.OnEditSetFocus(id);
    }
}

void DispatchCommand(KeyInputDlg& dialog, WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const WORD code = HIWORD(wParam);
    switch (id) {
    case IDOK:
        dialog.OnOk(code);
        break;
    case IDCANCEL:
        dialog.OnCancel(code);
        break;
    case IDC_KEY_EDIT:
    case IDC_CONFIRM_EDIT:
        DispatchEditCommand(dialog, id, code, wParam, lParam);
        break;
    case IDC_HIDE_CHARACTERS:
        dialog.OnHideCharacters();
        break;
    case IDC_USE_PRIVATE:
        dialog.OnUsePrivate();
        break;
    default:
        break;
    }
}

INT_PTR HandleMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, GWLP_USERDATA, lParam);
        auto* object = reinterpret_cast<KeyInputDlg*>(lParam);
        return object != nullptr ? object->OnInitDialog(dialog) : TRUE;
    }
    if (message != WM_COMMAND && message != WM_DESTROY) {
        return FALSE;
    }
    // A command can arrive before WM_INITDIALOG has stored the object (a control's
    // notification while the dialog is being created): there is nothing to hand it to.
    auto* object = reinterpret_cast<KeyInputDlg*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
    if (object == nullptr) {
        return FALSE;
    }
    // The children still exist here: a destroyed owner or WM_QUIT ending the modal loop
    // leaves no typed passphrase in the boxes' freed buffers either.
    if (message == WM_DESTROY) {
        object->WipeBoxes();
    } else {
        DispatchCommand(*object, wParam, lParam);
    }
    return FALSE;
}

} // namespace

// A boundary: nothing thrown inside the handlers crosses into the dialog manager; a message
// whose handling failed counts as not handled.
INT_PTR CALLBACK KeyInputDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return ProcedureBoundary<INT_PTR>(
        FALSE, [&] { return HandleMessage(dialog, message, wParam, lParam); });
}
