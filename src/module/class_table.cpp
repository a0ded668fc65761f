#include "module/class_table.h"

#include "extension/ext_ui.h"
#include "extension/ext_ui_con.h"
#include "extension/ext_ui_key.h"

namespace {

using CreateFunction = HRESULT (*)(REFIID iid, void** result);

struct ClassEntry {
    const IID& iid;
    CreateFunction create;
};

// Searched in this order by the requested interface.
const ClassEntry ClassTable[] = {
    {IID_IDot11ExtUI, CreateExtUI},
    {IID_ICCXExtUICon, CreateExtUICon},
    {IID_ICCXExtUIKey, CreateExtUIKey},
};

} // namespace

HRESULT CreateClassInstance(REFIID iid, void** result) {
    for (const ClassEntry& entry : ClassTable) {
        if (IsEqualIID(iid, entry.iid)) {
            return entry.create(iid, result);
        }
    }
    return E_NOINTERFACE;
}
