#pragma once

#include "services/string_loader.h"

#include <windows.h>

#include <ostream>
#include <string>

// Every resource language of the string tables, with the thread locale that selects it.
struct Language {
    LANGID table;
    LANGID locale;
    const char* name;
};

inline void PrintTo(const Language& language, std::ostream* out) {
    *out << language.name;
}

constexpr LANGID Neutral(USHORT primary) {
    return MAKELANGID(primary, SUBLANG_NEUTRAL);
}
constexpr LANGID Default(USHORT primary) {
    return MAKELANGID(primary, SUBLANG_DEFAULT);
}

inline const Language Languages[] = {
    {Neutral(LANG_ARABIC), Default(LANG_ARABIC), "ar"},
    {Neutral(LANG_BULGARIAN), Default(LANG_BULGARIAN), "bg"},
    {Neutral(LANG_CZECH), Default(LANG_CZECH), "cs"},
    {Neutral(LANG_DANISH), Default(LANG_DANISH), "da"},
    {Neutral(LANG_GERMAN), Default(LANG_GERMAN), "de"},
    {Neutral(LANG_GREEK), Default(LANG_GREEK), "el"},
    {Neutral(LANG_SPANISH), MAKELANGID(LANG_SPANISH, SUBLANG_SPANISH_MODERN), "es"},
    {Neutral(LANG_FINNISH), Default(LANG_FINNISH), "fi"},
    {Neutral(LANG_FRENCH), Default(LANG_FRENCH), "fr"},
    {Neutral(LANG_HEBREW), Default(LANG_HEBREW), "he"},
    {Neutral(LANG_HUNGARIAN), Default(LANG_HUNGARIAN), "hu"},
    {Neutral(LANG_ITALIAN), Default(LANG_ITALIAN), "it"},
    {Neutral(LANG_JAPANESE), Default(LANG_JAPANESE), "ja"},
    {Neutral(LANG_KOREAN), Default(LANG_KOREAN), "ko"},
    {Neutral(LANG_DUTCH), Default(LANG_DUTCH), "nl"},
    {Neutral(LANG_NORWEGIAN), Default(LANG_NORWEGIAN), "no"},
    {Neutral(LANG_POLISH), Default(LANG_POLISH), "pl"},
    // Portugal: the default Portuguese locale is Brazil's, which has its own table.
    {Neutral(LANG_PORTUGUESE), MAKELANGID(LANG_PORTUGUESE, SUBLANG_PORTUGUESE), "pt"},
    {Neutral(LANG_ROMANIAN), Default(LANG_ROMANIAN), "ro"},
    {Neutral(LANG_RUSSIAN), Default(LANG_RUSSIAN), "ru"},
    {Neutral(LANG_CROATIAN), Default(LANG_CROATIAN), "hr"},
    {Neutral(LANG_SLOVAK), Default(LANG_SLOVAK), "sk"},
    {Neutral(LANG_SWEDISH), Default(LANG_SWEDISH), "sv"},
    {Neutral(LANG_THAI), Default(LANG_THAI), "th"},
    {Neutral(LANG_TURKISH), Default(LANG_TURKISH), "tr"},
    {Neutral(LANG_SLOVENIAN), Default(LANG_SLOVENIAN), "sl"},
    {Neutral(LANG_ESTONIAN), Default(LANG_ESTONIAN), "et"},
    {Neutral(LANG_LATVIAN), Default(LANG_LATVIAN), "lv"},
    {Neutral(LANG_LITHUANIAN), Default(LANG_LITHUANIAN), "lt"},
    {1028, 1028, "zh_TW"},
    {1033, 1033, "en_US"},
    {1046, 1046, "pt_BR"},
    {2052, 2052, "zh_CN"},
};

// A string exactly as stored under one language, without any fallback; empty when absent.
inline std::wstring ExactString(HMODULE module, unsigned id, LANGID language) {
    const StringBlockEntry entry = FindStringInLanguage(module, id, language);
    return std::wstring(reinterpret_cast<const wchar_t*>(entry.text), entry.length);
}
