#include "fragments/ccx_settings.h"

#include "common/decimal_text.h"
#include "common/hresult.h"
#include "fragments/fragment_envelope.h"
#include "fragments/xml_document.h"

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

constexpr int DefaultMaxOffChannelTimeMs = 50;
constexpr int DefaultMinOnChannelTimeMs = 400;
constexpr wchar_t DefaultDiagnosticSsid[] = L"Diagnostic Channel";

// Stored profiles say "true" exactly; any other readable text means off.
int BooleanField(const UniqueBstr& text) {
    return std::wcscmp(text.get(), L"true") == 0 ? 1 : 0;
}

const wchar_t* BooleanText(int field) {
    return field == 1 ? L"true" : L"false";
}

void ReadDecimalChild(IXMLDOMNode* parent, const wchar_t* name, int& field) {
    UniqueBstr text;
    if (ReadChildText(parent, name, text)) {
        field = ParseDecimal(text.get());
    }
}

// Present and readable: 1 or 0; present but unreadable: CcxInvalid; absent: unchanged.
void ReadBooleanNode(IXMLDOMNode* node, int& field) {
    if (node == nullptr) {
        return;
    }
    UniqueBstr text;
    field = ReadNodeText(node, text) ? BooleanField(text) : CcxInvalid;
}

void ReadRadioMeasurement(CcxSettings& settings, IXMLDOMNode* ccx) {
    ComPtr<IXMLDOMNode> radio = SelectNode(ccx, L"RadioMeasurement");
    if (!radio) {
        settings.radioMeasurement = 1;
        settings.locationBasedServices = 1;
        settings.maxOffChannelTimeMs = DefaultMaxOffChannelTimeMs;
        settings.minOnChannelTimeMs = DefaultMinOnChannelTimeMs;
        return;
    }
    if (SelectNode(radio.Get(), L"disabled")) {
        settings.radioMeasurement = 0;
        return;
    }
    ComPtr<IXMLDOMNode> enabled = SelectNode(radio.Get(), L"enabled");
    if (!enabled) {
        return;
    }
    settings.radioMeasurement = 1;
    settings.locationBasedServices =
        SelectNode(enabled.Get(), L"disableLocationBasedServices") ? 0 : 1;
    ReadDecimalChild(enabled.Get(), L"MaxOffChannelTimeMs", settings.maxOffChannelTimeMs);
    ReadDecimalChild(enabled.Get(), L"MinOnChannelTimeMs", settings.minOnChannelTimeMs);
}

void ReadKeepAliveTimer(CcxSettings& settings, IXMLDOMNode* ccx) {
    ComPtr<IXMLDOMNode> timer = SelectNode(ccx, L"KeepAliveTimer");
    if (!timer) {
        settings.keepAliveEnabled = 0;
        settings.keepAlivePeriod = 0;
        return;
    }
    settings.keepAliveEnabled = 1;
    ReadDecimalChild(timer.Get(), L"Period", settings.keepAlivePeriod);
}

void ReadDiagnosticSsid(CcxSettings& settings, IXMLDOMNode* channel) {
    UniqueBstr text;
    // Hex wins over Name; Name is looked at only when there is no Hex at all.
    if (ComPtr<IXMLDOMNode> hex = SelectNode(channel, L"SSID/Hex")) {
        if (ReadNodeText(hex.Get(), text) &&
            !ParseSsidHex(text.get(), settings.diagnosticSsid, settings.diagnosticSsidLength)) {
            settings.diagnosticSsidLength = CcxInvalid;
        }
        return;
    }
    if (ComPtr<IXMLDOMNode> name = SelectNode(channel, L"SSID/Name")) {
        if (ReadNodeText(name.Get(), text) &&
            !CopySsidText(text.get(), settings.diagnosticSsid, settings.diagnosticSsidLength)) {
            settings.diagnosticSsidLength = CcxInvalid;
        }
    }
}

void ReadDiagnostics(CcxSettings& settings, IXMLDOMNode* ccx) {
    if (ComPtr<IXMLDOMNode> channel = SelectNode(ccx, L"Diagnostics/Channel")) {
        ReadDiagnosticSsid(settings, channel.Get());
        ReadBooleanNode(SelectNode(channel.Get(), L"EnableClientReporting").Get(),
                        settings.enableClientReporting);
    }
    ReadBooleanNode(SelectNode(ccx, L"Diagnostics/AuthorizedProfile").Get(),
                    settings.authorizedProfile);
}

void AppendDecimal(FragmentWriter& writer, IXMLDOMNode* parent, const wchar_t* name, int value) {
    if (ComPtr<IXMLDOMNode> node = writer.Append(parent, name)) {
        wchar_t text[16] = {}; // "-2147483648" and the terminator fit
        _itow(value, text, 10);
        writer.SetText(node.Get(), text);
    }
}

void AppendBoolean(FragmentWriter& writer, IXMLDOMNode* parent, const wchar_t* name, int value) {
    if (ComPtr<IXMLDOMNode> node = writer.Append(parent, name)) {
        writer.SetText(node.Get(), BooleanText(value));
    }
}

void WriteRadioMeasurement(const CcxSettings& settings, FragmentWriter& writer, IXMLDOMNode* root) {
    if (settings.radioMeasurement == CcxNotSet) {
        return;
    }
    ComPtr<IXMLDOMNode> radio = writer.Append(root, L"RadioMeasurement");
    if (!radio) {
        return;
    }
    if (settings.radioMeasurement != 1) {
        writer.Append(radio.Get(), L"disabled");
        return;
    }
    ComPtr<IXMLDOMNode> enabled = writer.Append(radio.Get(), L"enabled");
    if (!enabled) {
        return;
    }
    if (settings.locationBasedServices == 0) {
        writer.Append(enabled.Get(), L"disableLocationBasedServices");
    }
    AppendDecimal(writer, enabled.Get(), L"MaxOffChannelTimeMs", settings.maxOffChannelTimeMs);
    AppendDecimal(writer, enabled.Get(), L"MinOnChannelTimeMs", settings.minOnChannelTimeMs);
}

void WriteKeepAliveTimer(const CcxSettings& settings, FragmentWriter& writer, IXMLDOMNode* root) {
    if (settings.keepAliveEnabled != 1) {
        return;
    }
    if (ComPtr<IXMLDOMNode> timer = writer.Append(root, L"KeepAliveTimer")) {
        AppendDecimal(writer, timer.Get(), L"Period", settings.keepAlivePeriod);
    }
}

void WriteChannel(const CcxSettings& settings, FragmentWriter& writer, IXMLDOMNode* diagnostics) {
    ComPtr<IXMLDOMNode> channel = writer.Append(diagnostics, L"Channel");
    if (!channel) {
        return;
    }
    if (settings.diagnosticSsidLength > 0) {
        if (ComPtr<IXMLDOMNode> ssid = writer.Append(channel.Get(), L"SSID")) {
            if (ComPtr<IXMLDOMNode> hex = writer.Append(ssid.Get(), L"Hex")) {
                // The record never holds more than 32 bytes; never read past them.
                const std::size_t length =
                    std::min<std::size_t>(settings.diagnosticSsidLength, SsidCapacity);
                wchar_t text[2 * SsidCapacity + 1] = {};
                EncodeHexBytes(settings.diagnosticSsid, length, text);
                writer.SetText(hex.Get(), text);
            }
        }
    }
    if (settings.enableClientReporting != CcxNotSet) {
        AppendBoolean(writer, channel.Get(), L"EnableClientReporting",
                      settings.enableClientReporting);
    }
}

void WriteDiagnostics(const CcxSettings& settings, FragmentWriter& writer, IXMLDOMNode* root) {
    const bool hasChannel =
        settings.diagnosticSsidLength > 0 || settings.enableClientReporting != CcxNotSet;
    if (!hasChannel && settings.authorizedProfile == CcxNotSet) {
        return;
    }
    ComPtr<IXMLDOMNode> diagnostics = writer.Append(root, L"Diagnostics");
    if (!diagnostics) {
        return;
    }
    if (settings.authorizedProfile != CcxNotSet) {
        AppendBoolean(writer, diagnostics.Get(), L"AuthorizedProfile", settings.authorizedProfile);
    }
    if (hasChannel) {
        WriteChannel(settings, writer, diagnostics.Get());
    }
}

} // namespace

void CcxSettings::SetNotSet() {
    radioMeasurement = CcxNotSet;
    locationBasedServices = CcxNotSet;
    enableClientReporting = CcxNotSet;
    authorizedProfile = CcxNotSet;
    maxOffChannelTimeMs = CcxNotSet;
    minOnChannelTimeMs = CcxNotSet;
    keepAliveEnabled = 0;
    keepAlivePeriod = CcxNotSet;
    diagnosticSsidLength = CcxNotSet;
}

void CcxSettings::SetDefaults() {
    radioMeasurement = 1;
    locationBasedServices = 1;
    enableClientReporting = 0;
    authorizedProfile = 0;
    maxOffChannelTimeMs = DefaultMaxOffChannelTimeMs;
    minOnChannelTimeMs = DefaultMinOnChannelTimeMs;
    keepAlivePeriod = 0;
    CopySsidText(DefaultDiagnosticSsid, diagnosticSsid, diagnosticSsidLength);
}

HRESULT WriteCcxSettings(const CcxSettings& settings, UniqueBstr& text) {
    FragmentWriter writer(L"<CCX/>");
    WriteRadioMeasurement(settings, writer, writer.root());
    WriteKeepAliveTimer(settings, writer, writer.root());
    WriteDiagnostics(settings, writer, writer.root());
    return writer.Finish(L"any", text);
}

HRESULT ReadCcxSettings(CcxSettings& settings, const wchar_t* vendorText) {
    ComPtr<IXMLDOMElement> root;
    RETURN_IF_FAILED(LoadFragmentRoot(vendorText, L"CCX", root));
    if (!root) {
        return S_OK;
    }
    // "/CCX" is found once; the paths below it start there rather than at the document, which
    // finds the same nodes without walking down from the document for each of them. Without a
    // CCX element every one of them is absent.
    ComPtr<IXMLDOMNode> ccx = SelectNode(root.Get(), L"/CCX");
    ReadRadioMeasurement(settings, ccx.Get());
    ReadKeepAliveTimer(settings, ccx.Get());
    ReadDiagnostics(settings, ccx.Get());
    return S_OK;
}
