#include "fragments/dpt_settings.h"

#include "fragments/fragment_text.h"
#include "fragments/xml_document.h"

#include <climits>
#include <cwchar>

namespace {

struct EncryptionName {
    int value;
    const wchar_t* name;
};

// Looked up in this order.
constexpr EncryptionName EncryptionNames[] = {
    {DptEncryptionNone, L"None"},
    {DptEncryptionAes, L"AES"},
};

// Stored profiles spell the names in any case and "None" with anything after it.
constexpr std::size_t EncryptionNameUnits = 4;

constexpr std::size_t PassphraseMaxLength = PassphraseCapacity - 1;

void ClearPassphrase(wchar_t (&passphrase)[PassphraseCapacity]) {
    SecureZeroMemory(passphrase, sizeof(passphrase));
}

// The protected blob behind a hexadecimal text, with the two zero bytes that go with it.
bool DecodeProtectedBlob(std::wstring_view hexText, SecureBlob& blob) {
    if (hexText.size() % 2 != 0 || HexBlobSize(hexText.size()) > MAXDWORD) {
        return false;
    }
    const DWORD size = static_cast<DWORD>(HexBlobSize(hexText.size()));
    if (!blob.allocate(size)) {
        return false;
    }
    if (!DecodeHexBytes(hexText, blob.data(), blob.size())) {
        blob.reset();
        return false;
    }
    return true;
}

void ReadUsePrivateKey(DptSettings& settings, IXMLDOMNode* dpt) {
    UniqueBstr text;
    if (ReadChildText(dpt, L"useDPTPrivateKey", text)) {
        settings.usePrivateKey = std::wcscmp(text.get(), L"true") == 0 ? 1 : 0;
    }
}

void ReadPrivateKey(DptSettings& settings, IXMLDOMNode* dpt) {
    ComPtr<IXMLDOMNode> key = SelectNode(dpt, L"DPTPrivateKey");
    if (!key) {
        return;
    }
    ClearPassphrase(settings.passphrase);
    UniqueBstr text;
    if (ReadNodeText(key.Get(), text)) {
        UnprotectPassphrase(text.get(), settings.passphrase);
    }
}

void ReadEncryption(DptSettings& settings, IXMLDOMNode* dpt) {
    UniqueBstr text;
    if (!ReadChildText(dpt, L"DPTEncryption", text)) {
        return;
    }
    for (const EncryptionName& row : EncryptionNames) {
        if (EqualIgnoringCaseWithin(row.name, text.get(), EncryptionNameUnits)) {
            settings.encryption = row.value;
            return;
        }
    }
}

const wchar_t* EncryptionNameOf(int value) {
    for (const EncryptionName& row : EncryptionNames) {
        if (row.value == value) {
            return row.name;
        }
    }
    return nullptr;
}

} // namespace

HRESULT ReadDptFragment(DptSettings& settings, const wchar_t* vendorText) {
    settings.usePrivateKey = 0;
    ClearPassphrase(settings.passphrase);
    settings.encryption = DptEncryptionNone;

    const std::optional<std::wstring> fragment = ExtractFragment(vendorText, L"DPT");
    if (!fragment) {
        return S_OK;
    }
    ComPtr<IXMLDOMDocument> document = CreateLoadedDocument(fragment->c_str());
    ComPtr<IXMLDOMElement> root = DocumentElement(document.Get());
    if (!root) {
        return S_OK;
    }
    ComPtr<IXMLDOMNode> dpt = SelectNode(root.Get(), L"/DPT");
    if (!dpt) {
        return S_OK;
    }
    ReadUsePrivateKey(settings, dpt.Get());
    ReadPrivateKey(settings, dpt.Get());
    ReadEncryption(settings, dpt.Get());
    return S_OK;
}

HRESULT WriteDptFragment(const DptSettings& settings, UniqueBstr& text) {
    text.reset();
    ComPtr<IXMLDOMDocument> owner = CreateLoadedDocument(L"<DPT/>");
    IXMLDOMDocument* document = owner.Get();
    ComPtr<IXMLDOMElement> root = DocumentElement(document);
    if (!root) {
        return E_OUTOFMEMORY;
    }
    if (ComPtr<IXMLDOMNode> use = AppendElement(document, root.Get(), L"useDPTPrivateKey")) {
        SetNodeText(use.Get(), settings.usePrivateKey != 0 ? L"true" : L"false");
    }
    if (settings.passphrase[0] != L'\0') {
        // Written even when protection fails: the element then stays empty.
        if (ComPtr<IXMLDOMNode> key = AppendElement(document, root.Get(), L"DPTPrivateKey")) {
            if (UniqueBstr protectedText = ProtectPassphrase(settings.passphrase)) {
                SetNodeText(key.Get(), protectedText.get());
            }
        }
    }
    if (ComPtr<IXMLDOMNode> encryption = AppendElement(document, root.Get(), L"DPTEncryption")) {
        if (const wchar_t* name = EncryptionNameOf(settings.encryption)) {
            SetNodeText(encryption.Get(), name);
        }
    }
    SetXmlnsAttribute(root.Get(), L"dptv1");
    text = NodeXml(root.Get());
    return text ? S_OK : E_OUTOFMEMORY;
}

UniqueBstr ProtectPassphrase(const wchar_t* passphrase) {
    if (passphrase == nullptr) {
        return UniqueBstr();
    }
    const std::size_t length = wcsnlen(passphrase, PassphraseMaxLength);
    if (length == 0) {
        return UniqueBstr();
    }
    // The plain text handed to the service lives in a buffer wiped on every path.
    SecureBlob plain;
    const DWORD plainSize = static_cast<DWORD>((length + 1) * sizeof(wchar_t));
    if (!plain.allocate(plainSize)) {
        return UniqueBstr();
    }
    CopyMemory(plain.data(), passphrase, length * sizeof(wchar_t)); // terminator already zero

    DATA_BLOB input = plain.get();
    SecureBlob output;
    if (!CryptProtectData(&input, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_LOCAL_MACHINE,
                          output.put())) {
        return UniqueBstr();
    }
    const DATA_BLOB& blob = output.get();
    if (blob.pbData == nullptr || blob.cbData == 0 || blob.cbData > UINT_MAX / 2) {
        return UniqueBstr();
    }
    UniqueBstr text(SysAllocStringLen(nullptr, blob.cbData * 2));
    if (!text) {
        return text;
    }
    EncodeHexBytes(blob.pbData, blob.cbData, text.get());
    return text;
}

bool UnprotectPassphrase(const wchar_t* hexText, wchar_t (&passphrase)[PassphraseCapacity]) {
    ClearPassphrase(passphrase);
    if (hexText == nullptr || *hexText == L'\0') {
        return false;
    }
    // The protected bytes, though no plain text, are wiped like everything near the secret.
    SecureBlob protectedBlob;
    if (!DecodeProtectedBlob(hexText, protectedBlob)) {
        return false;
    }
    DATA_BLOB input = protectedBlob.get();
    SecureBlob output;
    if (!CryptUnprotectData(&input, nullptr, nullptr, nullptr, nullptr, 0, output.put())) {
        return false;
    }
    const DATA_BLOB& plain = output.get();
    if (plain.pbData == nullptr || plain.cbData == 0) {
        return false;
    }
    // Copy unit by unit up to the protected terminator; a blob longer than the record holds
    // is cut to 64 characters rather than overrunning it.
    const std::size_t units = plain.cbData / sizeof(wchar_t);
    const std::size_t take = units < PassphraseMaxLength ? units : PassphraseMaxLength;
    for (std::size_t i = 0; i < take; ++i) {
        wchar_t unit = L'\0';
        CopyMemory(&unit, plain.pbData + i * sizeof(wchar_t), sizeof(wchar_t));
        if (unit == L'\0') {
            break;
        }
        passphrase[i] = unit;
    }
    passphrase[PassphraseMaxLength] = L'\0';
    return true;
}
