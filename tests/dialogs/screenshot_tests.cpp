#include "dialog_fixture.h"

#include <cstdlib>

namespace {

// Pictures of the dialog for the documentation, taken only when QMK_SCREENSHOT_DIR names a
// (Unix) folder; tests/dialogs/make_screenshots.sh runs them.
class DialogScreenshot : public DialogTest,
                         public ::testing::WithParamInterface<std::pair<LANGID, const char*>> {};

TEST_P(DialogScreenshot, ShowsTheDialogWithATypedPassphrase) {
    const char* folder = std::getenv("QMK_SCREENSHOT_DIR");
    if (folder == nullptr || *folder == '\0') {
        GTEST_SKIP() << "QMK_SCREENSHOT_DIR not set";
    }
    const auto [language, name] = GetParam();
    DptSettings settings;
    BOOL result = -1;
    auto ui = StartConnConfigDialog(settings, TRUE, result, language);
    HWND dialog = ui->WaitForDialog(DialogCaption);
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(Click(dialog, IDC_USE_PRIVATE));
    ASSERT_TRUE(TypeInto(*ui, dialog, IDC_KEY_EDIT, L"correct horse battery"));
    ASSERT_TRUE(TypeInto(*ui, dialog, IDC_CONFIRM_EDIT, L"correct horse"));
    ASSERT_TRUE(FocusControl(dialog, IDC_CONFIRM_EDIT));
    EXPECT_TRUE(SaveScreenshot(dialog, std::string(folder) + "/conn_config_" + name + ".png"));
    ASSERT_TRUE(PostClick(dialog, IDCANCEL));
    ASSERT_TRUE(ui->WaitForExit());
}

INSTANTIATE_TEST_SUITE_P(
    Languages, DialogScreenshot,
    ::testing::Values(std::make_pair(EnglishUs, "en"), std::make_pair(German, "de"),
                      std::make_pair(MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT), "ja")),
    [](const auto& info) { return std::string(info.param.second); });

} // namespace
