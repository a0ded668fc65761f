#include "scripted_person.h"

#include "text_io.h"

#include <atomic>
#include <cwctype>
#include <sstream>

namespace {

// Control ids of the connection-settings dialog, as a person sees them.
constexpr int UsePrivateBox = 4403;
constexpr int HideCharactersBox = 4056;
constexpr int PassphraseBox = 4067;
constexpr int ConfirmBox = 4036;
constexpr int MessageBoxText = 0xFFFF;

constexpr DWORD StepTimeoutMs = 10000;
constexpr DWORD WatchTimeoutMs = 60000;
constexpr DWORD PollMs = 20;

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

std::optional<int> CheckBoxNamed(const std::wstring& name) {
    if (name == L"use-private") {
        return UsePrivateBox;
    }
    if (name == L"hide-characters") {
        return HideCharactersBox;
    }
    return std::nullopt;
}

std::optional<int> EditBoxNamed(const std::wstring& name) {
    if (name == L"passphrase") {
        return PassphraseBox;
    }
    if (name == L"confirm") {
        return ConfirmBox;
    }
    return std::nullopt;
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
        const std::optional<int> box = CheckBoxNamed(Trim(rest));
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
        const std::optional<int> box = EditBoxNamed(rest.substr(0, gap));
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

// Shared between the UI thread (its message hook) and the person's thread.
struct PersonState {
    std::vector<PersonStep> steps;
    DWORD uiThread = 0;
    UniqueHandle finishedEvent; // manual-reset: the edit call has returned
    UniqueHandle syncedEvent;   // auto-reset: the UI thread took a sync marker
    HANDLE finished = nullptr;
    HANDLE synced = nullptr;
    UINT syncMessage = 0;
    std::atomic<bool> allDone{true};
};

namespace {

PersonState* g_person = nullptr;

// The UI thread's message hook: a sync marker taken off its queue means that everything
// posted to it before the marker has been handled.
LRESULT CALLBACK WatchUiMessages(int code, WPARAM removal, LPARAM message) {
    const MSG* msg = reinterpret_cast<const MSG*>(message);
    if (code == HC_ACTION && removal == PM_REMOVE && g_person != nullptr &&
        msg->message == g_person->syncMessage) {
        SetEvent(g_person->synced);
    }
    return CallNextHookEx(nullptr, code, removal, message);
}

class Person {
  public:
    explicit Person(PersonState& state) : state_(state) {}

    void Run() {
        const ULONGLONG deadline = GetTickCount64() + WatchTimeoutMs;
        while (!IsFinished()) {
            HWND window = FindUiWindow([](HWND) { return true; });
            if (window == nullptr) {
                if (GetTickCount64() > deadline) {
                    Print(L"person: no dialog or message box appeared; waiting on");
                    state_.allDone = false;
                    WaitForSingleObject(state_.finished, INFINITE);
                    return;
                }
                WaitForSingleObject(state_.finished, PollMs);
                continue;
            }
            if (IsMessageBox(window)) {
                ReadAndDismiss(L"notice", window);
            } else {
                RunSteps(window);
            }
        }
    }

  private:
    bool IsFinished() const { return WaitForSingleObject(state_.finished, 0) == WAIT_OBJECT_0; }

    template <typename Match> HWND FindUiWindow(Match match) const {
        struct Search {
            Match* match;
            HWND found;
        } search{&match, nullptr};
        EnumThreadWindows(
            state_.uiThread,
            [](HWND window, LPARAM parameter) -> BOOL {
                auto* s = reinterpret_cast<Search*>(parameter);
                wchar_t className[16] = {};
                GetClassNameW(window, className, 16);
                if (IsWindowVisible(window) && wcscmp(className, L"#32770") == 0 &&
                    (*s->match)(window)) {
                    s->found = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    static bool IsMessageBox(HWND window) {
        return GetDlgItem(window, MessageBoxText) != nullptr &&
               GetDlgItem(window, PassphraseBox) == nullptr;
    }

    static std::wstring TextOf(HWND window) {
        wchar_t text[1024] = {};
        GetWindowTextW(window, text, 1024);
        return text;
    }

    bool Sync() {
        ResetEvent(state_.synced);
        if (!PostThreadMessageW(state_.uiThread, state_.syncMessage, 0, 0)) {
            return false;
        }
        return WaitForSingleObject(state_.synced, StepTimeoutMs) == WAIT_OBJECT_0;
    }

    // Waits, checking every few milliseconds, until done() holds or time runs out.
    template <typename Done> bool WaitUntil(Done done) {
        const ULONGLONG deadline = GetTickCount64() + StepTimeoutMs;
        while (!done()) {
            if (GetTickCount64() > deadline) {
                return false;
            }
            Sleep(PollMs);
        }
        return true;
    }

    void ReadAndDismiss(const wchar_t* kind, HWND box) {
        wchar_t text[1024] = {};
        GetDlgItemTextW(box, MessageBoxText, text, 1024);
        Print(std::wstring(kind) + L": [" + TextOf(box) + L"] " + text);
        PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
        if (!WaitUntil([box] { return !IsWindow(box); })) {
            Print(L"person: the message box did not close");
            state_.allDone = false;
        }
    }

    bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        DWORD_PTR answer = 0;
        return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, StepTimeoutMs,
                                   &answer) != 0;
    }

    void Fail(const PersonStep& step, const std::wstring& why) {
        Print(L"person: line " + std::to_wstring(step.line) + L" \"" + step.source +
              L"\" not done: " + why);
        state_.allDone = false;
    }

    void SetCheck(HWND dialog, const PersonStep& step) {
        HWND box = GetDlgItem(dialog, step.control);
        const bool wanted = step.action == PersonStep::Action::Check;
        if (box == nullptr || !IsWindowEnabled(box) || !IsWindowVisible(box)) {
            Fail(step, L"the check box is not there or greyed");
            return;
        }
        if ((IsDlgButtonChecked(dialog, step.control) == BST_CHECKED) != wanted) {
            Send(box, BM_CLICK, 0, 0);
        }
        Sync();
    }

    void Type(HWND dialog, const PersonStep& step) {
        HWND box = GetDlgItem(dialog, step.control);
        if (box == nullptr || !IsWindowEnabled(box)) {
            Fail(step, L"the box is greyed");
            return;
        }
        // The box selects its whole text when it takes the focus (a posted message): wait
        // for that before typing, so that the typed text replaces it.
        Send(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(box), TRUE);
        Sync();
        for (wchar_t c : step.text) {
            Send(box, WM_CHAR, c, 1);
        }
        Sync();
    }

    // OK or Cancel: the dialog closes, or a warning appears, which the person reads and
    // dismisses. True when the dialog has closed.
    bool Press(HWND dialog, const PersonStep& step) {
        const int button = step.action == PersonStep::Action::Ok ? IDOK : IDCANCEL;
        PostMessageW(GetDlgItem(dialog, button), BM_CLICK, 0, 0);
        HWND warning = nullptr;
        const bool settled = WaitUntil([&] {
            if (!IsWindow(dialog)) {
                return true;
            }
            warning = FindUiWindow([dialog](HWND w) { return GetWindow(w, GW_OWNER) == dialog; });
            return warning != nullptr;
        });
        if (!settled) {
            Fail(step, L"nothing happened");
            return false;
        }
        if (warning != nullptr) {
            ReadAndDismiss(L"warning", warning);
            return false;
        }
        Print(std::wstring(L"person: pressed ") + (button == IDOK ? L"OK" : L"Cancel") +
              L"; the dialog closed");
        return true;
    }

    void Screenshot(HWND dialog, const PersonStep& step);

    void RunSteps(HWND dialog) {
        Print(L"person: the dialog \"" + TextOf(dialog) + L"\" is open");
        for (const PersonStep& step : state_.steps) {
            if (!IsWindow(dialog)) {
                Fail(step, L"the dialog has already closed");
                continue;
            }
            switch (step.action) {
            case PersonStep::Action::Check:
            case PersonStep::Action::Uncheck:
                SetCheck(dialog, step);
                break;
            case PersonStep::Action::Type:
                Type(dialog, step);
                break;
            case PersonStep::Action::Ok:
            case PersonStep::Action::Cancel:
                Press(dialog, step);
                break;
            case PersonStep::Action::Screenshot:
                Screenshot(dialog, step);
                break;
            }
        }
        if (IsWindow(dialog)) {
            Print(L"person: the script ended with the dialog open; pressing Cancel");
            const PersonStep cancel{PersonStep::Action::Cancel, 0, L"", 0, L"cancel"};
            Press(dialog, cancel);
        }
    }

    PersonState& state_;
};

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

std::wstring WindowsPathOf(const std::wstring& unixPath) {
    std::wstring path = L"Z:" + unixPath;
    for (wchar_t& c : path) {
        c = c == L'/' ? L'\\' : c;
    }
    return path;
}

} // namespace

void Person::Screenshot(HWND dialog, const PersonStep& step) {
    const std::optional<std::wstring> path = UnixPath(step.text);
    wchar_t display[64] = {};
    if (!path || GetEnvironmentVariableW(L"DISPLAY", display, 64) == 0) {
        Fail(step, L"needs an X display and a Unix path");
        return;
    }
    RedrawWindow(dialog, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Sync();
    // The pixels reach the X server once the UI thread waits for messages again.
    Sleep(500);
    const std::wstring windowsPath = WindowsPathOf(*path);
    DeleteFileW(windowsPath.c_str());
    const std::wstring raw = *path + L".full.png";
    const std::wstring part = *path + L".part.png";
    std::wstring command = L"/bin/sh -c \"/usr/bin/import -display " + std::wstring(display) +
                           L" -window root '" + raw + L"' && /usr/bin/convert '" + raw +
                           L"' -trim +repage '" + part + L"' && /bin/mv '" + part + L"' '" + *path +
                           L"'; /bin/rm -f '" + raw + L"'\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        Fail(step, L"ImageMagick could not be started");
        return;
    }
    UniqueHandle processThread(process.hThread);
    UniqueHandle processHandle(process.hProcess);
    // The picture appears under its name only when it is complete.
    const ULONGLONG deadline = GetTickCount64() + 30000;
    while (GetFileAttributesW(windowsPath.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount64() > deadline) {
            Fail(step, L"no picture was made");
            return;
        }
        Sleep(100);
    }
    Print(L"person: screenshot saved to " + *path);
}

ScriptedPerson::ScriptedPerson(std::vector<PersonStep> steps)
    : state_(std::make_unique<PersonState>()) {
    state_->steps = std::move(steps);
    state_->uiThread = GetCurrentThreadId();
    state_->finishedEvent.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    state_->syncedEvent.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    state_->finished = state_->finishedEvent.get();
    state_->synced = state_->syncedEvent.get();
    state_->syncMessage = RegisterWindowMessageW(L"dot11host.person.sync");
    g_person = state_.get();
    hook_.reset(SetWindowsHookExW(WH_GETMESSAGE, WatchUiMessages, nullptr, state_->uiThread));
    thread_.reset(CreateThread(
        nullptr, 0,
        [](void* parameter) -> DWORD {
            Person(*static_cast<PersonState*>(parameter)).Run();
            return 0;
        },
        state_.get(), 0, nullptr));
}

void ScriptedPerson::Finished() {
    SetEvent(state_->finished);
}

bool ScriptedPerson::AllStepsDone() const {
    return state_->allDone;
}

ScriptedPerson::~ScriptedPerson() {
    Finished();
    if (thread_) {
        WaitForSingleObject(thread_.get(), INFINITE);
    }
    thread_.reset();
    hook_.reset();
    g_person = nullptr;
}
