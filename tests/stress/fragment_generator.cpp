#include "fragment_generator.h"

#include <algorithm>
#include <cwctype>
#include <random>

namespace {

using Random = std::mt19937;

std::size_t Pick(Random& random, std::size_t count) {
    return std::uniform_int_distribution<std::size_t>(0, count - 1)(random);
}

bool Chance(Random& random, int percent) {
    return static_cast<int>(Pick(random, 100)) < percent;
}

template <typename T, std::size_t N> const T& OneOf(Random& random, const T (&choices)[N]) {
    return choices[Pick(random, N)];
}

const wchar_t* const NumberTexts[] = {
    L"0",           L"9",   L"10",  L"50",  L"51",   L"400",          L"500",
    L"501",         L"255", L"256", L"-1",  L" 12",  L"+7",           L"99999999999",
    L"-2147483649", L"abc", L"",    L"1e3", L"0x10", L"\x0661\x0662", L"2147483647"};

const wchar_t* const BooleanTexts[] = {L"true", L"false", L"True", L"TRUE", L"1", L"", L"true "};

std::wstring Element(const std::wstring& name, const std::wstring& content) {
    return L"<" + name + L">" + content + L"</" + name + L">";
}

std::wstring HexOf(Random& random, std::size_t bytes, bool lowerCase) {
    const wchar_t* digits = lowerCase ? L"0123456789abcdef" : L"0123456789ABCDEF";
    std::wstring text;
    for (std::size_t i = 0; i < 2 * bytes; ++i) {
        text.push_back(digits[Pick(random, 16)]);
    }
    return text;
}

std::wstring SsidElement(Random& random) {
    switch (Pick(random, 6)) {
    case 0:
        return Element(L"SSID",
                       Element(L"Hex", HexOf(random, Pick(random, 35), Chance(random, 30))));
    case 1:
        return Element(L"SSID", Element(L"Hex", HexOf(random, 3, false).substr(1))); // odd
    case 2:
        return Element(L"SSID", Element(L"Name", L"Diagnostic Channel"));
    case 3:
        return Element(L"SSID", Element(L"Name", std::wstring(Pick(random, 40), L'n')));
    case 4:
        return Element(L"SSID", Element(L"Name", L"caf\x00e9") + Element(L"Hex", L"4142"));
    default:
        return Element(L"SSID", L"");
    }
}

std::wstring CcxSettingsFragment(Random& random) {
    std::wstring children;
    switch (Pick(random, 5)) {
    case 0:
        break;
    case 1:
        children += Element(L"RadioMeasurement", L"<disabled/>");
        break;
    case 2:
        children += Element(L"RadioMeasurement", L"<disabled/><enabled/>");
        break;
    case 3:
        children += Element(L"RadioMeasurement", L"");
        break;
    default: {
        std::wstring enabled;
        if (Chance(random, 30)) {
            enabled += L"<disableLocationBasedServices/>";
        }
        if (Chance(random, 90)) {
            enabled += Element(L"MaxOffChannelTimeMs", OneOf(random, NumberTexts));
        }
        if (Chance(random, 90)) {
            enabled += Element(L"MinOnChannelTimeMs", OneOf(random, NumberTexts));
        }
        children += Element(L"RadioMeasurement", Element(L"enabled", enabled));
    }
    }
    if (Chance(random, 50)) {
        children += Element(L"KeepAliveTimer", Chance(random, 80)
                                                   ? Element(L"Period", OneOf(random, NumberTexts))
                                                   : std::wstring());
    }
    if (Chance(random, 70)) {
        std::wstring diagnostics;
        if (Chance(random, 60)) {
            diagnostics += Element(L"AuthorizedProfile", OneOf(random, BooleanTexts));
        }
        if (Chance(random, 80)) {
            std::wstring channel = Chance(random, 80) ? SsidElement(random) : std::wstring();
            if (Chance(random, 60)) {
                channel += Element(L"EnableClientReporting", OneOf(random, BooleanTexts));
            }
            diagnostics += Element(L"Channel", channel);
        }
        children += Element(L"Diagnostics", diagnostics);
    }
    if (Chance(random, 10)) {
        children += L"<Unknown a=\"1\">text</Unknown>";
    }
    return L"<CCX xmlns=\"any\">" + children + L"</CCX>";
}

std::wstring DptFragment(Random& random, const std::vector<std::wstring>& passphrases) {
    std::vector<std::wstring> children;
    if (Chance(random, 90)) {
        children.push_back(Element(L"useDPTPrivateKey", OneOf(random, BooleanTexts)));
    }
    if (Chance(random, 80)) {
        std::wstring key;
        switch (Pick(random, 6)) {
        case 0:
        case 1:
            key = passphrases[Pick(random, passphrases.size())];
            break;
        case 2: {
            key = passphrases[Pick(random, passphrases.size())];
            std::transform(key.begin(), key.end(), key.begin(), [](wchar_t c) {
                return c >= L'A' && c <= L'F' ? static_cast<wchar_t>(c + 32) : c;
            });
            break;
        }
        case 3:
            key = HexOf(random, Pick(random, 200), false);
            break;
        case 4:
            key = passphrases[Pick(random, passphrases.size())];
            key[Pick(random, key.size())] = L'G';
            break;
        default:
            key = passphrases[Pick(random, passphrases.size())];
            key.pop_back();
            break;
        }
        children.push_back(Element(L"DPTPrivateKey", key));
    }
    if (Chance(random, 90)) {
        static const wchar_t* const names[] = {L"AES",    L"aes", L"None", L"NONE-x",
                                               L"AES256", L"",    L"Aes",  L"no"};
        children.push_back(Element(L"DPTEncryption", OneOf(random, names)));
    }
    if (Chance(random, 20)) {
        std::shuffle(children.begin(), children.end(), random);
    }
    std::wstring text = L"<DPT xmlns=\"dptv1\">";
    for (const std::wstring& child : children) {
        text += child;
    }
    return text + L"</DPT>";
}

std::wstring NetworkTypeFragment(Random& random) {
    static const wchar_t* const kinds[] = {L"open", L"cckm", L"wpa", L"wpa2",
                                           L"WPA2", L"wep",  L"x"};
    static const wchar_t* const ciphers[] = {L"None",   L"WEP",    L"TKIP", L"AES",        L"aes",
                                             L"tkip-x", L"AES256", L"",     L"none-at-all"};
    std::wstring children;
    switch (Pick(random, 5)) {
    case 0:
        children = L"<openNetwork/>";
        break;
    case 1:
        children = L"<openNetwork/>" + Element(L"authenticatingNetwork", L"<wpa2/>");
        break;
    case 2:
        break;
    default: {
        std::wstring kind = OneOf(random, kinds);
        std::wstring inner =
            Chance(random, 85) ? Element(L"encryption", OneOf(random, ciphers)) : std::wstring();
        std::wstring network = Element(kind, inner);
        if (Chance(random, 15)) {
            network +=
                Element(OneOf(random, kinds), Element(L"encryption", OneOf(random, ciphers)));
        }
        children = Element(L"authenticatingNetwork", network);
    }
    }
    return L"<CCX xmlns=\"any\">" + children + L"</CCX>";
}

std::wstring VendorSection(Random& random, const std::vector<std::wstring>& passphrases) {
    const std::wstring ccx = CcxSettingsFragment(random);
    const std::wstring dpt = DptFragment(random, passphrases);
    switch (Pick(random, 6)) {
    case 0:
        return L"<Quilmark xmlns=\"v1\">" + ccx + dpt + L"</Quilmark>";
    case 1: {
        std::wstring nested = ccx;
        nested.insert(nested.rfind(L"</CCX>"), dpt);
        return nested;
    }
    case 2:
        return dpt + ccx;
    case 3:
        return L"<Other>" + ccx + L"</Other>text" + dpt;
    case 4:
        return ccx;
    default:
        return dpt;
    }
}

// Positions of tag names: the unit after "<" or "</".
std::vector<std::size_t> TagNameStarts(const std::wstring& text) {
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == L'<') {
            const std::size_t name = text[i + 1] == L'/' ? i + 2 : i + 1;
            if (name < text.size() && iswalpha(text[name])) {
                starts.push_back(name);
            }
        }
    }
    return starts;
}

std::size_t NameLength(const std::wstring& text, std::size_t start) {
    std::size_t end = start;
    while (end < text.size() && text[end] != L'>' && text[end] != L' ' && text[end] != L'/') {
        ++end;
    }
    return end - start;
}

// A position between two elements, or anywhere when the text has none.
std::size_t SomeGap(Random& random, const std::wstring& text) {
    std::vector<std::size_t> gaps;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'>') {
            gaps.push_back(i + 1);
        }
    }
    return gaps.empty() ? Pick(random, text.size() + 1) : gaps[Pick(random, gaps.size())];
}

void Truncate(Random& random, std::wstring& text, std::string& recipe) {
    const std::size_t at = Pick(random, text.size() + 1);
    if (Chance(random, 75)) {
        text.resize(at);
        recipe += " truncated";
    } else {
        text.erase(0, at);
        recipe += " head-cut";
    }
}

void SwapTags(Random& random, std::wstring& text, std::string& recipe) {
    const std::vector<std::size_t> starts = TagNameStarts(text);
    if (starts.size() < 2) {
        return;
    }
    std::size_t a = starts[Pick(random, starts.size())];
    std::size_t b = starts[Pick(random, starts.size())];
    if (a == b) {
        return;
    }
    if (a > b) {
        std::swap(a, b);
    }
    const std::wstring first = text.substr(a, NameLength(text, a));
    const std::wstring second = text.substr(b, NameLength(text, b));
    text.replace(b, second.size(), first);
    text.replace(a, first.size(), second);
    recipe += " tags-swapped";
}

void DuplicateTag(Random& random, std::wstring& text, std::string& recipe) {
    const std::vector<std::size_t> starts = TagNameStarts(text);
    if (starts.size() < 2) {
        return;
    }
    std::size_t a = starts[Pick(random, starts.size())] - 1;
    std::size_t b = starts[Pick(random, starts.size())] - 1;
    if (a > b) {
        std::swap(a, b);
    }
    const std::size_t end = text.find(L'>', b);
    if (end == std::wstring::npos) {
        return;
    }
    while (a > 0 && text[a] != L'<') {
        --a;
    }
    const std::wstring copy = text.substr(a, end + 1 - a);
    text.insert(end + 1, copy);
    recipe += " duplicated";
}

void InsertEntity(Random& random, std::wstring& text, std::string& recipe) {
    static const wchar_t* const tricks[] = {L"&amp;",
                                            L"&lt;/DPT&gt;",
                                            L"&#65;",
                                            L"&#x41;",
                                            L"&foo;",
                                            L"&#0;",
                                            L"&#xD800;",
                                            L"&#x110000;",
                                            L"&#x1F600;",
                                            L"&quot;",
                                            L"&",
                                            L"&#x;",
                                            L"<![CDATA[</DPT></CCX>]]>",
                                            L"<![CDATA[x]]>",
                                            L"<!-- </CCX> -->",
                                            L"<?pi </DPT>?>",
                                            L"<![CDATA[",
                                            L"]]>"};
    text.insert(SomeGap(random, text), OneOf(random, tricks));
    recipe += " entity/CDATA";
}

void AddDoctype(Random& random, std::wstring& text, std::string& recipe) {
    // Entities that expand to 10^4 units, referenced from a text; and an external one.
    std::wstring doctype = L"<!DOCTYPE CCX [<!ENTITY a \"aaaaaaaaaa\">"
                           L"<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
                           L"<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
                           L"<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">"
                           L"<!ENTITY x SYSTEM \"no-such-file.dtd\">]>";
    text.insert(0, doctype);
    text.insert(SomeGap(random, text), Chance(random, 50) ? L"&d;" : L"&x;");
    recipe += " doctype";
}

void InsertOddUnit(Random& random, std::wstring& text, std::string& recipe) {
    static const wchar_t* const units[] = {L"\xD83D\xDE00", L"\xD800", L"\xDFFF", L"\xFFFE",
                                           L"\xFFFF",       L"\x0085", L"\x00A0", L"\x3000",
                                           L"\xFEFF",       L"\x0001"};
    const std::size_t at = Pick(random, text.size() + 1);
    if (Chance(random, 30)) {
        text.insert(at, 1, L'\0');
        recipe += " zero-unit";
    } else {
        text.insert(at, OneOf(random, units));
        recipe += " odd-unit";
    }
}

void FlipCase(Random& random, std::wstring& text, std::string& recipe) {
    const std::vector<std::size_t> starts = TagNameStarts(text);
    if (starts.empty()) {
        return;
    }
    const std::size_t at = starts[Pick(random, starts.size())];
    text[at] = iswupper(text[at]) ? towlower(text[at]) : towupper(text[at]);
    recipe += " case-flipped";
}

void SpaceInTag(Random& random, std::wstring& text, std::string& recipe) {
    const std::size_t close = text.find(L'>', Pick(random, text.size() + 1));
    if (close != std::wstring::npos) {
        text.insert(close, L" ");
        recipe += " space-in-tag";
    }
}

void DeleteRange(Random& random, std::wstring& text, std::string& recipe) {
    if (text.empty()) {
        return;
    }
    const std::size_t at = Pick(random, text.size());
    text.erase(at, Pick(random, 16) + 1);
    recipe += " range-deleted";
}

void MakeHuge(Random& random, std::wstring& text, std::string& recipe) {
    const std::size_t units = FragmentGenerator::HugeTextUnits;
    switch (Pick(random, 4)) {
    case 0: // a 1 MB SSID
        text = L"<CCX xmlns=\"any\"><Diagnostics><Channel><SSID><Hex>" + std::wstring(units, L'A') +
               L"</Hex></SSID></Channel></Diagnostics></CCX>" + text;
        recipe += " huge-ssid";
        break;
    case 1: // a 1 MB passphrase blob
        text += L"<DPT><useDPTPrivateKey>true</useDPTPrivateKey><DPTPrivateKey>" +
                std::wstring(units, L'0') + L"</DPTPrivateKey></DPT>";
        recipe += " huge-passphrase";
        break;
    case 2: // 1 MB of white space between the fragments
        text.insert(SomeGap(random, text), std::wstring(units, L' '));
        recipe += " huge-space";
        break;
    default: { // 1 MB of elements
        std::wstring many;
        while (many.size() < units) {
            many += L"<KeepAliveTimer><Period>1</Period></KeepAliveTimer>";
        }
        text = L"<CCX xmlns=\"any\">" + many + L"</CCX>" + text;
        recipe += " huge-element-list";
    }
    }
}

void NestDeep(Random& random, std::wstring& text, std::string& recipe) {
    const std::size_t levels = FragmentGenerator::DeepNestingLevels;
    static const wchar_t* const names[] = {L"a", L"CCX", L"DPT", L"Channel"};
    const std::wstring name = OneOf(random, names);
    std::wstring open;
    std::wstring close;
    for (std::size_t i = 0; i < levels; ++i) {
        open += L"<" + name + L">";
        close += L"</" + name + L">";
    }
    const std::size_t at = SomeGap(random, text);
    text.insert(at, open + (Chance(random, 80) ? close : std::wstring()));
    recipe += " nested-10000-" + std::string(name.begin(), name.end());
}

} // namespace

FragmentGenerator::FragmentGenerator(std::uint32_t seed,
                                     std::vector<std::wstring> protectedPassphrases)
    : seed_(seed), protectedPassphrases_(std::move(protectedPassphrases)) {
    if (protectedPassphrases_.empty()) {
        protectedPassphrases_.push_back(L"0102");
    }
}

GeneratedText FragmentGenerator::Make(std::uint32_t index, Base base) const {
    Random random(seed_ * 2654435761u + index);
    GeneratedText generated;
    std::wstring& text = generated.text;
    std::string& recipe = generated.recipe;
    switch (base == Base::NetworkType ? 2 : Pick(random, 5)) {
    case 0:
        text = CcxSettingsFragment(random);
        recipe = "ccx";
        break;
    case 1:
        text = DptFragment(random, protectedPassphrases_);
        recipe = "dpt";
        break;
    case 2:
        text = NetworkTypeFragment(random);
        recipe = "network-type";
        break;
    default:
        text = VendorSection(random, protectedPassphrases_);
        recipe = "vendor-section";
        break;
    }
    using Mutation = void (*)(Random&, std::wstring&, std::string&);
    static const Mutation mutations[] = {Truncate,     SwapTags,      DuplicateTag,  InsertEntity,
                                         InsertEntity, InsertOddUnit, InsertOddUnit, FlipCase,
                                         SpaceInTag,   DeleteRange,   AddDoctype};
    // Two fifths stay valid, most of the rest get one mutation, some up to four: texts that
    // still parse reach the deeper rules.
    const int roll = static_cast<int>(Pick(random, 100));
    const std::size_t count = roll < 40 ? 0 : roll < 85 ? 1 : Pick(random, 3) + 2;
    for (std::size_t i = 0; i < count; ++i) {
        OneOf(random, mutations)(random, text, recipe);
    }
    if (index == HugeTextIndex || Pick(random, 1000) == 0) {
        MakeHuge(random, text, recipe);
    }
    if (index == DeepNestingIndex || Pick(random, 1000) == 0) {
        NestDeep(random, text, recipe);
    }
    return generated;
}
