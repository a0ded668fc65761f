// ExtractFragment on a vendor section and an element name taken from the input.
#include "fragments/fragment_text.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::TwoTexts input = fuzz::SplitAtZero(fuzz::Units(data, size));
    const std::wstring& text = input.first;
    const std::wstring name = fuzz::AsCString(input.second);

    const std::optional<std::wstring> fragment = ExtractFragment(text.c_str(), name.c_str());
    FUZZ_CHECK(!ExtractFragment(nullptr, name.c_str()));
    FUZZ_CHECK(!ExtractFragment(text.c_str(), nullptr));

    const std::wstring startPattern = L"<" + name;
    const std::wstring endPattern = L"</" + name + L">";
    const std::size_t start = text.find(startPattern);
    const bool nameFits = name.size() + 4 <= 256;
    const bool expectFragment = !text.empty() && nameFits && start != std::wstring::npos &&
                                text.find(endPattern, start) != std::wstring::npos;
    FUZZ_CHECK(fragment.has_value() == expectFragment);
    if (!fragment) {
        return 0;
    }
    // The fragment stands in the text at the first start tag, runs from "<name" to "</name>"
    // and holds no complete end tag before its own last one.
    FUZZ_CHECK(fragment->size() >= endPattern.size());
    FUZZ_CHECK(fragment->compare(0, startPattern.size(), startPattern) == 0);
    FUZZ_CHECK(fragment->compare(fragment->size() - endPattern.size(), endPattern.size(),
                                 endPattern) == 0);
    FUZZ_CHECK(text.compare(start, fragment->size(), *fragment) == 0);
    FUZZ_CHECK(fragment->find(endPattern) == fragment->size() - endPattern.size());
    FUZZ_CHECK(fragment->find(L'\0') == std::wstring::npos);
    return 0;
}
