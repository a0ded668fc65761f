#pragma once

// Ids of this test executable's own resources (test_resources.rc).
#define TestRepeatedLow 100
#define TestRepeatedHigh 9001
#define TestOnlyEnglish 9002
#define TestEmptyInGerman 9003
#define TestCaseSensitive 9005
#define TestOnlyGerman 9100
#define TestLastIndexed 10000
#define TestBeyondIndex 10001
#define TestFarBeyondIndex 10016

#define TestDialog 200
#define TestAdd 201
#define TestLeader 202
#define TestStatic 203
#define TestEmptyEdit 204
#define TestUnknown 205
#define TestHide 206
#define TestDotsOnly 207
#define TestThreeDots 208
#define TestStaticLeader 209
#define TestWrongCase 210
#define TestUntranslatedMark 211
#define TestLongText 212
#define TestInnerRun 213
