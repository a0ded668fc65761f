#include "extension/key_property_table.h"

#include "extension/key_names.h"

const KeyPropertyEntry KeyPropertyTable[KeyPropertyCount] = {
    {AuthCckm, FALSE, 3, FALSE, 0, 3, {CipherWep, CipherTkip, CipherAes}},
    {AuthWpa2, FALSE, 2, TRUE, 2, 2, {CipherTkip, CipherAes}},
};
