#include "dialog_driver.h"
#include "extension_fixture.h"
#include "import_hook.h"
#include "refused_calls.h"
#include "shipped_module.h"
#include "xml_compare.h"

#include "dialogs/dialog_resource.h"
#include "fragments/dpt_settings.h"
#include "fragments/fragment_text.h"
#include "fragments/xml_document.h"
#include "services/string_loader.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>

namespace {

// {3F2504E0-4F89-11D3-9A0C-0305E82C3301}
const GUID AdapterGuid = {
    0x3F2504E0, 0x4F89, 0x11D3, {0x9A, 0x0C, 0x03, 0x05, 0xE8, 0x2C, 0x33, 0x01}};
constexpr wchar_t AdapterId[] = L"{3F2504E0-4F89-11D3-9A0C-0305E82C3301}";
constexpr wchar_t HostCaption[] = L"Host window";
constexpr wchar_t DialogCaption[] = L"WLAN Connection Settings";

std::wstring ModuleText(UINT id) {
    wchar_t text[1024] = {};
    LoadResourceString(ShippedModule(), id, text, 1024);
    return text;
}

std::wstring Ccx(const std::wstring& body) {
    return L"<CCX xmlns=\"any\">" + body + L"</CCX>";
}

std::wstring Radio(const std::wstring& max, const std::wstring& min) {
    return L"<RadioMeasurement><enabled><MaxOffChannelTimeMs>" + max +
           L"</MaxOffChannelTimeMs><MinOnChannelTimeMs>" + min +
           L"</MinOnChannelTimeMs></enabled></RadioMeasurement>";
}

const std::wstring ValidRadio = Radio(L"50", L"400");

std::wstring Dpt(const std::wstring& use, const std::wstring& passphrase,
                 const std::wstring& encryption) {
    std::wstring key;
    if (!passphrase.empty()) {
        UniqueBstr hex = ProtectPassphrase(passphrase.c_str());
        key = L"<DPTPrivateKey>" + std::wstring(hex ? hex.get() : L"") + L"</DPTPrivateKey>";
    }
    return L"<DPT xmlns=\"dptv1\"><useDPTPrivateKey>" + use + L"</useDPTPrivateKey>" + key +
           L"<DPTEncryption>" + encryption + L"</DPTEncryption></DPT>";
}

const std::wstring DefaultCcx =
    Ccx(L"<RadioMeasurement><enabled><MaxOffChannelTimeMs>50</MaxOffChannelTimeMs>"
        L"<MinOnChannelTimeMs>400</MinOnChannelTimeMs></enabled></RadioMeasurement>"
        L"<Diagnostics><AuthorizedProfile>false</AuthorizedProfile><Channel><SSID><Hex>"
        L"446961676E6F73746963204368616E6E656C</Hex></SSID><EnableClientReporting>false"
        L"</EnableClientReporting></Channel></Diagnostics>");
const std::wstring DefaultDpt = L"<DPT xmlns=\"dptv1\"><useDPTPrivateKey>false</useDPTPrivateKey>"
                                L"<DPTEncryption>None</DPTEncryption></DPT>";

std::wstring Compatible(const std::wstring& inner) {
    return L"<Quilmark xmlns=\"v1\">" + inner + L"</Quilmark>";
}

// The CCX fragment with the DPT fragment as its last child.
std::wstring Nested(const std::wstring& ccx, const std::wstring& dpt) {
    const size_t end = ccx.rfind(L"</CCX>");
    return ccx.substr(0, end) + dpt + ccx.substr(end);
}

DptSettings DptOf(const std::wstring& section) {
    DptSettings settings;
    EXPECT_HR(S_OK, ReadDptFragment(settings, section.c_str()));
    return settings;
}

struct EditResult {
    HRESULT hr = E_FAIL;
    BOOL changed = 7;
    bool textStored = false;  // the out value was written with a text
    bool textWritten = false; // the out value was written, with a text or null
    std::wstring section;
};

class EditSettingsTest : public RegisteredExtensionTest {
  protected:
    void TearDown() override {
        ui_.reset();
        RegisteredExtensionTest::TearDown();
    }

    void GiveAdapterDpt(const wchar_t* dptEnable) {
        const std::wstring key = AdapterInstanceKey(AdapterKeyNames[0]);
        ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, key, L"NetCfgInstanceId", AdapterId));
        ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, key, L"DPTEnable", dptEnable));
    }
    void SetPolicy(const wchar_t* name, DWORD value) {
        ASSERT_TRUE(SetRegDword(HKEY_LOCAL_MACHINE, PolicyKey(), name, value));
    }

    // EditSettings of the connectivity property on a UI thread of its own, as the host runs
    // it, with a visible host window as the parent.
    void Start(std::optional<std::wstring> vendorText, bool withAdapter) {
        result_ = {};
        ui_ = std::make_unique<UiThread>([this, vendorText, withAdapter] {
            ComApartment apartment;
            HWND host = CreateWindowExW(0, L"STATIC", HostCaption, WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                        0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
            ComPtr<IDot11ExtUI> root = CreateRoot();
            PropertyList properties = Enumerate(root.Get(), DOT11_EXT_UI_CONNECTION);
            if (properties.objects.size() == 1) {
                UniqueBstr text(vendorText ? SysAllocString(vendorText->c_str()) : nullptr);
                DOT11EXT_IHV_PARAMS record{};
                record.interfaceGuid = AdapterGuid;
                BSTR section = SentinelBstr();
                result_.hr = properties.objects[0]->EditSettings(
                    host, text.get(), withAdapter ? &record : nullptr, &section, &result_.changed);
                result_.textWritten = section != SentinelBstr();
                result_.textStored = result_.textWritten && section != nullptr;
                if (result_.textStored) {
                    UniqueBstr owned(section);
                    result_.section = section;
                }
            }
            DestroyWindow(host);
        });
        host_ = ui_->WaitForWindow([](HWND window) { return WindowText(window) == HostCaption; });
        ASSERT_NE(nullptr, host_);
    }

    // The notice box, read and dismissed as a person would.
    MessageBoxContent DismissNotice() {
        HWND box = ui_->WaitForMessageBox(host_);
        if (box == nullptr) {
            ADD_FAILURE() << "no notice";
            return {};
        }
        MessageBoxContent content = ReadMessageBox(box);
        EXPECT_TRUE(DismissMessageBox(*ui_, box));
        return content;
    }

    HWND WaitForDialog() { return ui_->WaitForDialog(DialogCaption); }

    EditResult Finish() {
        EXPECT_TRUE(ui_->WaitForExit());
        ui_.reset();
        return result_;
    }

    // The notice path from start to end.
    EditResult EditWithNotice(std::optional<std::wstring> vendorText, UINT expectedText = 4988) {
        Start(std::move(vendorText), false);
        const MessageBoxContent notice = DismissNotice();
        EXPECT_EQ(ModuleText(4989), notice.caption);
        EXPECT_EQ(ModuleText(expectedText), notice.text);
        return Finish();
    }

    std::unique_ptr<UiThread> ui_;
    HWND host_ = nullptr;
    EditResult result_;
};

TEST_F(EditSettingsTest, MissingOutputsAreRefusedAndTheOtherIsUntouched) {
    ComPtr<IDot11ExtUI> root = CreateRoot();
    ASSERT_TRUE(root);
    PropertyList properties = Enumerate(root.Get(), DOT11_EXT_UI_CONNECTION);
    ASSERT_EQ(1u, properties.objects.size());
    IDot11ExtUIProperty* property = properties.objects[0].Get();
    BSTR section = SentinelBstr();
    BOOL changed = 7;
    EXPECT_HR(E_INVALIDARG, property->EditSettings(nullptr, nullptr, nullptr, nullptr, &changed));
    EXPECT_EQ(7, changed);
    EXPECT_HR(E_INVALIDARG, property->EditSettings(nullptr, nullptr, nullptr, &section, nullptr));
    EXPECT_EQ(SentinelBstr(), section);
}

TEST_F(EditSettingsTest, TheOtherOperationsOfTheConnectivityProperty) {
    ComPtr<IDot11ExtUI> root = CreateRoot();
    ASSERT_TRUE(root);
    PropertyList properties = Enumerate(root.Get(), DOT11_EXT_UI_CONNECTION);
    ASSERT_EQ(1u, properties.objects.size());
    IDot11ExtUIProperty* property = properties.objects[0].Get();
    EXPECT_EQ(L"CCX Connectivity Settings (Sample)", PropertyName(property));
    EXPECT_HR(E_POINTER, property->QueryPropertyName(nullptr));
    BOOL flag = 7;
    EXPECT_HR(S_OK, property->QueryPropertyFlag(&flag));
    EXPECT_EQ(TRUE, flag);
    EXPECT_HR(E_INVALIDARG, property->QueryPropertyFlag(nullptr));
    BSTR text = nullptr;
    LONG option = 0;
    CipherChoice chosen{};
    EXPECT_HR(E_NOTIMPL, property->MatchesProfile(nullptr, nullptr, &flag));
    EXPECT_HR(E_NOTIMPL, property->ApplyToProfile(nullptr, nullptr, &text, &flag));
    EXPECT_HR(E_NOTIMPL,
              property->QueryCipherList(FALSE, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_HR(E_NOTIMPL, property->ApplyCipher(FALSE, nullptr, nullptr, &chosen, &text, &flag));
    EXPECT_HR(E_NOTIMPL, property->QueryEntryOptions(&flag, &option));
}

TEST_F(EditSettingsTest, NoVendorTextGivesTheDefaultsInTheCompatibleLayout) {
    const EditResult result = EditWithNotice(std::nullopt);
    EXPECT_HR(S_OK, result.hr);
    EXPECT_EQ(TRUE, result.changed);
    ASSERT_TRUE(result.textStored);
    EXPECT_SAME_XML(Compatible(DefaultCcx + DefaultDpt), result.section);
}

TEST_F(EditSettingsTest, AnEmptyVendorTextIsLeftAlone) {
    const EditResult result = EditWithNotice(L"");
    EXPECT_HR(S_OK, result.hr);
    EXPECT_EQ(FALSE, result.changed);
    EXPECT_TRUE(result.textWritten) << "the host's uninitialised text was left as it was";
    EXPECT_FALSE(result.textStored);
}

TEST_F(EditSettingsTest, TheNoticeFollowsEnableCcx) {
    struct Case {
        const char* name;
        bool setPolicy;
        DWORD enableCcx;
        bool withAdapter;
        const wchar_t* dptEnable; // null: no adapter instance
        UINT text;
    } cases[] = {
        {"no record, policy absent", false, 0, false, nullptr, 4988},
        {"no record, EnableCCX 1", true, 1, false, nullptr, 4988},
        {"no record, EnableCCX 0", true, 0, false, nullptr, 5038},
        {"no record, EnableCCX 2", true, 2, false, nullptr, 5038},
        {"adapter unknown", true, 1, true, nullptr, 4988},
        {"adapter without DPT, EnableCCX 0", true, 0, true, L"0", 5038},
        // The record is ignored when no adapter record is given, even for a DPT adapter.
        {"DPT adapter but no record", true, 0, false, L"1", 5038},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(DeleteKeyTree(HKEY_LOCAL_MACHINE, PolicyKey()));
        ASSERT_TRUE(DeleteKeyTree(HKEY_LOCAL_MACHINE, AdapterInstanceKey(AdapterKeyNames[0])));
        if (c.setPolicy) {
            SetPolicy(L"EnableCCX", c.enableCcx);
        }
        if (c.dptEnable != nullptr) {
            GiveAdapterDpt(c.dptEnable);
        }
        Start(Ccx(ValidRadio), c.withAdapter);
        const MessageBoxContent notice = DismissNotice();
        EXPECT_EQ(ModuleText(4989), notice.caption) << c.name;
        EXPECT_EQ(ModuleText(c.text), notice.text) << c.name;
        const EditResult result = Finish();
        EXPECT_HR(S_OK, result.hr) << c.name;
        EXPECT_EQ(FALSE, result.changed) << c.name;
        EXPECT_FALSE(result.textStored) << c.name;
    }
}

TEST_F(EditSettingsTest, ValidityRulesAtTheirBounds) {
    struct Case {
        const char* name;
        std::wstring vendorText;
        BOOL changed;
    } cases[] = {
        {"valid", Ccx(ValidRadio), FALSE},
        {"off-channel 10", Ccx(Radio(L"10", L"400")), FALSE},
        {"off-channel 9", Ccx(Radio(L"9", L"400")), TRUE},
        {"off-channel 51", Ccx(Radio(L"51", L"400")), TRUE},
        {"off-channel -5", Ccx(Radio(L"-5", L"400")), TRUE},
        {"on-channel 0", Ccx(Radio(L"50", L"0")), FALSE},
        {"on-channel 500", Ccx(Radio(L"50", L"500")), FALSE},
        {"on-channel 501", Ccx(Radio(L"50", L"501")), TRUE},
        {"off-channel missing",
         Ccx(L"<RadioMeasurement><enabled><MinOnChannelTimeMs>400</MinOnChannelTimeMs>"
             L"</enabled></RadioMeasurement>"),
         TRUE},
        {"radio disabled, times not tested",
         Ccx(L"<RadioMeasurement><disabled/><enabled><MaxOffChannelTimeMs>99"
             L"</MaxOffChannelTimeMs></enabled></RadioMeasurement>"),
         FALSE},
        {"keep-alive 255",
         Ccx(ValidRadio + L"<KeepAliveTimer><Period>255</Period></KeepAliveTimer>"), FALSE},
        {"keep-alive 256",
         Ccx(ValidRadio + L"<KeepAliveTimer><Period>256</Period></KeepAliveTimer>"), TRUE},
        {"invalid SSID passes",
         Ccx(ValidRadio + L"<Diagnostics><Channel><SSID><Hex>4G</Hex></SSID></Channel>"
                          L"</Diagnostics>"),
         FALSE},
        {"DPT AES with 7 characters", Ccx(ValidRadio) + Dpt(L"true", L"1234567", L"AES"), TRUE},
        {"DPT AES with 8 characters", Ccx(ValidRadio) + Dpt(L"true", L"12345678", L"AES"), FALSE},
        {"DPT AES with 64 characters",
         Ccx(ValidRadio) + Dpt(L"true", std::wstring(64, L'a'), L"AES"), FALSE},
        {"DPT None with 7 characters", Ccx(ValidRadio) + Dpt(L"true", L"1234567", L"None"), FALSE},
        {"DPT AES, no private key, 7 characters",
         Ccx(ValidRadio) + Dpt(L"false", L"1234567", L"AES"), FALSE},
        {"DPT not well-formed", Ccx(ValidRadio) + L"<DPT><useDPTPrivateKey>true</DPT>", FALSE},
    };
    for (const Case& c : cases) {
        const EditResult result = EditWithNotice(c.vendorText);
        EXPECT_HR(S_OK, result.hr) << c.name;
        EXPECT_EQ(c.changed, result.changed) << c.name;
        EXPECT_EQ(c.changed != FALSE, result.textStored) << c.name;
    }
}

TEST_F(EditSettingsTest, WhatFailsIsResetToItsDefaults) {
    // Off-channel time out of range: the CCX defaults, the keep-alive timer stays with period 0.
    EditResult result = EditWithNotice(
        Ccx(Radio(L"51", L"400") + L"<KeepAliveTimer><Period>256</Period></KeepAliveTimer>") +
        Dpt(L"false", L"", L"None"));
    ASSERT_TRUE(result.textStored);
    // The timer stands between RadioMeasurement and Diagnostics.
    const size_t diagnostics = DefaultCcx.find(L"<Diagnostics>");
    const std::wstring expectedCcx = DefaultCcx.substr(0, diagnostics) +
                                     L"<KeepAliveTimer><Period>0</Period></KeepAliveTimer>" +
                                     DefaultCcx.substr(diagnostics);
    EXPECT_SAME_XML(Compatible(expectedCcx + DefaultDpt), result.section);

    // A rejected DPT passphrase: use off, passphrase gone, "None"; the valid CCX stays.
    result = EditWithNotice(Ccx(ValidRadio) + Dpt(L"true", L"1234567", L"AES"));
    ASSERT_TRUE(result.textStored);
    EXPECT_SAME_XML(Compatible(Ccx(ValidRadio) + DefaultDpt), result.section);
}

TEST_F(EditSettingsTest, TheNestedLayoutWithoutCompatibility) {
    SetPolicy(L"QuilProfileCompatible", 0);
    const EditResult result = EditWithNotice(std::nullopt);
    ASSERT_TRUE(result.textStored);
    EXPECT_SAME_XML(Nested(DefaultCcx, DefaultDpt), result.section);
}

TEST_F(EditSettingsTest, AnyOtherCompatibilityValueKeepsTheNestedLayout) {
    SetPolicy(L"QuilProfileCompatible", 2);
    const EditResult result = EditWithNotice(std::nullopt);
    ASSERT_TRUE(result.textStored);
    EXPECT_SAME_XML(Nested(DefaultCcx, DefaultDpt), result.section);
}

// Without a vendor text the only documents are the two writers' (CCX first, then DPT): a
// writer that gives no text fails the call in either layout, with no text and changed 0; a
// failed CCX writer ends the call before the DPT writer runs.
TEST_F(EditSettingsTest, AWriterThatGivesNoTextFailsTheCall) {
    for (DWORD compatible : {1u, 0u}) {
        SetPolicy(L"QuilProfileCompatible", compatible);
        for (unsigned failing : {0u, 1u}) {
            // A creation refused for another reason than memory passes its own answer on.
            const HRESULT refusal = failing == 1 ? E_ACCESSDENIED : E_OUTOFMEMORY;
            RefusedCalls refused(ShippedModule(), RefuseDocuments, failing, refusal);
            ASSERT_TRUE(refused.active());
            const EditResult result = EditWithNotice(std::nullopt);
            EXPECT_EQ(failing + 1, refused.count()) << compatible << failing;
            EXPECT_HR(refusal, result.hr) << compatible << failing;
            EXPECT_EQ(FALSE, result.changed) << compatible << failing;
            EXPECT_FALSE(result.textStored) << compatible << failing;
        }
    }
}

class EditSettingsDialogTest : public EditSettingsTest {
  protected:
    void SetUp() override {
        EditSettingsTest::SetUp();
        GiveAdapterDpt(L"1");
    }
    HWND OpenDialog(std::optional<std::wstring> vendorText) {
        Start(std::move(vendorText), true);
        HWND dialog = WaitForDialog();
        EXPECT_NE(nullptr, dialog);
        return dialog;
    }
    void SetPassphrase(HWND dialog, const std::wstring& passphrase) {
        if (!IsChecked(dialog, IDC_USE_PRIVATE)) {
            ASSERT_TRUE(Click(dialog, IDC_USE_PRIVATE));
        }
        ASSERT_TRUE(TypeInto(*ui_, dialog, IDC_KEY_EDIT, passphrase));
        ASSERT_TRUE(TypeInto(*ui_, dialog, IDC_CONFIRM_EDIT, passphrase));
    }
    void Press(HWND dialog, int button) { ASSERT_TRUE(PostClick(dialog, button)); }
};

TEST_F(EditSettingsDialogTest, ANewPassphraseIsStoredProtected) {
    HWND dialog = OpenDialog(Ccx(ValidRadio) + Dpt(L"false", L"", L"AES"));
    ASSERT_NE(nullptr, dialog);
    // The policy key is absent, so CCX counts as enabled and its indicator shows.
    EXPECT_TRUE(IsShown(dialog, IDC_CCX_ENABLED));
    SetPassphrase(dialog, L"a private passphrase");
    Press(dialog, IDOK);
    const EditResult result = Finish();
    EXPECT_HR(S_OK, result.hr);
    EXPECT_EQ(TRUE, result.changed);
    ASSERT_TRUE(result.textStored);
    const DptSettings dpt = DptOf(result.section);
    EXPECT_EQ(1, dpt.usePrivateKey);
    EXPECT_STREQ(L"a private passphrase", dpt.passphrase);
    EXPECT_EQ(DptEncryptionAes, dpt.encryption);
    // The passphrase itself is nowhere in the text.
    EXPECT_EQ(std::wstring::npos, result.section.find(L"a private passphrase"));

    // Edited again and cancelled, the section it made stands as it is.
    dialog = OpenDialog(result.section);
    ASSERT_NE(nullptr, dialog);
    EXPECT_TRUE(IsChecked(dialog, IDC_USE_PRIVATE));
    Press(dialog, IDCANCEL);
    const EditResult again = Finish();
    EXPECT_EQ(FALSE, again.changed);
    EXPECT_FALSE(again.textStored);
}

TEST_F(EditSettingsDialogTest, CancelKeepsWhatValidationReset) {
    HWND dialog = OpenDialog(std::nullopt);
    ASSERT_NE(nullptr, dialog);
    Press(dialog, IDCANCEL);
    const EditResult result = Finish();
    EXPECT_EQ(TRUE, result.changed);
    EXPECT_SAME_XML(Compatible(DefaultCcx + DefaultDpt), result.section);
}

TEST_F(EditSettingsDialogTest, ARejectedPassphraseWarnsAndTheDialogStays) {
    SetPolicy(L"EnableCCX", 0);
    HWND dialog = OpenDialog(Ccx(ValidRadio));
    ASSERT_NE(nullptr, dialog);
    EXPECT_FALSE(IsShown(dialog, IDC_CCX_ENABLED));
    SetPassphrase(dialog, L"short");
    Press(dialog, IDOK);
    HWND box = ui_->WaitForMessageBox(dialog);
    ASSERT_NE(nullptr, box);
    const MessageBoxContent warning = ReadMessageBox(box);
    EXPECT_EQ(ModuleText(4989), warning.caption);
    EXPECT_EQ(ModuleText(5022), warning.text);
    ASSERT_TRUE(DismissMessageBox(*ui_, box));
    // A box selects all its text when it takes the focus: the new text replaces the old.
    ASSERT_TRUE(TypeInto(*ui_, dialog, IDC_KEY_EDIT, L"short enough"));
    ASSERT_TRUE(TypeInto(*ui_, dialog, IDC_CONFIRM_EDIT, L"short enough"));
    Press(dialog, IDOK);
    const EditResult result = Finish();
    EXPECT_EQ(TRUE, result.changed);
    EXPECT_STREQ(L"short enough", DptOf(result.section).passphrase);
}

// An empty vendor section gives a CCX fragment without children: nested, the DPT fragment
// stands alone; in the compatible layout the empty CCX element stays.
TEST_F(EditSettingsDialogTest, BothLayoutsWhenOnlyTheDialogChangedSomething) {
    const std::wstring emptyCcx = L"<CCX xmlns=\"any\"/>";
    for (DWORD compatible : {0u, 1u}) {
        SetPolicy(L"QuilProfileCompatible", compatible);
        HWND dialog = OpenDialog(L"");
        ASSERT_NE(nullptr, dialog);
        ASSERT_TRUE(Click(dialog, IDC_USE_PRIVATE));
        ASSERT_TRUE(TypeInto(*ui_, dialog, IDC_KEY_EDIT, L"0123456789abcdef"));
        ASSERT_TRUE(TypeInto(*ui_, dialog, IDC_CONFIRM_EDIT, L"0123456789ABCDEF"));
        Press(dialog, IDOK);
        const EditResult result = Finish();
        EXPECT_EQ(TRUE, result.changed) << compatible;
        ASSERT_TRUE(result.textStored) << compatible;
        const std::optional<std::wstring> dpt = ExtractFragment(result.section.c_str(), L"DPT");
        ASSERT_TRUE(dpt) << compatible;
        EXPECT_SAME_XML(compatible ? Compatible(emptyCcx + *dpt) : *dpt, result.section);
        EXPECT_STREQ(L"0123456789abcdef", DptOf(result.section).passphrase);
    }
}

} // namespace
