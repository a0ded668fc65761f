#include "extension/key_property_table.h"

#include "extension/key_names.h"

namespace {
constexpr auto Cckm = static_cast<DOT11_AUTH_ALGORITHM>(AuthCckm);
constexpr auto Wep = DOT11_CIPHER_ALGO_WEP104;
constexpr auto Tkip = DOT11_CIPHER_ALGO_TKIP;
constexpr auto Aes = DOT11_CIPHER_ALGO_CCMP;
} // namespace

const KeyPropertyEntry KeyPropertyTable[KeyPropertyCount] = {
    {Cckm, FALSE, 3, FALSE, 0, 3, {Wep, Tkip, Aes}},
    {DOT11_AUTH_ALGO_RSNA, FALSE, 2, TRUE, 2, 2, {Tkip, Aes}},
};
