// The key-entry rules of the dialogs (ValidateKey's JudgeKey, CutKey, SameKeyIgnoringCase)
// on a typed key and its confirmation.
#include "dialogs/key_rules.h"
#include "fuzz_support.h"

#include <algorithm>

namespace {

unsigned ReferenceJudge(const std::wstring& key, const std::wstring& confirmation) {
    const std::wstring first = key.substr(0, 64);
    const std::wstring second = confirmation.substr(0, 64);
    if (fuzz::FoldedAscii(first) != fuzz::FoldedAscii(second)) {
        return 4103;
    }
    if (first.empty()) {
        return 5024;
    }
    if (first.size() == 64) {
        for (wchar_t c : first) {
            if (!fuzz::IsHexDigit(c)) {
                return 5022;
            }
        }
        return 0;
    }
    return first.size() >= 8 ? 0 : 5022;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::TwoTexts input = fuzz::SplitAtZero(fuzz::Units(data, size));
    const std::wstring& key = input.first;
    const std::wstring& confirmation = input.second;

    const unsigned verdict = JudgeKey(key, confirmation);
    FUZZ_CHECK(verdict == KeyValid || verdict == KeyMismatchMessage || verdict == KeyRuleMessage ||
               verdict == KeyMissingMessage);
    FUZZ_CHECK(verdict == ReferenceJudge(key, confirmation));
    // Only the first 64 characters count, and the confirmation rule is symmetric.
    FUZZ_CHECK(CutKey(key).size() == std::min<std::size_t>(key.size(), MaxKeyLength));
    FUZZ_CHECK(CutKey(key) == std::wstring_view(key).substr(0, MaxKeyLength));
    FUZZ_CHECK(JudgeKey(key + L"tail", confirmation) == verdict || key.size() < MaxKeyLength);
    FUZZ_CHECK((JudgeKey(confirmation, key) == KeyMismatchMessage) ==
               (verdict == KeyMismatchMessage));
    FUZZ_CHECK(SameKeyIgnoringCase(key, key));
    FUZZ_CHECK(JudgeKey(key, key) != KeyMismatchMessage);
    return 0;
}
