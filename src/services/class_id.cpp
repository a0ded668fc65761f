#include "services/class_id.h"

#include "common/publish_once.h"
#include "services/string_loader.h"

#include <cwchar>

namespace {

// Published once, so no caller reads it while another writes it (docs/COMPATIBILITY.md).
PublishOnce<CLSID> g_moduleClassId;

// Registry form is 38 characters with its braces; anything this long is no identifier.
constexpr size_t BracedCapacity = 64;

bool ParseModuleClassId(CLSID& parsed) {
    UniqueLocalString braced;
    return BuildClassKeyName(braced) && wcslen(braced.get()) + 1 <= BracedCapacity &&
           CLSIDFromString(braced.get(), &parsed) == S_OK;
}

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
    return g_moduleClassId.Get(ParseModuleClassId);
}
