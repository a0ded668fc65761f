#include "hostkit/hr_text.h"

#include <cwchar>
#include <iterator>

std::wstring HrText(long hr) {
    wchar_t text[16] = {};
    const int length = swprintf(text, std::size(text), L"0x%08lX", static_cast<unsigned long>(hr));
    return std::wstring(text, length > 0 ? length : 0);
}
