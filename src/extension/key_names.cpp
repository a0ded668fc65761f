#include "extension/key_names.h"

#include <iterator>

namespace {

struct AuthenticationName {
    std::uint32_t authAlgorithm;
    const wchar_t* name;
};

const AuthenticationName AuthenticationNames[] = {
    {AuthCckm, L"CCKM"},
    {AuthWpa2, L"(WPA2)"},
    {AuthWpa, L"(WPA)"},
    {AuthOpen, L"Open (CCX)"},
};

struct CipherName {
    std::uint32_t cipher;
    const wchar_t* plain;
    const wchar_t* marked;
};

const CipherName CipherNames[] = {
    {CipherWep, L"WEP", L"WEP (CCX)"},
    {CipherTkip, L"TKIP", L"TKIP (MFP)"},
    {CipherAes, L"AES", L"AES (MFP)"},
    {CipherNone, L"None", L"None (CCX)"},
};

} // namespace

const wchar_t* AuthenticationDisplayName(std::uint32_t authAlgorithm) {
    for (const AuthenticationName& row : AuthenticationNames) {
        if (row.authAlgorithm == authAlgorithm) {
            return row.name;
        }
    }
    return nullptr;
}

const wchar_t* CipherDisplayName(std::uint32_t cipher, bool marked) {
    for (const CipherName& row : CipherNames) {
        if (row.cipher == cipher) {
            return marked ? row.marked : row.plain;
        }
    }
    return nullptr;
}

std::uint32_t DefaultCipherForCount(int cipherCount) {
    const int row = cipherCount - 1;
    if (row < 0 || row >= static_cast<int>(std::size(CipherNames))) {
        return CipherNone;
    }
    return CipherNames[row].cipher;
}

std::uint32_t SelectedCipherIndex(const std::uint32_t* ciphers, int count, std::uint32_t cipher) {
    for (int i = 0; i < count; ++i) {
        if (ciphers[i] == cipher) {
            return static_cast<std::uint32_t>(i);
        }
    }
    return static_cast<std::uint32_t>(count - 1);
}
