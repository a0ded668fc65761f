#include "dialogs/key_rules.h"

#include "common/ascii_case.h"

namespace {

constexpr std::size_t MinKeyLength = 8;

bool IsHexDigit(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

bool AllHexDigits(std::wstring_view text) {
    for (wchar_t c : text) {
        if (!IsHexDigit(c)) {
            return false;
        }
    }
    return true;
}

} // namespace

std::wstring_view CutKey(std::wstring_view text) {
    return text.substr(0, MaxKeyLength);
}

bool SameKeyIgnoringCase(std::wstring_view first, std::wstring_view second) {
    return EqualIgnoringAsciiCase(first, second);
}

unsigned JudgeKey(std::wstring_view key, std::wstring_view confirmation) {
    key = CutKey(key);
    if (!SameKeyIgnoringCase(key, CutKey(confirmation))) {
        return KeyMismatchMessage;
    }
    if (key.empty()) {
        return KeyMissingMessage;
    }
    if (key.size() == MaxKeyLength) {
        return AllHexDigits(key) ? KeyValid : KeyRuleMessage;
    }
    return key.size() >= MinKeyLength ? KeyValid : KeyRuleMessage;
}
