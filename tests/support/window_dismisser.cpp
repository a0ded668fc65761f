#include "window_dismisser.h"

#include <cwchar>

struct DismisserState {
    int messageBoxes = 0;
    int dialogs = 0;
    std::wstring lastText;
};

namespace {

thread_local DismisserState* dismisserState = nullptr;

bool IsDialogWindow(HWND window) {
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    return std::wcscmp(className, L"#32770") == 0 && GetParent(window) == nullptr;
}

// Right after WM_INITDIALOG, as a person would answer it at once: a message box (its text
// stands in the static control 0xFFFF) gets OK, a dialog gets Cancel. The command is posted,
// so it ends the modal loop as soon as that loop runs.
LRESULT CALLBACK DismissAfterInit(int code, WPARAM wParam, LPARAM lParam) {
    const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && dismisserState != nullptr && message->message == WM_INITDIALOG &&
        IsDialogWindow(message->hwnd)) {
        if (HWND text = GetDlgItem(message->hwnd, 0xFFFF)) {
            wchar_t buffer[1024] = {};
            GetWindowTextW(text, buffer, 1024);
            dismisserState->lastText = buffer;
            ++dismisserState->messageBoxes;
            PostMessageW(message->hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        } else {
            ++dismisserState->dialogs;
            PostMessageW(message->hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

WindowDismisser::WindowDismisser() : state_(std::make_unique<DismisserState>()) {
    dismisserState = state_.get();
    hook_.reset(
        SetWindowsHookExW(WH_CALLWNDPROCRET, DismissAfterInit, nullptr, GetCurrentThreadId()));
}

WindowDismisser::~WindowDismisser() {
    hook_.reset();
    dismisserState = nullptr;
}

int WindowDismisser::messageBoxes() const {
    return state_->messageBoxes;
}

int WindowDismisser::dialogs() const {
    return state_->dialogs;
}

const std::wstring& WindowDismisser::lastText() const {
    return state_->lastText;
}
