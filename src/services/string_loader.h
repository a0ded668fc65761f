#pragma once

#include "common/owners.h"
#include "services/string_block.h"

#include <windows.h>

// Every string load by id goes through here, so the language rule lives once: the table of
// the calling thread's language, else the same primary language with a neutral sublanguage
// (for Chinese of Hong Kong and Macao the Traditional table, of Singapore the Simplified one),
// else English (United States). Neither Windows nor Wine choose a module's table by the
// thread locale, so the rule is applied here with FindResourceExW.

// String id exactly as stored in the module's table of one language, without any fallback;
// an empty entry when that table or that string is absent.
StringBlockEntry FindStringInLanguage(HINSTANCE module, UINT id, LANGID language);

// LoadStringW's contract: copies at most capacity - 1 characters and a terminator into the
// buffer and returns the number copied; 0 when the string is absent or empty.
int LoadResourceString(HINSTANCE module, UINT id, wchar_t* buffer, int capacity);

// Loads string id from the module into a new zero-terminated LocalAlloc buffer, growing the
// buffer until the text fits. Returns ERROR_SUCCESS, ERROR_NOT_FOUND for an absent or empty
// string, or the allocation's error (ERROR_NOT_ENOUGH_MEMORY when it left none): never
// ERROR_SUCCESS without a text.
DWORD LoadModuleString(UINT id, UniqueLocalString& text);
