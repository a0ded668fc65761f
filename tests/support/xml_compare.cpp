#include "xml_compare.h"

#include "common/owners.h"

#include <msxml.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

const CLSID DomDocumentClsid = {
    0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID DomDocumentIid = {
    0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

std::wstring TakeBstr(BSTR text) {
    const UniqueBstr owned(text);
    return text != nullptr ? std::wstring(text, SysStringLen(text)) : L"";
}

bool IsSpaceOnly(const std::wstring& text) {
    return std::all_of(text.begin(), text.end(), [](wchar_t c) {
        return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
    });
}

std::wstring Attributes(IXMLDOMNode* node) {
    ComPtr<IXMLDOMNamedNodeMap> map;
    if (node->get_attributes(&map) != S_OK || !map) {
        return L"";
    }
    long count = 0;
    map->get_length(&count);
    std::vector<std::pair<std::wstring, std::wstring>> pairs;
    for (long i = 0; i < count; ++i) {
        ComPtr<IXMLDOMNode> attribute;
        if (map->get_item(i, &attribute) != S_OK) {
            continue;
        }
        BSTR name = nullptr;
        BSTR value = nullptr;
        attribute->get_nodeName(&name);
        attribute->get_text(&value);
        pairs.emplace_back(TakeBstr(name), TakeBstr(value));
    }
    std::sort(pairs.begin(), pairs.end());
    std::wstring result;
    for (const auto& [name, value] : pairs) {
        result += L" " + name + L"=\"" + value + L"\"";
    }
    return result;
}

std::wstring Canonical(IXMLDOMNode* node) {
    DOMNodeType type = NODE_INVALID;
    node->get_nodeType(&type);
    if (type == NODE_TEXT || type == NODE_CDATA_SECTION) {
        BSTR text = nullptr;
        node->get_text(&text);
        std::wstring value = TakeBstr(text);
        return IsSpaceOnly(value) ? L"" : value;
    }
    if (type != NODE_ELEMENT) {
        return L"";
    }
    BSTR name = nullptr;
    node->get_nodeName(&name);
    const std::wstring tag = TakeBstr(name);
    std::wstring inner;
    ComPtr<IXMLDOMNode> child;
    node->get_firstChild(&child);
    while (child) {
        inner += Canonical(child.Get());
        ComPtr<IXMLDOMNode> next;
        child->get_nextSibling(&next);
        child = next;
    }
    std::wstring open = L"<" + tag + Attributes(node);
    return inner.empty() ? open + L"/>" : open + L">" + inner + L"</" + tag + L">";
}

} // namespace

std::wstring CanonicalXml(const std::wstring& text) {
    ComPtr<IXMLDOMDocument> document;
    if (CoCreateInstance(DomDocumentClsid, nullptr, CLSCTX_INPROC_SERVER, DomDocumentIid,
                         reinterpret_cast<void**>(document.GetAddressOf())) != S_OK) {
        return L"<no document>";
    }
    const UniqueBstr source(SysAllocString(text.c_str()));
    VARIANT_BOOL loaded = VARIANT_FALSE;
    const HRESULT hr = document->loadXML(source.get(), &loaded);
    ComPtr<IXMLDOMElement> root;
    if (hr != S_OK || loaded != VARIANT_TRUE || document->get_documentElement(&root) != S_OK) {
        return L"<not well-formed>";
    }
    return Canonical(root.Get());
}

std::wstring WithoutSpaceBetweenTags(const std::wstring& text) {
    std::wstring result;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == L'>') {
            size_t j = i + 1;
            while (j < text.size() &&
                   (text[j] == L' ' || text[j] == L'\t' || text[j] == L'\r' || text[j] == L'\n')) {
                ++j;
            }
            result += L'>';
            if (j < text.size() && text[j] == L'<') {
                i = j;
                continue;
            }
            result.append(text, i + 1, j - i - 1);
            i = j;
            continue;
        }
        result += text[i++];
    }
    return result;
}
