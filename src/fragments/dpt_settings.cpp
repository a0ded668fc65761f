#include "fragments/dpt_settings.h"

#include "common/hresult.h"
#include "fragments/fragment_envelope.h"
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

// The protected blob behind a hexadecimal text, with the two zero bytes that go with it:
// S_OK, S_FALSE for a text that is no blob, E_OUTOFMEMORY.
HRESULT DecodeProtectedBlob(std::wstring_view hexText, SecureBlob& blob) {
    if (hexText.size() % 2 != 0 || HexBlobSize(hexText.size()) > MAXDWORD) {
        return S_FALSE;
    }
    const DWORD size = static_cast<DWORD>(HexBlobSize(hexText.size()));
    if (!blob.allocate(size)) {
        return E_OUTOFMEMORY;
    }
    if (!DecodeHexBytes(hexText, blob.data(), blob.size())) {
        blob.reset();
        return S_FALSE;
    }
    return S_OK;
}

bool IsOutOfMemory(DWORD error) {
    return error == ERROR_NOT_ENOUGH_MEMORY || error == ERROR_OUTOFMEMORY ||
           error == static_cast<DWORD>(E_OUTOFMEMORY);
}

// The data-protection service's failure as an HRESULT (never a success).
HRESULT LastProtectionError() {
    const DWORD error = GetLastError();
    if (IsOutOfMemory(error)) {
        return E_OUTOFMEMORY;
    }
    return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

// ProtectPassphrase's work: S_OK with the text; S_FALSE, with no text, for an empty
// passphrase; the failure when the text cannot be made.
HRESULT ProtectInto(const wchar_t* passphrase, UniqueBstr& text) {
    text.reset();
    const std::size_t length = passphrase != nullptr ? wcsnlen(passphrase, PassphraseMaxLength) : 0;
    if (length == 0) {
        return S_FALSE;
    }
    // The plain text handed to the service lives in a buffer wiped on every path.
    SecureBlob plain;
    const DWORD plainSize = static_cast<DWORD>((length + 1) * sizeof(wchar_t));
    if (!plain.allocate(plainSize)) {
        return E_OUTOFMEMORY;
    }
    CopyMemory(plain.data(), passphrase, length * sizeof(wchar_t)); // terminator already zero

    DATA_BLOB input = plain.get();
    SecureBlob output;
    if (!CryptProtectData(&input, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_LOCAL_MACHINE,
                          output.put())) {
        return LastProtectionError();
    }
    const DATA_BLOB& blob = output.get();
    if (blob.pbData == nullptr || blob.cbData == 0 || blob.cbData > UINT_MAX / 2) {
        return E_UNEXPECTED;
    }
    text.reset(SysAllocStringLen(nullptr, blob.cbData * 2));
    if (!text) {
        return E_OUTOFMEMORY;
    }
    EncodeHexBytes(blob.pbData, blob.cbData, text.get());
    return S_OK;
}

// UnprotectPassphrase's work: S_OK with the passphrase; S_FALSE, with `passphrase` all zero,
// for a text that is no blob or a blob the service refuses (tampered, foreign: absent by
// design); E_OUTOFMEMORY when memory ran out on the way.
HRESULT UnprotectInto(const wchar_t* hexText, wchar_t (&passphrase)[PassphraseCapacity]) {
    ClearPassphrase(passphrase);
    if (hexText == nullptr || *hexText == L'\0') {
        return S_FALSE;
    }
    // The protected bytes, though no plain text, are wiped like everything near the secret.
    SecureBlob protectedBlob;
    const HRESULT decoded = DecodeProtectedBlob(hexText, protectedBlob);
    if (decoded != S_OK) {
        return decoded;
    }
    DATA_BLOB input = protectedBlob.get();
    SecureBlob output;
    if (!CryptUnprotectData(&input, nullptr, nullptr, nullptr, nullptr, 0, output.put())) {
        // Running out of memory is a failure; any other refusal means the blob is not ours.
        const DWORD error = GetLastError();
        return IsOutOfMemory(error) ? E_OUTOFMEMORY : S_FALSE;
    }
    const DATA_BLOB& plain = output.get();
    if (plain.pbData == nullptr || plain.cbData == 0) {
        return S_FALSE;
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
    return S_OK;
}

void ReadUsePrivateKey(DptSettings& settings, IXMLDOMNode* dpt) {
    UniqueBstr text;
    if (ReadChildText(dpt, L"useDPTPrivateKey", text)) {
        settings.usePrivateKey = std::wcscmp(text.get(), L"true") == 0 ? 1 : 0;
    }
}

HRESULT ReadPrivateKey(DptSettings& settings, IXMLDOMNode* dpt) {
    ComPtr<IXMLDOMNode> key = SelectNode(dpt, L"DPTPrivateKey");
    if (!key) {
        return S_OK;
    }
    ClearPassphrase(settings.passphrase);
    UniqueBstr text;
    if (!ReadNodeText(key.Get(), text)) {
        return S_OK;
    }
    const HRESULT hr = UnprotectInto(text.get(), settings.passphrase);
    return FAILED(hr) ? hr : S_OK;
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

    ComPtr<IXMLDOMElement> root;
    RETURN_IF_FAILED(LoadFragmentRoot(vendorText, L"DPT", root));
    if (!root) {
        return S_OK;
    }
    ComPtr<IXMLDOMNode> dpt = SelectNode(root.Get(), L"/DPT");
    if (!dpt) {
        return S_OK;
    }
    ReadUsePrivateKey(settings, dpt.Get());
    const HRESULT hr = ReadPrivateKey(settings, dpt.Get());
    if (FAILED(hr)) {
        ClearPassphrase(settings.passphrase);
        return hr;
    }
    ReadEncryption(settings, dpt.Get());
    return S_OK;
}

HRESULT WriteDptFragment(const DptSettings& settings, UniqueBstr& text) {
    FragmentWriter writer(L"<DPT/>");
    if (ComPtr<IXMLDOMNode> use = writer.Append(writer.root(), L"useDPTPrivateKey")) {
        writer.SetText(use.Get(), settings.usePrivateKey != 0 ? L"true" : L"false");
    }
    if (settings.passphrase[0] != L'\0') {
        // A passphrase that cannot be protected fails the writer: an empty element would
        // lose it.
        if (ComPtr<IXMLDOMNode> key = writer.Append(writer.root(), L"DPTPrivateKey")) {
            UniqueBstr protectedText;
            const HRESULT hr = ProtectInto(settings.passphrase, protectedText);
            if (hr == S_OK) {
                writer.SetText(key.Get(), protectedText.get());
            } else {
                writer.Fail(hr);
            }
        }
    }
    if (ComPtr<IXMLDOMNode> encryption = writer.Append(writer.root(), L"DPTEncryption")) {
        if (const wchar_t* name = EncryptionNameOf(settings.encryption)) {
            writer.SetText(encryption.Get(), name);
        }
    }
    return writer.Finish(L"dptv1", text);
}

UniqueBstr ProtectPassphrase(const wchar_t* passphrase) {
    UniqueBstr text;
    ProtectInto(passphrase, text);
    return text;
}

bool UnprotectPassphrase(const wchar_t* hexText, wchar_t (&passphrase)[PassphraseCapacity]) {
    return UnprotectInto(hexText, passphrase) == S_OK;
}
