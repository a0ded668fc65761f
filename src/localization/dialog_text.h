#pragma once

#include <windows.h>

#include <string>

// Replaces the text of every direct child of a dialog by its translation. Throws nothing: a
// control whose translation cannot be allocated keeps its text.
void TranslateChildTexts(HWND dialog);

// The translation of one control text. The text is the caller's scratch copy: a trailing
// dot leader is cut off in place. Only std::bad_alloc can escape.
std::wstring TranslateText(wchar_t* text);
