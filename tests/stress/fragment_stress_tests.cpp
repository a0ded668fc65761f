// Generated vendor sections and fragments through the readers, the writers, EditSettings on
// the notice path and every operation of both key properties. For every input: no crash or
// hang, the records within their bounds, every text handed back null or a fragment that
// reads back, every HRESULT one the interface allows.
#include "fragment_generator.h"
#include "stress_support.h"
#include "xml_compare.h"

#include "extension/ext_ui_con.h"
#include "extension/key_names.h"
#include "extension/key_property_table.h"
#include "extension/vendor_section.h"
#include "fragments/ccx_network_type.h"
#include "fragments/ccx_settings.h"
#include "fragments/dpt_settings.h"
#include "fragments/xml_document.h"
#include "services/module_state.h"
#include "services/string_loader.h"

#include <chrono>
#include <map>
#include <cstddef>
#include <cstring>
#include <cwchar>

namespace {

constexpr std::uint32_t GeneratorSeed = 20261209;

// scripts/stress sets QMK_STRESS_INPUTS=100000; scripts/test runs the short default.
unsigned InputCount() {
    return ScaleFromEnvironment(L"QMK_STRESS_INPUTS", 120);
}

BSTR Untouched() {
    return reinterpret_cast<BSTR>(static_cast<uintptr_t>(0xDEADBEEF));
}

// Hexadecimal texts of passphrases protected on this machine: valid lengths, too short, and
// one longer than the record holds (protected directly, as no writer of ours would).
std::vector<std::wstring> ProtectedPassphrases() {
    std::vector<std::wstring> texts;
    for (const wchar_t* passphrase :
         {L"correct horse battery", L"12345678", L"1234567",
          L"0123456789abcdef0123456789ABCDEF0123456789abcdef0123456789ABCDEF",
          L"\xD83D\xDE00 non-BMP passphrase"}) {
        UniqueBstr text = ProtectPassphrase(passphrase);
        if (text) {
            texts.emplace_back(text.get());
        }
    }
    std::wstring tooLong(100, L'x');
    DATA_BLOB input{};
    input.cbData = static_cast<DWORD>((tooLong.size() + 1) * sizeof(wchar_t));
    input.pbData = reinterpret_cast<BYTE*>(tooLong.data());
    SecureBlob output;
    if (CryptProtectData(&input, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_LOCAL_MACHINE,
                         output.put())) {
        std::wstring hex(2 * output.get().cbData + 1, L'\0');
        EncodeHexBytes(output.get().pbData, output.get().cbData, hex.data());
        hex.pop_back();
        texts.push_back(hex);
    }
    return texts;
}

// Generated inputs, checked one after the other; Base supplies the apartment (and, for the
// tests that read the policy, the registry keys).
template <typename Base> class GeneratedInputTest : public Base {
  protected:
    void SetUp() override {
        Base::SetUp();
        factory_ = ModuleFactory();
        ASSERT_TRUE(factory_);
        generator_ = std::make_unique<FragmentGenerator>(GeneratorSeed, ProtectedPassphrases());
    }

    void TearDown() override {
        factory_.Reset();
        EXPECT_EQ(0, ObjectCount());
        Base::TearDown();
    }

    // Runs check on every input, stopping at the first that fails; reports the slowest.
    template <typename Check>
    void ForEachInput(Check check, FragmentGenerator::Base base = FragmentGenerator::Base::Any) {
        const unsigned count = InputCount();
        double slowest = 0;
        std::uint32_t slowestIndex = 0;
        auto make = [&](std::uint32_t i) {
            // Every other input of the key-property run is a network-type fragment.
            return generator_->Make(i, i % 2 == 0 ? FragmentGenerator::Base::Any : base);
        };
        for (std::uint32_t i = 0; i < count; ++i) {
            const GeneratedText input = make(i);
            SCOPED_TRACE(testing::Message() << "input " << i << " (" << input.recipe << ", "
                                            << input.text.size() << " units)");
            const auto start = std::chrono::steady_clock::now();
            check(i, input.text);
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (seconds > slowest) {
                slowest = seconds;
                slowestIndex = i;
            }
            if (::testing::Test::HasFailure()) {
                return;
            }
        }
        // A hang shows as a timeout of the whole test; a slow input as this bound.
        EXPECT_LT(slowest, 30.0) << "input " << slowestIndex;
        std::printf("%u inputs, slowest %.3f s (input %u: %s)\n", count, slowest, slowestIndex,
                    make(slowestIndex).recipe.c_str());
        for (const auto& [what, times] : seen_) {
            std::printf("  %-40s %u\n", what.c_str(), times);
        }
        std::fflush(stdout);
    }

    // What the inputs made the code do, printed with the run: evidence that the checks met
    // the cases they are about.
    void Saw(const char* what) { ++seen_[what]; }

    ComPtr<IClassFactory> factory_;
    std::unique_ptr<FragmentGenerator> generator_;
    std::map<std::string, unsigned> seen_;
};

// Readers, writers and key properties read no registry value: these tests run beside others.
using FragmentStressTest = GeneratedInputTest<ComTest>;

// EditSettings reads the policy, which the test sets.
class NoticeStressTest : public GeneratedInputTest<StressRegistryTest> {
  protected:
    NoticeStressTest() { OwnKey(HKEY_LOCAL_MACHINE, PolicyKeyPath); }
};

// --- readers and writers ---

void ExpectWithin(int value, int low, int high, const char* field) {
    EXPECT_TRUE(value >= low && value <= high) << field << " = " << value;
}

void CheckCcxRecord(const CcxSettings& settings) {
    ExpectWithin(settings.radioMeasurement, -1, 1, "radioMeasurement");
    ExpectWithin(settings.locationBasedServices, -1, 1, "locationBasedServices");
    ExpectWithin(settings.enableClientReporting, -2, 1, "enableClientReporting");
    ExpectWithin(settings.authorizedProfile, -2, 1, "authorizedProfile");
    ExpectWithin(settings.keepAliveEnabled, 0, 1, "keepAliveEnabled");
    ExpectWithin(settings.diagnosticSsidLength, CcxInvalid, static_cast<int>(SsidCapacity),
                 "diagnosticSsidLength");
}

std::wstring CanonicalOf(const UniqueBstr& text) {
    return text ? CanonicalXml(text.get()) : L"<null>";
}

// What the writer makes loads; writing what reads back from it is stable.
void CheckCcxReadsBack(const CcxSettings& settings) {
    UniqueBstr first;
    ASSERT_HR(S_OK, WriteCcxSettings(settings, first));
    EXPECT_TRUE(CreateLoadedDocument(first.get()));
    CcxSettings second;
    second.SetNotSet();
    ReadCcxSettings(second, first.get());
    CheckCcxRecord(second);
    UniqueBstr secondText;
    WriteCcxSettings(second, secondText);
    CcxSettings third;
    third.SetNotSet();
    ReadCcxSettings(third, secondText.get());
    UniqueBstr thirdText;
    WriteCcxSettings(third, thirdText);
    EXPECT_EQ(CanonicalOf(secondText), CanonicalOf(thirdText));
}

void CheckDptRecord(const DptSettings& settings) {
    ExpectWithin(settings.usePrivateKey, 0, 1, "usePrivateKey");
    EXPECT_TRUE(settings.encryption == DptEncryptionNone || settings.encryption == DptEncryptionAes)
        << settings.encryption;
    const std::size_t length = wcsnlen(settings.passphrase, PassphraseCapacity);
    ASSERT_LT(length, static_cast<std::size_t>(PassphraseCapacity)) << "passphrase unterminated";
    for (std::size_t i = length; i < static_cast<std::size_t>(PassphraseCapacity); ++i) {
        EXPECT_EQ(L'\0', settings.passphrase[i]) << "unit " << i << " after the terminator";
    }
}

void CheckDptReadsBack(const DptSettings& settings) {
    UniqueBstr written;
    ASSERT_HR(S_OK, WriteDptFragment(settings, written));
    DptSettings back;
    back.usePrivateKey = 7;
    ReadDptFragment(back, written.get());
    EXPECT_EQ(settings.usePrivateKey, back.usePrivateKey);
    EXPECT_EQ(settings.encryption, back.encryption);
    EXPECT_EQ(0, std::wcscmp(settings.passphrase, back.passphrase)) << "passphrase changed";
}

constexpr LONG Cckm = static_cast<LONG>(AuthCckm);

bool IsAuthenticationValue(LONG value) {
    return value == NetworkTypeNotSet || value == 1 || value == 3 || value == 6 || value == Cckm;
}

bool IsCipherValue(LONG value) {
    return value == NetworkTypeNotSet || value == 0 || value == 2 || value == 4 || value == 5;
}

void CheckNetworkRecord(const CcxNetworkType& record) {
    EXPECT_TRUE(IsAuthenticationValue(record.authAlgorithm)) << record.authAlgorithm;
    EXPECT_TRUE(IsCipherValue(record.cipherAlgorithm)) << record.cipherAlgorithm;
    if (record.authAlgorithm == NetworkTypeNotSet) {
        EXPECT_EQ(NetworkTypeNotSet, record.cipherAlgorithm);
    }
}

CcxNetworkType ReadNetwork(const wchar_t* text) {
    CcxNetworkType record;
    if (text != nullptr) {
        ReadCcxNetworkType(record, text);
    }
    return record;
}

// What is written reads back as the record, except that an open network has no cipher.
void CheckNetworkReadsBack(const CcxNetworkType& record) {
    UniqueBstr written;
    ASSERT_HR(S_OK, WriteCcxNetworkType(record, written));
    const CcxNetworkType back = ReadNetwork(written.get());
    EXPECT_EQ(record.authAlgorithm, back.authAlgorithm);
    EXPECT_EQ(record.authAlgorithm == 1 ? 0 : record.cipherAlgorithm, back.cipherAlgorithm);
}

TEST_F(FragmentStressTest, ReadersAndWritersHoldTheirPromises) {
    ForEachInput([this](std::uint32_t, const std::wstring& input) {
        const wchar_t* text = input.c_str(); // the readers see the text up to a zero unit

        CcxSettings ccx;
        ccx.SetNotSet();
        ReadCcxSettings(ccx, text);
        CheckCcxRecord(ccx);
        CheckCcxReadsBack(ccx);
        CcxSettings untouched;
        untouched.SetNotSet();
        Saw(std::memcmp(&ccx, &untouched, offsetof(CcxSettings, diagnosticSsid)) != 0
                ? "CCX settings read"
                : "no CCX settings");
        if (ccx.diagnosticSsidLength == CcxInvalid) {
            Saw("SSID invalid (-2)");
        } else if (ccx.diagnosticSsidLength > 0) {
            Saw("SSID read");
        }

        DptSettings dpt;
        ReadDptFragment(dpt, text);
        CheckDptRecord(dpt);
        CheckDptReadsBack(dpt);
        if (dpt.passphrase[0] != L'\0') {
            Saw(wcslen(dpt.passphrase) == 64 ? "passphrase unprotected, cut to 64"
                                             : "passphrase unprotected");
        }

        const CcxNetworkType network = ReadNetwork(text);
        CheckNetworkRecord(network);
        CheckNetworkReadsBack(network);
        if (network.authAlgorithm != NetworkTypeNotSet) {
            Saw(network.cipherAlgorithm != NetworkTypeNotSet ? "network type complete"
                                                             : "network type without cipher");
        }
    });
}

// --- EditSettings on the notice path ---

struct PolicyCase {
    const char* name;
    bool writeKey;
    DWORD enableCcx;
    DWORD profileCompatible;
    bool ccxEnabled; // the connectivity property's reading of the two values
    bool compatibleLayout;
};

const PolicyCase PolicyCases[] = {
    {"policy key absent", false, 0, 0, true, true},
    {"EnableCCX 1, compatible 1", true, 1, 1, true, true},
    {"EnableCCX 1, compatible 0", true, 1, 0, true, false},
    {"EnableCCX 0, compatible 0", true, 0, 0, false, false},
};

std::wstring ModuleString(UINT id) {
    UniqueLocalString text;
    return LoadModuleString(id, text) == ERROR_SUCCESS ? std::wstring(text.get()) : L"<missing>";
}

bool StartsWith(const std::wstring& text, const std::wstring& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

void CheckVendorSectionLayout(const std::wstring& section, bool compatible) {
    if (compatible) {
        wchar_t outer[OuterElementCapacity] = {};
        LoadOuterElementName(outer);
        const std::wstring name(outer);
        EXPECT_TRUE(StartsWith(section, L"<" + name + L" xmlns=\"v1\">")) << "outer start tag";
        const std::wstring end = L"</" + name + L">";
        EXPECT_TRUE(section.size() >= end.size() &&
                    section.compare(section.size() - end.size(), end.size(), end) == 0)
            << "outer end tag";
    } else {
        EXPECT_TRUE(StartsWith(section, L"<CCX") || StartsWith(section, L"<DPT"));
    }
    // Both fragments as the readers find them: the DPT fragment always, loading; the CCX
    // fragment, when it has content, loading too.
    const std::optional<std::wstring> dpt = ExtractFragment(section.c_str(), L"DPT");
    ASSERT_TRUE(dpt) << "no DPT fragment";
    EXPECT_TRUE(CreateLoadedDocument(dpt->c_str())) << "DPT fragment does not load";
    if (const std::optional<std::wstring> ccx = ExtractFragment(section.c_str(), L"CCX")) {
        EXPECT_TRUE(CreateLoadedDocument(ccx->c_str())) << "CCX fragment does not load";
    }
}

TEST_F(NoticeStressTest, EditSettingsOnTheNoticePath) {
    DisplayLease display;
    ASSERT_TRUE(display.held());
    WindowDismisser dismisser;
    ASSERT_TRUE(dismisser.active());
    ComPtr<ICCXExtUICon> connectivity = CreateConnectivityObject(factory_.Get());
    ASSERT_TRUE(connectivity);
    const std::wstring noticeEnabled = ModuleString(NoticeCcxEnabledStringId);
    const std::wstring noticeDisabled = ModuleString(NoticeCcxDisabledStringId);

    const PolicyCase* policy = nullptr;
    ForEachInput([&](std::uint32_t index, const std::wstring& input) {
        // The policy changes every 16 inputs.
        const PolicyCase& wanted = PolicyCases[(index / 16) % std::size(PolicyCases)];
        if (policy != &wanted) {
            policy = &wanted;
            ASSERT_TRUE(DeleteKeyTree(HKEY_LOCAL_MACHINE, PolicyKeyPath));
            if (wanted.writeKey) {
                ASSERT_TRUE(
                    SetRegDword(HKEY_LOCAL_MACHINE, PolicyKeyPath, L"EnableCCX", wanted.enableCcx));
                ASSERT_TRUE(SetRegDword(HKEY_LOCAL_MACHINE, PolicyKeyPath, L"QuilProfileCompatible",
                                        wanted.profileCompatible));
            }
        }
        SCOPED_TRACE(wanted.name);
        // The host's BSTR keeps zero units; the module sees the text up to the first.
        UniqueBstr vendorText(SysAllocStringLen(input.data(), static_cast<UINT>(input.size())));
        ASSERT_TRUE(vendorText);

        const int boxesBefore = dismisser.messageBoxes();
        BSTR section = Untouched();
        BOOL changed = 7;
        ASSERT_HR(S_OK, connectivity->EditSettings(nullptr, vendorText.get(), nullptr, &section,
                                                   &changed));
        UniqueBstr owned(section != Untouched() ? section : nullptr);
        EXPECT_TRUE(changed == FALSE || changed == TRUE) << changed;
        EXPECT_NE(Untouched(), section);
        EXPECT_EQ(changed == TRUE, owned.get() != nullptr);
        EXPECT_EQ(boxesBefore + 1, dismisser.messageBoxes()) << "one notice per call";
        EXPECT_EQ(wanted.ccxEnabled ? noticeEnabled : noticeDisabled, dismisser.lastText());
        EXPECT_EQ(0, dismisser.dialogs());
        if (!owned) {
            Saw("EditSettings: unchanged");
            return;
        }
        Saw(wanted.compatibleLayout ? "EditSettings: new section, outer element"
                                    : "EditSettings: new section, nested");
        CheckVendorSectionLayout(owned.get(), wanted.compatibleLayout);

        // What was handed back holds valid settings: a second pass changes nothing.
        BSTR again = Untouched();
        BOOL changedAgain = 7;
        ASSERT_HR(S_OK,
                  connectivity->EditSettings(nullptr, owned.get(), nullptr, &again, &changedAgain));
        UniqueBstr againOwned(again != Untouched() ? again : nullptr);
        EXPECT_EQ(FALSE, changedAgain) << "the section handed back does not read back";
        EXPECT_EQ(nullptr, again);
    });
}

// --- every operation of both key properties ---

LONG ReferenceDefaultCipher(const KeyPropertyEntry& entry) {
    // Row cipherCount - 1 of the cipher-name table (WEP, TKIP, AES, None).
    static const LONG rows[] = {5, 2, 4, 0};
    return rows[entry.cipherCount - 1];
}

bool IsComplete(const CcxNetworkType& record) {
    UniqueBstr written;
    WriteCcxNetworkType(record, written);
    const CcxNetworkType back = ReadNetwork(written.get());
    return back.authAlgorithm != NetworkTypeNotSet && back.cipherAlgorithm != NetworkTypeNotSet;
}

void CheckFixedAnswers(ICCXExtUIKey* key, std::size_t entryIndex) {
    const KeyPropertyEntry& entry = KeyPropertyTable[entryIndex];
    UniqueBstr name;
    EXPECT_HR(S_OK, key->QueryPropertyName(name.put()));
    EXPECT_STREQ(entryIndex == 0 ? L"CCKM" : L"(WPA2)", name.get());
    BOOL flag = 7;
    EXPECT_HR(S_OK, key->QueryPropertyFlag(&flag));
    EXPECT_EQ(FALSE, flag);
    BOOL marked = 7;
    LONG option = 7;
    EXPECT_HR(S_OK, key->QueryEntryOptions(&marked, &option));
    EXPECT_EQ(entry.useMarkedNames ? TRUE : FALSE, marked);
    EXPECT_EQ(entry.optionValue, option);
    BSTR section = Untouched();
    BOOL changed = 7;
    EXPECT_HR(E_NOTIMPL, key->EditSettings(nullptr, nullptr, nullptr, &section, &changed));
}

void CheckMatchesProfile(ICCXExtUIKey* key, const KeyPropertyEntry& entry, const wchar_t* fragment,
                         const CcxNetworkType& read) {
    BOOL matches = 7;
    ASSERT_HR(S_OK, key->MatchesProfile(HostText(fragment).get(), nullptr, &matches));
    const LONG authentication = IsComplete(read) ? read.authAlgorithm : Cckm;
    EXPECT_EQ(authentication == static_cast<LONG>(entry.authAlgorithm) ? TRUE : FALSE, matches);
}

void CheckApplyToProfile(ICCXExtUIKey* key, const KeyPropertyEntry& entry, const wchar_t* fragment,
                         const CcxNetworkType& read) {
    CcxNetworkType expected = read;
    bool expectChanged = false;
    if (expected.authAlgorithm != static_cast<LONG>(entry.authAlgorithm)) {
        expected.authAlgorithm = static_cast<LONG>(entry.authAlgorithm);
        expectChanged = true;
    }
    if (!IsComplete(expected)) {
        expected.cipherAlgorithm = ReferenceDefaultCipher(entry);
        expectChanged = true;
    }
    BSTR written = Untouched();
    BOOL changed = FALSE;
    ASSERT_HR(S_OK, key->ApplyToProfile(HostText(fragment).get(), nullptr, &written, &changed));
    UniqueBstr owned(written != Untouched() ? written : nullptr);
    EXPECT_EQ(expectChanged ? TRUE : FALSE, changed);
    if (!expectChanged) {
        EXPECT_EQ(nullptr, written) << "a fragment stored without a change";
        return;
    }
    ASSERT_TRUE(owned) << "changed without a fragment";
    const CcxNetworkType back = ReadNetwork(owned.get());
    EXPECT_EQ(expected.authAlgorithm, back.authAlgorithm);
    EXPECT_EQ(expected.cipherAlgorithm, back.cipherAlgorithm);
    BOOL matches = FALSE;
    EXPECT_HR(S_OK, key->MatchesProfile(owned.get(), nullptr, &matches));
    EXPECT_EQ(TRUE, matches) << "the applied fragment does not select the property";
}

void CheckQueryCipherList(ICCXExtUIKey* key, const KeyPropertyEntry& entry, const wchar_t* fragment,
                          const CcxNetworkType& read) {
    DWORD count = 99;
    DWORD index = 99;
    CipherChoice* list = reinterpret_cast<CipherChoice*>(Untouched());
    ASSERT_HR(S_OK, key->QueryCipherList(FALSE, HostText(fragment).get(), nullptr, &count, &index,
                                         &list));
    ASSERT_EQ(static_cast<DWORD>(entry.cipherCount), count);
    const LONG cipher = IsComplete(read) ? read.cipherAlgorithm : ReferenceDefaultCipher(entry);
    DWORD expectedIndex = count - 1;
    for (DWORD i = 0; i < count; ++i) {
        if (static_cast<LONG>(entry.ciphers[i]) == cipher) {
            expectedIndex = i;
            break;
        }
    }
    EXPECT_EQ(expectedIndex, index);
    ASSERT_NE(nullptr, list);
    for (DWORD i = 0; i < count; ++i) {
        EXPECT_EQ(entry.ciphers[i], list[i].cipher);
        EXPECT_NE(nullptr, list[i].name);
    }
    DWORD untouchedCount = 99;
    EXPECT_HR(E_NOTIMPL, key->QueryCipherList(TRUE, HostText(fragment).get(), nullptr,
                                              &untouchedCount, &index, &list));
    EXPECT_EQ(99u, untouchedCount);
}

void CheckApplyCipher(ICCXExtUIKey* key, const KeyPropertyEntry& entry, const wchar_t* fragment,
                      const CcxNetworkType& read, DWORD cipher) {
    CipherChoice chosen{static_cast<DOT11_CIPHER_ALGORITHM>(cipher), 0, nullptr};
    BSTR written = Untouched();
    BOOL changed = 7;
    ASSERT_HR(S_OK, key->ApplyCipher(FALSE, HostText(fragment).get(), nullptr, &chosen, &written,
                                     &changed));
    UniqueBstr owned(written != Untouched() ? written : nullptr);
    if (read.cipherAlgorithm == static_cast<LONG>(cipher)) {
        EXPECT_EQ(FALSE, changed);
        EXPECT_EQ(nullptr, written);
        return;
    }
    EXPECT_EQ(TRUE, changed);
    ASSERT_TRUE(owned);
    const CcxNetworkType back = ReadNetwork(owned.get());
    EXPECT_EQ(static_cast<LONG>(entry.authAlgorithm), back.authAlgorithm);
    EXPECT_EQ(IsCipherValue(static_cast<LONG>(cipher)) ? static_cast<LONG>(cipher)
                                                       : NetworkTypeNotSet,
              back.cipherAlgorithm);
}

TEST_F(FragmentStressTest, KeyOperationsOnEveryFragment) {
    ComPtr<ICCXExtUIKey> keys[KeyPropertyCount];
    for (std::size_t e = 0; e < KeyPropertyCount; ++e) {
        keys[e] = CreateKeyObject(factory_.Get(), e);
        ASSERT_TRUE(keys[e]);
    }
    ForEachInput(
        [&](std::uint32_t index, const std::wstring& input) {
            // Now and then no fragment at all, as for a profile without one.
            const wchar_t* fragment = index % 37 == 0 ? nullptr : input.c_str();
            const CcxNetworkType read = ReadNetwork(fragment);
            Saw(IsComplete(read) ? "complete fragment" : "incomplete or no fragment");
            for (std::size_t e = 0; e < KeyPropertyCount; ++e) {
                SCOPED_TRACE(testing::Message() << "entry " << e);
                const KeyPropertyEntry& entry = KeyPropertyTable[e];
                ICCXExtUIKey* key = keys[e].Get();
                CheckFixedAnswers(key, e);
                CheckMatchesProfile(key, entry, fragment, read);
                CheckApplyToProfile(key, entry, fragment, read);
                CheckQueryCipherList(key, entry, fragment, read);
                for (DWORD cipher : {0u, 2u, 4u, 5u, index % 97}) {
                    CheckApplyCipher(key, entry, fragment, read, cipher);
                }
                BSTR written = Untouched();
                BOOL changed = 7;
                EXPECT_HR(E_INVALIDARG, key->ApplyCipher(FALSE, HostText(fragment).get(), nullptr,
                                                         nullptr, &written, &changed));
            }
        },
        FragmentGenerator::Base::NetworkType);
}

} // namespace
