#include "extension_fixture.h"
#include "import_hook.h"
#include "xml_compare.h"

#include "extension/ext_ui_key.h"
#include "extension/key_property_table.h"
#include "localization/string_catalogue.h"
#include "services/module_state.h"
#include "shipped_module.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr wchar_t Wpa2Aes[] = L"<CCX xmlns=\"any\"><authenticatingNetwork><wpa2><encryption>AES"
                              L"</encryption></wpa2></authenticatingNetwork></CCX>";
constexpr wchar_t Wpa2Tkip[] = L"<CCX xmlns=\"any\"><authenticatingNetwork><wpa2><encryption>TKIP"
                               L"</encryption></wpa2></authenticatingNetwork></CCX>";
constexpr wchar_t Wpa2Wep[] = L"<CCX xmlns=\"any\"><authenticatingNetwork><wpa2><encryption>WEP"
                              L"</encryption></wpa2></authenticatingNetwork></CCX>";
constexpr wchar_t CckmAes[] = L"<CCX xmlns=\"any\"><authenticatingNetwork><cckm><encryption>AES"
                              L"</encryption></cckm></authenticatingNetwork></CCX>";
constexpr wchar_t CckmWep[] = L"<CCX xmlns=\"any\"><authenticatingNetwork><cckm><encryption>WEP"
                              L"</encryption></cckm></authenticatingNetwork></CCX>";
constexpr wchar_t CckmNone[] = L"<CCX xmlns=\"any\"><authenticatingNetwork><cckm><encryption>None"
                               L"</encryption></cckm></authenticatingNetwork></CCX>";
constexpr wchar_t CckmWithoutCipher[] =
    L"<CCX xmlns=\"any\"><authenticatingNetwork><cckm/></authenticatingNetwork></CCX>";
constexpr wchar_t OpenNetwork[] = L"<CCX xmlns=\"any\"><openNetwork/></CCX>";
constexpr wchar_t NotXml[] = L"<CCX><openNetwork></CCX>";
// Well-formed, and wpa2 AES without the document type, whose entity would name the cipher:
// a document type is refused, so the text reads as not well-formed.
constexpr wchar_t Wpa2AesWithDocumentType[] =
    L"<!DOCTYPE CCX [<!ENTITY c \"AES\">]><CCX xmlns=\"any\"><authenticatingNetwork><wpa2>"
    L"<encryption>&c;</encryption></wpa2></authenticatingNetwork></CCX>";
constexpr wchar_t Wpa2AesWithBareDocumentType[] = L"<!DOCTYPE CCX><CCX xmlns=\"any\">"
                                                  L"<authenticatingNetwork><wpa2><encryption>AES"
                                                  L"</encryption></wpa2></authenticatingNetwork>"
                                                  L"</CCX>";

class KeyPropertyTest : public RegisteredExtensionTest {
  protected:
    void SetUp() override {
        RegisteredExtensionTest::SetUp();
        root_ = CreateRoot();
        ASSERT_TRUE(root_);
        keys_ = CreateKeyProperties(root_.Get());
        ASSERT_TRUE(keys_.cckm && keys_.wpa2);
    }
    void TearDown() override {
        keys_ = {};
        root_.Reset();
        RegisteredExtensionTest::TearDown();
    }
    ICCXExtUIKey* Entry(int index) { return index == 0 ? keys_.cckm.Get() : keys_.wpa2.Get(); }

    ComPtr<IDot11ExtUI> root_;
    KeyProperties keys_;
};

struct Apply {
    HRESULT hr = E_FAIL;
    BOOL changed = FALSE;
    std::wstring fragment; // "<none>" when nothing was stored
};

// The out text a call left, freed: "<none>" when it kept the sentinel, "<null>" for null.
std::wstring TakeOutText(BSTR text) {
    if (text == SentinelBstr()) {
        return L"<none>";
    }
    UniqueBstr owned(text);
    return text ? text : L"<null>";
}

// An apply call that succeeded with `changed` and wrote `expected` (nullptr: wrote null).
void ExpectApplied(const Apply& result, BOOL changed, const wchar_t* expected, const char* name) {
    EXPECT_HR(S_OK, result.hr) << name;
    EXPECT_EQ(changed, result.changed) << name;
    if (expected == nullptr) {
        // The out text is written even when nothing changed: null.
        EXPECT_EQ(L"<null>", result.fragment) << name;
    } else {
        EXPECT_SAME_XML(expected, result.fragment) << name;
    }
}

Apply ApplyToProfile(ICCXExtUIKey* key, const wchar_t* fragment, BOOL changedBefore = FALSE) {
    Apply result;
    BSTR text = SentinelBstr();
    result.changed = changedBefore;
    // The connection record does not take part.
    DOT11EXT_IHV_PARAMS connection{};
    connection.dwProfileTypeFlags = MS_PROFILE_USER;
    result.hr = key->ApplyToProfile(HostText(fragment).get(), &connection, &text, &result.changed);
    result.fragment = TakeOutText(text);
    return result;
}

Apply ApplyCipher(ICCXExtUIKey* key, const wchar_t* fragment, DWORD cipher) {
    Apply result;
    CipherChoice chosen{static_cast<DOT11_CIPHER_ALGORITHM>(cipher), 0, nullptr};
    BSTR text = SentinelBstr();
    result.changed = 7;
    result.hr =
        key->ApplyCipher(FALSE, HostText(fragment).get(), nullptr, &chosen, &text, &result.changed);
    result.fragment = TakeOutText(text);
    return result;
}

struct CipherListView {
    HRESULT hr = E_FAIL;
    DWORD count = 0;
    DWORD selected = 0;
    std::vector<std::wstring> names;
    std::vector<DWORD> ciphers;
};

CipherListView QueryCipherList(ICCXExtUIKey* key, const wchar_t* fragment) {
    CipherListView view;
    CipherChoice* list = nullptr;
    view.hr = key->QueryCipherList(FALSE, HostText(fragment).get(), nullptr, &view.count,
                                   &view.selected, &list);
    if (SUCCEEDED(view.hr) && list != nullptr) {
        for (DWORD i = 0; i < view.count; ++i) {
            view.names.push_back(list[i].name != nullptr ? list[i].name : L"<null>");
            view.ciphers.push_back(list[i].cipher);
            EXPECT_EQ(0u, list[i].reserved);
        }
    }
    return view;
}

BOOL Matches(ICCXExtUIKey* key, const wchar_t* fragment) {
    BOOL matches = 7;
    EXPECT_HR(S_OK, key->MatchesProfile(HostText(fragment).get(), nullptr, &matches));
    return matches;
}

TEST_F(KeyPropertyTest, NamesFlagsAndOptionsOfBothEntries) {
    EXPECT_EQ(L"CCKM", PropertyName(Entry(0)));
    EXPECT_EQ(L"(WPA2)", PropertyName(Entry(1)));
    struct Case {
        BOOL flag;
        BOOL marked;
        LONG option;
    } expected[] = {{FALSE, FALSE, 0}, {FALSE, TRUE, 2}};
    for (int i = 0; i < 2; ++i) {
        BOOL flag = 7;
        EXPECT_HR(S_OK, Entry(i)->QueryPropertyFlag(&flag));
        EXPECT_EQ(expected[i].flag, flag);
        BOOL marked = 7;
        LONG option = 7;
        EXPECT_HR(S_OK, Entry(i)->QueryEntryOptions(&marked, &option));
        EXPECT_EQ(expected[i].marked, marked);
        EXPECT_EQ(expected[i].option, option);
        EXPECT_HR(E_NOTIMPL, Entry(i)->EditSettings(nullptr, nullptr, nullptr, nullptr, nullptr));
    }
}

TEST_F(KeyPropertyTest, MatchesProfile) {
    struct Case {
        const char* name;
        const wchar_t* fragment;
        BOOL cckm;
        BOOL wpa2;
    } cases[] = {
        {"no fragment", nullptr, TRUE, FALSE},
        {"empty fragment", L"", TRUE, FALSE},
        {"not well-formed", NotXml, TRUE, FALSE},
        {"document type with an entity", Wpa2AesWithDocumentType, TRUE, FALSE},
        {"bare document type", Wpa2AesWithBareDocumentType, TRUE, FALSE},
        {"wpa2 AES", Wpa2Aes, FALSE, TRUE},
        {"cckm AES", CckmAes, TRUE, FALSE},
        {"cckm without cipher", CckmWithoutCipher, TRUE, FALSE},
        {"open network", OpenNetwork, FALSE, FALSE},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.cckm, Matches(Entry(0), c.fragment)) << c.name;
        EXPECT_EQ(c.wpa2, Matches(Entry(1), c.fragment)) << c.name;
    }
}

TEST_F(KeyPropertyTest, CipherListsAndTheSelectedCipher) {
    const std::vector<std::wstring> plain = {L"WEP", L"TKIP", L"AES"};
    const std::vector<std::wstring> marked = {L"TKIP (MFP)", L"AES (MFP)"};
    struct Case {
        const char* name;
        int entry;
        const wchar_t* fragment;
        DWORD selected;
    } cases[] = {
        {"entry 0, no fragment: AES", 0, nullptr, 2},
        {"entry 1, no fragment: TKIP", 1, nullptr, 0},
        {"entry 1, wpa2 AES", 1, Wpa2Aes, 1},
        {"entry 0, cckm WEP", 0, CckmWep, 0},
        {"entry 0, open network has no cipher 0 in the list", 0, OpenNetwork, 2},
        {"entry 1, cckm without cipher: default", 1, CckmWithoutCipher, 0},
        {"entry 1, wpa2 WEP is not listed", 1, Wpa2Wep, 1},
    };
    for (const Case& c : cases) {
        const CipherListView view = QueryCipherList(Entry(c.entry), c.fragment);
        EXPECT_HR(S_OK, view.hr) << c.name;
        EXPECT_EQ(c.entry == 0 ? plain : marked, view.names) << c.name;
        EXPECT_EQ(c.selected, view.selected) << c.name;
    }
    EXPECT_EQ((std::vector<DWORD>{5, 2, 4}), QueryCipherList(Entry(0), nullptr).ciphers);
    EXPECT_EQ((std::vector<DWORD>{2, 4}), QueryCipherList(Entry(1), nullptr).ciphers);
}

TEST_F(KeyPropertyTest, TheCipherListStaysTheObjectsOwn) {
    CipherChoice* first = nullptr;
    CipherChoice* second = nullptr;
    ASSERT_HR(S_OK, Entry(0)->QueryCipherList(FALSE, nullptr, nullptr, nullptr, nullptr, &first));
    ASSERT_HR(S_OK, Entry(0)->QueryCipherList(FALSE, HostText(CckmAes).get(), nullptr, nullptr,
                                              nullptr, &second));
    EXPECT_EQ(first, second);
    // Every output is optional.
    EXPECT_HR(S_OK, Entry(1)->QueryCipherList(FALSE, HostText(Wpa2Aes).get(), nullptr, nullptr,
                                              nullptr, nullptr));
}

TEST_F(KeyPropertyTest, ApplyToProfile) {
    struct Case {
        const char* name;
        int entry;
        const wchar_t* fragment;
        BOOL changed;
        const wchar_t* expected; // null: nothing stored
    } cases[] = {
        {"entry 1, no fragment", 1, nullptr, TRUE, Wpa2Tkip},
        {"entry 0, no fragment", 0, nullptr, TRUE, CckmAes},
        {"entry 0, open network", 0, OpenNetwork, TRUE, CckmNone},
        {"entry 1, cckm WEP keeps WEP", 1, CckmWep, TRUE, Wpa2Wep},
        {"entry 0, cckm without cipher gets AES", 0, CckmWithoutCipher, TRUE, CckmAes},
        {"entry 0, not well-formed", 0, NotXml, TRUE, CckmAes},
        {"entry 1, document type", 1, Wpa2AesWithDocumentType, TRUE, Wpa2Tkip},
        {"entry 0, already cckm AES", 0, CckmAes, FALSE, nullptr},
        {"entry 1, already wpa2 AES", 1, Wpa2Aes, FALSE, nullptr},
    };
    for (const Case& c : cases) {
        const Apply result = ApplyToProfile(Entry(c.entry), c.fragment);
        ExpectApplied(result, c.changed, c.expected, c.name);
    }
}

TEST_F(KeyPropertyTest, ApplyToProfileNeverClearsTheChangedFlag) {
    const Apply result = ApplyToProfile(Entry(0), CckmAes, TRUE);
    EXPECT_HR(S_OK, result.hr);
    EXPECT_EQ(TRUE, result.changed);
    EXPECT_SAME_XML(CckmAes, result.fragment);
}

TEST_F(KeyPropertyTest, ApplyCipher) {
    struct Case {
        const char* name;
        int entry;
        const wchar_t* fragment;
        DWORD cipher;
        BOOL changed;
        const wchar_t* expected;
    } cases[] = {
        {"wpa2 AES to TKIP", 1, Wpa2Aes, 2, TRUE, Wpa2Tkip},
        {"wpa2 AES to AES", 1, Wpa2Aes, 4, FALSE, nullptr},
        {"cckm AES to WEP", 0, CckmAes, 5, TRUE, CckmWep},
        {"no fragment to AES", 0, nullptr, 4, TRUE, CckmAes},
        // The chosen cipher is not tested against the entry's list.
        {"wpa2 AES to WEP", 1, Wpa2Aes, 5, TRUE, Wpa2Wep},
        // The same cipher counts as no change even where the kind differs.
        {"cckm AES on entry 1 to AES", 1, CckmAes, 4, FALSE, nullptr},
        {"cckm WEP on entry 1 to TKIP", 1, CckmWep, 2, TRUE, Wpa2Tkip},
    };
    for (const Case& c : cases) {
        const Apply result = ApplyCipher(Entry(c.entry), c.fragment, c.cipher);
        ExpectApplied(result, c.changed, c.expected, c.name);
    }
}

TEST_F(KeyPropertyTest, ANonZeroFlagIsNotImplementedAndWritesNothing) {
    DWORD count = 77;
    DWORD selected = 77;
    CipherChoice* list = reinterpret_cast<CipherChoice*>(SentinelBstr());
    EXPECT_HR(E_NOTIMPL,
              Entry(0)->QueryCipherList(TRUE, nullptr, nullptr, &count, &selected, &list));
    EXPECT_EQ(77u, count);
    EXPECT_EQ(77u, selected);
    EXPECT_EQ(reinterpret_cast<CipherChoice*>(SentinelBstr()), list);
    CipherChoice chosen{DOT11_CIPHER_ALGO_TKIP, 0, nullptr};
    BSTR text = SentinelBstr();
    BOOL changed = 77;
    EXPECT_HR(E_NOTIMPL, Entry(1)->ApplyCipher(TRUE, HostText(Wpa2Aes).get(), nullptr, &chosen,
                                               &text, &changed));
    EXPECT_EQ(SentinelBstr(), text);
    EXPECT_EQ(77, changed);
}

TEST_F(KeyPropertyTest, MissingArgumentsAreRefusedFirst) {
    BSTR text = SentinelBstr();
    BOOL flag = FALSE;
    LONG option = 0;
    CipherChoice chosen{DOT11_CIPHER_ALGO_TKIP, 0, nullptr};
    EXPECT_HR(E_INVALIDARG, Entry(0)->MatchesProfile(HostText(CckmAes).get(), nullptr, nullptr));
    EXPECT_HR(E_INVALIDARG,
              Entry(0)->ApplyToProfile(HostText(CckmAes).get(), nullptr, nullptr, &flag));
    EXPECT_HR(E_INVALIDARG,
              Entry(0)->ApplyToProfile(HostText(CckmAes).get(), nullptr, &text, nullptr));
    EXPECT_HR(E_INVALIDARG, Entry(0)->ApplyCipher(FALSE, HostText(CckmAes).get(), nullptr, nullptr,
                                                  &text, &flag));
    EXPECT_HR(E_INVALIDARG, Entry(0)->ApplyCipher(FALSE, HostText(CckmAes).get(), nullptr, &chosen,
                                                  nullptr, &flag));
    EXPECT_HR(E_INVALIDARG, Entry(0)->ApplyCipher(FALSE, HostText(CckmAes).get(), nullptr, &chosen,
                                                  &text, nullptr));
    EXPECT_HR(E_INVALIDARG, Entry(0)->QueryPropertyFlag(nullptr));
    EXPECT_HR(E_INVALIDARG, Entry(0)->QueryEntryOptions(nullptr, &option));
    EXPECT_HR(E_INVALIDARG, Entry(0)->QueryEntryOptions(&flag, nullptr));
    EXPECT_HR(E_POINTER, Entry(0)->QueryPropertyName(nullptr));
    // A refused call touches none of its outputs.
    EXPECT_EQ(SentinelBstr(), text);
}

// A key property made through COM but never bound has no entry to work with.
TEST_F(KeyPropertyTest, AnUnboundKeyPropertyFails) {
    ComPtr<ICCXExtUIKey> unbound;
    ASSERT_HR(S_OK,
              CoCreateInstance(ShippedClassId(), nullptr, CLSCTX_INPROC_SERVER, IID_ICCXExtUIKey,
                               reinterpret_cast<void**>(unbound.GetAddressOf())));
    BSTR text = SentinelBstr();
    BOOL flag = 7;
    LONG option = 7;
    DWORD count = 7;
    CipherChoice* list = nullptr;
    CipherChoice chosen{DOT11_CIPHER_ALGO_TKIP, 0, nullptr};
    EXPECT_HR(E_FAIL, unbound->QueryPropertyName(&text));
    EXPECT_HR(E_FAIL, unbound->QueryPropertyName(nullptr));
    EXPECT_HR(E_FAIL, unbound->MatchesProfile(HostText(CckmAes).get(), nullptr, &flag));
    EXPECT_HR(E_FAIL, unbound->ApplyToProfile(HostText(CckmAes).get(), nullptr, &text, &flag));
    EXPECT_HR(E_FAIL, unbound->QueryPropertyFlag(&flag));
    EXPECT_HR(E_FAIL, unbound->QueryPropertyFlag(nullptr));
    EXPECT_HR(E_FAIL, unbound->QueryCipherList(FALSE, nullptr, nullptr, &count, &count, &list));
    EXPECT_HR(E_FAIL,
              unbound->ApplyCipher(FALSE, HostText(CckmAes).get(), nullptr, &chosen, &text, &flag));
    EXPECT_HR(E_FAIL, unbound->QueryEntryOptions(&flag, &option));
    EXPECT_HR(E_FAIL, unbound->QueryEntryOptions(nullptr, nullptr));
    // Out texts are written on failure too: null, so a host never frees what it passed in.
    EXPECT_EQ(nullptr, text);
    EXPECT_EQ(7, flag);
    EXPECT_EQ(7, option);
    EXPECT_EQ(7u, count);
    EXPECT_EQ(1u, ReferenceCount(unbound.Get()));
}

TEST_F(KeyPropertyTest, BindEntryRefusesMissingOrOverlongEntriesAndKeepsItsBinding) {
    KeyPropertyEntry tooMany = KeyPropertyTable[0];
    tooMany.cipherCount = 11;
    KeyPropertyEntry negative = KeyPropertyTable[0];
    negative.cipherCount = -1;
    EXPECT_HR(E_INVALIDARG, Entry(1)->BindEntry(nullptr));
    EXPECT_HR(E_INVALIDARG, Entry(1)->BindEntry(&tooMany));
    EXPECT_HR(E_INVALIDARG, Entry(1)->BindEntry(&negative));
    EXPECT_HR(E_UNEXPECTED, Entry(1)->BindEntry(&KeyPropertyTable[0]));
    EXPECT_EQ(L"(WPA2)", PropertyName(Entry(1)));
    EXPECT_EQ((std::vector<std::wstring>{L"TKIP (MFP)", L"AES (MFP)"}),
              QueryCipherList(Entry(1), nullptr).names);
}

TEST_F(KeyPropertyTest, BindingAnEntryNamesItsCiphers) {
    // Each entry on an object of its own: an object is bound once.
    auto bound = [](const KeyPropertyEntry& entry) {
        ComPtr<ICCXExtUIKey> key;
        EXPECT_HR(S_OK,
                  CoCreateInstance(ShippedClassId(), nullptr, CLSCTX_INPROC_SERVER,
                                   IID_ICCXExtUIKey, reinterpret_cast<void**>(key.GetAddressOf())));
        EXPECT_HR(S_OK, key ? key->BindEntry(&entry) : E_FAIL);
        return key;
    };
    // Names come from the table's plain or marked column; a cipher outside it is unnamed.
    static const KeyPropertyEntry custom = {static_cast<DOT11_AUTH_ALGORITHM>(0x80000001),
                                            TRUE,
                                            3,
                                            TRUE,
                                            9,
                                            4,
                                            {DOT11_CIPHER_ALGO_NONE, DOT11_CIPHER_ALGO_WEP104,
                                             DOT11_CIPHER_ALGO_WEP40, DOT11_CIPHER_ALGO_CCMP}};
    ComPtr<ICCXExtUIKey> key = bound(custom);
    ASSERT_TRUE(key);
    const CipherListView view = QueryCipherList(key.Get(), CckmWep);
    EXPECT_EQ((std::vector<std::wstring>{L"None (CCX)", L"WEP (CCX)", L"", L"AES (MFP)"}),
              view.names);
    EXPECT_EQ(1u, view.selected);
    BOOL flag = FALSE;
    EXPECT_HR(S_OK, key->QueryPropertyFlag(&flag));
    EXPECT_EQ(TRUE, flag);
    static const KeyPropertyEntry empty = {DOT11_AUTH_ALGO_RSNA, FALSE, 2, FALSE, 0, 0, {}};
    key = bound(empty);
    ASSERT_TRUE(key);
    EXPECT_EQ(0u, QueryCipherList(key.Get(), nullptr).count);
    EXPECT_EQ(L"(WPA2)", PropertyName(key.Get()));
    static const KeyPropertyEntry unnamed = {
        DOT11_AUTH_ALGO_80211_SHARED_KEY, FALSE, 2, FALSE, 0, 1, {DOT11_CIPHER_ALGO_CCMP}};
    key = bound(unnamed);
    ASSERT_TRUE(key);
    BSTR name = SentinelBstr();
    EXPECT_HR(E_FAIL, key->QueryPropertyName(&name));
    EXPECT_EQ(nullptr, name);
}

// The linked copy of the class, so that the test can watch the frees it makes.
std::vector<BSTR> g_freed;
using SysFreeStringFunction = void(WINAPI*)(BSTR);
SysFreeStringFunction g_realSysFreeString = nullptr;
void WINAPI WatchingSysFreeString(BSTR text) {
    g_freed.push_back(text);
    g_realSysFreeString(text);
}

// A host may still read the list of the first binding: a second one is refused and frees
// nothing; the list and its names go with the object.
TEST(KeyPropertyLinked, ASecondBindingIsRefusedAndTheFirstCipherListStays) {
    ComApartment apartment;
    UseShippedModuleResources();
    const LONG objectsBefore = ObjectCount();
    const int holdsBefore = CatalogueHoldCount();
    ComPtr<ICCXExtUIKey> key;
    ASSERT_HR(S_OK, CreateExtUIKey(IID_ICCXExtUIKey, reinterpret_cast<void**>(key.GetAddressOf())));
    EXPECT_EQ(objectsBefore + 1, ObjectCount());
    EXPECT_EQ(holdsBefore + 1, CatalogueHoldCount());
    ASSERT_HR(S_OK, key->BindEntry(&KeyPropertyTable[0]));
    CipherChoice* list = nullptr;
    ASSERT_HR(S_OK, key->QueryCipherList(FALSE, nullptr, nullptr, nullptr, nullptr, &list));
    const std::vector<BSTR> firstNames = {list[0].name, list[1].name, list[2].name};
    {
        g_freed.clear();
        ImportHook hook(L"oleaut32.dll", "SysFreeString",
                        reinterpret_cast<void*>(WatchingSysFreeString));
        ASSERT_TRUE(hook.active());
        g_realSysFreeString = reinterpret_cast<SysFreeStringFunction>(hook.original());
        EXPECT_HR(E_UNEXPECTED, key->BindEntry(&KeyPropertyTable[1]));
        EXPECT_TRUE(g_freed.empty());
        CipherChoice* again = nullptr;
        ASSERT_HR(S_OK, key->QueryCipherList(FALSE, nullptr, nullptr, nullptr, nullptr, &again));
        EXPECT_EQ(list, again);
        EXPECT_EQ(L"WEP", std::wstring(again[0].name));
        EXPECT_EQ(L"CCKM", PropertyName(key.Get()));
        key.Reset();
        for (BSTR name : firstNames) {
            EXPECT_NE(g_freed.end(), std::find(g_freed.begin(), g_freed.end(), name));
        }
    }
    EXPECT_EQ(objectsBefore, ObjectCount());
    EXPECT_EQ(holdsBefore, CatalogueHoldCount());
}

} // namespace
