#include "com_apartment.h"
#include "fragment_test_text.h"
#include "xml_compare.h"

#include "fragments/ccx_network_type.h"

#include <string>

namespace {

using CcxNetworkTypeTest = ComTest;

constexpr LONG Cckm = static_cast<LONG>(0x80000001);

std::wstring Network(const std::wstring& kind, const std::wstring& encryption) {
    return L"<CCX xmlns=\"any\"><authenticatingNetwork><" + kind + L"><encryption>" + encryption +
           L"</encryption></" + kind + L"></authenticatingNetwork></CCX>";
}

CcxNetworkType Read(const wchar_t* text) {
    CcxNetworkType record;
    EXPECT_HR(S_OK, ReadCcxNetworkType(record, text));
    return record;
}

TEST_F(CcxNetworkTypeTest, ReadsKindAndCipher) {
    struct Case {
        const char* name;
        std::wstring text;
        LONG auth;
        LONG cipher;
    } cases[] = {
        {"open", L"<CCX><openNetwork/></CCX>", 1, 0},
        {"open wins over authenticating",
         L"<CCX><authenticatingNetwork><wpa2><encryption>AES</encryption></wpa2>"
         L"</authenticatingNetwork><openNetwork/></CCX>",
         1, 0},
        {"cckm AES", Network(L"cckm", L"AES"), Cckm, 4},
        {"wpa TKIP", Network(L"wpa", L"TKIP"), 3, 2},
        {"wpa2 WEP", Network(L"wpa2", L"WEP"), 6, 5},
        {"wpa before wpa2",
         L"<CCX><authenticatingNetwork><wpa2><encryption>AES</encryption></wpa2><wpa>"
         L"<encryption>TKIP</encryption></wpa></authenticatingNetwork></CCX>",
         3, 2},
        {"open inside authenticating", Network(L"open", L"WEP"), 1, 5},
        {"aes", Network(L"wpa2", L"aes"), 6, 4},
        {"Aes", Network(L"wpa2", L"Aes"), 6, 4},
        {"AES256", Network(L"wpa2", L"AES256"), 6, -1},
        {"empty encryption", Network(L"wpa2", L""), 6, -1},
        {"NONE", Network(L"cckm", L"NONE"), Cckm, 0},
        {"none-at-all", Network(L"cckm", L"none-at-all"), Cckm, 0},
        {"tkip-x", Network(L"cckm", L"tkip-x"), Cckm, 2},
        {"unknown cipher", Network(L"cckm", L"CCMP"), Cckm, -1},
        {"kind without encryption",
         L"<CCX><authenticatingNetwork><cckm/></authenticatingNetwork></CCX>", Cckm, -1},
        {"unknown kind", Network(L"wpa3", L"AES"), -1, -1},
        {"names match exactly", Network(L"WPA2", L"AES"), -1, -1},
        {"empty authenticating", L"<CCX><authenticatingNetwork/></CCX>", -1, -1},
        {"no network", L"<CCX/>", -1, -1},
        {"root is not CCX", L"<DPT><openNetwork/></DPT>", -1, -1},
        {"not well-formed", L"<CCX><openNetwork></CCX>", -1, -1},
        {"under a namespace", L"<CCX xmlns=\"any\"><openNetwork/></CCX>", 1, 0},
    };
    for (const Case& c : cases) {
        const CcxNetworkType record = Read(c.text.c_str());
        EXPECT_EQ(c.auth, record.authAlgorithm) << c.name;
        EXPECT_EQ(c.cipher, record.cipherAlgorithm) << c.name;
    }
}

TEST_F(CcxNetworkTypeTest, WhatCannotBeEstablishedKeepsItsValue) {
    for (const wchar_t* text : {static_cast<const wchar_t*>(nullptr), L"", L"<CCX/>", L"<CCX"}) {
        CcxNetworkType record{6, 99};
        ReadCcxNetworkType(record, text);
        EXPECT_EQ(6, record.authAlgorithm);
        EXPECT_EQ(99, record.cipherAlgorithm);
    }
    CcxNetworkType record{3, 99};
    ReadCcxNetworkType(record, Network(L"cckm", L"AES-CCMP").c_str());
    EXPECT_EQ(Cckm, record.authAlgorithm);
    EXPECT_EQ(99, record.cipherAlgorithm);
}

TEST_F(CcxNetworkTypeTest, Writes) {
    struct Case {
        const char* name;
        CcxNetworkType record;
        std::wstring expected;
    } cases[] = {
        {"open ignores the cipher", {1, 4}, L"<CCX xmlns=\"any\"><openNetwork/></CCX>"},
        {"cckm AES", {Cckm, 4}, Network(L"cckm", L"AES")},
        {"wpa None", {3, 0}, Network(L"wpa", L"None")},
        {"wpa2 TKIP", {6, 2}, Network(L"wpa2", L"TKIP")},
        {"wpa2 WEP", {6, 5}, Network(L"wpa2", L"WEP")},
        {"unknown cipher leaves encryption empty",
         {6, -1},
         L"<CCX xmlns=\"any\"><authenticatingNetwork><wpa2><encryption/></wpa2>"
         L"</authenticatingNetwork></CCX>"},
        {"unknown kind leaves authenticatingNetwork empty",
         {-1, 4},
         L"<CCX xmlns=\"any\"><authenticatingNetwork/></CCX>"},
        {"kind outside the table", {2, 4}, L"<CCX xmlns=\"any\"><authenticatingNetwork/></CCX>"},
    };
    for (const Case& c : cases) {
        UniqueBstr text = Written(WriteCcxNetworkType, c.record);
        ASSERT_TRUE(text) << c.name;
        EXPECT_SAME_XML(c.expected, text.get()) << c.name;
    }
}

TEST_F(CcxNetworkTypeTest, WhatIsWrittenReadsBack) {
    struct Case {
        CcxNetworkType record;
        CcxNetworkType expected;
    } cases[] = {
        {{1, 5}, {1, 0}}, {{Cckm, 4}, {Cckm, 4}}, {{3, 2}, {3, 2}},
        {{6, 0}, {6, 0}}, {{6, 77}, {6, -1}},     {{-1, 4}, {-1, -1}},
    };
    for (const Case& c : cases) {
        UniqueBstr text = Written(WriteCcxNetworkType, c.record);
        ASSERT_TRUE(text);
        const CcxNetworkType back = Read(text.get());
        EXPECT_EQ(c.expected.authAlgorithm, back.authAlgorithm) << c.record.authAlgorithm;
        EXPECT_EQ(c.expected.cipherAlgorithm, back.cipherAlgorithm) << c.record.cipherAlgorithm;
    }
}

} // namespace
