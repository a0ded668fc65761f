#pragma once

#include "hr_assert.h"

#include "fragments/xml_document.h"

#include <string>

inline std::wstring Text(const UniqueBstr& text) {
    return text ? std::wstring(text.get(), SysStringLen(text.get())) : L"<null>";
}

// The default namespace a text's root element declares, read back through the platform's
// parser (the structural comparison does not see xmlns declarations).
inline std::wstring RootNamespace(const wchar_t* text) {
    ComPtr<IXMLDOMElement> root = DocumentElement(CreateLoadedDocument(text).Get());
    UniqueBstr uri;
    if (!root || root->get_namespaceURI(uri.put()) != S_OK) {
        return L"<none>";
    }
    return Text(uri);
}

// What a fragment writer makes of a record; the writer must answer S_OK with a text.
template <typename Record>
UniqueBstr Written(HRESULT (*write)(const Record&, UniqueBstr&), const Record& record) {
    UniqueBstr text;
    EXPECT_HR(S_OK, write(record, text));
    return text;
}
