#include "dialog_fixture.h"

#include <cstring>
#include <vector>

namespace {

// Reads an extended dialog template as the dialog manager would.
class TemplateReader {
  public:
    TemplateReader(const BYTE* data, DWORD size) : data_(data), size_(size) {}
    bool ok() const { return ok_; }
    WORD Word() { return Read<WORD>(); }
    DWORD Dword() { return Read<DWORD>(); }
    short Short() { return Read<short>(); }
    void AlignToDword() { offset_ = (offset_ + 3) & ~size_t{3}; }
    void Skip(size_t bytes) { offset_ += bytes; }
    // A name or ordinal field: 0 = none, 0xFFFF + ordinal, or a zero-terminated string.
    std::wstring NameOrOrdinal(WORD& ordinal) {
        ordinal = 0;
        WORD first = Word();
        if (first == 0) {
            return {};
        }
        if (first == 0xFFFF) {
            ordinal = Word();
            return {};
        }
        std::wstring text(1, static_cast<wchar_t>(first));
        for (WORD c = Word(); ok_ && c != 0; c = Word()) {
            text += static_cast<wchar_t>(c);
        }
        return text;
    }
    std::wstring String() {
        WORD ordinal = 0;
        return NameOrOrdinal(ordinal);
    }

  private:
    template <typename T> T Read() {
        T value{};
        if (offset_ + sizeof(T) > size_) {
            ok_ = false;
            return value;
        }
        std::memcpy(&value, data_ + offset_, sizeof(T));
        offset_ += sizeof(T);
        return value;
    }
    const BYTE* data_;
    DWORD size_;
    size_t offset_ = 0;
    bool ok_ = true;
};

struct ControlRow {
    DWORD id;
    const wchar_t* className;
    const wchar_t* text; // null: the icon resource 4163
    DWORD style;
    short x, y, cx, cy;
};

const ControlRow ExpectedControls[] = {
    {0xFFFFFFFF, L"button", L"Direct Packet Transmission Settings", 0x50000007, 10, 9, 338, 102},
    {0xFFFFFFFF, L"static", nullptr, 0x50000003, 16, 23, 20, 20},
    {0xFFFFFFFF, L"static",
     L"A DPT passphrase can be entered as 8 to 63 characters or exactly 64 characters using "
     L"the numbers 0-9 and the letters A-F. (letters can be uppercase or lowercase)",
     0x50020000, 44, 22, 294, 18},
    {4403, L"button", L"Use a private passphrase", 0x50030003, 44, 44, 300, 10},
    {0xFFFFFFFF, L"static", L"Passphrase:", 0x50020002, 50, 59, 100, 8},
    {4067, L"edit", L"", 0x50810080, 152, 57, 151, 12},
    {4068, L"static", L"", 0x50020000, 310, 59, 23, 8},
    {0xFFFFFFFF, L"static", L"Confirm passphrase:", 0x50020002, 50, 73, 100, 8},
    {4036, L"edit", L"", 0x50810080, 151, 72, 151, 12},
    {4035, L"static", L"", 0x50020000, 310, 73, 23, 8},
    {4056, L"button", L"Hide characters", 0x50012003, 151, 90, 159, 10},
    {1001, L"button", L"Cisco Compatible eXtensions Connection Settngs enabled.", 0x50010002, 12,
     123, 333, 10},
    {IDOK, L"button", L"OK", 0x50010000, 229, 141, 50, 14},
    {IDCANCEL, L"button", L"Cancel", 0x50010000, 293, 141, 50, 14},
};

std::wstring PredefinedClass(WORD ordinal) {
    switch (ordinal) {
    case 0x80:
        return L"button";
    case 0x81:
        return L"edit";
    case 0x82:
        return L"static";
    default:
        return L"#" + std::to_wstring(ordinal);
    }
}

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) {
        c = static_cast<wchar_t>(towlower(c));
    }
    return text;
}

std::vector<LANGID> DialogLanguages(HMODULE module) {
    std::vector<LANGID> languages;
    EnumResourceLanguagesW(
        module, RT_DIALOG, MAKEINTRESOURCEW(IDD_CONN_CONFIG),
        [](HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR list) -> BOOL {
            reinterpret_cast<std::vector<LANGID>*>(list)->push_back(language);
            return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&languages));
    return languages;
}

TEST_F(DialogTest, Template101IsOneEnglishExtendedDialogWithTheFourteenControls) {
    HMODULE module = ShippedModule();
    EXPECT_EQ(std::vector<LANGID>{EnglishUs}, DialogLanguages(module));
    HRSRC found = FindResourceExW(module, RT_DIALOG, MAKEINTRESOURCEW(IDD_CONN_CONFIG), EnglishUs);
    ASSERT_NE(nullptr, found);
    TemplateReader t(static_cast<const BYTE*>(LockResource(LoadResource(module, found))),
                     SizeofResource(module, found));

    EXPECT_EQ(1, t.Word()); // dlgVer
    EXPECT_EQ(0xFFFF, t.Word());
    t.Dword(); // helpID
    EXPECT_EQ(0u, t.Dword()) << "extended style";
    EXPECT_EQ(0x80C800C8u, t.Dword()) << "style";
    const WORD count = t.Word();
    EXPECT_EQ(14, count);
    EXPECT_EQ(0, t.Short());
    EXPECT_EQ(0, t.Short());
    EXPECT_EQ(359, t.Short());
    EXPECT_EQ(164, t.Short());
    EXPECT_EQ(L"", t.String()) << "menu";
    EXPECT_EQ(L"", t.String()) << "class";
    EXPECT_EQ(std::wstring(DialogCaption), t.String());
    EXPECT_EQ(8, t.Word()) << "point size";
    EXPECT_EQ(400, t.Word()) << "weight";
    t.Skip(2); // italic, character set
    EXPECT_EQ(L"MS Shell Dlg", t.String());

    for (size_t i = 0; i < count && i < std::size(ExpectedControls); ++i) {
        const ControlRow& row = ExpectedControls[i];
        t.AlignToDword();
        t.Dword(); // helpID
        EXPECT_EQ(0u, t.Dword()) << "control " << i;
        EXPECT_EQ(row.style, t.Dword()) << "control " << i;
        EXPECT_EQ(row.x, t.Short()) << "control " << i;
        EXPECT_EQ(row.y, t.Short()) << "control " << i;
        EXPECT_EQ(row.cx, t.Short()) << "control " << i;
        EXPECT_EQ(row.cy, t.Short()) << "control " << i;
        EXPECT_EQ(row.id, t.Dword()) << "control " << i;
        WORD classOrdinal = 0;
        std::wstring className = t.NameOrOrdinal(classOrdinal);
        EXPECT_EQ(row.className,
                  classOrdinal != 0 ? PredefinedClass(classOrdinal) : Lower(className))
            << "control " << i;
        WORD textOrdinal = 0;
        const std::wstring text = t.NameOrOrdinal(textOrdinal);
        if (row.text == nullptr) {
            EXPECT_EQ(IDI_CONN_CONFIG, textOrdinal) << "control " << i;
        } else {
            EXPECT_EQ(0, textOrdinal) << "control " << i;
            EXPECT_EQ(std::wstring(row.text), text) << "control " << i;
        }
        t.Skip(t.Word()); // creation data
    }
    EXPECT_TRUE(t.ok());
}

struct IconDirectoryEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};

TEST_F(DialogTest, Icon4163HoldsSixteenAndThirtyTwoPixelImagesWithAlpha) {
    HMODULE module = ShippedModule();
    HRSRC group = FindResourceW(module, MAKEINTRESOURCEW(IDI_CONN_CONFIG), RT_GROUP_ICON);
    ASSERT_NE(nullptr, group);
    const auto* directory = static_cast<const BYTE*>(LockResource(LoadResource(module, group)));
    WORD count = 0;
    std::memcpy(&count, directory + 4, sizeof(count));
    ASSERT_EQ(2, count);
    std::vector<int> sizes;
    for (WORD i = 0; i < count; ++i) {
        IconDirectoryEntry entry{};
        std::memcpy(&entry, directory + 6 + i * 14, 14);
        sizes.push_back(entry.width);
        EXPECT_EQ(32, entry.bitCount);
    }
    EXPECT_EQ((std::vector<int>{16, 32}), sizes);

    for (int size : {16, 32}) {
        UniqueIcon icon(static_cast<HICON>(
            LoadImageW(module, MAKEINTRESOURCEW(IDI_CONN_CONFIG), IMAGE_ICON, size, size, 0)));
        ASSERT_TRUE(icon) << size;
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon.get(), &info));
        UniqueBitmap colour(info.hbmColor);
        UniqueBitmap mask(info.hbmMask);
        BITMAP bitmap{};
        GetObjectW(colour.get(), sizeof(bitmap), &bitmap);
        EXPECT_EQ(size, bitmap.bmWidth);
        // Drawn, not blank: some pixels opaque, the corners transparent.
        std::vector<DWORD> pixels(size * size);
        BITMAPINFO format{};
        format.bmiHeader.biSize = sizeof(format.bmiHeader);
        format.bmiHeader.biWidth = size;
        format.bmiHeader.biHeight = -size;
        format.bmiHeader.biPlanes = 1;
        format.bmiHeader.biBitCount = 32;
        const WindowDc screen(nullptr);
        EXPECT_EQ(size, GetDIBits(screen.get(), colour.get(), 0, size, pixels.data(), &format,
                                  DIB_RGB_COLORS));
        size_t opaque = 0;
        for (DWORD pixel : pixels) {
            opaque += (pixel >> 24) == 0xFF ? 1 : 0;
        }
        EXPECT_GT(opaque, pixels.size() / 10) << size;
        EXPECT_EQ(0u, pixels[0] >> 24) << size;
    }
}

TEST_F(DialogTest, TheRunningDialogHasTheTemplateStyleAndShowsTheIcon) {
    ConnConfigRecord settings;
    BOOL result = -1;
    auto ui = StartConnConfigDialog(settings, TRUE, result);
    HWND dialog = ui->WaitForDialog(DialogCaption);
    ASSERT_NE(nullptr, dialog);
    const DWORD style = static_cast<DWORD>(GetWindowLongW(dialog, GWL_STYLE));
    EXPECT_EQ(0x80C800C8u, style & 0x80C800C8u) << std::hex << style;
    HWND icon = GetWindow(GetWindow(ControlOf(dialog, IDC_USE_PRIVATE), GW_HWNDPREV), GW_HWNDPREV);
    EXPECT_NE(0, SendMessageW(icon, STM_GETICON, 0, 0));
    EXPECT_TRUE(PostClick(dialog, IDCANCEL));
    EXPECT_TRUE(ui->WaitForExit());
    EXPECT_EQ(FALSE, result);
}

} // namespace
