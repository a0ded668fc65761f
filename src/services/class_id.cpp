#include "services/class_id.h"

#include "services/string_loader.h"

#include <cwchar>

namespace {

CLSID g_moduleClassId = {};
LONG g_moduleClassIdParsed = 0;

// Registry form is 38 characters with its braces; anything this long is no identifier.
constexpr size_t BracedCapacity = 64;

} // namespace

bool BuildClassKeyName(UniqueLocalString& name) {
    name.reset();
    UniqueLocalString classId;
    if (LoadModuleString(ClassIdStringId, classId) != ERROR_SUCCESS) {
        return false;
    }
    const size_t length = wcslen(classId.get()) + 3; // braces and terminator
    UniqueLocalString braced(
        static_cast<wchar_t*>(LocalAlloc(LMEM_ZEROINIT, length * sizeof(wchar_t))));
    if (!braced) {
        return false;
    }
    braced.get()[0] = L'{';
    wcscpy(braced.get() + 1, classId.get());
    wcscat(braced.get(), L"}");
    name = std::move(braced);
    return true;
}

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
