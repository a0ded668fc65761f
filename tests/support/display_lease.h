#pragma once

#include "common/owners.h"

#include <windows.h>

// The test display, held by a test while it opens windows (a named mutex shared by every test
// process of the run): the dialogs of parallel tests would take the keyboard focus from each
// other.
class DisplayLease {
  public:
    DisplayLease();
    DisplayLease(const DisplayLease&) = delete;
    DisplayLease& operator=(const DisplayLease&) = delete;
    ~DisplayLease();

    bool held() const { return held_; }

  private:
    UniqueHandle mutex_;
    bool held_ = false;
};
