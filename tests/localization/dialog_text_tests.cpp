#include "localization_fixture.h"
#include "test_resources.h"

#include "common/owners.h"
#include "localization/dialog_text.h"

#include <string>

namespace {

const std::wstring Leader(100, L'.');

INT_PTR CALLBACK IdleDialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

std::wstring WindowText(HWND window) {
    wchar_t text[4096] = {};
    GetWindowTextW(window, text, static_cast<int>(std::size(text)));
    return text;
}

struct ExpectedText {
    int control;
    std::wstring text;
};

class DialogTextTest : public LocalizationTest {
  protected:
    void SetUp() override {
        LocalizationTest::SetUp();
        dialog_.reset(CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(TestDialog),
                                         nullptr, IdleDialogProc, 0));
        ASSERT_TRUE(dialog_) << "CreateDialogParamW failed: " << GetLastError();
        // Longer than the 2047 characters a control text is read with.
        SetDlgItemTextW(dialog_.get(), TestLongText, std::wstring(3000, L'x').c_str());
    }
    HWND dialog() const { return dialog_.get(); }
    void ExpectTexts(const ExpectedText* begin, const ExpectedText* end) {
        for (const ExpectedText* e = begin; e != end; ++e) {
            EXPECT_EQ(e->text, WindowText(GetDlgItem(dialog(), e->control))) << e->control;
        }
    }

  private:
    UniqueWindow dialog_;
};

TEST_F(DialogTextTest, TranslatesEveryChildIntoTheThreadLanguage) {
    Acquire();
    UseThreadLanguage(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN));
    TranslateChildTexts(dialog());
    const ExpectedText expected[] = {
        {TestAdd, L"Hinzufügen"},
        {TestLeader, L"Passphrase bestätigen:" + Leader},
        {TestStatic, L""},
        {TestEmptyEdit, L""},
        {TestUnknown, L"Not a text of any table"},
        {TestHide, L"Zeichen ausblenden"},
        {TestDotsOnly, L""},
        {TestThreeDots, L""},
        {TestStaticLeader, Leader},
        {TestWrongCase, L"hide characters"},
        {TestUntranslatedMark, L""},
        {TestLongText, std::wstring(2047, L'x')},
        {TestInnerRun, L"Add.....Cancel"},
        {IDOK, L"OK"},
        {IDCANCEL, L"Abbrechen"},
    };
    ExpectTexts(std::begin(expected), std::end(expected));
    // The caption is not a child and stays as the template has it.
    EXPECT_EQ(L"WLAN Connection Settings", WindowText(dialog()));
}

TEST_F(DialogTextTest, WithoutACatalogueOnlyPlaceholdersChange) {
    UseThreadLanguage(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN));
    TranslateChildTexts(dialog());
    const ExpectedText expected[] = {
        {TestAdd, L"Add"},
        {TestLeader, L"Confirm passphrase:" + Leader},
        {TestStatic, L""},
        {TestEmptyEdit, L""},
        {TestHide, L"Hide characters"},
        {TestThreeDots, L""},
        {TestStaticLeader, Leader},
        {TestUntranslatedMark, L""},
        {IDCANCEL, L"Cancel"},
    };
    ExpectTexts(std::begin(expected), std::end(expected));
}

TEST_F(DialogTextTest, TranslatesIntoJapanese) {
    Acquire();
    UseThreadLanguage(MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN));
    TranslateChildTexts(dialog());
    EXPECT_EQ(L"追加", WindowText(GetDlgItem(dialog(), TestAdd)));
    EXPECT_EQ(ExactString(ShippedModule(), 4134, MAKELANGID(LANG_JAPANESE, SUBLANG_NEUTRAL)) +
                  Leader,
              WindowText(GetDlgItem(dialog(), TestLeader)));
}

TEST_F(DialogTextTest, TranslatedTextsAreNotTranslatedAgain) {
    Acquire();
    UseThreadLanguage(MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN));
    TranslateChildTexts(dialog());
    TranslateChildTexts(dialog());
    EXPECT_EQ(L"Hinzufügen", WindowText(GetDlgItem(dialog(), TestAdd)));
    EXPECT_EQ(L"Passphrase bestätigen:" + Leader, WindowText(GetDlgItem(dialog(), TestLeader)));
}

} // namespace
