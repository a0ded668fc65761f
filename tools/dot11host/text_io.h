#pragma once

#include "common/owners.h"
#include "hostkit/hr_text.h"

#include <optional>
#include <string>

// Reads a text file in UTF-8 (with or without a byte-order mark) or UTF-16 (with a
// byte-order mark, or little-endian recognised by its zero bytes). Line breaks at the end
// are dropped. On failure `error` says why.
std::optional<std::wstring> ReadTextFile(const std::wstring& path, std::wstring& error);

// Writes the text as UTF-8 with a final line break.
bool WriteTextFile(const std::wstring& path, const std::wstring& text, std::wstring& error);

// Standard output and standard error, as UTF-8.
void Print(const std::wstring& text);
void PrintError(const std::wstring& text);

// The system's message for a Win32 error or HRESULT, without its line break.
std::wstring SystemMessage(unsigned long code);
