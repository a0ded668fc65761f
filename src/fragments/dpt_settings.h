#pragma once

#include <windows.h>

// Direct Packet Transmission settings of one profile. A fresh record is all zero: no private
// passphrase, encryption "None", empty passphrase.
constexpr int PassphraseCapacity = 65; // 64 characters and the terminator

constexpr int DptEncryptionNone = 0; // no cipher
constexpr int DptEncryptionAes = 4;  // CCMP

struct DptSettings {
    int usePrivateKey = 0;
    int encryption = DptEncryptionNone;
    wchar_t passphrase[PassphraseCapacity] = {};

    DptSettings() = default;
    DptSettings(const DptSettings&) = default;
    DptSettings& operator=(const DptSettings&) = default;
    // The record holds a plain passphrase: wiped when it goes.
    ~DptSettings() { SecureZeroMemory(passphrase, sizeof(passphrase)); }
};
