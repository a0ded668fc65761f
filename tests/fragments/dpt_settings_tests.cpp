#include "fragments/dpt_settings.h"

#include "common/bstr.h"
#include "fragments/fragment_text.h"
#include "fragments/xml_document.h"

#include "com_apartment.h"
#include "fragment_test_text.h"
#include "free_watch.h"
#include "refused_calls.h"
#include "xml_compare.h"

#include <cwctype>
#include <string>
#include <vector>

namespace {

std::wstring Passphrase(const DptSettings& settings) {
    return settings.passphrase;
}

bool AllZero(const wchar_t (&passphrase)[PassphraseCapacity]) {
    for (wchar_t unit : passphrase) {
        if (unit != L'\0') {
            return false;
        }
    }
    return true;
}

void Fill(DptSettings& settings, int usePrivateKey, int encryption, const wchar_t* passphrase) {
    settings.usePrivateKey = usePrivateKey;
    settings.encryption = encryption;
    SecureZeroMemory(settings.passphrase, sizeof(settings.passphrase));
    wcsncpy(settings.passphrase, passphrase, PassphraseCapacity - 1);
}

// A record full of leftovers, so the tests see what the reader resets.
DptSettings Stale() {
    DptSettings settings;
    settings.usePrivateKey = 7;
    settings.encryption = 9;
    for (wchar_t& unit : settings.passphrase) {
        unit = L'x';
    }
    return settings;
}

ComPtr<IXMLDOMDocument> Loaded(const wchar_t* text) {
    ComPtr<IXMLDOMDocument> document = CreateLoadedDocument(text);
    EXPECT_TRUE(document) << testing::PrintToString(text);
    return document;
}

UniqueBstr Write(const DptSettings& settings) {
    return Written(WriteDptFragment, settings);
}

DptSettings ReadBack(const wchar_t* fragment) {
    DptSettings settings = Stale();
    EXPECT_HR(S_OK, ReadDptFragment(settings, fragment));
    return settings;
}

// The protected bytes of any plain data, as the hexadecimal text a profile would hold.
std::wstring ProtectedHex(const void* data, DWORD size) {
    DATA_BLOB input{};
    input.cbData = size;
    input.pbData = static_cast<BYTE*>(const_cast<void*>(data));
    SecureBlob output;
    if (!CryptProtectData(&input, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_LOCAL_MACHINE,
                          output.put())) {
        ADD_FAILURE() << "CryptProtectData failed: " << GetLastError();
        return L"";
    }
    std::wstring hex(2 * output.get().cbData, L'\0');
    EncodeHexBytes(output.get().pbData, output.get().cbData, hex.data());
    return hex;
}

bool IsUpperHex(const std::wstring& text) {
    for (wchar_t c : text) {
        if (!((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F'))) {
            return false;
        }
    }
    return true;
}

class DptFragmentTest : public ComTest {};

// The protection buffers are LocalAlloc memory of the code linked into this executable.
class LocalFreeWatch : public ModuleFreeWatch {
  public:
    explicit LocalFreeWatch(std::wstring_view secret)
        : ModuleFreeWatch(GetModuleHandleW(nullptr), {secret}, Releases::LocalMemory) {}
};

// --- Writing ---

TEST_F(DptFragmentTest, WritesChildrenInOrderUnderDptv1) {
    struct Case {
        int usePrivateKey;
        int encryption;
        const wchar_t* expected;
    } cases[] = {
        {0, DptEncryptionNone,
         L"<DPT xmlns=\"dptv1\"><useDPTPrivateKey>false</useDPTPrivateKey>"
         L"<DPTEncryption>None</DPTEncryption></DPT>"},
        {1, DptEncryptionAes,
         L"<DPT xmlns=\"dptv1\"><useDPTPrivateKey>true</useDPTPrivateKey>"
         L"<DPTEncryption>AES</DPTEncryption></DPT>"},
        {-3, DptEncryptionAes,
         L"<DPT xmlns=\"dptv1\"><useDPTPrivateKey>true</useDPTPrivateKey>"
         L"<DPTEncryption>AES</DPTEncryption></DPT>"},
        // A kind without a name leaves the element empty.
        {0, 2,
         L"<DPT xmlns=\"dptv1\"><useDPTPrivateKey>false</useDPTPrivateKey>"
         L"<DPTEncryption/></DPT>"},
    };
    for (const Case& c : cases) {
        DptSettings settings;
        Fill(settings, c.usePrivateKey, c.encryption, L"");
        const UniqueBstr text = Write(settings);
        ASSERT_TRUE(text);
        EXPECT_SAME_XML(c.expected, Text(text))
            << "usePrivateKey " << c.usePrivateKey << " encryption " << c.encryption;
        EXPECT_EQ(L"dptv1", RootNamespace(text.get()));
    }
}

TEST_F(DptFragmentTest, WrittenTextDeclaresTheNamespaceAndReadsBackByPlainPaths) {
    DptSettings settings;
    Fill(settings, 1, DptEncryptionAes, L"pass phrase");
    const UniqueBstr text = Write(settings);
    ASSERT_TRUE(text);

    EXPECT_EQ(L"dptv1", RootNamespace(text.get()));
    ComPtr<IXMLDOMDocument> document = Loaded(text.get());
    ASSERT_TRUE(document);
    ComPtr<IXMLDOMElement> root = DocumentElement(document.Get());
    ASSERT_TRUE(root);
    ComPtr<IXMLDOMNode> dpt = SelectNode(root.Get(), L"/DPT");
    ASSERT_TRUE(dpt);
    UniqueBstr hex;
    ASSERT_TRUE(ReadNodeText(SelectNode(dpt.Get(), L"DPTPrivateKey").Get(), hex));
    const std::wstring hexText = Text(hex);
    EXPECT_FALSE(hexText.empty());
    EXPECT_EQ(0u, hexText.size() % 2);
    EXPECT_TRUE(IsUpperHex(hexText)) << hexText;

    // The order of the children, with the protected text left out of the comparison.
    const std::wstring expected = L"<DPT xmlns=\"dptv1\"><useDPTPrivateKey>true</useDPTPrivateKey>"
                                  L"<DPTPrivateKey>" +
                                  hexText +
                                  L"</DPTPrivateKey><DPTEncryption>AES</DPTEncryption></DPT>";
    EXPECT_SAME_XML(expected, Text(text));
}

TEST_F(DptFragmentTest, WriterWithoutADocumentGivesNoText) {
    DptSettings settings;
    Fill(settings, 1, DptEncryptionAes, L"secret");
    RefusedCalls refused(GetModuleHandleW(nullptr), RefuseDocuments, 0);
    ASSERT_TRUE(refused.active());
    UniqueBstr text = BstrCopy(L"stale");
    EXPECT_TRUE(FAILED(WriteDptFragment(settings, text)));
    EXPECT_FALSE(text);
}

// --- Reading ---

TEST_F(DptFragmentTest, ReadsEachChildByNameAndResetsTheRest) {
    struct Case {
        const wchar_t* fragment;
        int usePrivateKey;
        int encryption;
    } cases[] = {
        {L"<DPT xmlns=\"dptv1\"><useDPTPrivateKey>true</useDPTPrivateKey>"
         L"<DPTEncryption>AES</DPTEncryption></DPT>",
         1, DptEncryptionAes},
        {L"<DPT><useDPTPrivateKey>true</useDPTPrivateKey></DPT>", 1, DptEncryptionNone},
        {L"<DPT><useDPTPrivateKey>True</useDPTPrivateKey></DPT>", 0, DptEncryptionNone},
        {L"<DPT><useDPTPrivateKey>1</useDPTPrivateKey></DPT>", 0, DptEncryptionNone},
        {L"<DPT><DPTEncryption>aes</DPTEncryption></DPT>", 0, DptEncryptionAes},
        {L"<DPT><DPTEncryption>aEs</DPTEncryption></DPT>", 0, DptEncryptionAes},
        {L"<DPT><DPTEncryption>AESX</DPTEncryption></DPT>", 0, DptEncryptionNone},
        {L"<DPT><DPTEncryption>nOnE-and-more</DPTEncryption></DPT>", 0, DptEncryptionNone},
        {L"<DPT><DPTEncryption/></DPT>", 0, DptEncryptionNone},
        // Order does not matter, unknown children are passed over, the first of a name counts.
        {L"<DPT><extra/><DPTEncryption>AES</DPTEncryption><DPTEncryption>None</DPTEncryption>"
         L"<useDPTPrivateKey>true</useDPTPrivateKey><useDPTPrivateKey>false</useDPTPrivateKey>"
         L"</DPT>",
         1, DptEncryptionAes},
        {L"<DPT xmlns=\"other\" a=\"b\"><useDPTPrivateKey>true</useDPTPrivateKey></DPT>", 1,
         DptEncryptionNone},
        {L"<DPT/>", 0, DptEncryptionNone},
        // A wrong root leaves the record all zero.
        {L"<CCX><useDPTPrivateKey>true</useDPTPrivateKey><DPTEncryption>AES</DPTEncryption></CCX>",
         0, DptEncryptionNone},
        {L"<dpt><useDPTPrivateKey>true</useDPTPrivateKey></dpt>", 0, DptEncryptionNone},
    };
    for (const Case& c : cases) {
        const DptSettings settings = ReadBack(c.fragment);
        EXPECT_EQ(c.usePrivateKey, settings.usePrivateKey) << testing::PrintToString(c.fragment);
        EXPECT_EQ(c.encryption, settings.encryption) << testing::PrintToString(c.fragment);
        EXPECT_TRUE(AllZero(settings.passphrase)) << testing::PrintToString(c.fragment);
    }
}

TEST_F(DptFragmentTest, FragmentsThatDoNotLoadReadAsAllZero) {
    for (const wchar_t* text : {L"<DPT><useDPTPrivateKey>true</DPT>", L"", L"<DPT/><DPT/>",
                                static_cast<const wchar_t*>(nullptr)}) {
        DptSettings settings = Stale();
        EXPECT_HR(S_OK, ReadDptFragment(settings, text));
        EXPECT_EQ(0, settings.usePrivateKey) << testing::PrintToString(text);
        EXPECT_EQ(0, settings.encryption);
        EXPECT_TRUE(AllZero(settings.passphrase));
    }
}

TEST_F(DptFragmentTest, UnusablePrivateKeysLeaveThePassphraseEmpty) {
    const wchar_t plain[] = L"good passphrase";
    const std::wstring good = ProtectedHex(plain, sizeof(plain));
    ASSERT_GT(good.size(), 4u);
    std::wstring lastByteChanged = good;
    lastByteChanged.back() = lastByteChanged.back() == L'0' ? L'1' : L'0';
    std::wstring badDigit = good;
    badDigit[good.size() / 2] = L'G';
    std::wstring withSpace = good;
    withSpace[4] = L' ';
    // Random bytes of a plausible blob length: never protected on this machine.
    const std::wstring foreign =
        L"01000000D08C9DDF0115D1118C7A00C04FC297EB010000003C5A1F8E7D4B2A9C6E0F3B8D1A5C7E92"
        L"0000000002000000000003660000C000000010000000A4F3B2C1D0E9F8A7B6C5D4E3F2A1B0C90000"
        L"000004800000A00000001000000077E5D4C3B2A19F8E7D6C5B4A39281706280000009C8B7A695847"
        L"3625140F1E2D3C4B5A69788796A5B4C3D2E1F00F1E2D3C4B5A6978140000003A4B5C6D7E8F90A1B2"
        L"C3D4E5F60718293A4B5C6D7E";

    struct Case {
        const char* what;
        std::wstring hex;
    } cases[] = {
        {"odd length", good.substr(0, good.size() - 1)},
        {"digit beyond F", badDigit},
        {"space", withSpace},
        {"last byte changed", lastByteChanged},
        {"truncated", good.substr(0, good.size() - 8)},
        {"protected elsewhere", foreign},
        {"empty", L""},
    };
    for (const Case& c : cases) {
        wchar_t passphrase[PassphraseCapacity];
        std::fill(std::begin(passphrase), std::end(passphrase), L'x');
        EXPECT_FALSE(UnprotectPassphrase(c.hex.c_str(), passphrase)) << c.what;
        EXPECT_TRUE(AllZero(passphrase)) << c.what;

        const std::wstring fragment =
            L"<DPT><useDPTPrivateKey>true</useDPTPrivateKey><DPTPrivateKey>" + c.hex +
            L"</DPTPrivateKey><DPTEncryption>AES</DPTEncryption></DPT>";
        const DptSettings settings = ReadBack(fragment.c_str());
        EXPECT_TRUE(AllZero(settings.passphrase)) << c.what;
        EXPECT_EQ(1, settings.usePrivateKey) << c.what;
        EXPECT_EQ(DptEncryptionAes, settings.encryption) << c.what;
    }
    wchar_t passphrase[PassphraseCapacity] = {};
    EXPECT_FALSE(UnprotectPassphrase(nullptr, passphrase));
}

// --- Passphrase protection and round trips ---

TEST_F(DptFragmentTest, PassphrasesSurviveProtectionAndTheFragment) {
    const std::wstring longest(64, L'Z');
    const wchar_t* const passphrases[] = {
        L"a",
        L"correct horse battery staple",
        L"  spaces at both ends  ",
        L"P\x00E4ssw\x00F6rd \x2713 \x65E5\x672C",
        L"<&>\"'",
        longest.c_str(),
    };
    for (const wchar_t* passphrase : passphrases) {
        const UniqueBstr hex = ProtectPassphrase(passphrase);
        ASSERT_TRUE(hex) << testing::PrintToString(passphrase);
        const std::wstring hexText = Text(hex);
        EXPECT_EQ(0u, hexText.size() % 2);
        EXPECT_TRUE(IsUpperHex(hexText));

        wchar_t back[PassphraseCapacity];
        std::fill(std::begin(back), std::end(back), L'x');
        ASSERT_TRUE(UnprotectPassphrase(hex.get(), back));
        EXPECT_EQ(std::wstring(passphrase), std::wstring(back));

        // Readers accept lower-case digits too.
        std::wstring lower = hexText;
        for (wchar_t& c : lower) {
            c = static_cast<wchar_t>(std::towlower(c));
        }
        ASSERT_TRUE(UnprotectPassphrase(lower.c_str(), back));
        EXPECT_EQ(std::wstring(passphrase), std::wstring(back));

        for (int encryption : {DptEncryptionNone, DptEncryptionAes}) {
            DptSettings settings;
            Fill(settings, 1, encryption, passphrase);
            const UniqueBstr fragment = Write(settings);
            ASSERT_TRUE(fragment);
            const DptSettings read = ReadBack(fragment.get());
            EXPECT_EQ(1, read.usePrivateKey);
            EXPECT_EQ(encryption, read.encryption);
            EXPECT_EQ(std::wstring(passphrase), Passphrase(read));
        }
    }
}

TEST_F(DptFragmentTest, EmptyPassphraseIsNeitherProtectedNorWritten) {
    EXPECT_FALSE(ProtectPassphrase(L""));
    EXPECT_FALSE(ProtectPassphrase(nullptr));

    DptSettings settings;
    Fill(settings, 1, DptEncryptionAes, L"");
    const UniqueBstr fragment = Write(settings);
    ASSERT_TRUE(fragment);
    ComPtr<IXMLDOMDocument> document = Loaded(fragment.get());
    ASSERT_TRUE(document);
    EXPECT_FALSE(SelectNode(DocumentElement(document.Get()).Get(), L"/DPT/DPTPrivateKey"));
    const DptSettings read = ReadBack(fragment.get());
    EXPECT_EQ(1, read.usePrivateKey);
    EXPECT_TRUE(AllZero(read.passphrase));
}

TEST_F(DptFragmentTest, OverlongPassphrasesAreCutTo64) {
    // Protecting takes no more than the record holds.
    const std::wstring seventy(70, L'q');
    const UniqueBstr hex = ProtectPassphrase(seventy.c_str());
    ASSERT_TRUE(hex);
    wchar_t back[PassphraseCapacity];
    ASSERT_TRUE(UnprotectPassphrase(hex.get(), back));
    EXPECT_EQ(std::wstring(64, L'q'), std::wstring(back));

    // A stored blob with a longer passphrase, or none terminated, is cut and terminated.
    std::wstring hundred;
    for (int i = 0; i < 100; ++i) {
        hundred += static_cast<wchar_t>(L'A' + i % 26);
    }
    struct Case {
        const char* what;
        std::wstring plain;
        DWORD bytes;
        std::wstring expected;
    } cases[] = {
        {"100 characters", hundred, static_cast<DWORD>((hundred.size() + 1) * 2),
         hundred.substr(0, 64)},
        {"100 characters, no terminator", hundred, static_cast<DWORD>(hundred.size() * 2),
         hundred.substr(0, 64)},
        {"65 characters", hundred.substr(0, 65), 66 * 2, hundred.substr(0, 64)},
        {"3 characters, no terminator", L"abc", 6, L"abc"},
        {"odd byte count", L"abc", 5, L"ab"},
        {"stops at the terminator", std::wstring(L"ab\0cd", 5), 10, L"ab"},
    };
    for (const Case& c : cases) {
        const std::wstring stored = ProtectedHex(c.plain.data(), c.bytes);
        wchar_t passphrase[PassphraseCapacity];
        std::fill(std::begin(passphrase), std::end(passphrase), L'x');
        ASSERT_TRUE(UnprotectPassphrase(stored.c_str(), passphrase)) << c.what;
        EXPECT_EQ(c.expected, std::wstring(passphrase)) << c.what;
        for (size_t i = c.expected.size(); i < PassphraseCapacity; ++i) {
            EXPECT_EQ(L'\0', passphrase[i]) << c.what << " unit " << i;
        }

        const std::wstring fragment = L"<DPT><DPTPrivateKey>" + stored + L"</DPTPrivateKey></DPT>";
        const DptSettings read = ReadBack(fragment.c_str());
        EXPECT_EQ(c.expected, Passphrase(read)) << c.what;
        EXPECT_EQ(L'\0', read.passphrase[PassphraseCapacity - 1]) << c.what;
    }
}

// --- Secrets do not outlive their buffers ---

TEST_F(DptFragmentTest, FreedBuffersNeverHoldThePassphrase) {
    const std::wstring secret = L"Wipe-Me-7f3a-Passphrase";
    UniqueBstr hex;
    {
        LocalFreeWatch watch(secret);
        ASSERT_TRUE(watch.installed());
        hex = ProtectPassphrase(secret.c_str());
        ASSERT_TRUE(hex);
        EXPECT_GT(watch.releasedBlocks(), 0);
        EXPECT_EQ(0, watch.blocksHoldingSecret()) << "protection input or output not wiped";
    }
    {
        LocalFreeWatch watch(secret);
        wchar_t back[PassphraseCapacity];
        ASSERT_TRUE(UnprotectPassphrase(hex.get(), back));
        EXPECT_EQ(secret, std::wstring(back));
        EXPECT_GT(watch.releasedBlocks(), 0);
        EXPECT_EQ(0, watch.blocksHoldingSecret()) << "unprotected output not wiped";
    }
    {
        // The decoded protected blob is wiped as well; its tail is unique to this blob.
        const std::wstring hexText = Text(hex);
        ASSERT_GT(hexText.size(), 64u);
        const std::wstring protectedBytes = hexText.substr(hexText.size() - 64);
        std::vector<unsigned char> head(HexBlobSize(protectedBytes.size()));
        ASSERT_TRUE(DecodeHexBytes(protectedBytes, head.data(), head.size()));
        std::wstring headAsUnits(reinterpret_cast<const wchar_t*>(head.data()), 16);
        LocalFreeWatch watch(headAsUnits);
        wchar_t back[PassphraseCapacity];
        ASSERT_TRUE(UnprotectPassphrase(hex.get(), back));
        EXPECT_EQ(0, watch.blocksHoldingSecret()) << "decoded input not wiped";
    }
    {
        LocalFreeWatch watch(secret);
        DptSettings settings;
        Fill(settings, 1, DptEncryptionAes, secret.c_str());
        const UniqueBstr fragment = Write(settings);
        ASSERT_TRUE(fragment);
        EXPECT_EQ(std::wstring::npos, Text(fragment).find(secret));
        const DptSettings read = ReadBack(fragment.get());
        EXPECT_EQ(secret, Passphrase(read));
        EXPECT_EQ(0, watch.blocksHoldingSecret()) << "fragment round trip left a copy";
    }
}

TEST_F(DptFragmentTest, FreeWatchSeesAnUnwipedBlock) {
    // The watch itself must notice a block freed with the secret still in it.
    const std::wstring secret = L"Not-Wiped-Control";
    LocalFreeWatch watch(secret);
    ASSERT_TRUE(watch.installed());
    {
        UniqueLocal<wchar_t> block(
            static_cast<wchar_t*>(LocalAlloc(LMEM_FIXED, (secret.size() + 1) * sizeof(wchar_t))));
        ASSERT_TRUE(block);
        wcscpy(block.get(), secret.c_str());
    }
    EXPECT_EQ(1, watch.blocksHoldingSecret());
}

} // namespace
