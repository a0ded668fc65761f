#pragma once

#include "hostkit/dialog_driver.h"

#include <atomic>
#include <optional>
#include <string>
#include <vector>

// A person at the connection-settings dialog, played from a short script, one step a line:
//   check use-private | uncheck use-private | check hide-characters | uncheck hide-characters
//   type passphrase TEXT | type confirm TEXT
//   ok | cancel
//   screenshot PATH        (a PNG of the display, PATH a Unix path)
// Blank lines and lines starting with # are ignored. The person also reads and dismisses
// every message box that appears (the notice, the dialog's warnings) and prints it.
struct PersonStep {
    enum class Action { Check, Uncheck, Type, Ok, Cancel, Screenshot };
    Action action;
    int control = 0; // the check box or edit box the step works on
    std::wstring text;
    int line = 0;
    std::wstring source; // the step as written
};

std::optional<std::vector<PersonStep>> ParsePersonScript(const std::wstring& script,
                                                         std::wstring& error);

// Watches the calling thread (the host's UI thread) from a thread of its own, through the
// host kit's dialog driver. Construct it on the UI thread right before the modal call, and
// call Finished() when that call has returned.
class ScriptedPerson {
  public:
    explicit ScriptedPerson(std::vector<PersonStep> steps);

    // The edit call has returned: the person stops watching.
    void Finished();
    // False when a step could not be done as written.
    bool AllStepsDone() const;

  private:
    std::vector<PersonStep> steps_;
    std::atomic<bool> allDone_{true};
    CallerThreadDriver driver_; // last: its thread reads the members above
};
