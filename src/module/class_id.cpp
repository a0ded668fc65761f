#include "module/class_id.h"

#include "module/registration.h"

#include <cwchar>

namespace {

CLSID g_moduleClassId = {};
LONG g_moduleClassIdParsed = 0;

// Registry form is 38 characters with its braces; anything this long is no identifier.
constexpr size_t BracedCapacity = 64;

} // namespace

const CLSID& ModuleClassId() {
    if (g_moduleClassIdParsed == 1) {
        return g_moduleClassId;
    }
    UniqueLocalString braced;
    if (!BuildClassKeyName(braced) || wcslen(braced.get()) + 1 > BracedCapacity) {
        return g_moduleClassId;
    }
    CLSID parsed = {};
    if (CLSIDFromString(braced.get(), &parsed) == S_OK) {
        g_moduleClassId = parsed;
        InterlockedExchange(&g_moduleClassIdParsed, 1);
    }
    return g_moduleClassId;
}
