#pragma once

#include "common/owners.h"

#include <windows.h>

#include <string>

// Child processes, started under the same Wine prefix.

// The exit code reported for a child that could not be started.
inline constexpr DWORD NotStarted = 0xFFFFFFFF;
// How long a child may run before its caller gives up waiting for it.
inline constexpr DWORD ChildTimeoutMs = 60000;

// Starts a command line without waiting for it; false when it did not start. (Wine starts a
// Unix program without a handle to wait on, so none is given.)
bool StartProcess(std::wstring commandLine);

// Runs a command line to its end and returns its exit code (NotStarted when it did not start,
// twice: a child Wine failed to start is started once more).
DWORD RunProcess(const std::wstring& commandLine);

struct CapturedRun {
    DWORD exitCode = NotStarted;
    std::string out; // what it wrote to its standard output
    std::string err; // and to its standard error
};
// Runs a command line to its end with its standard output and error captured in files.
CapturedRun RunCapturingOutput(const std::wstring& commandLine);
