#pragma once

// A seeded generator of vendor sections and fragments for the stress tests: valid CCX
// settings, DPT and CCX network-type fragments and vendor sections in both layouts, then
// mutated (truncated, tags swapped or duplicated, entity, CDATA and DOCTYPE tricks, characters
// outside the BMP, lone surrogates and zero units, white space inside tags, odd numbers),
// sometimes 1 MB long or nested 10,000 deep. Windows-free; input i of a seed is always the
// same text, so a failure names the input that reproduces it.

#include <cstdint>
#include <string>
#include <vector>

struct GeneratedText {
    std::wstring text;  // may hold zero units: it is handed over as a BSTR
    std::string recipe; // how it was made, for failure messages
};

class FragmentGenerator {
  public:
    // protectedPassphrases: hexadecimal texts of passphrases protected on this machine, so
    // that some DPT fragments carry a passphrase that unprotects.
    FragmentGenerator(std::uint32_t seed, std::vector<std::wstring> protectedPassphrases);

    // Any kind of base text, or only CCX network-type fragments (for the key properties).
    enum class Base { Any, NetworkType };
    GeneratedText Make(std::uint32_t index, Base base = Base::Any) const;

    // Indices whose text is always one of the big kinds, so that every run, however short,
    // holds a 1 MB text and a 10,000-deep nesting.
    static constexpr std::uint32_t HugeTextIndex = 1;
    static constexpr std::uint32_t DeepNestingIndex = 2;
    static constexpr std::size_t HugeTextUnits = 1 << 20;
    static constexpr std::size_t DeepNestingLevels = 10000;

  private:
    std::uint32_t seed_;
    std::vector<std::wstring> protectedPassphrases_;
};
