#include "dialog_fixture.h"

#include <cstring>
#include <new>

namespace {

constexpr wchar_t StoredKey[] = L"Stored-Secret-1";

// What a display state of the key entry looks like on screen.
struct DisplayState {
    const wchar_t* keyText;
    const wchar_t* confirmText;
    wchar_t passwordChar;
    bool hideChecked;
    bool hideEnabled;
    bool labelsShown;
};

void ExpectDisplay(HWND dialog, const DisplayState& expected, const char* where) {
    SCOPED_TRACE(where);
    EXPECT_EQ(std::wstring(expected.keyText), ControlText(dialog, IDC_KEY_EDIT));
    EXPECT_EQ(std::wstring(expected.confirmText), ControlText(dialog, IDC_CONFIRM_EDIT));
    EXPECT_EQ(expected.passwordChar, PasswordChar(dialog, IDC_KEY_EDIT));
    EXPECT_EQ(expected.passwordChar, PasswordChar(dialog, IDC_CONFIRM_EDIT));
    EXPECT_EQ(expected.hideChecked, IsChecked(dialog, IDC_HIDE_CHARACTERS));
    EXPECT_EQ(expected.hideEnabled, IsEnabled(dialog, IDC_HIDE_CHARACTERS));
    EXPECT_EQ(expected.labelsShown, IsShown(dialog, IDC_KEY_LENGTH));
    EXPECT_EQ(expected.labelsShown, IsShown(dialog, IDC_CONFIRM_LENGTH));
    EXPECT_TRUE(IsEnabled(dialog, IDC_KEY_EDIT));
    EXPECT_TRUE(IsEnabled(dialog, IDC_CONFIRM_EDIT));
}

class KeyInputDialogTest : public DialogTest {
  protected:
    // Opens the dialog for the object; the test then drives `dialog`.
    void Open(KeyInputDlg& object) {
        ui_ = StartKeyInputDialog(object);
        dialog_ = ui_->WaitForDialog(DialogCaption);
        ASSERT_NE(nullptr, dialog_);
    }
    void Type(int id, std::wstring_view text) { ASSERT_TRUE(TypeInto(*ui_, dialog_, id, text)); }
    // OK with a key the dialog accepts: it closes.
    void PressOkAndClose() {
        ASSERT_TRUE(PostClick(dialog_, IDOK));
        ASSERT_TRUE(ui_->WaitForExit());
    }
    void PressCancel() {
        ASSERT_TRUE(PostClick(dialog_, IDCANCEL));
        ASSERT_TRUE(ui_->WaitForExit());
    }

    std::unique_ptr<UiThread> ui_;
    HWND dialog_ = nullptr;
};

TEST_F(KeyInputDialogTest, AStoredKeyShowsThePlaceholderAndStandsOnOk) {
    KeyInputDlg object(StoredKey, WarningCaptionId, ModuleInstance());
    Open(object);
    ExpectDisplay(dialog_, {L"Blank456", L"Blank456", L'*', true, false, false}, "stored");
    PressOkAndClose();
    EXPECT_TRUE(object.IsAccepted());
    EXPECT_FALSE(object.IsKeyModified());
    EXPECT_STREQ(StoredKey, object.GetKeyText());
}

TEST_F(KeyInputDialogTest, TypingOverThePlaceholderEmptiesBothBoxes) {
    for (int box : {IDC_KEY_EDIT, IDC_CONFIRM_EDIT}) {
        KeyInputDlg object(StoredKey, WarningCaptionId, ModuleInstance());
        Open(object);
        Type(box, L"x");
        ExpectDisplay(dialog_, {L"", L"", L'*', true, true, true}, "after the first character");
        EXPECT_EQ(L"", ControlText(dialog_, IDC_KEY_LENGTH));
        EXPECT_EQ(L"", ControlText(dialog_, IDC_CONFIRM_LENGTH));
        // From here on typing is kept.
        Type(box, L"yz");
        EXPECT_EQ(L"yz", ControlText(dialog_, box));
        PressCancel();
        EXPECT_FALSE(object.IsAccepted());
    }
}

TEST_F(KeyInputDialogTest, ANewKeyIsMaskedUntilHideCharactersIsCleared) {
    KeyInputDlg object(L"", WarningCaptionId, ModuleInstance());
    Open(object);
    ExpectDisplay(dialog_, {L"", L"", L'*', true, true, true}, "new key, hidden");
    Type(IDC_KEY_EDIT, L"abc");
    EXPECT_EQ(L"", ControlText(dialog_, IDC_CONFIRM_EDIT)) << "no mirroring while hidden";

    ASSERT_TRUE(Click(dialog_, IDC_HIDE_CHARACTERS));
    ExpectDisplay(dialog_, {L"abc", L"abc", L'\0', false, true, true}, "new key, shown");
    // The box selects its whole text when it gets the focus back: typing replaces it.
    ASSERT_TRUE(FocusControl(dialog_, IDC_KEY_EDIT));
    ASSERT_TRUE(ui_->Sync());
    DWORD start = 1, end = 0;
    SendMessageW(ControlOf(dialog_, IDC_KEY_EDIT), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(0u, start);
    EXPECT_EQ(3u, end);
    Type(IDC_KEY_EDIT, L"wxyz");
    EXPECT_EQ(L"wxyz", ControlText(dialog_, IDC_CONFIRM_EDIT)) << "mirrors the key box";
    Type(IDC_KEY_EDIT, L"\b");
    EXPECT_EQ(L"wxy", ControlText(dialog_, IDC_CONFIRM_EDIT));

    ASSERT_TRUE(Click(dialog_, IDC_HIDE_CHARACTERS));
    ExpectDisplay(dialog_, {L"wxy", L"wxy", L'*', true, true, true}, "hidden again");
    Type(IDC_KEY_EDIT, L"e");
    EXPECT_EQ(L"e", ControlText(dialog_, IDC_KEY_EDIT));
    EXPECT_EQ(L"wxy", ControlText(dialog_, IDC_CONFIRM_EDIT)) << "no mirroring while hidden";
    PressCancel();
}

TEST_F(KeyInputDialogTest, LengthLabelsCountTheTypedCharacters) {
    KeyInputDlg object(L"", WarningCaptionId, ModuleInstance());
    Open(object);
    Type(IDC_KEY_EDIT, L"twelve chars");
    EXPECT_EQ(L"12", ControlText(dialog_, IDC_KEY_LENGTH));
    EXPECT_EQ(L"", ControlText(dialog_, IDC_CONFIRM_LENGTH));
    Type(IDC_CONFIRM_EDIT, L"abc");
    EXPECT_EQ(L"3", ControlText(dialog_, IDC_CONFIRM_LENGTH));
    Type(IDC_KEY_EDIT, std::wstring(12, L'\b'));
    EXPECT_EQ(L"", ControlText(dialog_, IDC_KEY_LENGTH)) << "none typed: empty, not 0";
    PressCancel();
}

TEST_F(KeyInputDialogTest, RejectedKeysRaiseOneWarningAndLeaveTheBoxesAsTheyWere) {
    const RejectedEntry cases[] = {
        {L"", L"", 5024},
        {L"seven77", L"seven77", 5022},
        {L"passphrase-one", L"passphrase-two", 4103},
        {L"short", L"other", 4103}, // the mismatch is reported first
    };
    for (const RejectedEntry& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.key)));
        KeyInputDlg object(L"", WarningCaptionId, ModuleInstance());
        Open(object);
        Type(IDC_KEY_EDIT, c.key);
        Type(IDC_CONFIRM_EDIT, c.confirmation);
        ExpectWarningOnOk(*ui_, dialog_, c.message);
        EXPECT_FALSE(ui_->HasExited()) << "the dialog stays open";
        EXPECT_EQ(std::wstring(c.key), ControlText(dialog_, IDC_KEY_EDIT));
        EXPECT_EQ(std::wstring(c.confirmation), ControlText(dialog_, IDC_CONFIRM_EDIT));
        PressCancel();
        EXPECT_FALSE(object.IsAccepted());
    }
}

TEST_F(KeyInputDialogTest, AcceptedKeysAreStoredAsTheKeyBoxShowsThem) {
    const std::wstring hex64 = L"00112233445566778899aabbccddeeffAABBCCDDEEFF00112233445566778899";
    struct Case {
        std::wstring key;
        std::wstring confirmation;
        std::wstring stored;
    } cases[] = {
        {L"eight888", L"eight888", L"eight888"},
        {std::wstring(63, L'k'), std::wstring(63, L'k'), std::wstring(63, L'k')},
        {hex64, hex64, hex64},
        {L"lower-case-key", L"LOWER-CASE-KEY", L"lower-case-key"},
        // 70 characters are judged and kept by their first 64, all hexadecimal here.
        {std::wstring(70, L'a'), std::wstring(70, L'a'), std::wstring(64, L'a')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.key));
        KeyInputDlg object(L"", WarningCaptionId, ModuleInstance());
        Open(object);
        Type(IDC_KEY_EDIT, c.key);
        Type(IDC_CONFIRM_EDIT, c.confirmation);
        PressOkAndClose();
        EXPECT_TRUE(object.IsAccepted());
        EXPECT_EQ(c.stored, std::wstring(object.GetKeyText()));
        EXPECT_TRUE(object.IsKeyModified());
    }
}

TEST_F(KeyInputDialogTest, SeventyCharactersAreJudgedByTheirFirstSixtyFour) {
    KeyInputDlg object(L"", WarningCaptionId, ModuleInstance());
    Open(object);
    ASSERT_TRUE(Click(dialog_, IDC_HIDE_CHARACTERS)); // shown: the confirmation mirrors
    Type(IDC_KEY_EDIT, std::wstring(64, L'f') + L"zzzzzz");
    EXPECT_EQ(L"70", ControlText(dialog_, IDC_KEY_LENGTH));
    PressOkAndClose();
    EXPECT_EQ(std::wstring(64, L'f'), std::wstring(object.GetKeyText()));

    KeyInputDlg rejected(L"", WarningCaptionId, ModuleInstance());
    Open(rejected);
    ASSERT_TRUE(Click(dialog_, IDC_HIDE_CHARACTERS));
    Type(IDC_KEY_EDIT, std::wstring(63, L'f') + L"zzzzzzz");
    EXPECT_EQ(ModuleText(5022), PressOkExpectingWarning(*ui_, dialog_).text);
    PressCancel();
}

TEST_F(KeyInputDialogTest, IsKeyModifiedFollowsTheStoredFlagThenTheText) {
    {
        // The very same text typed over a stored key: the stored flag changed.
        KeyInputDlg object(StoredKey, WarningCaptionId, ModuleInstance());
        Open(object);
        Type(IDC_KEY_EDIT, L"x"); // clears the placeholder
        Type(IDC_KEY_EDIT, StoredKey);
        Type(IDC_CONFIRM_EDIT, StoredKey);
        PressOkAndClose();
        EXPECT_STREQ(StoredKey, object.GetKeyText());
        EXPECT_TRUE(object.IsKeyModified());
    }
    {
        // A key that started empty, typed and erased again.
        KeyInputDlg object(L"", WarningCaptionId, ModuleInstance());
        Open(object);
        Type(IDC_KEY_EDIT, L"abc\b\b\b");
        PressCancel();
        EXPECT_FALSE(object.IsKeyModified());
    }
    {
        // Typed, not confirmed, cancelled: the entry already holds the new text.
        KeyInputDlg object(L"", WarningCaptionId, ModuleInstance());
        Open(object);
        Type(IDC_KEY_EDIT, L"abc");
        PressCancel();
        EXPECT_TRUE(object.IsKeyModified());
    }
}

TEST_F(KeyInputDialogTest, WithoutALoadableCaptionOkDoesNothingVisible) {
    constexpr UINT AbsentCaption = 4001;
    ASSERT_EQ(L"", ModuleText(AbsentCaption));
    KeyInputDlg object(L"", AbsentCaption, ModuleInstance());
    Open(object);
    // Sent, not posted: a message box would block the click and fail it.
    EXPECT_TRUE(Click(dialog_, IDOK));
    EXPECT_FALSE(ui_->HasExited());
    EXPECT_EQ(nullptr, ui_->FindWindowNow([&](HWND w) { return w != dialog_; }));
    PressCancel();
}

// Sound behaviour: a command that arrives before WM_INITDIALOG has stored the dialog object
// is ignored instead of being dispatched through a null object.
TEST(KeyInputDlgProc, IgnoresCommandsBeforeTheObjectIsStored) {
    UniqueWindow owned(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                       nullptr, nullptr));
    HWND window = owned.get();
    ASSERT_NE(nullptr, window);
    ASSERT_EQ(0, GetWindowLongPtrW(window, GWLP_USERDATA));
    const WPARAM commands[] = {
        MAKEWPARAM(IDOK, BN_CLICKED),
        MAKEWPARAM(IDCANCEL, BN_CLICKED),
        MAKEWPARAM(IDC_KEY_EDIT, EN_CHANGE),
        MAKEWPARAM(IDC_CONFIRM_EDIT, EN_SETFOCUS),
        MAKEWPARAM(IDC_HIDE_CHARACTERS, BN_CLICKED),
        MAKEWPARAM(IDC_USE_PRIVATE, BN_CLICKED),
    };
    for (WPARAM command : commands) {
        EXPECT_EQ(FALSE, KeyInputDlgProc(window, WM_COMMAND, command, 0));
    }
    EXPECT_EQ(FALSE, KeyInputDlgProc(window, WM_PAINT, 0, 0));
}

// Sound behaviour: the object's copies of the key are wiped when it is destroyed.
TEST_F(KeyInputDialogTest, DestroyingTheObjectWipesItsKeys) {
    alignas(KeyInputDlg) unsigned char storage[sizeof(KeyInputDlg)];
    auto* object = new (storage) KeyInputDlg(StoredKey, WarningCaptionId, ModuleInstance());
    Open(*object);
    PressOkAndClose();
    ASSERT_STREQ(StoredKey, object->GetKeyText());
    ASSERT_TRUE(HoldsText(storage, sizeof(storage), StoredKey));
    object->~KeyInputDlg();
    EXPECT_FALSE(HoldsText(storage, sizeof(storage), StoredKey));
    EXPECT_FALSE(HoldsText(storage, sizeof(storage), L"Stored"));
}

} // namespace
