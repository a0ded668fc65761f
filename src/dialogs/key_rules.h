#pragma once

#include "resources/string_ids.h"

#include <cstddef>
#include <string_view>

// The input rules of the key-entry dialogs, free of the window system so that they build
// and run natively too.

// A key or passphrase holds at most 64 characters; every read of a box is cut there.
constexpr std::size_t MaxKeyLength = 64;
constexpr std::size_t KeyBufferCapacity = MaxKeyLength + 1;

// String ids of the warnings, 0 meaning the key is valid.
constexpr unsigned KeyValid = 0;
constexpr unsigned KeyMismatchMessage = IDS_KEY_MISMATCH;
constexpr unsigned KeyRuleMessage = IDS_KEY_RULE;
constexpr unsigned KeyMissingMessage = IDS_KEY_MISSING;

// The first 64 characters of a text, as a box read into a 65-unit buffer gives them.
std::wstring_view CutKey(std::wstring_view text);

// The confirmation rule: equal when they differ at most in the case of the letters A to Z
// (what _wcsicmp does in the C locale, which the module never changes).
bool SameKeyIgnoringCase(std::wstring_view first, std::wstring_view second);

// Judges a typed key and its confirmation, each by its first 64 characters: a mismatch
// first, then an empty key, then the length rule (8 to 63 characters of any kind, or exactly
// 64 hexadecimal digits). Returns one of the message ids above.
unsigned JudgeKey(std::wstring_view key, std::wstring_view confirmation);
