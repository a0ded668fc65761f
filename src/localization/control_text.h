#pragma once

#include <cstddef>
#include <string>

// The text-level rules of dialog text translation; no Windows here, so they build and are
// tested natively too.

// The leader appended to a text whose key ended in one.
constexpr std::size_t DotLeaderLength = 100;

// Cuts a dot leader (a run of five or more full stops that ends the text) off in place by
// writing a terminator at its start. Returns whether a leader was cut. Runs inside the text
// stay part of it.
bool CutDotLeader(wchar_t* text);

// The placeholder texts of the dialog templates that must not show when untranslated:
// exactly "Static", exactly "...", or any text containing "<untranslated>".
bool IsPlaceholderText(const std::wstring& text);

// Returns the localized text for an English key, or the empty string when it has none.
using LocalizedTextLookup = std::wstring (*)(const std::wstring& englishText);

// The text a control receives instead of text (the caller's scratch copy, whose trailing dot
// leader is cut off in place): the translation, else the text itself, else nothing for a
// placeholder, with a leader of 100 full stops when one was cut. Only std::bad_alloc can
// escape.
std::wstring TranslateControlText(wchar_t* text, LocalizedTextLookup lookup);
