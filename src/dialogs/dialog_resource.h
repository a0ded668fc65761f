#pragma once

// Ids of the connection-settings dialog template and its controls, shared by the resource
// script and the code (plain defines, so the resource compiler reads them too).

#define IDD_CONN_CONFIG 101
#define IDI_CONN_CONFIG 4163

#define IDC_USE_PRIVATE 4403
#define IDC_KEY_EDIT 4067
#define IDC_KEY_LENGTH 4068
#define IDC_CONFIRM_EDIT 4036
#define IDC_CONFIRM_LENGTH 4035
#define IDC_HIDE_CHARACTERS 4056
#define IDC_CCX_ENABLED 1001
