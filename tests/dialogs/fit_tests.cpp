#include "dialog_fixture.h"
#include "string_tables.h"

#include <iostream>
#include <sstream>
#include <vector>

namespace {

// Draws single characters in the dialog's font, as the controls would (fallback fonts
// included), to tell the characters it can show from those it draws as its missing glyph.
class GlyphProbe {
  public:
    explicit GlyphProbe(HFONT font) {
        BITMAPINFO format{};
        format.bmiHeader.biSize = sizeof(format.bmiHeader);
        format.bmiHeader.biWidth = Width;
        format.bmiHeader.biHeight = -Height;
        format.bmiHeader.biPlanes = 1;
        format.bmiHeader.biBitCount = 32;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_.reset(CreateDIBSection(dc_, &format, DIB_RGB_COLORS, &bits_, nullptr, 0));
        oldBitmap_ = SelectObject(dc_, bitmap_.get());
        oldFont_ = SelectObject(dc_, font);
        missing_ = Draw(L'\x0378'); // unassigned: no font has it
    }
    GlyphProbe(const GlyphProbe&) = delete;
    GlyphProbe& operator=(const GlyphProbe&) = delete;
    ~GlyphProbe() {
        SelectObject(dc_, oldFont_);
        SelectObject(dc_, oldBitmap_); // the bitmap goes once it is no longer selected
        DeleteDC(dc_);
    }
    bool CanDraw(wchar_t c) { return Draw(c) != missing_; }

  private:
    static constexpr int Width = 64;
    static constexpr int Height = 48;
    std::vector<DWORD> Draw(wchar_t c) {
        RECT all{0, 0, Width, Height};
        FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        TextOutW(dc_, 4, 4, &c, 1);
        GdiFlush();
        const auto* pixels = static_cast<const DWORD*>(bits_);
        return std::vector<DWORD>(pixels, pixels + Width * Height);
    }
    HDC dc_ = nullptr;
    UniqueBitmap bitmap_;
    void* bits_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
    HGDIOBJ oldFont_ = nullptr;
    std::vector<DWORD> missing_;
};

// A control that shows a text: an icon static holds its icon's resource name instead.
bool ShowsText(HWND control) {
    wchar_t className[32] = {};
    GetClassNameW(control, className, 32);
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    return !(_wcsicmp(className, L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON);
}

// The characters of the dialog's texts that its font, fallbacks included, cannot show.
std::wstring MissingCharacters(HWND dialog) {
    GlyphProbe probe(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)));
    std::wstring missing;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (!ShowsText(child)) {
            continue;
        }
        for (wchar_t c : WindowText(child)) {
            if (missing.find(c) == std::wstring::npos && !probe.CanDraw(c)) {
                missing += c;
            }
        }
    }
    return missing;
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
    const LCID previous = GetThreadLocale();
    SetThreadLocale(MAKELCID(language.locale, SORT_DEFAULT));
    AcquireCatalogue();
    ConnConfigRecord settings;
    settings.usePrivate = TRUE;
    ConnConfigDlg object(settings, TRUE);
    UniqueWindow window(CreateDialogParamW(ModuleInstance(), MAKEINTRESOURCEW(IDD_CONN_CONFIG),
                                           nullptr, KeyInputDlgProc,
                                           reinterpret_cast<LPARAM>(&object)));
    ReleaseCatalogue();
    SetThreadLocale(previous);
    HWND dialog = window.get();
    ASSERT_NE(nullptr, dialog);
    // A character drawn as the missing glyph would be measured at that glyph's width.
    const std::wstring missing = MissingCharacters(dialog);
    ASSERT_EQ(L"", missing) << "the dialog's font cannot draw these characters of "
                            << language.name;

    // The dialog shows this language's own strings.
    const std::wstring usePrivate = ExactString(ShippedModule(), 4132, language.table);
    ASSERT_NE(L"", usePrivate);
    EXPECT_EQ(usePrivate, WindowText(GetDlgItem(dialog, IDC_USE_PRIVATE)));
    EXPECT_EQ(ExactString(ShippedModule(), 4135, language.table),
              WindowText(GetDlgItem(dialog, IDC_HIDE_CHARACTERS)));

    std::ostringstream misfits;
    std::string tightest;
    double largestShare = 0;
    int measured = 0;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        const std::wstring text = WindowText(child);
        if (text.empty() || !ShowsText(child)) {
            continue;
        }
        const WindowDc dc(child, reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)));
        const Measured m = MeasureText(child, dc.get(), text);
        ++measured;
        // Reported: the one-line text that takes the largest share of its control's width.
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc.get(), &metrics);
        const double share = double(m.needed.cx) / m.available.cx;
        if (m.needed.cy <= metrics.tmHeight && share > largestShare) {
            largestShare = share;
            tightest = std::to_string(m.needed.cx) + " of " + std::to_string(m.available.cx) +
                       " px: " + testing::PrintToString(text);
        }
        if (m.needed.cx > m.available.cx || m.needed.cy > m.available.cy) {
            misfits << "\n  control " << GetDlgCtrlID(child) << ": needs " << m.needed.cx << "x"
                    << m.needed.cy << ", has " << m.available.cx << "x" << m.available.cy << ": "
                    << testing::PrintToString(text);
        }
    }
    EXPECT_EQ(9, measured) << "the nine texts; the icon and the empty boxes and labels have none";
    EXPECT_EQ("", misfits.str()) << language.name;
    std::cout << "tightest " << language.name << ": " << tightest << "\n";
}

INSTANTIATE_TEST_SUITE_P(AllLanguages, TranslationFitTest, ::testing::ValuesIn(Languages),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
