#include "hostkit/screenshot.h"

#include "hostkit/process_runner.h"

#include <algorithm>

namespace {

constexpr DWORD PictureTimeoutMs = 60000;

// The Windows name of a Unix path.
std::wstring WindowsPath(const std::wstring& unixPath) {
    std::wstring path = L"Z:" + unixPath;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Waits, on change notifications of its folder, until the file exists.
bool WaitForFile(const std::wstring& path, DWORD timeoutMs) {
    const std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
    const UniqueChangeNotification changes(
        FindFirstChangeNotificationW(folder.c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME));
    if (!changes) {
        return false;
    }
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    bool found = FileExists(path);
    while (!found && GetTickCount64() < deadline) {
        const DWORD remaining = static_cast<DWORD>(deadline - GetTickCount64());
        if (WaitForSingleObject(changes.get(), remaining) != WAIT_OBJECT_0) {
            break;
        }
        found = FileExists(path);
        FindNextChangeNotification(changes.get());
    }
    return found || FileExists(path);
}

std::wstring Quoted(const std::wstring& path) {
    return L"'" + path + L"'";
}

} // namespace

bool SaveScreenshot(DialogDriver& ui, HWND window, const std::wstring& unixPngPath,
                    std::wstring& why) {
    wchar_t display[64] = {};
    if (GetEnvironmentVariableW(L"DISPLAY", display, 64) == 0) {
        why = L"no X display (DISPLAY is not set)";
        return false;
    }
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    ui.Sync();
    // The window's pixels reach the X server when its thread next waits for messages; one
    // fixed pause for that, not a retry loop.
    Sleep(500);
    const std::wstring raw = Quoted(unixPngPath + L".full.png");
    const std::wstring partial = Quoted(unixPngPath + L".part.png");
    DeleteFileW(WindowsPath(unixPngPath).c_str());
    // The picture appears under its name only when complete.
    const std::wstring script = L"/usr/bin/import -display " + std::wstring(display) +
                                L" -window root " + raw + L" && /usr/bin/convert " + raw +
                                L" -trim +repage " + partial + L" && /bin/mv " + partial + L" " +
                                Quoted(unixPngPath) + L"; /bin/rm -f " + raw;
    // Wine starts a Unix program without a handle to wait on: the file it writes is awaited.
    if (!StartProcess(L"/bin/sh -c \"" + script + L"\"")) {
        why = L"ImageMagick could not be started";
        return false;
    }
    if (!WaitForFile(WindowsPath(unixPngPath), PictureTimeoutMs)) {
        why = L"no picture was made";
        return false;
    }
    return true;
}
