// Built by tests/layering against the dialogs layer: a function of a layer below links, one of
// the extension layer above does not. Both are declared by hand, as a call that went round
// the headers would be.
#include <windows.h>

#if defined(QMK_BACKWARD)
HRESULT CreateExtUI(REFIID iid, void** result);

int main() {
    const IID none = {};
    void* object = nullptr;
    return CreateExtUI(none, &object) == S_OK ? 0 : 1;
}
#else
HINSTANCE ModuleInstance();

int main() {
    return ModuleInstance() == nullptr ? 0 : 1;
}
#endif
