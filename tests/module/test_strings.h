#pragma once

// String ids of this test executable's own table (test_strings.rc).
#define TestString254 4001
#define TestString255 4002
#define TestString256 4003
#define TestString600 4004
#define TestStringEmpty 4005
#define TestStringLanguage 4010
#define TestStringAbsent 4020
#define TestStringEnglishOnly 5600
