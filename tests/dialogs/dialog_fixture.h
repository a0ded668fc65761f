#pragma once

#include "dialog_driver.h"
#include "shipped_module.h"

#include "dialogs/conn_config_dlg.h"
#include "dialogs/dialog_resource.h"
#include "dialogs/key_input_dlg.h"
#include "localization/string_catalogue.h"
#include "services/module_state.h"
#include "services/string_loader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <memory>
#include <string>

// A window's device context (the screen's for null), with a font selected while it lives.
class WindowDc {
  public:
    explicit WindowDc(HWND window, HFONT font = nullptr)
        : window_(window), dc_(GetDC(window)),
          oldFont_(font != nullptr ? SelectObject(dc_, font) : nullptr) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (oldFont_ != nullptr) {
            SelectObject(dc_, oldFont_);
        }
        ReleaseDC(window_, dc_);
    }
    HDC get() const { return dc_; }

  private:
    HWND window_;
    HDC dc_;
    HGDIOBJ oldFont_;
};

constexpr LANGID EnglishUs = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr LANGID German = MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN);
constexpr wchar_t DialogCaption[] = L"WLAN Connection Settings";
constexpr UINT WarningCaptionId = 4989;

// A string of the shipped module in the given language, as the dialog would load it.
inline std::wstring ModuleText(UINT id, LANGID language = EnglishUs) {
    const LCID previous = GetThreadLocale();
    SetThreadLocale(MAKELCID(language, SORT_DEFAULT));
    wchar_t text[1024] = {};
    LoadResourceString(ModuleInstance(), id, text, 1024);
    SetThreadLocale(previous);
    return text;
}

// The dialog's thread does what an extension object's thread does around a run: it has
// the UI language as its thread locale and holds the string catalogue.
inline std::unique_ptr<UiThread> StartOnUiThread(LANGID language, std::function<void()> run) {
    return std::make_unique<UiThread>([language, run = std::move(run)] {
        SetThreadLocale(MAKELCID(language, SORT_DEFAULT));
        AcquireCatalogue();
        run();
        ReleaseCatalogue();
    });
}

// Runs the launcher on a UI thread; `result` is written when the dialog has closed.
inline std::unique_ptr<UiThread> StartConnConfigDialog(ConnConfigRecord& settings, BOOL ccxEnabled,
                                                       BOOL& result, LANGID language = EnglishUs) {
    return StartOnUiThread(language, [&settings, ccxEnabled, &result] {
        result = RunConnConfigDialog(nullptr, settings, ccxEnabled);
    });
}

// Runs a bare key-entry dialog object on template 101.
inline std::unique_ptr<UiThread> StartKeyInputDialog(KeyInputDlg& dialog,
                                                     LANGID language = EnglishUs) {
    return StartOnUiThread(language, [&dialog] {
        DialogBoxParamW(ModuleInstance(), MAKEINTRESOURCEW(IDD_CONN_CONFIG), nullptr,
                        KeyInputDlgProc, reinterpret_cast<LPARAM>(&dialog));
    });
}

class DialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        UseShippedModuleResources();
        ASSERT_NE(nullptr, ModuleInstance());
    }
};

// Whether the bytes (an object's storage) hold the text anywhere.
inline bool HoldsText(const unsigned char* bytes, size_t size, const wchar_t* text) {
    const size_t length = wcslen(text) * sizeof(wchar_t);
    for (size_t i = 0; i + length <= size; ++i) {
        if (std::memcmp(bytes + i, text, length) == 0) {
            return true;
        }
    }
    return false;
}

// The warning a press of OK raised, read and dismissed; an empty caption when none came.
inline MessageBoxContent PressOkExpectingWarning(UiThread& ui, HWND dialog) {
    if (!PostClick(dialog, IDOK)) {
        return {};
    }
    HWND box = ui.WaitForMessageBox(dialog);
    if (box == nullptr) {
        return {};
    }
    MessageBoxContent content = ReadMessageBox(box);
    EXPECT_TRUE(DismissMessageBox(ui, box));
    return content;
}

// A key and confirmation that OK rejects, and the warning it raises.
struct RejectedEntry {
    const wchar_t* key;
    const wchar_t* confirmation;
    UINT message;
};

// Presses OK and expects the exclamation warning `message` under the warning caption.
inline void ExpectWarningOnOk(UiThread& ui, HWND dialog, UINT message) {
    const MessageBoxContent warning = PressOkExpectingWarning(ui, dialog);
    EXPECT_EQ(ModuleText(WarningCaptionId), warning.caption);
    EXPECT_EQ(ModuleText(message), warning.text);
    EXPECT_EQ(LoadIconW(nullptr, IDI_EXCLAMATION), warning.icon);
}
