#pragma once

#include <cstdint>

// The security-key property's name tables and the rules built on them; no Windows header.
// The numbers are those of DOT11_AUTH_ALGORITHM and DOT11_CIPHER_ALGORITHM.

constexpr std::uint32_t AuthOpen = 1;
constexpr std::uint32_t AuthWpa = 3;
constexpr std::uint32_t AuthWpa2 = 6;
constexpr std::uint32_t AuthCckm = 0x80000001; // first value of the adapter makers' range

constexpr std::uint32_t CipherNone = 0;
constexpr std::uint32_t CipherTkip = 2;
constexpr std::uint32_t CipherAes = 4; // CCMP
constexpr std::uint32_t CipherWep = 5; // WEP-104

// Display name of an authentication kind, or null when the table lacks it.
const wchar_t* AuthenticationDisplayName(std::uint32_t authAlgorithm);

// Display name of a cipher, marked ("(MFP)", "(CCX)") or plain; null when the table lacks it.
const wchar_t* CipherDisplayName(std::uint32_t cipher, bool marked);

// An entry's default cipher: the cipher in row cipherCount - 1 of the cipher-name table
// (not of the entry's own list: stored profiles were written with this choice). Rows
// outside the table give no cipher.
std::uint32_t DefaultCipherForCount(int cipherCount);

// The position of the first occurrence of cipher among the first count ciphers, else
// count - 1.
std::uint32_t SelectedCipherIndex(const std::uint32_t* ciphers, int count, std::uint32_t cipher);
