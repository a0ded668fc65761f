#include "dialog_fixture.h"

#include <sstream>
#include <vector>

namespace {

// Every resource language of the string tables, with the thread locale that selects it and
// the character set its script needs.
struct Language {
    LANGID table;
    LANGID locale;
    BYTE charset;
    const char* name;
};

constexpr LANGID Neutral(USHORT primary) {
    return MAKELANGID(primary, SUBLANG_NEUTRAL);
}
constexpr LANGID Default(USHORT primary) {
    return MAKELANGID(primary, SUBLANG_DEFAULT);
}

const Language Languages[] = {
    {Neutral(LANG_ARABIC), Default(LANG_ARABIC), ARABIC_CHARSET, "ar"},
    {Neutral(LANG_BULGARIAN), Default(LANG_BULGARIAN), RUSSIAN_CHARSET, "bg"},
    {Neutral(LANG_CZECH), Default(LANG_CZECH), EASTEUROPE_CHARSET, "cs"},
    {Neutral(LANG_DANISH), Default(LANG_DANISH), ANSI_CHARSET, "da"},
    {Neutral(LANG_GERMAN), Default(LANG_GERMAN), ANSI_CHARSET, "de"},
    {Neutral(LANG_GREEK), Default(LANG_GREEK), GREEK_CHARSET, "el"},
    {Neutral(LANG_SPANISH), MAKELANGID(LANG_SPANISH, SUBLANG_SPANISH_MODERN), ANSI_CHARSET, "es"},
    {Neutral(LANG_FINNISH), Default(LANG_FINNISH), ANSI_CHARSET, "fi"},
    {Neutral(LANG_FRENCH), Default(LANG_FRENCH), ANSI_CHARSET, "fr"},
    {Neutral(LANG_HEBREW), Default(LANG_HEBREW), HEBREW_CHARSET, "he"},
    {Neutral(LANG_HUNGARIAN), Default(LANG_HUNGARIAN), EASTEUROPE_CHARSET, "hu"},
    {Neutral(LANG_ITALIAN), Default(LANG_ITALIAN), ANSI_CHARSET, "it"},
    {Neutral(LANG_JAPANESE), Default(LANG_JAPANESE), SHIFTJIS_CHARSET, "ja"},
    {Neutral(LANG_KOREAN), Default(LANG_KOREAN), HANGUL_CHARSET, "ko"},
    {Neutral(LANG_DUTCH), Default(LANG_DUTCH), ANSI_CHARSET, "nl"},
    {Neutral(LANG_NORWEGIAN), Default(LANG_NORWEGIAN), ANSI_CHARSET, "no"},
    {Neutral(LANG_POLISH), Default(LANG_POLISH), EASTEUROPE_CHARSET, "pl"},
    // Portugal: the default Portuguese locale is Brazil's, which has its own table.
    {Neutral(LANG_PORTUGUESE), MAKELANGID(LANG_PORTUGUESE, SUBLANG_PORTUGUESE), ANSI_CHARSET, "pt"},
    {Neutral(LANG_ROMANIAN), Default(LANG_ROMANIAN), EASTEUROPE_CHARSET, "ro"},
    {Neutral(LANG_RUSSIAN), Default(LANG_RUSSIAN), RUSSIAN_CHARSET, "ru"},
    {Neutral(LANG_CROATIAN), Default(LANG_CROATIAN), EASTEUROPE_CHARSET, "hr"},
    {Neutral(LANG_SLOVAK), Default(LANG_SLOVAK), EASTEUROPE_CHARSET, "sk"},
    {Neutral(LANG_SWEDISH), Default(LANG_SWEDISH), ANSI_CHARSET, "sv"},
    {Neutral(LANG_THAI), Default(LANG_THAI), THAI_CHARSET, "th"},
    {Neutral(LANG_TURKISH), Default(LANG_TURKISH), TURKISH_CHARSET, "tr"},
    {Neutral(LANG_SLOVENIAN), Default(LANG_SLOVENIAN), EASTEUROPE_CHARSET, "sl"},
    {Neutral(LANG_ESTONIAN), Default(LANG_ESTONIAN), BALTIC_CHARSET, "et"},
    {Neutral(LANG_LATVIAN), Default(LANG_LATVIAN), BALTIC_CHARSET, "lv"},
    {Neutral(LANG_LITHUANIAN), Default(LANG_LITHUANIAN), BALTIC_CHARSET, "lt"},
    {1028, 1028, CHINESEBIG5_CHARSET, "zh_TW"},
    {1033, 1033, ANSI_CHARSET, "en_US"},
    {1046, 1046, ANSI_CHARSET, "pt_BR"},
    {2052, 2052, GB2312_CHARSET, "zh_CN"},
};

// The texts of template 101 and the string ids that translate them.
const UINT DialogTextIds[] = {4130, 4131, 4132, 4133, 4134, 4135, 4136, 4137, 4138};

bool FaceHasCharset(const wchar_t* face, BYTE charset) {
    LOGFONTW wanted{};
    wanted.lfCharSet = charset;
    wcsncpy(wanted.lfFaceName, face, LF_FACESIZE - 1);
    bool found = false;
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesExW(
        screen, &wanted,
        [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM result) -> int {
            *reinterpret_cast<bool*>(result) = true;
            return 0;
        },
        reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found;
}

// The dialog font ("MS Shell Dlg", Tahoma here) or a font linked to it has the script.
bool DialogFontCovers(BYTE charset) {
    if (FaceHasCharset(L"Tahoma", charset)) {
        return true;
    }
    wchar_t links[4096] = {};
    DWORD size = sizeof(links) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_LOCAL_MACHINE,
                     L"Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink",
                     L"Tahoma", RRF_RT_REG_MULTI_SZ, nullptr, links, &size) != ERROR_SUCCESS) {
        return false;
    }
    for (const wchar_t* entry = links; *entry != L'\0'; entry += wcslen(entry) + 1) {
        const wchar_t* comma = wcschr(entry, L',');
        if (comma != nullptr && FaceHasCharset(comma + 1, charset)) {
            return true;
        }
    }
    return false;
}

struct Measured {
    SIZE needed;
    SIZE available;
};

// How the dialog manager's controls lay their text out.
Measured MeasureText(HWND control, HDC dc, const std::wstring& text) {
    wchar_t className[32] = {};
    GetClassNameW(control, className, 32);
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    RECT client{};
    GetClientRect(control, &client);
    Measured m{{0, 0}, {client.right, client.bottom}};
    if (_wcsicmp(className, L"Static") == 0) {
        // Word-wrapped within the control's width.
        RECT box{0, 0, client.right, 0};
        UINT flags = DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS;
        flags |= (style & SS_NOPREFIX) != 0 ? DT_NOPREFIX : 0;
        DrawTextW(dc, text.c_str(), -1, &box, flags);
        m.needed = {box.right, box.bottom};
        return m;
    }
    RECT line{0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), -1, &line, DT_CALCRECT | DT_SINGLELINE);
    m.needed = {line.right, line.bottom};
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    switch (style & BS_TYPEMASK) {
    case BS_GROUPBOX:
        m.available.cx -= 2 * 8; // the frame's corners left and right of the caption
        break;
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
        // The box glyph and the gap before the text.
        m.available.cx -= GetSystemMetrics(SM_CXMENUCHECK) + metrics.tmAveCharWidth / 2 + 2;
        break;
    default:
        m.available.cx -= 2 * (GetSystemMetrics(SM_CXEDGE) + 2); // bevel and focus frame
        m.available.cy -= 2 * GetSystemMetrics(SM_CYEDGE);
        break;
    }
    return m;
}

class TranslationFitTest : public DialogTest, public ::testing::WithParamInterface<Language> {};

TEST_P(TranslationFitTest, EveryControlTextFitsItsControl) {
    const Language& language = GetParam();
    if (!DialogFontCovers(language.charset)) {
        GTEST_SKIP() << "no font here for the script of " << language.name;
    }
    const LCID previous = GetThreadLocale();
    SetThreadLocale(MAKELCID(language.locale, SORT_DEFAULT));
    AcquireCatalogue();
    DptSettings settings;
    settings.usePrivateKey = 1;
    ConnConfigDlg object(settings, TRUE);
    HWND dialog = CreateDialogParamW(ModuleInstance(), MAKEINTRESOURCEW(IDD_CONN_CONFIG), nullptr,
                                     KeyInputDlgProc, reinterpret_cast<LPARAM>(&object));
    ASSERT_NE(nullptr, dialog);

    // The dialog shows this language's strings (or English where its table has none).
    std::vector<std::wstring> expected;
    for (UINT id : DialogTextIds) {
        expected.push_back(ModuleText(id, language.locale));
    }
    EXPECT_EQ(expected[2], WindowText(GetDlgItem(dialog, IDC_USE_PRIVATE)));
    EXPECT_EQ(expected[8], WindowText(GetDlgItem(dialog, IDCANCEL)));

    std::ostringstream misfits;
    int measured = 0;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        const std::wstring text = WindowText(child);
        if (text.empty()) {
            continue;
        }
        HDC dc = GetDC(child);
        HGDIOBJ oldFont =
            SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)));
        const Measured m = MeasureText(child, dc, text);
        SelectObject(dc, oldFont);
        ReleaseDC(child, dc);
        ++measured;
        if (m.needed.cx > m.available.cx || m.needed.cy > m.available.cy) {
            misfits << "\n  control " << GetDlgCtrlID(child) << ": needs " << m.needed.cx << "x"
                    << m.needed.cy << ", has " << m.available.cx << "x" << m.available.cy << ": "
                    << testing::PrintToString(text);
        }
    }
    EXPECT_EQ(10, measured) << "the nine texts and the icon's empty text are skipped";
    EXPECT_EQ("", misfits.str()) << language.name;

    DestroyWindow(dialog);
    ReleaseCatalogue();
    SetThreadLocale(previous);
}

INSTANTIATE_TEST_SUITE_P(AllLanguages, TranslationFitTest, ::testing::ValuesIn(Languages),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
