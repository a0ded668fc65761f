#pragma once

#include "display_lease.h"
#include "common/owners.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

// Drives real dialogs from a test the way a person would: the dialog runs modally on a
// UiThread (as on the host's thread), the test's own thread finds it, gives a box the
// focus, types, clicks, reads and dismisses message boxes. Every wait is bounded and waits
// on events, never by sleeping in a loop. Every message to the dialog's thread is sent with
// a timeout, so a dialog that unexpectedly opens a modal loop fails the test instead of
// hanging it.
//
// A UiThread holds the display (a DisplayLease) for its lifetime.

constexpr DWORD DialogTimeoutMs = 10000;

struct UiThreadState;

class UiThread {
  public:
    // Starts the thread and runs body on it; body typically runs a modal dialog.
    explicit UiThread(std::function<void()> body);
    UiThread(const UiThread&) = delete;
    UiThread& operator=(const UiThread&) = delete;
    // A thread still running (a test that failed half-way) is cancelled: its windows get
    // IDCANCEL until the body returns.
    ~UiThread();

    DWORD Id() const { return threadId_; }
    bool HoldsDisplay() const { return display_.held(); }

    // True once the body has returned.
    bool WaitForExit(DWORD timeoutMs = DialogTimeoutMs);
    bool HasExited() const;

    // A visible top-level window of this thread for which match is true, or null after the
    // timeout or once the thread has ended.
    HWND WaitForWindow(const std::function<bool(HWND)>& match, DWORD timeoutMs = DialogTimeoutMs);
    // A dialog (#32770) with exactly this caption.
    HWND WaitForDialog(std::wstring_view caption, DWORD timeoutMs = DialogTimeoutMs);
    // A message box (#32770) owned by the window.
    HWND WaitForMessageBox(HWND owner, DWORD timeoutMs = DialogTimeoutMs);
    // True once the window has been destroyed.
    bool WaitUntilDestroyed(HWND window, DWORD timeoutMs = DialogTimeoutMs);
    // Returns once the thread has processed everything posted to it so far (for example the
    // selection an edit box posts when it receives the focus).
    bool Sync(DWORD timeoutMs = DialogTimeoutMs);

    // Visible top-level windows of this thread that match (no waiting).
    HWND FindWindowNow(const std::function<bool(HWND)>& match) const;

  private:
    static DWORD WINAPI Run(void* parameter);
    void Cancel();
    bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs);

    std::function<void()> body_;
    std::unique_ptr<UiThreadState> state_;
    DisplayLease display_;
    UniqueHandle thread_;
    DWORD threadId_ = 0;
};

// What a person sees of a control.
HWND ControlOf(HWND dialog, int id);
std::wstring WindowText(HWND window);
std::wstring ControlText(HWND dialog, int id);
bool IsChecked(HWND dialog, int id);
bool IsEnabled(HWND dialog, int id);
bool IsShown(HWND dialog, int id); // visible (its own style and its parents')
// The masking character of an edit box, 0 when it shows its text.
wchar_t PasswordChar(HWND dialog, int id);
// The window that has the keyboard focus on the dialog's thread.
HWND FocusedWindow(HWND dialog);

// What a person does. Each returns false when a person could not do it: the control is
// missing, hidden or disabled, or the dialog's thread did not answer in time.
bool FocusControl(HWND dialog, int id);
// Focuses the box when it has not the focus yet, then types each character (WM_CHAR).
// "\b" erases the character before the caret.
bool TypeInto(UiThread& ui, HWND dialog, int id, std::wstring_view text);
// A click on a button that neither closes the dialog nor opens a modal loop (BM_CLICK sent).
bool Click(HWND dialog, int id);
// A click that may close the dialog or open a message box: posted, so that the caller goes
// on to wait for the outcome.
bool PostClick(HWND dialog, int id);

struct MessageBoxContent {
    std::wstring caption;
    std::wstring text;
    HICON icon = nullptr; // the icon the box shows
};
MessageBoxContent ReadMessageBox(HWND box);
// Presses the box's OK button and waits until the box has gone.
bool DismissMessageBox(UiThread& ui, HWND box);

// The whole test display as a PNG trimmed to its content (Unix path), through the system's
// ImageMagick. The window is repainted first.
bool SaveScreenshot(HWND window, const std::string& unixPngPath);
