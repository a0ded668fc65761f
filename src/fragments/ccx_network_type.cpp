#include "fragments/ccx_network_type.h"

#include "common/hresult.h"
#include "fragments/dot11_algorithms.h"
#include "fragments/fragment_text.h"
#include "fragments/xml_document.h"

namespace {

constexpr LONG AuthOpenNetwork = AuthOpen;
constexpr LONG CipherNoneValue = CipherNone;

struct NamedValue {
    LONG value;
    const wchar_t* name;
};

// Row order is search order: "wpa" is found before "wpa2" when both stand in a fragment.
const NamedValue AuthenticationElements[] = {
    {AuthOpenNetwork, L"open"},
    {static_cast<LONG>(AuthCckm), L"cckm"},
    {AuthWpa, L"wpa"},
    {AuthWpa2, L"wpa2"},
};

const NamedValue CipherTexts[] = {
    {CipherNoneValue, L"None"},
    {CipherWep, L"WEP"},
    {CipherTkip, L"TKIP"},
    {CipherAes, L"AES"},
};

const wchar_t* NameOf(const NamedValue (&table)[4], LONG value) {
    for (const NamedValue& row : table) {
        if (row.value == value) {
            return row.name;
        }
    }
    return nullptr;
}

// Stored profiles were read with a 4-character, case-insensitive comparison: "tkip-x" reads
// as TKIP, while the three-letter names also compare their terminator ("AES256" is nothing).
void ReadCipher(CcxNetworkType& record, IXMLDOMNode* kindElement) {
    ComPtr<IXMLDOMNode> encryption = SelectNode(kindElement, L"encryption");
    UniqueBstr text;
    if (!encryption || !ReadNodeText(encryption.Get(), text)) {
        return;
    }
    for (const NamedValue& row : CipherTexts) {
        if (EqualIgnoringCaseWithin(row.name, text.get(), 4)) {
            record.cipherAlgorithm = row.value;
            return;
        }
    }
}

void WriteAuthenticatingNetwork(const CcxNetworkType& record, FragmentWriter& writer) {
    ComPtr<IXMLDOMNode> network = writer.Append(writer.root(), L"authenticatingNetwork");
    const wchar_t* kindName = NameOf(AuthenticationElements, record.authAlgorithm);
    if (!network || kindName == nullptr) {
        return;
    }
    ComPtr<IXMLDOMNode> kind = writer.Append(network.Get(), kindName);
    if (!kind) {
        return;
    }
    ComPtr<IXMLDOMNode> encryption = writer.Append(kind.Get(), L"encryption");
    const wchar_t* cipherName = NameOf(CipherTexts, record.cipherAlgorithm);
    if (encryption && cipherName != nullptr) {
        writer.SetText(encryption.Get(), cipherName);
    }
}

} // namespace

HRESULT ReadCcxNetworkType(CcxNetworkType& record, const wchar_t* text) {
    if (text == nullptr || text[0] == L'\0') {
        return S_OK;
    }
    ComPtr<IXMLDOMDocument> document;
    RETURN_IF_FAILED(LoadNewDocument(text, document));
    ComPtr<IXMLDOMElement> root = DocumentElement(document.Get());
    if (!root) {
        return S_OK; // not well-formed: nothing to establish
    }
    if (SelectNode(root.Get(), L"/CCX/openNetwork")) {
        record.authAlgorithm = AuthOpenNetwork;
        record.cipherAlgorithm = CipherNoneValue;
        return S_OK;
    }
    ComPtr<IXMLDOMNode> network = SelectNode(root.Get(), L"/CCX/authenticatingNetwork");
    if (!network) {
        return S_OK;
    }
    for (const NamedValue& row : AuthenticationElements) {
        ComPtr<IXMLDOMNode> kind = SelectNode(network.Get(), row.name);
        if (kind) {
            record.authAlgorithm = row.value;
            ReadCipher(record, kind.Get());
            return S_OK;
        }
    }
    return S_OK;
}

HRESULT WriteCcxNetworkType(const CcxNetworkType& record, UniqueBstr& text) {
    FragmentWriter writer(L"<CCX/>");
    if (record.authAlgorithm == AuthOpenNetwork) {
        writer.Append(writer.root(), L"openNetwork");
    } else {
        WriteAuthenticatingNetwork(record, writer);
    }
    return writer.Finish(L"any", text);
}
