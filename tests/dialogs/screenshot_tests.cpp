#include "dialog_fixture.h"
#include "string_tables.h"

#include "hostkit/screenshot.h"

#include <cstdlib>

namespace {

// Pictures of the dialog in every language for the documentation, taken only when
// QMK_SCREENSHOT_DIR names a (Unix) folder; tests/dialogs/make_screenshots.sh and
// make_gallery.sh run them.
class DialogScreenshot : public DialogTest, public ::testing::WithParamInterface<Language> {};

TEST_P(DialogScreenshot, ShowsTheDialogWithATypedPassphrase) {
    const char* folder = std::getenv("QMK_SCREENSHOT_DIR");
    if (folder == nullptr || *folder == '\0') {
        GTEST_SKIP() << "QMK_SCREENSHOT_DIR not set";
    }
    const Language& language = GetParam();
    ConnConfigRecord settings;
    BOOL result = -1;
    auto ui = StartConnConfigDialog(settings, TRUE, result, language.locale);
    HWND dialog = ui->WaitForDialog(DialogCaption);
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(Click(dialog, IDC_USE_PRIVATE));
    ASSERT_TRUE(TypeInto(*ui, dialog, IDC_KEY_EDIT, L"correct horse battery"));
    ASSERT_TRUE(TypeInto(*ui, dialog, IDC_CONFIRM_EDIT, L"correct horse"));
    ASSERT_TRUE(FocusControl(dialog, IDC_CONFIRM_EDIT));
    const std::string picture = std::string(folder) + "/conn_config_" + language.name + ".png";
    std::wstring why;
    EXPECT_TRUE(SaveScreenshot(*ui, dialog, std::wstring(picture.begin(), picture.end()), why))
        << why;
    ASSERT_TRUE(PostClick(dialog, IDCANCEL));
    ASSERT_TRUE(ui->WaitForExit());
}

INSTANTIATE_TEST_SUITE_P(AllLanguages, DialogScreenshot, ::testing::ValuesIn(Languages),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
