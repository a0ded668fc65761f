#pragma once

#include "hostkit/dialog_driver.h"

#include <windows.h>

#include <string>

// The whole X display as a PNG trimmed to its content, through the system's ImageMagick,
// saved under a Unix path (Wine's drive Z: is the Unix root). The window is repainted first
// and the UI thread let draw it. False, with the reason in `why`, when no picture was made.
bool SaveScreenshot(DialogDriver& ui, HWND window, const std::wstring& unixPngPath,
                    std::wstring& why);
