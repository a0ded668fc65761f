#pragma once

#include "common/owners.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

// Drives real dialogs the way a person would: one thread (the UI thread) runs the dialogs
// modally, as the host's thread does; another finds them, gives a box the focus, types,
// clicks, reads and dismisses message boxes. Hooks on the UI thread report every window
// shown, activated or destroyed and every sync marker taken off its queue, so each wait
// waits on events and never polls. Every wait is bounded, and every message to the UI
// thread is sent with a timeout, so a dialog that unexpectedly opens a modal loop fails the
// step instead of hanging it.
//
// Two ways to have the UI thread: DialogThread runs a body on a UI thread of its own and the
// caller drives; CallerThreadDriver drives the calling thread (which is about to make the
// modal call) from a thread of its own.

constexpr DWORD DialogTimeoutMs = 10000;

struct UiThreadState;

// The waits on one UI thread. They end early, answering null or false, once the UI thread's
// work has ended.
class DialogDriver {
  public:
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    DWORD Id() const { return threadId_; }
    // True once the UI thread's work has ended (the body returned, the modal call returned).
    bool HasEnded() const;

    // Waits until done() holds, the UI thread's work ends or time runs out; done() is
    // asked again whenever the UI thread reports a change. Answers done().
    bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = DialogTimeoutMs);
    // A visible top-level window of the UI thread for which match is true, or null after the
    // timeout or once the work has ended.
    HWND WaitForWindow(const std::function<bool(HWND)>& match, DWORD timeoutMs = DialogTimeoutMs);
    // A dialog (#32770) with exactly this caption.
    HWND WaitForDialog(std::wstring_view caption, DWORD timeoutMs = DialogTimeoutMs);
    // A message box (#32770) owned by the window.
    HWND WaitForMessageBox(HWND owner, DWORD timeoutMs = DialogTimeoutMs);
    // True once the window has been destroyed.
    bool WaitUntilDestroyed(HWND window, DWORD timeoutMs = DialogTimeoutMs);
    // Returns once the UI thread has processed everything posted to it so far (for example
    // the selection an edit box posts when it receives the focus).
    bool Sync(DWORD timeoutMs = DialogTimeoutMs);

    // Visible top-level windows of the UI thread that match (no waiting).
    HWND FindWindowNow(const std::function<bool(HWND)>& match) const;

  protected:
    DialogDriver();
    ~DialogDriver();
    // Hooks the calling thread, which becomes the UI thread, for as long as the hooks live.
    void HookCallingThread();
    void UnhookCallingThread();

    std::unique_ptr<UiThreadState> state_;
    DWORD threadId_ = 0;
    HANDLE ended_ = nullptr; // signalled when the UI thread's work has ended

  private:
    UniqueHook hooks_[3];
};

// A UI thread of its own that runs a body, typically a modal dialog.
class DialogThread : public DialogDriver {
  public:
    explicit DialogThread(std::function<void()> body);
    // A thread still running is cancelled (see Cancel).
    ~DialogThread();

    bool Started() const { return static_cast<bool>(thread_); }
    // True once the body has returned.
    bool WaitForExit(DWORD timeoutMs = DialogTimeoutMs);
    bool HasExited() const { return HasEnded(); }
    // Sends IDCANCEL to the thread's dialogs until the body returns; a thread that does not
    // end in ten seconds is terminated. False when it had to be.
    bool Cancel();

  private:
    static DWORD WINAPI Run(void* parameter);

    std::function<void()> body_;
    UniqueHandle thread_;
};

// Drives the dialogs of the calling thread from a thread of its own. Construct it on the UI
// thread right before the modal call, and call Finished() once that call has returned.
class CallerThreadDriver : public DialogDriver {
  public:
    // drive runs on the driver's own thread, with this object to wait on the UI thread.
    explicit CallerThreadDriver(std::function<void(DialogDriver&)> drive);
    ~CallerThreadDriver();

    // The modal call has returned: the waits end, and the driving thread is awaited.
    void Finished();

  private:
    std::function<void(DialogDriver&)> drive_;
    UniqueHandle finished_;
    UniqueHandle thread_;
};

// Whether the window is a dialog or message box (window class #32770).
bool HasDialogClass(HWND window);

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
bool TypeInto(DialogDriver& ui, HWND dialog, int id, std::wstring_view text);
// Gives the box the focus, which selects its whole text, and types: the text replaces what
// the box held.
bool TypeOver(DialogDriver& ui, HWND dialog, int id, std::wstring_view text);
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
bool DismissMessageBox(DialogDriver& ui, HWND box);
