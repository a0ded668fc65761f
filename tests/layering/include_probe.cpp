// Built by tests/layering against the dialogs layer: a header of a layer below resolves, one of
// the extension layer above does not.
#if defined(QMK_BACKWARD)
#include "extension/ext_ui.h"
#else
#include "localization/reading_order.h"
#endif
