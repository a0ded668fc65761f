#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// The extension package's INF as Plug and Play uses it: the models entry for an adapter's
// hardware id, that entry's DDInstall section, and what the section copies and writes, all
// read through setupapi before anything is written.

// One AddReg line, strings and directory ids substituted.
struct InfRegLine {
    std::wstring root;      // HKR or HKCR
    std::wstring subkey;    // may be empty: the root itself
    std::wstring valueName; // empty: the key's default value
    INT flags = 0;
    std::wstring data;
    std::wstring Text() const; // for messages
};

struct InfFileCopy {
    std::wstring source;      // in the package folder
    std::wstring destination; // full path, where the DestinationDirs entry resolves
};

struct InfPlan {
    std::wstring infPath;
    std::wstring packageFolder; // the INF's folder, where the package's files are
    std::wstring hardwareId;
    std::wstring section; // the DDInstall section, decorated
    std::vector<InfFileCopy> files;
    std::vector<InfRegLine> regLines;
    std::wstring classId;    // in braces, as UIExtensibilityCLSID names it
    std::wstring serverPath; // the file InprocServer32 names, one of the files' destinations
};

// Reads the INF for the hardware id (the INF's first one when empty) and checks it: the
// project's version in DriverVer, a models entry for the id, its DDInstall section with
// nothing but CopyFiles and AddReg, AddReg only under HKR and the class's HKCR\CLSID key,
// and the class id and friendly name of the DLL the package holds (its strings 5667 and
// 5668). None, and the reason in `error`, when anything is amiss.
std::optional<InfPlan> ReadInstallPlan(const std::wstring& infPath, const std::wstring& hardwareId,
                                       std::wstring& error);

// Runs the plan's DDInstall section through setupapi as the device installer does: HKR is
// the adapter's driver key, the files come from the package folder, nothing is shown.
// Empty on success, else one line saying what went wrong.
std::wstring RunInstallPlan(const InfPlan& plan, HKEY adapterKey);

// Takes away what the section wrote: its AddReg values, the keys they leave empty, and its
// files. Each thing removed is added to `removed`; empty on success, else what failed.
std::wstring UndoInstallPlan(const InfPlan& plan, HKEY adapterKey,
                             std::vector<std::wstring>& removed);
