#include "dialog_driver.h"

#include "process_runner.h"

#include <gtest/gtest.h>

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
    std::function<void()>* body = nullptr;

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

bool IsDialogWindow(HWND window) {
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    return std::wstring_view(className) == L"#32770";
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

// The Windows name of a Unix path (Wine's drive Z: is the root).
std::wstring WindowsPath(const std::wstring& unixPath) {
    std::wstring path = L"Z:" + unixPath;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Waits, on change notifications of its folder, until the file exists.
bool WaitForFile(const std::wstring& path, DWORD timeoutMs) {
    const std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
    const UniqueChangeNotification changes(
        FindFirstChangeNotificationW(folder.c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME));
    if (!changes) {
        return false;
    }
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    bool found = FileExists(path);
    while (!found && GetTickCount64() < deadline) {
        const DWORD remaining = static_cast<DWORD>(deadline - GetTickCount64());
        if (WaitForSingleObject(changes.get(), remaining) != WAIT_OBJECT_0) {
            break;
        }
        found = FileExists(path);
        FindNextChangeNotification(changes.get());
    }
    return found || FileExists(path);
}

std::wstring Widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

} // namespace

UiThread::UiThread(std::function<void()> body) : body_(std::move(body)) {
    EXPECT_TRUE(display_.held()) << "another test kept the display";
    state_ = std::make_unique<UiThreadState>();
    state_->body = &body_;
    thread_.reset(CreateThread(nullptr, 0, Run, state_.get(), 0, &threadId_));
    EXPECT_TRUE(thread_);
}

UiThread::~UiThread() {
    if (thread_ && !HasExited()) {
        ADD_FAILURE() << "the dialog was still open at the end of the test";
        Cancel();
    }
    thread_.reset();
    state_.reset();
}

DWORD WINAPI UiThread::Run(void* parameter) {
    auto* state = static_cast<UiThreadState*>(parameter);
    hookState = state;
    MSG message;
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE); // the thread's queue
    const DWORD self = GetCurrentThreadId();
    {
        const UniqueHook hooks[] = {
            UniqueHook(SetWindowsHookExW(WH_CALLWNDPROCRET, CallWndRetHook, nullptr, self)),
            UniqueHook(SetWindowsHookExW(WH_CBT, CbtHook, nullptr, self)),
            UniqueHook(SetWindowsHookExW(WH_GETMESSAGE, GetMessageHook, nullptr, self)),
        };
        (*state->body)();
    }
    hookState = nullptr;
    return 0;
}

void UiThread::Cancel() {
    for (int round = 0; round < CancelRounds && !HasExited(); ++round) {
        for (HWND window : ThreadWindows(threadId_)) {
            if (IsDialogWindow(window)) {
                PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
            }
        }
        WaitForSingleObject(thread_.get(), CancelRoundMs);
    }
    if (!HasExited()) {
        ADD_FAILURE() << "the dialog's thread did not end";
        TerminateThread(thread_.get(), 1);
    }
}

bool UiThread::WaitForExit(DWORD timeoutMs) {
    return thread_ && WaitForSingleObject(thread_.get(), timeoutMs) == WAIT_OBJECT_0;
}

bool UiThread::HasExited() const {
    return !thread_ || WaitForSingleObject(thread_.get(), 0) == WAIT_OBJECT_0;
}

bool UiThread::WaitFor(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (done()) {
            return true;
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline || HasExited()) {
            return done();
        }
        HANDLE handles[] = {state_->changed.get(), thread_.get()};
        if (WaitForMultipleObjects(2, handles, FALSE, static_cast<DWORD>(deadline - now)) ==
            WAIT_TIMEOUT) {
            return done();
        }
    }
}

HWND UiThread::FindWindowNow(const std::function<bool(HWND)>& match) const {
    for (HWND window : ThreadWindows(threadId_)) {
        if (IsWindowVisible(window) && !state_->IsDestroyed(window) && match(window)) {
            return window;
        }
    }
    return nullptr;
}

HWND UiThread::WaitForWindow(const std::function<bool(HWND)>& match, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitFor([&] { return (found = FindWindowNow(match)) != nullptr; }, timeoutMs);
    return found;
}

HWND UiThread::WaitForDialog(std::wstring_view caption, DWORD timeoutMs) {
    return WaitForWindow(
        [&](HWND window) { return IsDialogWindow(window) && WindowText(window) == caption; },
        timeoutMs);
}

HWND UiThread::WaitForMessageBox(HWND owner, DWORD timeoutMs) {
    return WaitForWindow(
        [&](HWND window) {
            return window != owner && IsDialogWindow(window) &&
                   GetWindow(window, GW_OWNER) == owner;
        },
        timeoutMs);
}

bool UiThread::WaitUntilDestroyed(HWND window, DWORD timeoutMs) {
    return WaitFor([&] { return !IsWindow(window) || state_->IsDestroyed(window); }, timeoutMs);
}

bool UiThread::Sync(DWORD timeoutMs) {
    WPARAM ticket = 0;
    {
        std::lock_guard<std::mutex> guard(state_->lock);
        ticket = ++state_->nextSync;
    }
    if (!PostThreadMessageW(threadId_, state_->syncMessage, ticket, 0)) {
        return false;
    }
    return WaitFor(
        [&] {
            std::lock_guard<std::mutex> guard(state_->lock);
            return state_->syncedUpTo >= ticket;
        },
        timeoutMs);
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

bool TypeInto(UiThread& ui, HWND dialog, int id, std::wstring_view text) {
    HWND control = UsableControl(dialog, id);
    if (control == nullptr) {
        return false;
    }
    // A box that receives the focus selects its text (a posted message): let that happen
    // before typing, as it does before a person's first key.
    if (FocusedWindow(dialog) != control && !(FocusControl(dialog, id) && ui.Sync())) {
        return false;
    }
    for (wchar_t c : text) {
        if (!SendWithTimeout(control, WM_CHAR, c, 1)) {
            return false;
        }
    }
    return true;
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

bool DismissMessageBox(UiThread& ui, HWND box) {
    return Click(box, IDOK) && ui.WaitUntilDestroyed(box);
}

bool SaveScreenshot(HWND window, const std::string& unixPngPath) {
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    // The window's pixels reach the X server when its thread next waits for messages; one
    // fixed pause for that, not a retry loop.
    Sleep(500);
    wchar_t display[64] = {};
    if (GetEnvironmentVariableW(L"DISPLAY", display, 64) == 0) {
        return false;
    }
    const std::wstring path = Widen(unixPngPath);
    const std::wstring raw = path + L".full.png";
    const std::wstring partial = path + L".part.png";
    DeleteFileW(WindowsPath(path).c_str());
    // The picture appears under its name only when complete.
    const std::wstring script = L"/usr/bin/import -display " + std::wstring(display) +
                                L" -window root " + raw + L" && /usr/bin/convert " + raw +
                                L" -trim +repage " + partial + L" && /bin/mv " + partial + L" " +
                                path + L"; /bin/rm -f " + raw;
    // Wine starts a Unix program without a handle to wait on: the file it writes is awaited.
    return StartProcess(L"/bin/sh -c \"" + script + L"\"") && WaitForFile(WindowsPath(path), 60000);
}
