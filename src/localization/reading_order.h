#pragma once

#include <windows.h>

// Arabic and Hebrew, the languages of the module's tables that are written right to left.
bool IsRightToLeftLanguage(LANGID language);

// The styles a message box adds for the calling thread's language (the one its string loads
// read): MB_RTLREADING | MB_RIGHT for a right-to-left language, none otherwise.
UINT MessageBoxFlags();

// DialogBoxParamW in the calling thread's reading order. For a right-to-left language the
// template is run mirrored: WS_EX_LAYOUTRTL set before the dialog exists, so every control
// created from the template inherits it and is laid out from the right edge
// (docs/COMPATIBILITY.md).
INT_PTR DialogBoxInReadingOrder(HINSTANCE module, LPCWSTR templateName, HWND parent,
                                DLGPROC procedure, LPARAM parameter);
