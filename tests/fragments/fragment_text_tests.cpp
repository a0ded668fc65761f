#include "fragments/fragment_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

std::string Show(const std::optional<std::wstring>& text) {
    return text ? testing::PrintToString(*text) : "(nothing)";
}

const wchar_t* const Section =
    L"<CCX xmlns=\"any\"><KeepAliveTimer/></CCX><DPT xmlns=\"dptv1\" a=\"1\">"
    L"<useDPTPrivateKey>true</useDPTPrivateKey></DPT> trailing";

TEST(ExtractFragment, CutsFromStartTagThroughFirstEndTagAfterIt) {
    struct Case {
        const wchar_t* text;
        const wchar_t* name;
        std::optional<std::wstring> expected;
    } cases[] = {
        {Section, L"DPT",
         L"<DPT xmlns=\"dptv1\" a=\"1\"><useDPTPrivateKey>true</useDPTPrivateKey></DPT>"},
        {Section, L"CCX", L"<CCX xmlns=\"any\"><KeepAliveTimer/></CCX>"},
        {L"<a/><DPT/>", L"DPT", std::nullopt},
        {L"<DPT/> later </DPT>", L"DPT", L"<DPT/> later </DPT>"},
        {L"<DPT>x</DPT >", L"DPT", std::nullopt},
        {L"<dpt>x</dpt>", L"DPT", std::nullopt},
        {L"<DPT>x</dpt>", L"DPT", std::nullopt},
        {L"</DPT><DPT>x", L"DPT", std::nullopt},
        {L"</DPT><DPT>x</DPT>", L"DPT", L"<DPT>x</DPT>"},
        // The name's end is not examined: DPT also stops at DPTX.
        {L"<DPTX>y</DPTX><DPT>x</DPT>", L"DPT", L"<DPTX>y</DPTX><DPT>x</DPT>"},
        // Nested under its own name: cut at the inner end tag.
        {L"<CCX><CCX>in</CCX></CCX>", L"CCX", L"<CCX><CCX>in</CCX>"},
        {L"<CCX/>", L"CCX", std::nullopt},
        {L"", L"CCX", std::nullopt},
        {nullptr, L"CCX", std::nullopt},
        {L"<CCX></CCX>", nullptr, std::nullopt},
        {L"no tags at all", L"CCX", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Show(c.expected), Show(ExtractFragment(c.text, c.name)))
            << "text " << testing::PrintToString(c.text ? c.text : L"(null)") << " name "
            << testing::PrintToString(c.name ? c.name : L"(null)");
    }
}

TEST(ExtractFragment, NamesUpTo252UnitsAreSearched) {
    for (std::size_t length : {251u, 252u, 253u, 300u}) {
        const std::wstring name(length, L'n');
        const std::wstring fragment = L"<" + name + L">v</" + name + L">";
        const std::wstring text = L"lead " + fragment + L" tail";
        const std::optional<std::wstring> expected =
            length <= 252 ? std::optional<std::wstring>(fragment) : std::nullopt;
        EXPECT_EQ(Show(expected), Show(ExtractFragment(text.c_str(), name.c_str())))
            << "name length " << length;
    }
}

TEST(CombineFragments, NestsDptBeforeTheCcxEndTag) {
    struct Case {
        const wchar_t* ccx;
        const wchar_t* dpt;
        std::optional<std::wstring> expected;
    } cases[] = {
        {L"<CCX xmlns=\"any\"><a/></CCX>", L"<DPT/>", L"<CCX xmlns=\"any\"><a/><DPT/></CCX>"},
        {L"<CCX>x</CCX> tail", L"<DPT>d</DPT>", L"<CCX>x<DPT>d</DPT></CCX> tail"},
        // Only the first end tag counts.
        {L"<CCX></CCX></CCX>", L"<DPT/>", L"<CCX><DPT/></CCX></CCX>"},
        {L"<CCX xmlns=\"any\"/>", L"<DPT/>", L"<DPT/>"},
        {L"<CCX></ccx>", L"<DPT/>", L"<DPT/>"},
        {L"<CCX>x</CCX>", nullptr, L"<CCX>x</CCX>"},
        {nullptr, L"<DPT/>", L"<DPT/>"},
        {nullptr, nullptr, std::nullopt},
        {L"", L"<DPT/>", L"<DPT/>"},
        {L"<CCX>x</CCX>", L"", L"<CCX>x</CCX>"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Show(c.expected), Show(CombineFragmentTexts(c.ccx, c.dpt)))
            << "ccx " << testing::PrintToString(c.ccx ? c.ccx : L"(null)") << " dpt "
            << testing::PrintToString(c.dpt ? c.dpt : L"(null)");
    }
}

TEST(HexBytes, EncodesUpperCaseAndDecodesEitherCase) {
    const unsigned char bytes[] = {0x00, 0x0F, 0xA5, 0xFF, 0x10};
    wchar_t text[2 * sizeof(bytes) + 1];
    std::fill(std::begin(text), std::end(text), L'?');
    EncodeHexBytes(bytes, sizeof(bytes), text);
    EXPECT_EQ(std::wstring(L"000FA5FF10"), std::wstring(text));

    EncodeHexBytes(bytes, 0, text);
    EXPECT_EQ(L'\0', text[0]);

    for (const wchar_t* hex : {L"000FA5FF10", L"000fa5ff10", L"000Fa5fF10"}) {
        unsigned char blob[16];
        std::fill(std::begin(blob), std::end(blob), 0xEE);
        const std::optional<std::size_t> size = DecodeHexBytes(hex, blob, sizeof(blob));
        ASSERT_TRUE(size) << testing::PrintToString(hex);
        // Two zero bytes after the decoded ones belong to the blob.
        EXPECT_EQ(sizeof(bytes) + 2, *size);
        EXPECT_EQ(std::vector<unsigned char>(bytes, bytes + sizeof(bytes)),
                  std::vector<unsigned char>(blob, blob + sizeof(bytes)));
        EXPECT_EQ(0, blob[sizeof(bytes)]);
        EXPECT_EQ(0, blob[sizeof(bytes) + 1]);
        EXPECT_EQ(0xEE, blob[sizeof(bytes) + 2]);
    }
}

TEST(HexBytes, RefusesWhatIsNotPairsOfDigits) {
    struct Case {
        const wchar_t* hex;
        bool decodes;
    } cases[] = {
        {L"", true},
        {L"AB", true},
        {L"ABC", false},
        {L"A", false},
        {L"AG", false},
        {L"G0", false},
        {L"A ", false},
        {L" A", false},
        {L"0x", false},
        {L"-1", false},
        {L"zz", false},
        {L"\x00C1"
         L"0",
         false},
        {L"0123456789abcdefABCDEF", true},
    };
    for (const Case& c : cases) {
        unsigned char blob[32] = {};
        EXPECT_EQ(c.decodes, DecodeHexBytes(c.hex, blob, sizeof(blob)).has_value())
            << testing::PrintToString(c.hex);
    }
    unsigned char small[3] = {};
    EXPECT_FALSE(DecodeHexBytes(L"AABB", small, sizeof(small)));
    unsigned char exact[4] = {};
    EXPECT_EQ(std::optional<std::size_t>(4), DecodeHexBytes(L"AABB", exact, sizeof(exact)));
    EXPECT_EQ(4u, HexBlobSize(4));
    EXPECT_EQ(2u, HexBlobSize(0));
}

struct SsidCase {
    const wchar_t* text;
    bool succeeds;
    std::vector<unsigned char> bytes; // expected when it succeeds
};

void ExpectSsidRule(bool (*convert)(std::wstring_view, unsigned char (&)[SsidCapacity], int&),
                    const std::vector<SsidCase>& cases) {
    for (const SsidCase& c : cases) {
        unsigned char ssid[SsidCapacity];
        std::fill(std::begin(ssid), std::end(ssid), 0xEE);
        int length = -7;
        EXPECT_EQ(c.succeeds, convert(c.text, ssid, length)) << testing::PrintToString(c.text);
        if (c.succeeds) {
            EXPECT_EQ(static_cast<int>(c.bytes.size()), length) << testing::PrintToString(c.text);
            EXPECT_EQ(c.bytes, std::vector<unsigned char>(ssid, ssid + c.bytes.size()));
        } else {
            EXPECT_EQ(-7, length) << "length changed on failure: "
                                  << testing::PrintToString(c.text);
        }
    }
}

TEST(ParseSsidHex, TakesUpTo32BytesOfHexPairs) {
    const std::wstring digits64(64, L'a');
    const std::wstring digits66(66, L'a');
    ExpectSsidRule(ParseSsidHex, {
                                     {L"4142", true, {0x41, 0x42}},
                                     {L"00ff", true, {0x00, 0xFF}},
                                     {L"", true, {}},
                                     {digits64.c_str(), true, std::vector<unsigned char>(32, 0xAA)},
                                     {digits66.c_str(), false, {}},
                                     {L"414", false, {}},
                                     {L"4G", false, {}},
                                     {L"41 2", false, {}},
                                 });
}

TEST(ParseSsidHex, FailurePartWayKeepsEarlierBytes) {
    unsigned char ssid[SsidCapacity] = {};
    int length = 5;
    EXPECT_FALSE(ParseSsidHex(L"4142ZZ", ssid, length));
    EXPECT_EQ(5, length);
    EXPECT_EQ(0x41, ssid[0]);
    EXPECT_EQ(0x42, ssid[1]);
}

TEST(CopySsidText, TakesUpTo32PrintableAsciiUnits) {
    const std::wstring name32(32, L'~');
    const std::wstring name33(33, L'x');
    const std::string channel = "Diagnostic Channel";
    ExpectSsidRule(CopySsidText,
                   {
                       {L"Diagnostic Channel", true, {channel.begin(), channel.end()}},
                       {L" ", true, {0x20}},
                       {L"", true, {}},
                       {name32.c_str(), true, std::vector<unsigned char>(32, '~')},
                       {name33.c_str(), false, {}},
                       {L"tab\there", false, {}},
                       {L"del\x007F", false, {}},
                       {L"caf\x00E9", false, {}},
                       {L"\x4E2D", false, {}},
                   });
}

TEST(EqualIgnoringCaseWithin, FollowsTheFourUnitTableRule) {
    struct Case {
        const wchar_t* name;
        const wchar_t* text;
        bool equal;
    } cases[] = {
        {L"None", L"None", true},
        {L"None", L"NONE", true},
        {L"None", L"none-at-all", true},
        {L"None", L"non", false},
        {L"None", L"", false},
        {L"AES", L"aes", true},
        {L"AES", L"Aes", true},
        {L"AES", L"AES256", false},
        {L"AES", L"AE", false},
        {L"TKIP", L"tkip-x", true},
        {L"WEP", L"WEP ", false},
        {L"AES", nullptr, false},
        {L"AES",
         L"\x00C1"
         L"ES",
         false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.equal, EqualIgnoringCaseWithin(c.name, c.text, 4))
            << testing::PrintToString(c.name) << " vs "
            << testing::PrintToString(c.text ? c.text : L"(null)");
    }
}

} // namespace
