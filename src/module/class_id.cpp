#include "module/class_id.h"

#include "common/publish_once.h"
#include "module/registration.h"

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

const CLSID& ModuleClassId() {
    return g_moduleClassId.Get(ParseModuleClassId);
}
