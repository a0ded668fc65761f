#include "inf_install.h"

#include <qmk_registry_names.h>

#include "common/owners.h"
#include "services/string_block.h"
#include "text_io.h"

#include <setupapi.h>

#include <algorithm>
#include <cwchar>

namespace {

void CloseInf(HINF inf) {
    SetupCloseInfFile(inf);
}
void EndQueueCallback(void* context) {
    SetupTermDefaultQueueCallback(context);
}
using UniqueInf = UniqueAny<HINF, CloseInf, -1>;
using UniqueQueueContext = UniqueAny<void*, EndQueueCallback>;

constexpr wchar_t ProjectVersion[] = QMK_PROJECT_VERSION;
constexpr WORD DllStringLanguage = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr UINT ClassIdString = 5667;
constexpr UINT FriendlyNameString = 5668;

// setupapi's own codes have no system message.
std::wstring ErrorText(DWORD error) {
    static constexpr struct {
        DWORD code;
        const wchar_t* text;
    } InfErrors[] = {
        {ERROR_EXPECTED_SECTION_NAME, L"text before the first [section]"},
        {ERROR_BAD_SECTION_NAME_LINE, L"a [section] line without its ]"},
        {ERROR_SECTION_NAME_TOO_LONG, L"a section name too long"},
        {ERROR_GENERAL_SYNTAX, L"a syntax error"},
        {ERROR_WRONG_INF_STYLE, L"no Windows NT [Version] Signature"},
    };
    const std::wstring code = HrText(static_cast<long>(error));
    std::wstring message = SystemMessage(error);
    for (const auto& known : InfErrors) {
        if (known.code == error) {
            message = known.text;
        }
    }
    return message.empty() ? std::wstring(L"error ") + code : message + L" (" + code + L")";
}

bool SameText(const std::wstring& left, const std::wstring& right) {
    return _wcsicmp(left.c_str(), right.c_str()) == 0;
}

UniqueInf OpenInf(const std::wstring& infPath, std::wstring& error) {
    if (GetFileAttributesW(infPath.c_str()) == INVALID_FILE_ATTRIBUTES) {
        error = L"the INF is missing: " + infPath;
        return UniqueInf();
    }
    UINT errorLine = 0;
    UniqueInf inf(SetupOpenInfFileW(infPath.c_str(), nullptr, INF_STYLE_WIN4, &errorLine));
    if (!inf) {
        error = L"not a readable INF: " + infPath + L" (" + ErrorText(GetLastError()) + L", line " +
                std::to_wstring(errorLine) + L")";
    }
    return inf;
}

// Field `index` of a line (0 is the key), strings substituted; none when the line has no
// such field.
std::optional<std::wstring> Field(INFCONTEXT& line, DWORD index) {
    if (index > SetupGetFieldCount(&line)) {
        return std::nullopt;
    }
    DWORD size = 0;
    if (!SetupGetStringFieldW(&line, index, nullptr, 0, &size) || size == 0) {
        return std::wstring();
    }
    std::wstring text(size, L'\0');
    if (!SetupGetStringFieldW(&line, index, text.data(), size, nullptr)) {
        return std::nullopt;
    }
    text.resize(size - 1);
    return text;
}

// Every line of a section (with the key given: only the lines of that key).
std::vector<INFCONTEXT> Lines(HINF inf, const std::wstring& section, const wchar_t* key) {
    std::vector<INFCONTEXT> lines;
    INFCONTEXT line{};
    for (BOOL found = SetupFindFirstLineW(inf, section.c_str(), key, &line); found;
         found = key ? SetupFindNextMatchLineW(&line, key, &line)
                     : SetupFindNextLine(&line, &line)) {
        lines.push_back(line);
    }
    return lines;
}

// Every field from the first on of every line of the key: the sections a directive names.
std::vector<std::wstring> Listed(HINF inf, const std::wstring& section, const wchar_t* key) {
    std::vector<std::wstring> names;
    for (INFCONTEXT& line : Lines(inf, section, key)) {
        for (DWORD i = 1; i <= SetupGetFieldCount(&line); ++i) {
            if (std::optional<std::wstring> name = Field(line, i); name && !name->empty()) {
                names.push_back(*name);
            }
        }
    }
    return names;
}

// "1.0" and "1.0.0.0" are the same version.
std::wstring FourPartVersion(const std::wstring& text) {
    std::wstring version = text;
    while (std::count(version.begin(), version.end(), L'.') < 3) {
        version += L".0";
    }
    return version;
}

std::wstring CheckDriverVersion(HINF inf) {
    INFCONTEXT line{};
    const std::optional<std::wstring> version =
        SetupFindFirstLineW(inf, L"Version", L"DriverVer", &line) ? Field(line, 2) : std::nullopt;
    if (!version || FourPartVersion(*version) != FourPartVersion(ProjectVersion)) {
        return L"DriverVer " + version.value_or(L"(none)") + L" is not the project's version " +
               FourPartVersion(ProjectVersion);
    }
    return L"";
}

// The models sections for this machine: each [Manufacturer] entry's NTamd64 decoration
// (or the undecorated name when the entry has no decoration).
std::vector<std::wstring> ModelsSections(HINF inf) {
    std::vector<std::wstring> sections;
    for (INFCONTEXT& line : Lines(inf, L"Manufacturer", nullptr)) {
        const std::wstring name = Field(line, 1).value_or(L"");
        const DWORD fields = SetupGetFieldCount(&line);
        if (fields < 2) {
            sections.push_back(name);
        }
        for (DWORD i = 2; i <= fields; ++i) {
            const std::wstring decoration = Field(line, i).value_or(L"");
            if (_wcsnicmp(decoration.c_str(), L"NTamd64", 7) == 0) {
                sections.push_back(name + L"." + decoration);
            }
        }
    }
    return sections;
}

// The install section of the models entry for the hardware id (the first entry's id is
// taken when `hardwareId` is empty); empty when there is none.
std::wstring ModelsEntry(HINF inf, std::wstring& hardwareId, std::wstring& known) {
    for (const std::wstring& models : ModelsSections(inf)) {
        for (INFCONTEXT& line : Lines(inf, models, nullptr)) {
            const std::wstring section = Field(line, 1).value_or(L"");
            for (DWORD i = 2; i <= SetupGetFieldCount(&line); ++i) {
                const std::wstring id = Field(line, i).value_or(L"");
                known += (known.empty() ? L"" : L", ") + id;
                if (hardwareId.empty()) {
                    hardwareId = id;
                }
                if (SameText(id, hardwareId)) {
                    return section;
                }
            }
        }
    }
    return L"";
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
    return folder.empty() || folder.back() == L'\\' ? folder + name : folder + L"\\" + name;
}

std::wstring ReadFiles(HINF inf, InfPlan& plan) {
    for (const std::wstring& section : Listed(inf, plan.section, L"CopyFiles")) {
        if (section[0] == L'@') {
            return L"[" + plan.section + L"] copies a single file (" + section +
                   L"): dot11host reads only file-list sections";
        }
        wchar_t folder[MAX_PATH] = {};
        if (!SetupGetTargetPathW(inf, nullptr, section.c_str(), folder, MAX_PATH, nullptr)) {
            return L"no destination for [" + section + L"]: " + ErrorText(GetLastError());
        }
        for (INFCONTEXT& line : Lines(inf, section, nullptr)) {
            const std::wstring target = Field(line, 1).value_or(L"");
            const std::wstring source = Field(line, 2).value_or(L"");
            const std::wstring path =
                JoinPath(plan.packageFolder, source.empty() ? target : source);
            if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
                return L"the package has no " + path + L" (listed in [" + section + L"])";
            }
            plan.files.push_back({path, JoinPath(folder, target)});
        }
    }
    return L"";
}

std::wstring ReadRegistry(HINF inf, InfPlan& plan) {
    for (const std::wstring& section : Listed(inf, plan.section, L"AddReg")) {
        if (SetupGetLineCountW(inf, section.c_str()) < 0) {
            return L"no section [" + section + L"], which [" + plan.section + L"] names in AddReg";
        }
        for (INFCONTEXT& line : Lines(inf, section, nullptr)) {
            InfRegLine reg;
            reg.root = Field(line, 1).value_or(L"");
            reg.subkey = Field(line, 2).value_or(L"");
            reg.valueName = Field(line, 3).value_or(L"");
            if (SetupGetFieldCount(&line) >= 4) {
                SetupGetIntField(&line, 4, &reg.flags);
            }
            reg.data = Field(line, 5).value_or(L"");
            if (reg.root != L"HKR" && reg.root != L"HKCR") {
                return L"[" + section + L"] writes under " + reg.root +
                       L": a universal INF writes HKR, and HKCR only for its COM class";
            }
            plan.regLines.push_back(reg);
        }
    }
    return L"";
}

// The directives a DDInstall section of this package may hold; setupapi would run others
// that uninstall could not take back.
std::wstring CheckDirectives(HINF inf, const std::wstring& section) {
    for (INFCONTEXT& line : Lines(inf, section, nullptr)) {
        const std::wstring key = Field(line, 0).value_or(L"");
        if (!SameText(key, L"CopyFiles") && !SameText(key, L"AddReg")) {
            return L"[" + section + L"] has " + key +
                   L": this package's DDInstall section holds only CopyFiles and AddReg";
        }
    }
    return L"";
}

const InfRegLine* FindLine(const InfPlan& plan, const std::wstring& root,
                           const std::wstring& subkey, const std::wstring& valueName) {
    for (const InfRegLine& line : plan.regLines) {
        if (line.root == root && SameText(line.subkey, subkey) &&
            SameText(line.valueName, valueName)) {
            return &line;
        }
    }
    return nullptr;
}

// A string of the DLL's English table, read from the file without running it.
std::optional<std::wstring> DllString(HMODULE module, UINT id) {
    HRSRC block = FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(StringBlockOfId(id)),
                                  DllStringLanguage);
    HGLOBAL loaded = block ? LoadResource(module, block) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (data == nullptr) {
        return std::nullopt;
    }
    const StringBlockEntry entry =
        StringBlockAt(data, SizeofResource(module, block), id % StringsPerBlock);
    if (entry.length == 0) {
        return std::nullopt;
    }
    return std::wstring(reinterpret_cast<const wchar_t*>(entry.text), entry.length);
}

// The class the section registers is the DLL's: UIExtensibilityCLSID names it, its key's
// default value is the DLL's friendly name, and InprocServer32 names a file it copies.
std::wstring CheckClass(InfPlan& plan) {
    const wchar_t* ihv = IhvExtensionsKeyName;
    const InfRegLine* classLine = FindLine(plan, L"HKR", ihv, UiExtensionClassValue);
    if (classLine == nullptr) {
        return L"[" + plan.section + L"] writes no HKR\\Ndi\\IHVExtensions UIExtensibilityCLSID";
    }
    plan.classId = classLine->data;
    const std::wstring classKey = L"CLSID\\" + plan.classId;
    const InfRegLine* server = FindLine(plan, L"HKCR", classKey + L"\\InprocServer32", L"");
    const auto copied = std::find_if(plan.files.begin(), plan.files.end(), [server](const auto& f) {
        return server != nullptr && SameText(f.destination, server->data);
    });
    if (copied == plan.files.end()) {
        return L"HKCR\\" + classKey + L"\\InprocServer32 " +
               (server ? L"names " + server->data + L", a file" : std::wstring(L"names no file")) +
               L" the section does not copy";
    }
    plan.serverPath = server->data;
    for (const InfRegLine& line : plan.regLines) {
        const bool ownKey =
            SameText(line.subkey, classKey) ||
            _wcsnicmp(line.subkey.c_str(), (classKey + L"\\").c_str(), classKey.size() + 1) == 0;
        if (line.root == L"HKCR" && !ownKey) {
            return L"HKCR\\" + line.subkey + L" is not under the class's key HKCR\\" + classKey;
        }
    }
    UniqueLibrary dll(LoadLibraryExW(copied->source.c_str(), nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    const std::optional<std::wstring> dllClass =
        dll ? DllString(dll.get(), ClassIdString) : std::nullopt;
    const std::optional<std::wstring> dllName =
        dll ? DllString(dll.get(), FriendlyNameString) : std::nullopt;
    if (!dllClass || !dllName) {
        return copied->source + L" has no strings 5667 and 5668: not the extension DLL";
    }
    if (!SameText(plan.classId, L"{" + *dllClass + L"}")) {
        return L"UIExtensibilityCLSID " + plan.classId + L" is not the DLL's class {" + *dllClass +
               L"} (its string 5667)";
    }
    const InfRegLine* name = FindLine(plan, L"HKCR", classKey, L"");
    if (name == nullptr || name->data != *dllName) {
        return L"the class's friendly name \"" + (name ? name->data : L"") +
               L"\" is not the DLL's \"" + *dllName + L"\" (its string 5668)";
    }
    return L"";
}

HKEY RootKey(const InfRegLine& line, HKEY adapterKey) {
    return line.root == L"HKR" ? adapterKey : HKEY_CLASSES_ROOT;
}

bool KeyIsEmpty(HKEY root, const std::wstring& subkey) {
    UniqueHkey key;
    DWORD subkeys = 1;
    DWORD values = 1;
    return RegOpenKeyExW(root, subkey.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS &&
           RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                            &values, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
           subkeys == 0 && values == 0;
}

// Deletes the key and its parents below the root while they are empty.
void DeleteEmptyKeys(HKEY root, const std::wstring& rootName, std::wstring subkey,
                     std::vector<std::wstring>& removed) {
    while (!subkey.empty() && KeyIsEmpty(root, subkey) &&
           RegDeleteKeyW(root, subkey.c_str()) == ERROR_SUCCESS) {
        removed.push_back(L"key " + rootName + L"\\" + subkey);
        const size_t slash = subkey.find_last_of(L'\\');
        subkey = slash == std::wstring::npos ? L"" : subkey.substr(0, slash);
    }
}

// The plan's section and what it copies and writes, checked; empty, or what is amiss.
std::wstring ReadPlan(HINF inf, InfPlan& plan) {
    if (std::wstring error = CheckDriverVersion(inf); !error.empty()) {
        return error;
    }
    std::wstring known;
    const std::wstring entry = ModelsEntry(inf, plan.hardwareId, known);
    if (entry.empty()) {
        return L"no models entry for hardware id " +
               (plan.hardwareId.empty() ? L"(none)" : plan.hardwareId) + L" (the INF lists " +
               (known.empty() ? L"no hardware id" : known) + L")";
    }
    wchar_t actual[MAX_INF_SECTION_NAME_LENGTH] = {};
    if (!SetupDiGetActualSectionToInstallW(inf, entry.c_str(), actual, MAX_INF_SECTION_NAME_LENGTH,
                                           nullptr, nullptr) ||
        SetupGetLineCountW(inf, actual) < 0) {
        return L"no DDInstall section [" + entry + L".NTamd64] (or [" + entry +
               L"]) for the models entry of " + plan.hardwareId;
    }
    plan.section = actual;
    std::wstring error = CheckDirectives(inf, plan.section);
    error = error.empty() ? ReadFiles(inf, plan) : error;
    error = error.empty() ? ReadRegistry(inf, plan) : error;
    return error.empty() ? CheckClass(plan) : error;
}

} // namespace

std::wstring InfRegLine::Text() const {
    return root + (subkey.empty() ? L"" : L"\\" + subkey) + L" " +
           (valueName.empty() ? L"(default)" : valueName);
}

std::optional<InfPlan> ReadInstallPlan(const std::wstring& infPath, const std::wstring& hardwareId,
                                       std::wstring& error) {
    UniqueInf inf = OpenInf(infPath, error);
    if (!inf) {
        return std::nullopt;
    }
    InfPlan plan;
    plan.infPath = infPath;
    plan.packageFolder = infPath.substr(0, infPath.find_last_of(L"\\/") + 1);
    plan.hardwareId = hardwareId;
    error = ReadPlan(inf.get(), plan);
    if (!error.empty()) {
        error = infPath + L": " + error;
        return std::nullopt;
    }
    return plan;
}

std::wstring RunInstallPlan(const InfPlan& plan, HKEY adapterKey) {
    std::wstring error;
    UniqueInf inf = OpenInf(plan.infPath, error);
    if (!inf) {
        return error;
    }
    UniqueQueueContext context(SetupInitDefaultQueueCallbackEx(
        nullptr, static_cast<HWND>(INVALID_HANDLE_VALUE), 0, 0, nullptr));
    if (!context) {
        return L"setupapi has no queue callback: " + ErrorText(GetLastError());
    }
    if (!SetupInstallFromInfSectionW(nullptr, inf.get(), plan.section.c_str(),
                                     SPINST_FILES | SPINST_REGISTRY, adapterKey,
                                     plan.packageFolder.c_str(), SP_COPY_NEWER_OR_SAME,
                                     SetupDefaultQueueCallbackW, context.get(), nullptr, nullptr)) {
        return L"setupapi could not run [" + plan.section + L"]: " + ErrorText(GetLastError());
    }
    return L"";
}

std::wstring UndoInstallPlan(const InfPlan& plan, HKEY adapterKey,
                             std::vector<std::wstring>& removed) {
    std::wstring failed;
    for (const InfRegLine& line : plan.regLines) {
        const HKEY root = RootKey(line, adapterKey);
        const LSTATUS status =
            RegDeleteKeyValueW(root, line.subkey.empty() ? nullptr : line.subkey.c_str(),
                               line.valueName.empty() ? nullptr : line.valueName.c_str());
        if (status == ERROR_SUCCESS) {
            removed.push_back(L"value " + line.Text());
        } else if (status != ERROR_FILE_NOT_FOUND && failed.empty()) {
            failed = L"cannot remove " + line.Text() + L": " + SystemMessage(status);
        }
    }
    // Deepest keys first, so that a parent is empty once its children are gone.
    std::vector<const InfRegLine*> deepestFirst;
    for (const InfRegLine& line : plan.regLines) {
        deepestFirst.push_back(&line);
    }
    std::sort(deepestFirst.begin(), deepestFirst.end(), [](const auto* left, const auto* right) {
        return left->subkey.size() > right->subkey.size();
    });
    for (const InfRegLine* line : deepestFirst) {
        DeleteEmptyKeys(RootKey(*line, adapterKey), line->root, line->subkey, removed);
    }
    for (const InfFileCopy& file : plan.files) {
        if (DeleteFileW(file.destination.c_str())) {
            removed.push_back(L"file " + file.destination);
        } else if (GetLastError() != ERROR_FILE_NOT_FOUND && failed.empty()) {
            failed = L"cannot delete " + file.destination + L": " + SystemMessage(GetLastError());
        }
    }
    return failed;
}
