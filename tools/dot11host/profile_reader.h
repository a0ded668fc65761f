#pragma once

#include "common/owners.h"

#include <dot11_ext_ui.h>

#include <optional>
#include <string>
#include <vector>

// A Windows wireless profile (root WLANProfile in the WLAN profile namespace), read the way
// the host reads one before it calls the extension.
struct WirelessProfile {
    std::wstring name;
    // The IHV element as it stands in the file, from "<IHV" through "</IHV>"; none when the
    // profile has no IHV element.
    std::optional<std::wstring> vendorText;
    std::vector<DOT11_SSID> ssids;
    DOT11_BSS_TYPE bssType = dot11_BSS_type_infrastructure;
    // MSM/security/authEncryption; none when absent or named with a name the platform's
    // profiles do not use (securityNote then says which).
    std::optional<DOT11_MSSECURITY_SETTINGS> security;
    std::wstring securityNote;
};

struct ProfileReading {
    std::optional<WirelessProfile> profile; // none: nothing the host would pass
    std::wstring error;                     // the one line for the person; empty when sound
};

// Reads the profile text (the file as decoded; COM must be initialised).
ProfileReading ReadWirelessProfile(const std::wstring& text);

// The connection record the host builds from a profile, with the SSID list and security
// settings it points to.
class ProfileRecord {
  public:
    ProfileRecord(const WirelessProfile& profile, const GUID& adapter);
    ProfileRecord(const ProfileRecord&) = delete;
    ProfileRecord& operator=(const ProfileRecord&) = delete;
    DOT11EXT_IHV_PARAMS* get() { return &params_; }

  private:
    DOT11EXT_IHV_PARAMS params_{};
    UniqueCoTaskMem<DOT11EXT_IHV_SSID_LIST> ssidList_;
    DOT11_MSSECURITY_SETTINGS security_{};
};

// The record's fields, one a line, as the extension receives them.
std::vector<std::wstring> DescribeRecord(const DOT11EXT_IHV_PARAMS& params);
