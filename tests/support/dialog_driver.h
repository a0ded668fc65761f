#pragma once

#include "display_lease.h"

#include "hostkit/dialog_driver.h"

#include <functional>

// A dialog's UI thread in a test (the host kit's DialogThread): it holds the test display
// for its lifetime, and a dialog still open when the test ends fails the test and is
// cancelled.
class UiThread : private DisplayLease, public DialogThread {
  public:
    explicit UiThread(std::function<void()> body);
    ~UiThread();

    bool HoldsDisplay() const { return held(); }
};
