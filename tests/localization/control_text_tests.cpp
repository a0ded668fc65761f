#include "localization/control_text.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

const std::wstring Leader(DotLeaderLength, L'.');

// A stand-in catalogue: English key to the text loaded in the thread's language. An entry
// with an empty text is one whose string does not load.
std::wstring LookUp(const std::wstring& english) {
    static const std::map<std::wstring, std::wstring> catalogue = {
        {L"Add", L"Hinzufügen"}, {L"Passphrase:", L"Passwort:"}, {L"Wait...", L"Warten..."},
        {L"a.....b", L"A-B"},    {L"x......y", L"X-Y"},          {L"Static", L"Statisch"},
        {L"Not loadable", L""},
    };
    const auto found = catalogue.find(english);
    return found == catalogue.end() ? std::wstring() : found->second;
}

std::wstring Translate(std::wstring text) {
    std::vector<wchar_t> scratch(text.begin(), text.end());
    scratch.push_back(L'\0');
    return TranslateControlText(scratch.data(), LookUp);
}

TEST(TranslateControlText, FollowsTheTranslationTable) {
    struct Case {
        const wchar_t* text;
        std::wstring expected;
    } cases[] = {
        {L"Add", L"Hinzufügen"},
        {L"Add.....", L"Hinzufügen" + Leader},
        {L"Passphrase:.........................", L"Passwort:" + Leader},
        {L"Something else", L"Something else"},
        {L"Not loadable", L"Not loadable"},
        {L"Something else.....", L"Something else" + Leader},
        {L"Not loadable......", L"Not loadable" + Leader},
        {L"Static", L"Statisch"}, // a placeholder that has a translation is translated
        {L"...", L""},
        {L"<untranslated>", L""},
        {L"Label <untranslated> here", L""},
        {L"...<untranslated>...", L""},
        {L"...<untranslated>.....", Leader},
        {L"....", L"...."},
        {L"", L""},
        {L".....", L""},
        {L"..........", L""},
        // Three dots are part of the key and no leader.
        {L"Wait...", L"Warten..."},
        {L"Other...", L"Other..."},
        // Runs inside the text stay part of the key.
        {L"a.....b", L"A-B"},
        {L"x......y", L"X-Y"},
        {L"x......y.....", L"X-Y" + Leader},
        {L"a.....b......", L"A-B" + Leader},
        {L"a....", L"a...."},
        // Case-sensitive, whole-text look-up.
        {L"add", L"add"},
        {L"Add ", L"Add "},
        {L"Add. ....", L"Add. ...."},
        {L"static", L"static"},
        {L"Static ", L"Static "},
        {L"Add .....", L"Add " + Leader},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, Translate(c.text)) << "text: " << std::wstring(c.text).size();
    }
}

TEST(TranslateControlText, ClearsUntranslatedPlaceholders) {
    const auto noEntry = [](const std::wstring&) { return std::wstring(); };
    struct Case {
        const wchar_t* text;
        std::wstring expected;
    } cases[] = {
        {L"Static", L""},
        {L"Static.....", Leader},
        {L"...", L""},
        {L"......", L""},
        {L"Static...", L"Static..."},
        {L"Statics", L"Statics"},
        {L"<untranslated", L"<untranslated"},
    };
    for (const Case& c : cases) {
        std::wstring text(c.text);
        EXPECT_EQ(c.expected, TranslateControlText(text.data(), noEntry)) << text.size();
    }
}

TEST(CutDotLeader, CutsOnlyTheFinalRunInPlace) {
    struct Case {
        const wchar_t* text;
        const wchar_t* kept;
        bool cut;
    } cases[] = {
        {L"Name.....", L"Name", true},
        {L"Name"
         L"......................................",
         L"Name", true},
        {L"Name....", L"Name....", false},
        {L"a......b.....", L"a......b", true},
        {L"a.....b", L"a.....b", false},
        {L".....", L"", true},
        {L"", L"", false},
        {L"..... ", L"..... ", false},
    };
    for (const Case& c : cases) {
        std::wstring text(c.text);
        EXPECT_EQ(c.cut, CutDotLeader(text.data())) << text.size();
        EXPECT_STREQ(c.kept, text.c_str());
    }
    EXPECT_FALSE(CutDotLeader(nullptr));
}

TEST(TranslateControlText, LooksUpTheKeyWithoutItsLeader) {
    static std::wstring seen;
    const auto record = [](const std::wstring& english) {
        seen = english;
        return std::wstring();
    };
    std::wstring text = L"Key......";
    TranslateControlText(text.data(), record);
    EXPECT_EQ(L"Key", seen);
    seen = L"untouched";
    std::wstring empty = L".....";
    TranslateControlText(empty.data(), record);
    EXPECT_EQ(L"untouched", seen); // an empty key is not looked up
}

} // namespace
