#include "extension/key_names.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring Text(const wchar_t* text) {
    return text != nullptr ? text : L"<none>";
}

TEST(KeyNames, AuthenticationNames) {
    struct Case {
        std::uint32_t auth;
        const wchar_t* expected;
    } cases[] = {
        {AuthCckm, L"CCKM"},       {AuthWpa2, L"(WPA2)"}, {AuthWpa, L"(WPA)"},
        {AuthOpen, L"Open (CCX)"}, {0, L"<none>"},        {2, L"<none>"},
        {0x80000000u, L"<none>"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(std::wstring(c.expected), Text(AuthenticationDisplayName(c.auth))) << c.auth;
    }
}

TEST(KeyNames, CipherNamesPlainAndMarked) {
    struct Case {
        std::uint32_t cipher;
        const wchar_t* plain;
        const wchar_t* marked;
    } cases[] = {
        {CipherWep, L"WEP", L"WEP (CCX)"}, {CipherTkip, L"TKIP", L"TKIP (MFP)"},
        {CipherAes, L"AES", L"AES (MFP)"}, {CipherNone, L"None", L"None (CCX)"},
        {1, L"<none>", L"<none>"},         {0x100, L"<none>", L"<none>"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(std::wstring(c.plain), Text(CipherDisplayName(c.cipher, false))) << c.cipher;
        EXPECT_EQ(std::wstring(c.marked), Text(CipherDisplayName(c.cipher, true))) << c.cipher;
    }
}

TEST(KeyNames, DefaultCipherIsTheNameTableRowBeforeTheCount) {
    EXPECT_EQ(CipherWep, DefaultCipherForCount(1));
    EXPECT_EQ(CipherTkip, DefaultCipherForCount(2));
    EXPECT_EQ(CipherAes, DefaultCipherForCount(3));
    EXPECT_EQ(CipherNone, DefaultCipherForCount(4));
    // Rows the table does not have.
    EXPECT_EQ(CipherNone, DefaultCipherForCount(0));
    EXPECT_EQ(CipherNone, DefaultCipherForCount(5));
    EXPECT_EQ(CipherNone, DefaultCipherForCount(10));
}

TEST(KeyNames, SelectedIndexIsTheFirstOccurrenceElseTheLast) {
    const std::uint32_t ciphers[] = {CipherWep, CipherTkip, CipherAes, CipherTkip};
    EXPECT_EQ(0u, SelectedCipherIndex(ciphers, 3, CipherWep));
    EXPECT_EQ(1u, SelectedCipherIndex(ciphers, 4, CipherTkip));
    EXPECT_EQ(2u, SelectedCipherIndex(ciphers, 3, CipherAes));
    EXPECT_EQ(2u, SelectedCipherIndex(ciphers, 3, CipherNone));
    // Only the first count ciphers are searched.
    EXPECT_EQ(1u, SelectedCipherIndex(ciphers, 2, CipherAes));
}

} // namespace
