// The dot-leader and placeholder rules of dialog text translation (CutDotLeader,
// TranslateControlText) on a control text, with a look-up whose answers the input picks.
#include "fuzz_support.h"
#include "localization/control_text.h"

namespace {

int lookupMode = 0;
int lookupCalls = 0;
std::wstring lookedUp;

// 0: nothing is translated; 1: everything is; 2: only texts of even length are.
std::wstring Lookup(const std::wstring& key) {
    ++lookupCalls;
    lookedUp = key;
    if (lookupMode == 1 || (lookupMode == 2 && key.size() % 2 == 0)) {
        return L"[" + key + L"]";
    }
    return {};
}

std::size_t TrailingDots(const std::wstring& text) {
    std::size_t dots = 0;
    while (dots < text.size() && text[text.size() - 1 - dots] == L'.') {
        ++dots;
    }
    return dots;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    lookupMode = data[0] % 3;
    const std::wstring text = fuzz::AsCString(fuzz::Units(data + 1, size - 1));
    const std::size_t dots = TrailingDots(text);
    const bool leader = dots >= 5;
    const std::wstring key = leader ? text.substr(0, text.size() - dots) : text;

    // The cut writes one terminator inside the caller's buffer and nothing else.
    fuzz::ExactBlock buffer((text.size() + 1) * sizeof(wchar_t));
    auto* scratch = reinterpret_cast<wchar_t*>(buffer.get());
    text.copy(scratch, text.size());
    scratch[text.size()] = L'\0';
    FUZZ_CHECK(CutDotLeader(scratch) == leader);
    FUZZ_CHECK(std::wstring(scratch) == key);
    FUZZ_CHECK(text.compare(0, key.size(), scratch, key.size()) == 0);
    FUZZ_CHECK(!CutDotLeader(nullptr));

    text.copy(scratch, text.size());
    scratch[text.size()] = L'\0';
    lookupCalls = 0;
    const std::wstring result = TranslateControlText(scratch, Lookup);
    if (key.empty()) {
        FUZZ_CHECK(result.empty());
        FUZZ_CHECK(lookupCalls == 0);
        return 0;
    }
    FUZZ_CHECK(lookupCalls == 1 && lookedUp == key);
    std::wstring expected = Lookup(key);
    const bool placeholder =
        key == L"Static" || key == L"..." || key.find(L"<untranslated>") != std::wstring::npos;
    FUZZ_CHECK(IsPlaceholderText(key) == placeholder);
    if (expected.empty() && !placeholder) {
        expected = key;
    }
    if (leader) {
        expected.append(100, L'.');
    }
    FUZZ_CHECK(result == expected);
    return 0;
}
