#pragma once

#include <dot11_ext_ui.h>

#include <cstddef>

// The root object's constant key-property table: entry 0 (CCKM with WEP, TKIP, AES) and
// entry 1 (WPA2 with TKIP, AES under their marked names). The root object offers the
// entries whose availabilityMask meets the machine policy mask.
constexpr std::size_t KeyPropertyCount = 2;
extern const KeyPropertyEntry KeyPropertyTable[KeyPropertyCount];

constexpr LONG MaxCipherCount = 10;
