#include "dialog_fixture.h"
#include "import_hook.h"

#include <cstring>
#include <new>

namespace {

constexpr wchar_t StoredPassphrase[] = L"stored passphrase 1";

void Fill(ConnConfigRecord& record, BOOL usePrivate, const wchar_t* passphrase) {
    record.usePrivate = usePrivate;
    wcsncpy(record.passphrase.text, passphrase, KeyBufferCapacity - 1);
}

class ConnConfigDialogTest : public DialogTest {
  protected:
    void Open(ConnConfigRecord& settings, BOOL ccxEnabled = FALSE, LANGID language = EnglishUs) {
        ui_ = StartConnConfigDialog(settings, ccxEnabled, result_, language);
        dialog_ = ui_->WaitForDialog(DialogCaption);
        ASSERT_NE(nullptr, dialog_);
    }
    void Type(int id, std::wstring_view text) { ASSERT_TRUE(TypeInto(*ui_, dialog_, id, text)); }
    void Close(int button) {
        ASSERT_TRUE(PostClick(dialog_, button));
        ASSERT_TRUE(ui_->WaitForExit());
    }
    void ExpectRecord(const ConnConfigRecord& settings, BOOL usePrivate,
                      const wchar_t* passphrase) {
        EXPECT_EQ(usePrivate, settings.usePrivate);
        EXPECT_STREQ(passphrase, settings.passphrase.text);
    }
    // Opens the dialog on the record filled with usePrivate and passphrase.
    void OpenFilled(ConnConfigRecord& settings, BOOL usePrivate, const wchar_t* passphrase,
                    BOOL ccxEnabled = FALSE, LANGID language = EnglishUs) {
        Fill(settings, usePrivate, passphrase);
        Open(settings, ccxEnabled, language);
    }
    // Closes with button; expects the run's result and the record it left.
    void CloseExpecting(int button, BOOL result, const ConnConfigRecord& settings, BOOL usePrivate,
                        const wchar_t* passphrase) {
        Close(button);
        EXPECT_EQ(result, result_);
        ExpectRecord(settings, usePrivate, passphrase);
    }

    std::unique_ptr<UiThread> ui_;
    HWND dialog_ = nullptr;
    BOOL result_ = -1;
};

// One row per outcome of a run, as the caller sees it.
TEST_F(ConnConfigDialogTest, CancelLeavesTheRecordAsItWas) {
    ConnConfigRecord settings;
    OpenFilled(settings, 1, StoredPassphrase);
    Type(IDC_KEY_EDIT, L"x");
    Type(IDC_KEY_EDIT, L"a new passphrase");
    Type(IDC_CONFIRM_EDIT, L"a new passphrase");
    CloseExpecting(IDCANCEL, FALSE, settings, 1, StoredPassphrase);
}

TEST_F(ConnConfigDialogTest, OkWithNothingChangedChangesNothing) {
    const std::pair<BOOL, const wchar_t*> cases[] = {
        {0, L""},              // the switch left off
        {0, StoredPassphrase}, // the switch left off
        {1, StoredPassphrase}, // the stored passphrase untouched
    };
    for (const auto& [usePrivate, passphrase] : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(passphrase)));
        ConnConfigRecord settings;
        OpenFilled(settings, usePrivate, passphrase);
        CloseExpecting(IDOK, FALSE, settings, usePrivate, passphrase);
    }
}

TEST_F(ConnConfigDialogTest, OkWithANewPassphraseReplacesIt) {
    struct Case {
        int usePrivateKey;
        const wchar_t* before;
        const wchar_t* typed;
    } cases[] = {
        {1, StoredPassphrase, L"replacement passphrase"},
        {1, StoredPassphrase, StoredPassphrase}, // the same text again is a new passphrase
        {1, L"", L"first passphrase"},
        {0, L"", L"switched on and typed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.typed)));
        ConnConfigRecord settings;
        OpenFilled(settings, c.usePrivateKey, c.before);
        if (!c.usePrivateKey) {
            ASSERT_TRUE(Click(dialog_, IDC_USE_PRIVATE));
        }
        if (c.before[0] != L'\0') {
            Type(IDC_KEY_EDIT, L"x"); // replaces the placeholder
        }
        Type(IDC_KEY_EDIT, c.typed);
        Type(IDC_CONFIRM_EDIT, c.typed);
        CloseExpecting(IDOK, TRUE, settings, 1, c.typed);
    }
}

TEST_F(ConnConfigDialogTest, SwitchingOnOverAStoredPassphraseKeepsIt) {
    ConnConfigRecord settings;
    OpenFilled(settings, 0, StoredPassphrase);
    ASSERT_TRUE(Click(dialog_, IDC_USE_PRIVATE));
    CloseExpecting(IDOK, TRUE, settings, 1, StoredPassphrase);
}

TEST_F(ConnConfigDialogTest, SwitchingOffChangesOnlyTheSwitch) {
    ConnConfigRecord settings;
    OpenFilled(settings, 1, StoredPassphrase);
    Type(IDC_KEY_EDIT, L"x");
    Type(IDC_KEY_EDIT, L"typed, then switched off");
    ASSERT_TRUE(Click(dialog_, IDC_USE_PRIVATE));
    CloseExpecting(IDOK, TRUE, settings, 0, StoredPassphrase); // nothing validated
}

TEST_F(ConnConfigDialogTest, TheSwitchEnablesTheBoxesAndRestoresThePlaceholder) {
    ConnConfigRecord settings;
    OpenFilled(settings, 1, StoredPassphrase);
    EXPECT_TRUE(IsChecked(dialog_, IDC_USE_PRIVATE));
    EXPECT_EQ(L"Blank456", ControlText(dialog_, IDC_KEY_EDIT));
    EXPECT_EQ(L"Blank456", ControlText(dialog_, IDC_CONFIRM_EDIT));
    EXPECT_EQ(L'*', PasswordChar(dialog_, IDC_KEY_EDIT));
    EXPECT_TRUE(IsChecked(dialog_, IDC_HIDE_CHARACTERS));
    EXPECT_FALSE(IsEnabled(dialog_, IDC_HIDE_CHARACTERS));
    EXPECT_TRUE(IsEnabled(dialog_, IDC_KEY_EDIT));
    EXPECT_FALSE(IsShown(dialog_, IDC_KEY_LENGTH));

    ASSERT_TRUE(Click(dialog_, IDC_USE_PRIVATE));
    EXPECT_FALSE(IsChecked(dialog_, IDC_USE_PRIVATE));
    EXPECT_FALSE(IsEnabled(dialog_, IDC_KEY_EDIT));
    EXPECT_FALSE(IsEnabled(dialog_, IDC_CONFIRM_EDIT));
    EXPECT_EQ(L"Blank456", ControlText(dialog_, IDC_KEY_EDIT)) << "the boxes keep their text";
    EXPECT_FALSE(IsShown(dialog_, IDC_KEY_LENGTH));
    EXPECT_FALSE(IsShown(dialog_, IDC_CONFIRM_LENGTH));
    EXPECT_FALSE(IsEnabled(dialog_, IDC_HIDE_CHARACTERS)) << "greyed over the placeholder";
    EXPECT_FALSE(TypeInto(*ui_, dialog_, IDC_KEY_EDIT, L"x")) << "a disabled box takes no input";

    ASSERT_TRUE(Click(dialog_, IDC_USE_PRIVATE));
    EXPECT_TRUE(IsEnabled(dialog_, IDC_KEY_EDIT));
    EXPECT_EQ(L"Blank456", ControlText(dialog_, IDC_KEY_EDIT));
    EXPECT_EQ(L"Blank456", ControlText(dialog_, IDC_CONFIRM_EDIT));
    EXPECT_FALSE(IsEnabled(dialog_, IDC_HIDE_CHARACTERS));
    EXPECT_FALSE(IsShown(dialog_, IDC_KEY_LENGTH));
    CloseExpecting(IDOK, FALSE, settings, 1, StoredPassphrase);
}

TEST_F(ConnConfigDialogTest, AnEmptyRecordOpensSwitchedOffWithEmptyDisabledBoxes) {
    ConnConfigRecord settings;
    OpenFilled(settings, 0, L"");
    EXPECT_FALSE(IsChecked(dialog_, IDC_USE_PRIVATE));
    for (int box : {IDC_KEY_EDIT, IDC_CONFIRM_EDIT}) {
        EXPECT_FALSE(IsEnabled(dialog_, box));
        EXPECT_EQ(L"", ControlText(dialog_, box));
    }
    EXPECT_FALSE(IsShown(dialog_, IDC_KEY_LENGTH));
    EXPECT_FALSE(IsShown(dialog_, IDC_CONFIRM_LENGTH));
    EXPECT_TRUE(IsChecked(dialog_, IDC_HIDE_CHARACTERS));
    EXPECT_TRUE(IsEnabled(dialog_, IDC_HIDE_CHARACTERS));
    // While switched off, "Hide characters" changes only the masking.
    ASSERT_TRUE(Click(dialog_, IDC_HIDE_CHARACTERS));
    EXPECT_EQ(L'\0', PasswordChar(dialog_, IDC_KEY_EDIT));
    EXPECT_FALSE(IsEnabled(dialog_, IDC_KEY_EDIT));
    EXPECT_FALSE(IsShown(dialog_, IDC_KEY_LENGTH));
    CloseExpecting(IDOK, FALSE, settings, 0, L"");
}

TEST_F(ConnConfigDialogTest, RejectedPassphrasesWarnUnderTheDialogsCaption) {
    const RejectedEntry cases[] = {
        {L"", L"", 5024},
        {L"1234567", L"1234567", 5022},
        {L"passphrase one", L"passphrase two", 5020}, // not the base dialog's 4103
        {L"abc", L"abd", 5020},
    };
    for (const RejectedEntry& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.key)));
        ConnConfigRecord settings;
        OpenFilled(settings, 0, L"");
        ASSERT_TRUE(Click(dialog_, IDC_USE_PRIVATE));
        Type(IDC_KEY_EDIT, c.key);
        Type(IDC_CONFIRM_EDIT, c.confirmation);
        ExpectWarningOnOk(*ui_, dialog_, c.message);
        EXPECT_FALSE(ui_->HasExited());
        CloseExpecting(IDCANCEL, FALSE, settings, 0, L"");
    }
}

TEST_F(ConnConfigDialogTest, TheCcxIndicatorShowsThePolicyAndIgnoresClicks) {
    {
        ConnConfigRecord settings;
        Open(settings, FALSE);
        EXPECT_FALSE(IsShown(dialog_, IDC_CCX_ENABLED));
        EXPECT_FALSE(IsChecked(dialog_, IDC_CCX_ENABLED));
        Close(IDCANCEL);
    }
    {
        ConnConfigRecord settings;
        Open(settings, TRUE);
        EXPECT_TRUE(IsShown(dialog_, IDC_CCX_ENABLED));
        EXPECT_TRUE(IsChecked(dialog_, IDC_CCX_ENABLED));
        ASSERT_TRUE(Click(dialog_, IDC_CCX_ENABLED));
        EXPECT_TRUE(IsChecked(dialog_, IDC_CCX_ENABLED));
        Close(IDOK);
        EXPECT_EQ(FALSE, result_);
    }
}

TEST_F(ConnConfigDialogTest, AModuleWithoutTheTemplateRunsNothingAndChangesNothing) {
    const HINSTANCE shipped = ModuleInstance();
    SetModuleInstance(GetModuleHandleW(nullptr)); // this test program has no dialog 101
    ConnConfigRecord settings;
    Fill(settings, 0, StoredPassphrase);
    EXPECT_EQ(FALSE, RunConnConfigDialog(nullptr, settings, TRUE));
    SetModuleInstance(shipped);
    ExpectRecord(settings, 0, StoredPassphrase);
}

TEST_F(ConnConfigDialogTest, GermanThreadLocaleTranslatesTheControlsAndWarnings) {
    ConnConfigRecord settings;
    OpenFilled(settings, 0, L"", TRUE, German);
    EXPECT_EQ(ModuleText(4132, German), ControlText(dialog_, IDC_USE_PRIVATE));
    EXPECT_EQ(L"Private Passphrase verwenden", ControlText(dialog_, IDC_USE_PRIVATE));
    EXPECT_EQ(ModuleText(4135, German), ControlText(dialog_, IDC_HIDE_CHARACTERS));
    EXPECT_EQ(ModuleText(4136, German), ControlText(dialog_, IDC_CCX_ENABLED));
    EXPECT_EQ(ModuleText(4138, German), ControlText(dialog_, IDCANCEL));
    EXPECT_EQ(L"Abbrechen", ControlText(dialog_, IDCANCEL));
    std::vector<std::wstring> texts;
    for (HWND child = GetWindow(dialog_, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        texts.push_back(WindowText(child));
    }
    ASSERT_EQ(14u, texts.size());
    EXPECT_EQ(ModuleText(4130, German), texts[0]);
    EXPECT_EQ(ModuleText(4131, German), texts[2]);
    EXPECT_EQ(ModuleText(4133, German), texts[4]);
    EXPECT_EQ(ModuleText(4134, German), texts[7]);
    EXPECT_EQ(std::wstring(DialogCaption), WindowText(dialog_)) << "the caption is no child";

    ASSERT_TRUE(Click(dialog_, IDC_USE_PRIVATE));
    const MessageBoxContent warning = PressOkExpectingWarning(*ui_, dialog_);
    EXPECT_EQ(L"WLAN-Verbindungseinstellungen", warning.caption);
    EXPECT_EQ(ModuleText(5024, German), warning.text);
    EXPECT_NE(ModuleText(5024), warning.text);
    Close(IDCANCEL);
}

using MessageBoxFunction = int(WINAPI*)(HWND, LPCWSTR, LPCWSTR, UINT);
MessageBoxFunction g_realMessageBoxW = nullptr;
UINT g_messageBoxStyle = 0;

// Wine shows MB_RIGHT and MB_RTLREADING no differently, so the styles asked for are recorded.
int WINAPI RecordingMessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style) {
    g_messageBoxStyle = style;
    return g_realMessageBoxW(owner, text, caption, style);
}

bool IsMirrored(HWND window) {
    return (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0;
}

TEST_F(ConnConfigDialogTest, ArabicAndHebrewMirrorTheDialogAndItsWarnings) {
    ImportHook hook(L"user32.dll", "MessageBoxW", reinterpret_cast<void*>(RecordingMessageBoxW));
    ASSERT_TRUE(hook.active());
    g_realMessageBoxW = reinterpret_cast<MessageBoxFunction>(hook.original());
    const std::pair<LANGID, bool> cases[] = {
        {EnglishUs, false},
        {German, false},
        {MAKELANGID(LANG_ARABIC, SUBLANG_ARABIC_EGYPT), true},
        {MAKELANGID(LANG_HEBREW, SUBLANG_DEFAULT), true},
    };
    for (const auto& [language, mirrored] : cases) {
        SCOPED_TRACE(testing::Message() << "language " << std::hex << language);
        ConnConfigRecord settings;
        OpenFilled(settings, 0, L"", TRUE, language);
        EXPECT_EQ(mirrored, IsMirrored(dialog_));
        for (HWND child = GetWindow(dialog_, GW_CHILD); child != nullptr;
             child = GetWindow(child, GW_HWNDNEXT)) {
            EXPECT_EQ(mirrored, IsMirrored(child)) << GetDlgCtrlID(child);
        }
        // The switch sits 44 units from the template's left edge and 15 from its right one.
        RECT frame{};
        RECT box{};
        GetWindowRect(dialog_, &frame);
        GetWindowRect(ControlOf(dialog_, IDC_USE_PRIVATE), &box);
        EXPECT_EQ(mirrored, frame.right - box.right > box.left - frame.left);

        ASSERT_TRUE(Click(dialog_, IDC_USE_PRIVATE));
        g_messageBoxStyle = 0;
        EXPECT_EQ(ModuleText(5024, language), PressOkExpectingWarning(*ui_, dialog_).text);
        const UINT expected = MB_ICONEXCLAMATION | (mirrored ? MB_RTLREADING | MB_RIGHT : 0);
        EXPECT_EQ(expected, g_messageBoxStyle & (MB_ICONMASK | MB_RTLREADING | MB_RIGHT));
        Close(IDCANCEL);
    }
}

// Sound behaviour: the passphrase copies in the dialog object are wiped with it.
TEST_F(ConnConfigDialogTest, DestroyingTheObjectWipesThePassphrase) {
    ConnConfigRecord settings;
    Fill(settings, 1, StoredPassphrase);
    alignas(ConnConfigDlg) unsigned char storage[sizeof(ConnConfigDlg)];
    auto* object = new (storage) ConnConfigDlg(settings, FALSE);
    ui_ = StartOnUiThread(EnglishUs, [object] {
        DialogBoxParamW(ModuleInstance(), MAKEINTRESOURCEW(IDD_CONN_CONFIG), nullptr,
                        KeyInputDlgProc, reinterpret_cast<LPARAM>(object));
    });
    dialog_ = ui_->WaitForDialog(DialogCaption);
    ASSERT_NE(nullptr, dialog_);
    Close(IDOK);
    ASSERT_STREQ(StoredPassphrase, object->GetPrivatePassphrase());
    ASSERT_TRUE(HoldsText(storage, sizeof(storage), StoredPassphrase));
    object->~ConnConfigDlg();
    EXPECT_FALSE(HoldsText(storage, sizeof(storage), L"stored"));
}

} // namespace
