#include "common/decimal_text.h"

#include <climits>

namespace {

bool IsSpace(wchar_t c) {
    return c == L' ' || (c >= L'\t' && c <= L'\r');
}

} // namespace

int ParseDecimal(const wchar_t* text) {
    if (text == nullptr) {
        return 0;
    }
    while (IsSpace(*text)) {
        ++text;
    }
    bool negative = false;
    if (*text == L'+' || *text == L'-') {
        negative = *text == L'-';
        ++text;
    }
    long long value = 0;
    for (; *text >= L'0' && *text <= L'9'; ++text) {
        if (value <= static_cast<long long>(INT_MAX) + 1) {
            value = value * 10 + (*text - L'0');
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}
