#pragma once

#include "common/owners.h"

#include <windows.h>

#include <memory>
#include <string>

struct DismisserState;

// While alive, every message box and dialog the calling thread opens is closed as soon as it
// has initialised, as a person would answer it at once: message boxes with OK, dialogs with
// Cancel.
class WindowDismisser {
  public:
    WindowDismisser();
    WindowDismisser(const WindowDismisser&) = delete;
    WindowDismisser& operator=(const WindowDismisser&) = delete;
    ~WindowDismisser();

    bool active() const { return static_cast<bool>(hook_); }
    // Message boxes and dialogs closed since construction, and the last message box's text.
    int messageBoxes() const;
    int dialogs() const;
    const std::wstring& lastText() const;

  private:
    std::unique_ptr<DismisserState> state_;
    UniqueHook hook_;
};
