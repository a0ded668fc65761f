#pragma once

// Ids of the strings the code names, shared by the string tables and the code (plain
// defines, so the resource compiler reads them too). The other ids are looked up by their
// English text.

#define IDS_KEY_MISMATCH 4103        // the key-entry dialog's mismatch warning
#define IDS_NOTICE_CCX_ENABLED 4988  // notice without DPT, CCX enabled
#define IDS_CONN_CONFIG_CAPTION 4989 // caption of the dialog's warnings and of the notice
#define IDS_PASSPHRASE_MISMATCH 5020 // the connection-settings dialog's mismatch warning
#define IDS_KEY_RULE 5022            // the length rule
#define IDS_KEY_MISSING 5024         // an empty key
#define IDS_NOTICE_CCX_DISABLED 5038 // notice without DPT, CCX disabled
#define IDS_DISPLAY_NAME 5532        // the root object's display name
#define IDS_OUTER_ELEMENT 5548       // the vendor section's outer element
#define IDS_CLASS_ID 5667            // class identifier, registry form without braces
#define IDS_FRIENDLY_NAME 5668       // class key's default value
