#pragma once

// The CCX connectivity settings of one profile and their fragment in the vendor section.

#include "common/owners.h"
#include "fragments/fragment_text.h"

// Field values with a fixed meaning.
constexpr int CcxNotSet = -1;  // nothing read or set
constexpr int CcxInvalid = -2; // present in the profile but unreadable or not valid

struct CcxSettings {
    int radioMeasurement = CcxNotSet;      // 0 disabled, 1 enabled
    int locationBasedServices = CcxNotSet; // 1 allowed, 0 not ("disableLocationBasedServices")
    int enableClientReporting = CcxNotSet; // 1 "true", 0 any other text, CcxInvalid
    int authorizedProfile = CcxNotSet;     // as enableClientReporting
    int maxOffChannelTimeMs = CcxNotSet;
    int minOnChannelTimeMs = CcxNotSet;
    int keepAliveEnabled = 0; // 1 when the fragment has a KeepAliveTimer
    int keepAlivePeriod = CcxNotSet;
    int diagnosticSsidLength = CcxNotSet;            // 0 to 32 bytes used, or CcxNotSet, CcxInvalid
    unsigned char diagnosticSsid[SsidCapacity] = {}; // not terminated

    // What a user puts into a record before reading: every integer CcxNotSet except
    // keepAliveEnabled 0. The SSID bytes stay as they are.
    void SetNotSet();

    // The default settings: radio measurement enabled with location-based services, 50 ms
    // off and 400 ms on channel, keep-alive period 0, client reporting and authorized
    // profile off, SSID "Diagnostic Channel". keepAliveEnabled keeps its value.
    void SetDefaults();
};

// Fills `settings` from the CCX fragment of a vendor section. Only the fields the fragment
// speaks for change; an empty or null text, one without a CCX fragment, or a fragment that
// does not load leaves the record as it was. A fragment without RadioMeasurement gives the
// four radio defaults; one without KeepAliveTimer gives keep-alive off with period 0. A
// document that cannot be made fails the read.
HRESULT ReadCcxSettings(CcxSettings& settings, const wchar_t* vendorText);

// The CCX fragment of the settings (root carrying xmlns="any") in `text`. A record with
// nothing to write gives a self-closed CCX element. A failure leaves `text` null.
HRESULT WriteCcxSettings(const CcxSettings& settings, UniqueBstr& text);
