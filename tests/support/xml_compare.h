#pragma once

#include <string>

// The platform's serializer re-indents what it writes, so tests never compare writer output
// byte for byte. CanonicalXml parses a text with the platform's DOM and prints its element
// tree in one fixed form: <name a="v" b="w">text or children</name>, attributes sorted by
// name, white-space-only text between elements dropped, empty elements as <name/>. Text that
// does not parse gives "<not well-formed>".
std::wstring CanonicalXml(const std::wstring& text);

// White space between tags removed, everything else kept.
std::wstring WithoutSpaceBetweenTags(const std::wstring& text);

#define EXPECT_SAME_XML(expected, actual) EXPECT_EQ(CanonicalXml(expected), CanonicalXml(actual))
