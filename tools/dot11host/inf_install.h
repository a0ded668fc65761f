#pragma once

#include <windows.h>

#include <string>

// The INF sections a maker's driver package pulls in for the UI extension.
inline constexpr wchar_t InstallSection[] = L"QmkIhvUi.Install";
inline constexpr wchar_t RemoveSection[] = L"QmkIhvUi.Remove";

enum class InfAction { Install, Remove };

// Empty when the INF reads and has the action's section, else one line saying why not.
std::wstring CheckInf(const std::wstring& infPath, InfAction action);

// Runs the INF's install or remove section the way the device installer runs a DDInstall
// section: HKR is the adapter's driver key, source files come from sourceFolder, and
// nothing is shown. Empty on success, else one line saying what went wrong.
std::wstring RunInfSection(const std::wstring& infPath, InfAction action, HKEY adapterKey,
                           const std::wstring& sourceFolder);
