#include "hostkit/process_runner.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

constexpr DWORD RestartDelayMs = 500;

// False when the process did not start; `started` is its handle, null for a Unix program.
bool Start(std::wstring& commandLine, STARTUPINFOW& startup, BOOL inheritHandles,
           UniqueHandle& started) {
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, inheritHandles, 0, nullptr,
                        nullptr, &startup, &process)) {
        static_cast<void>(std::fwprintf(
            stderr, L"process runner: CreateProcess failed with error %lu\n", GetLastError()));
        return false;
    }
    UniqueHandle thread(process.hThread);
    started.reset(process.hProcess);
    return true;
}

DWORD WaitForExitCode(const UniqueHandle& process) {
    if (!process) {
        return NotStarted;
    }
    WaitForSingleObject(process.get(), ChildTimeoutMs);
    DWORD code = NotStarted;
    GetExitCodeProcess(process.get(), &code);
    return code;
}

std::wstring TempFolder() {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    return folder;
}

UniqueFile InheritableFile(const std::wstring& path) {
    SECURITY_ATTRIBUTES inherit{};
    inherit.nLength = sizeof(inherit);
    inherit.bInheritHandle = TRUE;
    return UniqueFile(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::string ReadAndDelete(const std::wstring& path) {
    std::string bytes;
    {
        std::ifstream file(path.c_str(), std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    DeleteFileW(path.c_str());
    return bytes;
}

DWORD RunOnce(const std::wstring& command) {
    std::wstring commandLine = command; // CreateProcessW may write to it
    STARTUPINFOW startup{};
    UniqueHandle process;
    Start(commandLine, startup, FALSE, process);
    return WaitForExitCode(process);
}

CapturedRun RunCapturingOnce(const std::wstring& command) {
    std::wstring commandLine = command; // CreateProcessW may write to it
    // Fresh names for every run: a child that has just exited may still hold its files.
    static int runs = 0;
    const std::wstring stem = TempFolder() + L"qmk-child-" +
                              std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++runs);
    const std::wstring outPath = stem + L".out";
    const std::wstring errPath = stem + L".err";
    CapturedRun run;
    {
        const UniqueFile out = InheritableFile(outPath);
        const UniqueFile err = InheritableFile(errPath);
        STARTUPINFOW startup{};
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = out.get();
        startup.hStdError = err.get();
        UniqueHandle process;
        Start(commandLine, startup, TRUE, process);
        run.exitCode = WaitForExitCode(process);
    }
    run.out = ReadAndDelete(outPath);
    run.err = ReadAndDelete(errPath);
    return run;
}

DWORD ExitCodeOf(DWORD code) {
    return code;
}
DWORD ExitCodeOf(const CapturedRun& run) {
    return run.exitCode;
}

// Now and then, under load, a child of a Wine program does not start and starts a moment
// later: one more run, said on standard error. A command that cannot start still ends as
// NotStarted.
template <typename Result>
Result RunStarting(Result (*runOnce)(const std::wstring&), const std::wstring& commandLine) {
    Result result = runOnce(commandLine);
    if (ExitCodeOf(result) == NotStarted) {
        static_cast<void>(
            std::fwprintf(stderr, L"process runner: \"%ls\" did not start; starting it again\n",
                          commandLine.c_str()));
        Sleep(RestartDelayMs);
        result = runOnce(commandLine);
    }
    return result;
}

} // namespace

bool StartProcess(std::wstring commandLine) {
    STARTUPINFOW startup{};
    UniqueHandle process;
    return Start(commandLine, startup, FALSE, process);
}

DWORD RunProcess(const std::wstring& commandLine) {
    return RunStarting(RunOnce, commandLine);
}

CapturedRun RunCapturingOutput(const std::wstring& commandLine) {
    return RunStarting(RunCapturingOnce, commandLine);
}
