#pragma once

#include <windows.h>
#include <wlantypes.h>

#include <cstdint>

// The authentication and cipher numbers of the CCX network-type fragment and the key
// properties: the platform's DOT11_AUTH_ALGORITHM and DOT11_CIPHER_ALGORITHM values.
constexpr std::uint32_t AuthOpen = DOT11_AUTH_ALGO_80211_OPEN;
constexpr std::uint32_t AuthWpa = DOT11_AUTH_ALGO_WPA;
constexpr std::uint32_t AuthWpa2 = DOT11_AUTH_ALGO_RSNA;
// CCKM has no number of the platform's own: it lies in the adapter makers' range.
constexpr std::uint32_t AuthCckm = DOT11_AUTH_ALGO_IHV_START + 1;

constexpr std::uint32_t CipherNone = DOT11_CIPHER_ALGO_NONE;
constexpr std::uint32_t CipherTkip = DOT11_CIPHER_ALGO_TKIP;
constexpr std::uint32_t CipherAes = DOT11_CIPHER_ALGO_CCMP;
constexpr std::uint32_t CipherWep = DOT11_CIPHER_ALGO_WEP104;
