#include "profile_reader.h"

#include "extension_client.h"

#include "fragments/fragment_text.h"
#include "fragments/xml_document.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <span>

namespace {

constexpr wchar_t ProfileNamespace[] = L"http://www.microsoft.com/networking/WLAN/profile/v1";

// Enumerators of DOT11_AUTH_ALGORITHM and DOT11_CIPHER_ALGORITHM in the Windows SDK's
// <wlantypes.h> that MinGW-w64's copy of the header lacks, with the SDK's values.
namespace sdk {
constexpr DWORD DOT11_AUTH_ALGO_WPA3 = 8; // WPA3-Enterprise 192-bit
constexpr DWORD DOT11_AUTH_ALGO_WPA3_SAE = 9;
constexpr DWORD DOT11_AUTH_ALGO_OWE = 10;
constexpr DWORD DOT11_AUTH_ALGO_WPA3_ENT = 11;
constexpr DWORD DOT11_CIPHER_ALGO_GCMP = 8;
constexpr DWORD DOT11_CIPHER_ALGO_GCMP_256 = 9;
} // namespace sdk

// The profile's names in MSM/security/authEncryption and the platform's numbers for them.
// A name missing here is none the platform's profiles use: such a profile reaches the
// extension without Microsoft security settings.
struct SecurityName {
    const wchar_t* name;
    DWORD value;
};
constexpr SecurityName AuthenticationNames[] = {{L"open", DOT11_AUTH_ALGO_80211_OPEN},
                                                {L"shared", DOT11_AUTH_ALGO_80211_SHARED_KEY},
                                                {L"WPA", DOT11_AUTH_ALGO_WPA},
                                                {L"WPAPSK", DOT11_AUTH_ALGO_WPA_PSK},
                                                {L"WPA2", DOT11_AUTH_ALGO_RSNA},
                                                {L"WPA2PSK", DOT11_AUTH_ALGO_RSNA_PSK},
                                                {L"WPA3", sdk::DOT11_AUTH_ALGO_WPA3},
                                                {L"WPA3ENT192", sdk::DOT11_AUTH_ALGO_WPA3},
                                                {L"WPA3SAE", sdk::DOT11_AUTH_ALGO_WPA3_SAE},
                                                {L"OWE", sdk::DOT11_AUTH_ALGO_OWE},
                                                {L"WPA3ENT", sdk::DOT11_AUTH_ALGO_WPA3_ENT}};
constexpr SecurityName EncryptionNames[] = {
    {L"none", DOT11_CIPHER_ALGO_NONE},      {L"WEP", DOT11_CIPHER_ALGO_WEP},
    {L"TKIP", DOT11_CIPHER_ALGO_TKIP},      {L"AES", DOT11_CIPHER_ALGO_CCMP},
    {L"GCMP", sdk::DOT11_CIPHER_ALGO_GCMP}, {L"GCMP256", sdk::DOT11_CIPHER_ALGO_GCMP_256}};

std::optional<DWORD> SecurityValue(std::span<const SecurityName> names, const std::wstring& name) {
    for (const SecurityName& entry : names) {
        if (name == entry.name) {
            return entry.value;
        }
    }
    return std::nullopt;
}

// loadXML reads the decoded text, so an encoding named in the declaration would only
// contradict it.
std::wstring WithoutDeclaration(const std::wstring& text) {
    const size_t start = text.find_first_not_of(L" \t\r\n");
    if (start == std::wstring::npos || text.compare(start, 5, L"<?xml") != 0) {
        return text;
    }
    const size_t end = text.find(L"?>", start);
    return end == std::wstring::npos ? text : text.substr(end + 2);
}

// The IHV element's text as it stands: its start tag through the first "</IHV>" after it.
std::optional<std::wstring> CutIhvElement(const std::wstring& text) {
    for (size_t at = text.find(L"<IHV"); at != std::wstring::npos;
         at = text.find(L"<IHV", at + 1)) {
        const wchar_t next = at + 4 < text.size() ? text[at + 4] : L'\0';
        if (next == L'>' || iswspace(next)) {
            const size_t end = text.find(L"</IHV>", at);
            if (end == std::wstring::npos) {
                return std::nullopt;
            }
            return text.substr(at, end + 6 - at);
        }
    }
    return std::nullopt;
}

bool IsWellFormed(const std::wstring& text) {
    return static_cast<bool>(CreateLoadedDocument(text.c_str()));
}

std::optional<std::wstring> ChildText(IXMLDOMNode* node, const wchar_t* path) {
    UniqueBstr text;
    if (!ReadChildText(node, path, text)) {
        return std::nullopt;
    }
    return std::wstring(text.get(), SysStringLen(text.get()));
}

bool IsProfileRoot(IXMLDOMNode* root) {
    UniqueBstr name;
    UniqueBstr space;
    return root->get_baseName(name.put()) == S_OK && name &&
           std::wcscmp(name.get(), L"WLANProfile") == 0 &&
           root->get_namespaceURI(space.put()) == S_OK && space &&
           std::wcscmp(space.get(), ProfileNamespace) == 0;
}

// hex wins over name, as on the platform; 1 to 32 bytes either way.
std::optional<DOT11_SSID> ReadSsid(IXMLDOMNode* node) {
    DOT11_SSID ssid{};
    if (const std::optional<std::wstring> hex = ChildText(node, L"hex")) {
        int length = 0;
        if (hex->empty() || !ParseSsidHex(*hex, ssid.ucSSID, length)) {
            return std::nullopt;
        }
        ssid.uSSIDLength = static_cast<ULONG>(length);
        return ssid;
    }
    const std::optional<std::wstring> name = ChildText(node, L"name");
    if (!name || name->empty()) {
        return std::nullopt;
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, name->data(), static_cast<int>(name->size()),
                                         nullptr, 0, nullptr, nullptr);
    if (size <= 0 || size > DOT11_SSID_MAX_LENGTH) {
        return std::nullopt;
    }
    WideCharToMultiByte(CP_UTF8, 0, name->data(), static_cast<int>(name->size()),
                        reinterpret_cast<char*>(ssid.ucSSID), size, nullptr, nullptr);
    ssid.uSSIDLength = static_cast<ULONG>(size);
    return ssid;
}

// Every SSIDConfig/SSID; an error when there is none or one that is no SSID.
std::wstring ReadSsids(IXMLDOMNode* root, std::vector<DOT11_SSID>& ssids) {
    ComPtr<IXMLDOMNodeList> list;
    const UniqueBstr path = UniqueBstr(SysAllocString(L"SSIDConfig/SSID"));
    long count = 0;
    if (root->selectNodes(path.get(), list.GetAddressOf()) != S_OK || !list ||
        list->get_length(&count) != S_OK || count == 0) {
        return L"the profile has no SSID (SSIDConfig/SSID)";
    }
    for (long i = 0; i < count; ++i) {
        ComPtr<IXMLDOMNode> node;
        std::optional<DOT11_SSID> ssid;
        if (list->get_item(i, node.GetAddressOf()) == S_OK && node) {
            ssid = ReadSsid(node.Get());
        }
        if (!ssid) {
            return L"SSID " + std::to_wstring(i + 1) +
                   L" has neither a hex of 1 to 32 bytes nor a name of 1 to 32 bytes";
        }
        ssids.push_back(*ssid);
    }
    return L"";
}

void ReadSecurity(IXMLDOMNode* root, WirelessProfile& profile) {
    const ComPtr<IXMLDOMNode> node = SelectNode(root, L"MSM/security/authEncryption");
    if (!node) {
        profile.securityNote = L"the profile has no MSM/security/authEncryption";
        return;
    }
    const std::wstring authentication = ChildText(node.Get(), L"authentication").value_or(L"");
    const std::wstring encryption = ChildText(node.Get(), L"encryption").value_or(L"");
    const std::optional<DWORD> auth = SecurityValue(AuthenticationNames, authentication);
    const std::optional<DWORD> cipher = SecurityValue(EncryptionNames, encryption);
    if (!auth || !cipher) {
        profile.securityNote = L"authentication \"" + authentication + L"\" with encryption \"" +
                               encryption + L"\" has no DOT11 enumerator in the platform header";
        return;
    }
    const std::wstring oneX = ChildText(node.Get(), L"useOneX").value_or(L"false");
    DOT11_MSSECURITY_SETTINGS settings{};
    settings.dot11AuthAlgorithm = static_cast<DOT11_AUTH_ALGORITHM>(*auth);
    settings.dot11CipherAlgorithm = static_cast<DOT11_CIPHER_ALGORITHM>(*cipher);
    settings.fOneXEnabled = oneX == L"true" || oneX == L"1";
    profile.security = settings;
}

// A file that does not load: when it loads without its IHV element, the IHV element is to
// blame. The platform stores neither, so the host has nothing to pass.
ProfileReading NotWellFormed(const std::wstring& text) {
    const std::optional<std::wstring> ihv = CutIhvElement(text);
    if (ihv && !IsWellFormed(*ihv)) {
        std::wstring rest = text;
        rest.erase(rest.find(*ihv), ihv->size());
        if (IsWellFormed(WithoutDeclaration(rest))) {
            return {std::nullopt, L"the IHV element is not well-formed XML"};
        }
    }
    return {std::nullopt, L"not a wireless profile: the file is not well-formed XML"};
}

} // namespace

ProfileReading ReadWirelessProfile(const std::wstring& text) {
    const ComPtr<IXMLDOMDocument> document = CreateLoadedDocument(WithoutDeclaration(text).c_str());
    if (!document) {
        return NotWellFormed(text);
    }
    const ComPtr<IXMLDOMElement> root = DocumentElement(document.Get());
    if (!root || !IsProfileRoot(root.Get())) {
        return {std::nullopt, std::wstring(L"not a wireless profile: the root is not WLANProfile "
                                           L"in the namespace ") +
                                  ProfileNamespace};
    }
    WirelessProfile profile;
    profile.name = ChildText(root.Get(), L"name").value_or(L"");
    if (profile.name.empty() || profile.name.size() >= MS_MAX_PROFILE_NAME_LENGTH) {
        return {std::nullopt, L"not a wireless profile: its name is missing or longer than " +
                                  std::to_wstring(MS_MAX_PROFILE_NAME_LENGTH - 1) + L" characters"};
    }
    // The platform refuses to store a profile without SSIDs: no host shows one.
    if (std::wstring error = ReadSsids(root.Get(), profile.ssids); !error.empty()) {
        return {std::nullopt, error};
    }
    const std::wstring type = ChildText(root.Get(), L"connectionType").value_or(L"");
    if (type != L"ESS" && type != L"IBSS") {
        return {std::nullopt,
                L"not a wireless profile: connectionType is \"" + type + L"\", not ESS or IBSS"};
    }
    profile.bssType = type == L"ESS" ? dot11_BSS_type_infrastructure : dot11_BSS_type_independent;
    ReadSecurity(root.Get(), profile);
    if (!SelectNode(root.Get(), L"IHV")) {
        return {profile, L""};
    }
    profile.vendorText = CutIhvElement(text);
    if (!profile.vendorText) {
        return {std::nullopt, L"the IHV element has no end tag </IHV>"};
    }
    // The profile itself is sound, so the host holds it and passes the IHV text as it stands,
    // although that text alone does not load (a prefix declared outside it, say).
    if (!IsWellFormed(*profile.vendorText)) {
        return {profile, L"the IHV element is not well-formed XML on its own"};
    }
    return {profile, L""};
}

ProfileRecord::ProfileRecord(const WirelessProfile& profile, const GUID& adapter) {
    const size_t count = profile.ssids.size();
    const size_t bytes =
        sizeof(DOT11EXT_IHV_SSID_LIST) + (count > 0 ? count - 1 : 0) * sizeof(DOT11_SSID);
    ssidList_.reset(static_cast<DOT11EXT_IHV_SSID_LIST*>(CoTaskMemAlloc(bytes)));
    if (ssidList_ && count > 0) {
        ssidList_.get()->ulCount = static_cast<ULONG>(count);
        std::memcpy(ssidList_.get()->SSIDs, profile.ssids.data(), count * sizeof(DOT11_SSID));
        params_.dot11ExtIhvProfileParams.pSsidList = ssidList_.get();
    }
    params_.dot11ExtIhvProfileParams.BssType = profile.bssType;
    if (profile.security) {
        security_ = *profile.security;
        params_.dot11ExtIhvProfileParams.pMSSecuritySettings = &security_;
    }
    wcsncpy(params_.wstrProfileName, profile.name.c_str(), MS_MAX_PROFILE_NAME_LENGTH - 1);
    params_.dwProfileTypeFlags = MS_PROFILE_USER;
    params_.interfaceGuid = adapter;
}

std::vector<std::wstring> DescribeRecord(const DOT11EXT_IHV_PARAMS& params) {
    const DOT11EXT_IHV_PROFILE_PARAMS& profile = params.dot11ExtIhvProfileParams;
    std::vector<std::wstring> lines;
    lines.push_back(L"wstrProfileName: " + std::wstring(params.wstrProfileName));
    lines.push_back(L"dwProfileTypeFlags: " + std::to_wstring(params.dwProfileTypeFlags));
    lines.push_back(L"interfaceGuid: " + GuidText(params.interfaceGuid));
    const ULONG count = profile.pSsidList != nullptr ? profile.pSsidList->ulCount : 0;
    const DOT11_SSID* ssids = count > 0 ? profile.pSsidList->SSIDs : nullptr;
    for (ULONG i = 0; i < count; ++i) {
        const DOT11_SSID& ssid = ssids[i];
        wchar_t hex[2 * DOT11_SSID_MAX_LENGTH + 1] = {};
        EncodeHexBytes(ssid.ucSSID, std::min<ULONG>(ssid.uSSIDLength, DOT11_SSID_MAX_LENGTH), hex);
        lines.push_back(L"SSID " + std::to_wstring(i + 1) + L": " + hex);
    }
    lines.push_back(L"BssType: " + std::to_wstring(profile.BssType));
    const DOT11_MSSECURITY_SETTINGS* security = profile.pMSSecuritySettings;
    lines.push_back(security == nullptr
                        ? L"MS security: none"
                        : L"MS security: auth " + std::to_wstring(security->dot11AuthAlgorithm) +
                              L", cipher " + std::to_wstring(security->dot11CipherAlgorithm) +
                              L", 802.1X " + std::to_wstring(security->fOneXEnabled));
    return lines;
}
