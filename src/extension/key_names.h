#pragma once

#include "fragments/dot11_algorithms.h"

// The security-key property's name tables and the rules built on them.

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
