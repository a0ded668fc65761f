#pragma once

#include <windows.h>

#include "common/owners.h"

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

// Reads the DPT fragment of a vendor section (a fragment alone is such a section too). The
// record is first reset to all zero; then the children of "/DPT" fill what they hold. A
// section without a DPT fragment, or one that does not load, leaves the record all zero. A
// passphrase that cannot be decoded, or that the data-protection service refuses as not its
// own, stays empty; a longer one than the record holds is cut to 64 characters. A document
// that cannot be made, or memory that runs out on the way, fails the read.
HRESULT ReadDptFragment(DptSettings& settings, const wchar_t* vendorText);

// The DPT fragment of the settings (root carrying xmlns="dptv1") in `text`. A failure leaves
// `text` null; a passphrase that cannot be protected is such a failure.
HRESULT WriteDptFragment(const DptSettings& settings, UniqueBstr& text);

// The passphrase (at most 64 characters are taken) with its terminator, protected for the
// local machine, as upper-case hexadecimal text; null for an empty passphrase or when
// protection fails.
UniqueBstr ProtectPassphrase(const wchar_t* passphrase);

// The passphrase behind a hexadecimal text that ProtectPassphrase made on this machine,
// written into `passphrase` (cut to 64 characters, zero after its end). False, with
// `passphrase` all zero, for an empty, odd-length or non-hexadecimal text or a blob the
// data-protection service refuses.
bool UnprotectPassphrase(const wchar_t* hexText, wchar_t (&passphrase)[PassphraseCapacity]);
