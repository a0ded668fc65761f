#pragma once

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
