#pragma once

#include <cstddef>
#include <string_view>

// Case folding as the C locale does it, which the module never changes: only A to Z fold.
constexpr wchar_t FoldAsciiCase(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// Equal when they differ at most in the case of the letters A to Z.
constexpr bool EqualIgnoringAsciiCase(std::wstring_view first, std::wstring_view second) {
    if (first.size() != second.size()) {
        return false;
    }
    for (std::size_t i = 0; i < first.size(); ++i) {
        if (FoldAsciiCase(first[i]) != FoldAsciiCase(second[i])) {
            return false;
        }
    }
    return true;
}
