#pragma once

#include "fragments/dpt_settings.h"

#include <windows.h>

// Runs the modal "WLAN Connection Settings" dialog on the record. Returns TRUE when the
// record was changed, FALSE otherwise (also when the dialog could not be run).
BOOL RunConnConfigDialog(HWND parent, DptSettings& settings, BOOL ccxEnabled);
