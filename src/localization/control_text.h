#pragma once

#include <string>

// The text-level rules of dialog text translation; no Windows here, so they build and are
// tested natively too.

// Cuts a dot leader (a run of five or more full stops that ends the text) off in place by
// writing a terminator at its start. Returns whether a leader was cut. Runs inside the text
// stay part of it.
bool CutDotLeader(wchar_t* text);

// The placeholder texts of the dialog templates that must not show when untranslated:
// exactly "Static", exactly "...", or any text containing "<untranslated>".
bool IsPlaceholderText(const std::wstring& text);

// The text a control receives, from its (leader-free, non-empty) key, the look-up result
// (empty when untranslated) and whether a leader was cut from the key.
std::wstring ComposeControlText(const std::wstring& key, std::wstring translated, bool leaderCut);

// The leader appended to a translated text whose English key had one.
constexpr std::size_t DotLeaderLength = 100;
