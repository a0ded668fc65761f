#include "hostkit/dialog_driver.h"

#include <algorithm>
#include <mutex>
#include <set>
#include <vector>

// What the hooks on the UI thread report to the driving thread.
struct UiThreadState {
    UniqueHandle changed{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    UINT syncMessage = RegisterWindowMessageW(L"QmkDialogDriverSync");
    std::mutex lock;
    std::set<HWND> destroyed;
    WPARAM syncedUpTo = 0;
    WPARAM nextSync = 0;

    bool IsDestroyed(HWND window) {
        std::lock_guard<std::mutex> guard(lock);
        return destroyed.count(window) != 0;
    }
};

namespace {

constexpr DWORD CancelRoundMs = 1000;
constexpr int CancelRounds = 10;

thread_local UiThreadState* hookState = nullptr;

// A window shown, activated or destroyed on the UI thread wakes the driver, which then
// looks again; nothing is polled.
LRESULT CALLBACK CallWndRetHook(int code, WPARAM wParam, LPARAM lParam) {
    const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && hookState != nullptr) {
        switch (message->message) {
        case WM_NCDESTROY: {
            std::lock_guard<std::mutex> guard(hookState->lock);
            hookState->destroyed.insert(message->hwnd);
            SetEvent(hookState->changed.get());
            break;
        }
        case WM_WINDOWPOSCHANGED:
        case WM_SHOWWINDOW:
        case WM_ACTIVATE:
            SetEvent(hookState->changed.get());
            break;
        default:
            break;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK CbtHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND && hookState != nullptr) {
        // A new window may reuse the handle of one destroyed before.
        std::lock_guard<std::mutex> guard(hookState->lock);
        hookState->destroyed.erase(reinterpret_cast<HWND>(wParam));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The sync marker is a thread message: posted messages are retrieved in order, so once it
// is retrieved everything posted before it has been handled.
LRESULT CALLBACK GetMessageHook(int code, WPARAM wParam, LPARAM lParam) {
    auto* message = reinterpret_cast<MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && hookState != nullptr &&
        message->hwnd == nullptr && message->message == hookState->syncMessage) {
        {
            std::lock_guard<std::mutex> guard(hookState->lock);
            hookState->syncedUpTo = std::max(hookState->syncedUpTo, message->wParam);
        }
        message->message = WM_NULL;
        SetEvent(hookState->changed.get());
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool SendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                     LRESULT* result = nullptr) {
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, DialogTimeoutMs,
                            &answer) == 0) {
        return false;
    }
    if (result != nullptr) {
        *result = static_cast<LRESULT>(answer);
    }
    return true;
}

std::vector<HWND> ThreadWindows(DWORD threadId) {
    std::vector<HWND> windows;
    EnumThreadWindows(
        threadId,
        [](HWND window, LPARAM list) {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    return windows;
}

HWND UsableControl(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr || !IsWindowVisible(control) || !IsWindowEnabled(control)) {
        return nullptr;
    }
    return control;
}

bool TypeCharacters(HWND control, std::wstring_view text) {
    for (wchar_t c : text) {
        if (!SendWithTimeout(control, WM_CHAR, c, 1)) {
            return false;
        }
    }
    return true;
}

} // namespace

DialogDriver::DialogDriver() : state_(std::make_unique<UiThreadState>()) {}

DialogDriver::~DialogDriver() = default;

void DialogDriver::HookCallingThread() {
    hookState = state_.get();
    MSG message;
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE); // the thread's queue
    const DWORD self = GetCurrentThreadId();
    hooks_[0].reset(SetWindowsHookExW(WH_CALLWNDPROCRET, CallWndRetHook, nullptr, self));
    hooks_[1].reset(SetWindowsHookExW(WH_CBT, CbtHook, nullptr, self));
    hooks_[2].reset(SetWindowsHookExW(WH_GETMESSAGE, GetMessageHook, nullptr, self));
}

void DialogDriver::UnhookCallingThread() {
    for (UniqueHook& hook : hooks_) {
        hook.reset();
    }
    hookState = nullptr;
}

bool DialogDriver::HasEnded() const {
    return ended_ == nullptr || WaitForSingleObject(ended_, 0) == WAIT_OBJECT_0;
}

bool DialogDriver::WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (done()) {
            return true;
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline || HasEnded()) {
            return done();
        }
        HANDLE handles[] = {state_->changed.get(), ended_};
        if (WaitForMultipleObjects(2, handles, FALSE, static_cast<DWORD>(deadline - now)) ==
            WAIT_TIMEOUT) {
            return done();
        }
    }
}

HWND DialogDriver::FindWindowNow(const std::function<bool(HWND)>& match) const {
    for (HWND window : ThreadWindows(threadId_)) {
        if (IsWindowVisible(window) && !state_->IsDestroyed(window) && match(window)) {
            return window;
        }
    }
    return nullptr;
}

HWND DialogDriver::WaitForWindow(const std::function<bool(HWND)>& match, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindWindowNow(match)) != nullptr; }, timeoutMs);
    return found;
}

HWND DialogDriver::WaitForDialog(std::wstring_view caption, DWORD timeoutMs) {
    return WaitForWindow(
        [&](HWND window) { return HasDialogClass(window) && WindowText(window) == caption; },
        timeoutMs);
}

HWND DialogDriver::WaitForMessageBox(HWND owner, DWORD timeoutMs) {
    return WaitForWindow(
        [&](HWND window) {
            return window != owner && HasDialogClass(window) &&
                   GetWindow(window, GW_OWNER) == owner;
        },
        timeoutMs);
}

bool DialogDriver::WaitUntilDestroyed(HWND window, DWORD timeoutMs) {
    return WaitUntil([&] { return !IsWindow(window) || state_->IsDestroyed(window); }, timeoutMs);
}

bool DialogDriver::Sync(DWORD timeoutMs) {
    WPARAM ticket = 0;
    {
        std::lock_guard<std::mutex> guard(state_->lock);
        ticket = ++state_->nextSync;
    }
    if (!PostThreadMessageW(threadId_, state_->syncMessage, ticket, 0)) {
        return false;
    }
    return WaitUntil(
        [&] {
            std::lock_guard<std::mutex> guard(state_->lock);
            return state_->syncedUpTo >= ticket;
        },
        timeoutMs);
}

DialogThread::DialogThread(std::function<void()> body) : body_(std::move(body)) {
    thread_.reset(CreateThread(nullptr, 0, Run, this, 0, &threadId_));
    ended_ = thread_.get();
}

DialogThread::~DialogThread() {
    if (!HasExited()) {
        Cancel();
    }
}

DWORD WINAPI DialogThread::Run(void* parameter) {
    auto* self = static_cast<DialogThread*>(parameter);
    self->HookCallingThread();
    self->body_();
    self->UnhookCallingThread();
    return 0;
}

bool DialogThread::WaitForExit(DWORD timeoutMs) {
    return thread_ && WaitForSingleObject(thread_.get(), timeoutMs) == WAIT_OBJECT_0;
}

bool DialogThread::Cancel() {
    for (int round = 0; round < CancelRounds && !HasExited(); ++round) {
        for (HWND window : ThreadWindows(threadId_)) {
            if (HasDialogClass(window)) {
                PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
            }
        }
        WaitForSingleObject(thread_.get(), CancelRoundMs);
    }
    if (HasExited()) {
        return true;
    }
    TerminateThread(thread_.get(), 1);
    WaitForSingleObject(thread_.get(), INFINITE);
    return false;
}

CallerThreadDriver::CallerThreadDriver(std::function<void(DialogDriver&)> drive)
    : drive_(std::move(drive)), finished_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    threadId_ = GetCurrentThreadId();
    ended_ = finished_.get();
    HookCallingThread();
    thread_.reset(CreateThread(
        nullptr, 0,
        [](void* parameter) -> DWORD {
            auto* self = static_cast<CallerThreadDriver*>(parameter);
            self->drive_(*self);
            return 0;
        },
        this, 0, nullptr));
}

CallerThreadDriver::~CallerThreadDriver() {
    Finished();
    UnhookCallingThread();
}

void CallerThreadDriver::Finished() {
    SetEvent(finished_.get());
    if (thread_) {
        WaitForSingleObject(thread_.get(), INFINITE);
    }
}

bool HasDialogClass(HWND window) {
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    return std::wstring_view(className) == L"#32770";
}

HWND ControlOf(HWND dialog, int id) {
    return GetDlgItem(dialog, id);
}

std::wstring WindowText(HWND window) {
    LRESULT length = 0;
    if (window == nullptr || !SendWithTimeout(window, WM_GETTEXTLENGTH, 0, 0, &length)) {
        return {};
    }
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    LRESULT copied = 0;
    if (!SendWithTimeout(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                         &copied)) {
        return {};
    }
    text.resize(static_cast<size_t>(copied));
    return text;
}

std::wstring ControlText(HWND dialog, int id) {
    return WindowText(GetDlgItem(dialog, id));
}

bool IsChecked(HWND dialog, int id) {
    LRESULT state = 0;
    HWND control = GetDlgItem(dialog, id);
    return control != nullptr && SendWithTimeout(control, BM_GETCHECK, 0, 0, &state) &&
           state == BST_CHECKED;
}

bool IsEnabled(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    return control != nullptr && IsWindowEnabled(control);
}

bool IsShown(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    return control != nullptr && IsWindowVisible(control);
}

wchar_t PasswordChar(HWND dialog, int id) {
    LRESULT passwordChar = 0;
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr || !SendWithTimeout(control, EM_GETPASSWORDCHAR, 0, 0, &passwordChar)) {
        return L'?';
    }
    return static_cast<wchar_t>(passwordChar);
}

HWND FocusedWindow(HWND dialog) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info)) {
        return nullptr;
    }
    return info.hwndFocus;
}

bool FocusControl(HWND dialog, int id) {
    HWND control = UsableControl(dialog, id);
    if (control == nullptr ||
        !SendWithTimeout(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE)) {
        return false;
    }
    return FocusedWindow(dialog) == control;
}

bool TypeInto(DialogDriver& ui, HWND dialog, int id, std::wstring_view text) {
    HWND control = UsableControl(dialog, id);
    if (control == nullptr) {
        return false;
    }
    // A box that receives the focus selects its text (a posted message): let that happen
    // before typing, as it does before a person's first key.
    if (FocusedWindow(dialog) != control && !(FocusControl(dialog, id) && ui.Sync())) {
        return false;
    }
    return TypeCharacters(control, text);
}

bool TypeOver(DialogDriver& ui, HWND dialog, int id, std::wstring_view text) {
    HWND control = UsableControl(dialog, id);
    return control != nullptr && FocusControl(dialog, id) && ui.Sync() &&
           TypeCharacters(control, text);
}

bool Click(HWND dialog, int id) {
    HWND control = UsableControl(dialog, id);
    return control != nullptr && SendWithTimeout(control, BM_CLICK, 0, 0);
}

bool PostClick(HWND dialog, int id) {
    HWND control = UsableControl(dialog, id);
    return control != nullptr && PostMessageW(control, BM_CLICK, 0, 0);
}

MessageBoxContent ReadMessageBox(HWND box) {
    MessageBoxContent content;
    content.caption = WindowText(box);
    content.text = WindowText(GetDlgItem(box, 0xFFFF));
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        LRESULT icon = 0;
        if ((style & SS_TYPEMASK) == SS_ICON && SendWithTimeout(child, STM_GETICON, 0, 0, &icon)) {
            content.icon = reinterpret_cast<HICON>(icon);
        }
    }
    return content;
}

bool DismissMessageBox(DialogDriver& ui, HWND box) {
    return Click(box, IDOK) && ui.WaitUntilDestroyed(box);
}
