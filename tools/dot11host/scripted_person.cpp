#include "scripted_person.h"

#include "text_io.h"

#include "hostkit/screenshot.h"

#include <algorithm>
#include <cwctype>
#include <span>
#include <sstream>

namespace {

// Control ids of the connection-settings dialog, as a person sees them.
constexpr int UsePrivateBox = 4403;
constexpr int HideCharactersBox = 4056;
constexpr int PassphraseBox = 4067;
constexpr int ConfirmBox = 4036;
constexpr int MessageBoxText = 0xFFFF;

constexpr DWORD WatchTimeoutMs = 60000;

std::wstring Trim(const std::wstring& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && iswspace(text[begin])) {
        ++begin;
    }
    while (end > begin && iswspace(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

// The boxes a step names.
struct NamedBox {
    const wchar_t* name;
    // cppcheck-suppress unusedStructMember ; read through BoxNamed's iterator
    int id;
};
constexpr NamedBox CheckBoxes[] = {{L"use-private", UsePrivateBox},
                                   {L"hide-characters", HideCharactersBox}};
constexpr NamedBox EditBoxes[] = {{L"passphrase", PassphraseBox}, {L"confirm", ConfirmBox}};

std::optional<int> BoxNamed(std::span<const NamedBox> boxes, const std::wstring& name) {
    const auto box = std::find_if(boxes.begin(), boxes.end(),
                                  [&](const NamedBox& named) { return name == named.name; });
    return box != boxes.end() ? std::optional<int>(box->id) : std::nullopt;
}

std::optional<PersonStep> ParseStep(const std::wstring& line, std::wstring& error) {
    const size_t space = line.find(L' ');
    const std::wstring verb = line.substr(0, space);
    const std::wstring rest = space == std::wstring::npos ? L"" : line.substr(space + 1);
    PersonStep step{};
    step.source = line;
    if (verb == L"ok" || verb == L"cancel") {
        step.action = verb == L"ok" ? PersonStep::Action::Ok : PersonStep::Action::Cancel;
        return rest.empty() ? std::optional<PersonStep>(step) : std::nullopt;
    }
    if (verb == L"check" || verb == L"uncheck") {
        const std::optional<int> box = BoxNamed(CheckBoxes, Trim(rest));
        if (!box) {
            error = L"no such check box (use-private, hide-characters)";
            return std::nullopt;
        }
        step.action = verb == L"check" ? PersonStep::Action::Check : PersonStep::Action::Uncheck;
        step.control = *box;
        return step;
    }
    if (verb == L"type") {
        const size_t gap = rest.find(L' ');
        const std::optional<int> box = BoxNamed(EditBoxes, rest.substr(0, gap));
        if (!box || gap == std::wstring::npos) {
            error = L"type needs a box (passphrase, confirm) and a text";
            return std::nullopt;
        }
        step.action = PersonStep::Action::Type;
        step.control = *box;
        step.text = rest.substr(gap + 1);
        return step;
    }
    if (verb == L"screenshot") {
        step.action = PersonStep::Action::Screenshot;
        step.text = Trim(rest);
        if (step.text.empty()) {
            error = L"screenshot needs a file name";
            return std::nullopt;
        }
        return step;
    }
    error = L"unknown step";
    return std::nullopt;
}

} // namespace

std::optional<std::vector<PersonStep>> ParsePersonScript(const std::wstring& script,
                                                         std::wstring& error) {
    std::vector<PersonStep> steps;
    std::wistringstream lines(script);
    std::wstring line;
    for (int number = 1; std::getline(lines, line); ++number) {
        if (!line.empty() && line.back() == L'\r') {
            line.pop_back();
        }
        const std::wstring trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == L'#') {
            continue;
        }
        std::wstring why;
        std::optional<PersonStep> step = ParseStep(trimmed, why);
        if (!step) {
            error = L"line " + std::to_wstring(number) + L": " +
                    (why.empty() ? L"unexpected text after the step" : why) + L": " + trimmed;
            return std::nullopt;
        }
        step->line = number;
        steps.push_back(*step);
    }
    return steps;
}

namespace {

bool IsMessageBox(HWND window) {
    return GetDlgItem(window, MessageBoxText) != nullptr &&
           GetDlgItem(window, PassphraseBox) == nullptr;
}

// A Unix path for the screenshot: absolute as given, or relative to the current folder when
// that lies on Wine's drive Z: (the Unix root).
std::optional<std::wstring> UnixPath(const std::wstring& path) {
    if (!path.empty() && path[0] == L'/') {
        return path;
    }
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    std::wstring folder(current);
    if (folder.size() < 2 || towupper(folder[0]) != L'Z' || folder[1] != L':') {
        return std::nullopt;
    }
    folder = folder.substr(2);
    for (wchar_t& c : folder) {
        c = c == L'\\' ? L'/' : c;
    }
    if (folder.empty() || folder.back() != L'/') {
        folder += L'/';
    }
    return folder + path;
}

// The person at the dialogs of the host's UI thread, on the driver's thread.
class Person {
  public:
    Person(const std::vector<PersonStep>& steps, DialogDriver& ui, std::atomic<bool>& allDone)
        : steps_(steps), ui_(ui), allDone_(allDone) {}

    void Run() {
        const ULONGLONG deadline = GetTickCount64() + WatchTimeoutMs;
        while (!ui_.HasEnded()) {
            const ULONGLONG now = GetTickCount64();
            const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
            HWND window = ui_.WaitForWindow(HasDialogClass, left);
            if (window == nullptr) {
                if (!ui_.HasEnded()) {
                    Print(L"person: no dialog or message box appeared; waiting on");
                    allDone_ = false;
                    ui_.WaitUntil([] { return false; }, INFINITE);
                }
                return;
            }
            if (IsMessageBox(window)) {
                ReadAndDismiss(L"notice", window);
            } else {
                RunSteps(window);
            }
        }
    }

  private:
    void ReadAndDismiss(const wchar_t* kind, HWND box) {
        const MessageBoxContent content = ReadMessageBox(box);
        Print(std::wstring(kind) + L": [" + content.caption + L"] " + content.text);
        if (!DismissMessageBox(ui_, box)) {
            Print(L"person: the message box did not close");
            allDone_ = false;
        }
    }

    void Fail(const PersonStep& step, const std::wstring& why) {
        Print(L"person: line " + std::to_wstring(step.line) + L" \"" + step.source +
              L"\" not done: " + why);
        allDone_ = false;
    }

    void SetCheck(HWND dialog, const PersonStep& step) {
        const bool wanted = step.action == PersonStep::Action::Check;
        if (!IsEnabled(dialog, step.control) || !IsShown(dialog, step.control)) {
            Fail(step, L"the check box is not there or greyed");
            return;
        }
        if (IsChecked(dialog, step.control) != wanted) {
            Click(dialog, step.control);
        }
        ui_.Sync();
    }

    void Type(HWND dialog, const PersonStep& step) {
        if (!IsEnabled(dialog, step.control)) {
            Fail(step, L"the box is greyed");
            return;
        }
        if (!TypeOver(ui_, dialog, step.control, step.text)) {
            Fail(step, L"the box did not take the text");
        }
        ui_.Sync();
    }

    // OK or Cancel: the dialog closes, or a warning appears, which the person reads and
    // dismisses.
    void Press(HWND dialog, const PersonStep& step) {
        const int button = step.action == PersonStep::Action::Ok ? IDOK : IDCANCEL;
        HWND warning = nullptr;
        const bool settled = PostClick(dialog, button) && ui_.WaitUntil([&] {
            if (!IsWindow(dialog)) {
                return true;
            }
            warning = ui_.FindWindowNow(
                [dialog](HWND w) { return HasDialogClass(w) && GetWindow(w, GW_OWNER) == dialog; });
            return warning != nullptr;
        });
        if (!settled) {
            Fail(step, L"nothing happened");
        } else if (warning != nullptr) {
            ReadAndDismiss(L"warning", warning);
        } else {
            Print(std::wstring(L"person: pressed ") + (button == IDOK ? L"OK" : L"Cancel") +
                  L"; the dialog closed");
        }
    }

    void Screenshot(HWND dialog, const PersonStep& step) {
        const std::optional<std::wstring> path = UnixPath(step.text);
        wchar_t display[64] = {};
        if (!path || GetEnvironmentVariableW(L"DISPLAY", display, 64) == 0) {
            Fail(step, L"needs an X display and a Unix path");
            return;
        }
        std::wstring why;
        if (!SaveScreenshot(ui_, dialog, *path, why)) {
            Fail(step, why);
            return;
        }
        Print(L"person: screenshot saved to " + *path);
    }

    void RunSteps(HWND dialog) {
        Print(L"person: the dialog \"" + WindowText(dialog) + L"\" is open");
        for (const PersonStep& step : steps_) {
            if (!IsWindow(dialog)) {
                Fail(step, L"the dialog has already closed");
                continue;
            }
            using Action = PersonStep::Action;
            if (step.action == Action::Check || step.action == Action::Uncheck) {
                SetCheck(dialog, step);
            } else if (step.action == Action::Type) {
                Type(dialog, step);
            } else if (step.action == Action::Screenshot) {
                Screenshot(dialog, step);
            } else {
                Press(dialog, step);
            }
        }
        if (IsWindow(dialog)) {
            Print(L"person: the script ended with the dialog open; pressing Cancel");
            const PersonStep cancel{PersonStep::Action::Cancel, 0, L"", 0, L"cancel"};
            Press(dialog, cancel);
        }
    }

    const std::vector<PersonStep>& steps_;
    DialogDriver& ui_;
    std::atomic<bool>& allDone_;
};

} // namespace

ScriptedPerson::ScriptedPerson(std::vector<PersonStep> steps)
    : steps_(std::move(steps)),
      driver_([this](DialogDriver& ui) { Person(steps_, ui, allDone_).Run(); }) {}

void ScriptedPerson::Finished() {
    driver_.Finished();
}

bool ScriptedPerson::AllStepsDone() const {
    return allDone_;
}
