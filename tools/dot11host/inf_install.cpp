#include "inf_install.h"

#include "common/owners.h"
#include "text_io.h"

#include <setupapi.h>

namespace {

void CloseInf(HINF inf) {
    SetupCloseInfFile(inf);
}
void EndQueueCallback(void* context) {
    SetupTermDefaultQueueCallback(context);
}
using UniqueInf = UniqueAny<HINF, CloseInf>;
using UniqueQueueContext = UniqueAny<void*, EndQueueCallback>;

const wchar_t* SectionName(InfAction action) {
    return action == InfAction::Install ? InstallSection : RemoveSection;
}

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

// The INF opened, or the reason it cannot be used for the action.
UniqueInf OpenInf(const std::wstring& infPath, InfAction action, std::wstring& error) {
    if (GetFileAttributesW(infPath.c_str()) == INVALID_FILE_ATTRIBUTES) {
        error = L"the INF is missing: " + infPath;
        return UniqueInf();
    }
    UINT errorLine = 0;
    HINF opened = SetupOpenInfFileW(infPath.c_str(), nullptr, INF_STYLE_WIN4, &errorLine);
    if (opened == INVALID_HANDLE_VALUE) {
        error = L"not a readable INF: " + infPath + L" (" + ErrorText(GetLastError()) + L", line " +
                std::to_wstring(errorLine) + L")";
        return UniqueInf();
    }
    UniqueInf inf(opened);
    if (SetupGetLineCountW(inf.get(), SectionName(action)) <= 0) {
        error = infPath + L" has no section [" + SectionName(action) + L"]";
        return UniqueInf();
    }
    return inf;
}

std::wstring RunPart(HINF inf, const wchar_t* section, UINT flags, HKEY adapterKey,
                     const std::wstring& sourceFolder) {
    UniqueQueueContext context(SetupInitDefaultQueueCallbackEx(
        nullptr, static_cast<HWND>(INVALID_HANDLE_VALUE), 0, 0, nullptr));
    if (!context) {
        return L"setupapi has no queue callback: " + ErrorText(GetLastError());
    }
    if (!SetupInstallFromInfSectionW(nullptr, inf, section, flags, adapterKey, sourceFolder.c_str(),
                                     SP_COPY_NEWER_OR_SAME, SetupDefaultQueueCallbackW,
                                     context.get(), nullptr, nullptr)) {
        return std::wstring(L"setupapi could not run [") + section + L"]: " +
               ErrorText(GetLastError());
    }
    return L"";
}

} // namespace

std::wstring CheckInf(const std::wstring& infPath, InfAction action) {
    std::wstring error;
    OpenInf(infPath, action, error);
    return error;
}

std::wstring RunInfSection(const std::wstring& infPath, InfAction action, HKEY adapterKey,
                           const std::wstring& sourceFolder) {
    std::wstring error;
    UniqueInf inf = OpenInf(infPath, action, error);
    if (!inf) {
        return error;
    }
    const wchar_t* section = SectionName(action);
    // setupapi does a section's file operations before its registry and DLL ones: a removal
    // in one call would delete the DLL before it could be unregistered.
    if (action == InfAction::Remove) {
        error = RunPart(inf.get(), section, SPINST_ALL & ~SPINST_FILES, adapterKey, sourceFolder);
        return error.empty() ? RunPart(inf.get(), section, SPINST_FILES, adapterKey, sourceFolder)
                             : error;
    }
    return RunPart(inf.get(), section, SPINST_ALL, adapterKey, sourceFolder);
}
