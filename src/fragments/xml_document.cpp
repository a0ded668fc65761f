#include "fragments/xml_document.h"

#include "common/bstr.h"

#include <algorithm>
#include <array>
#include <span>
#include <string_view>

const CLSID DomDocumentClsid = {
    0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID DomDocumentIid = {
    0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID DomDocument2Iid = {
    0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

namespace {

// No fragment has a document type: one in a host text would only bring entities into it.
// Where the parser knows the property it refuses such a text itself; Wine's accepts the
// property and ignores it, so LoadDocument refuses what still carries one
// (docs/COMPATIBILITY.md).
void ProhibitDocumentTypes(IXMLDOMDocument* document) {
    ComPtr<IXMLDOMDocument2> settable;
    void** result = reinterpret_cast<void**>(settable.GetAddressOf());
    if (document->QueryInterface(DomDocument2Iid, result) != S_OK || !settable) {
        return;
    }
    UniqueBstr name = BstrCopy(L"ProhibitDTD");
    if (!name) {
        return;
    }
    VARIANT prohibit;
    VariantInit(&prohibit);
    V_VT(&prohibit) = VT_BOOL;
    V_BOOL(&prohibit) = VARIANT_TRUE;
    settable->setProperty(name.get(), prohibit);
}

bool HasDocumentType(IXMLDOMDocument* document) {
    ComPtr<IXMLDOMDocumentType> type;
    return document->get_doctype(&type) == S_OK && type;
}

} // namespace

HRESULT CreateDocument(ComPtr<IXMLDOMDocument>& document) {
    document.Reset();
    ComPtr<IXMLDOMDocument> created;
    const HRESULT hr =
        CoCreateInstance(DomDocumentClsid, nullptr, CLSCTX_INPROC_SERVER, DomDocumentIid,
                         reinterpret_cast<void**>(created.GetAddressOf()));
    if (hr != S_OK || !created) {
        return hr == S_OK ? E_FAIL : hr;
    }
    // Fragments come from profiles, which may be imported from anywhere: a document type in
    // one must not make the parser fetch files or URLs. Nothing else departs from the defaults.
    const HRESULT setHr = created->put_resolveExternals(VARIANT_FALSE);
    if (setHr != S_OK) {
        return FAILED(setHr) ? setHr : E_FAIL;
    }
    ProhibitDocumentTypes(created.Get());
    document = std::move(created);
    return S_OK;
}

bool LoadDocument(IXMLDOMDocument* document, const wchar_t* text) {
    if (document == nullptr) {
        return false;
    }
    UniqueBstr source = BstrCopy(text);
    if (!source) {
        return false;
    }
    VARIANT_BOOL loaded = VARIANT_FALSE;
    const HRESULT hr = document->loadXML(source.get(), &loaded);
    return (hr == S_OK || loaded == VARIANT_TRUE) && !HasDocumentType(document);
}

ComPtr<IXMLDOMDocument> CreateLoadedDocument(const wchar_t* text) {
    ComPtr<IXMLDOMDocument> document;
    if (CreateDocument(document) != S_OK || !LoadDocument(document.Get(), text)) {
        return nullptr;
    }
    return document;
}

ComPtr<IXMLDOMElement> DocumentElement(IXMLDOMDocument* document) {
    if (document == nullptr) {
        return nullptr;
    }
    ComPtr<IXMLDOMElement> root;
    if (document->get_documentElement(&root) != S_OK) {
        return nullptr;
    }
    return root;
}

namespace {

bool IsElementNamed(IXMLDOMNode* node, std::wstring_view name) {
    DOMNodeType type = NODE_INVALID;
    if (node->get_nodeType(&type) != S_OK || type != NODE_ELEMENT) {
        return false;
    }
    UniqueBstr nodeName;
    if (node->get_nodeName(nodeName.put()) != S_OK || !nodeName) {
        return false;
    }
    return std::wstring_view(nodeName.get(), SysStringLen(nodeName.get())) == name;
}

// The first element in document order that the names lead to from node, child by child:
// what selectSingleNode answers for a plain path, found without compiling a query. A node
// that cannot be walked past (Wine's document-type node has no next sibling) makes the
// answer uncertain, and the caller asks the platform instead.
ComPtr<IXMLDOMNode> FindByNames(IXMLDOMNode* node, std::span<const std::wstring_view> names,
                                std::size_t step, bool& uncertain) {
    ComPtr<IXMLDOMNode> child;
    const HRESULT first = node->get_firstChild(&child);
    if (first != S_OK) {
        uncertain = uncertain || first != S_FALSE;
        return nullptr;
    }
    while (child && !uncertain) {
        if (IsElementNamed(child.Get(), names[step])) {
            if (step + 1 == names.size()) {
                return child;
            }
            if (ComPtr<IXMLDOMNode> found = FindByNames(child.Get(), names, step + 1, uncertain)) {
                return found;
            }
        }
        ComPtr<IXMLDOMNode> next;
        const HRESULT hr = child->get_nextSibling(&next);
        if (hr != S_OK) {
            uncertain = uncertain || hr != S_FALSE;
            break;
        }
        child = std::move(next);
    }
    return nullptr;
}

// The readers' paths have at most four names; a longer one goes to the platform.
using PlainNames = std::array<std::wstring_view, 8>;

// The number of names of a plain path ("A/B" or "/A/B") put into `names`, or 0 for any other
// query.
std::size_t SplitPlainPath(std::wstring_view path, PlainNames& names) {
    if (path.empty()) {
        return 0;
    }
    std::size_t count = 0;
    for (std::size_t start = 0; start <= path.size(); ++count) {
        const std::size_t slash = std::min(path.find(L'/', start), path.size());
        const std::wstring_view name = path.substr(start, slash - start);
        if (count == names.size() || name.empty() ||
            name.find_first_of(L"*@[]().:| ") != std::wstring_view::npos) {
            return 0;
        }
        names[count] = name;
        start = slash + 1;
    }
    return count;
}

ComPtr<IXMLDOMNode> SelectWithQuery(IXMLDOMNode* node, const wchar_t* path) {
    UniqueBstr query = BstrCopy(path);
    if (!query) {
        return nullptr;
    }
    ComPtr<IXMLDOMNode> found;
    if (node->selectSingleNode(query.get(), &found) != S_OK) {
        return nullptr;
    }
    return found;
}

} // namespace

// The readers' paths are plain names; the platform's selectSingleNode compiles each into a
// query and costs some twenty times a walk over the children, which dominated every reader.
// The walk answers the same node: the first element in document order whose names follow the
// path (absolute paths start at the document). Any other query still goes to the platform.
ComPtr<IXMLDOMNode> SelectNode(IXMLDOMNode* node, const wchar_t* path) {
    if (node == nullptr || path == nullptr) {
        return nullptr;
    }
    std::wstring_view rest(path);
    ComPtr<IXMLDOMNode> start(node);
    const bool absolute = !rest.empty() && rest.front() == L'/';
    if (absolute) {
        rest.remove_prefix(1);
        ComPtr<IXMLDOMDocument> owner;
        if (node->get_ownerDocument(&owner) == S_OK && owner) {
            start = owner; // a document is a node; a document node itself has no owner
        }
    }
    PlainNames names;
    const std::size_t count = SplitPlainPath(rest, names);
    if (count == 0) {
        return SelectWithQuery(node, path);
    }
    bool uncertain = false;
    ComPtr<IXMLDOMNode> found =
        FindByNames(start.Get(), std::span(names.data(), count), 0, uncertain);
    return uncertain ? SelectWithQuery(node, path) : found;
}

bool ReadNodeText(IXMLDOMNode* node, UniqueBstr& text) {
    text.reset();
    if (node == nullptr || node->get_text(text.put()) != S_OK) {
        text.reset();
        return false;
    }
    if (!text) {
        // Some serialisers answer a null BSTR for an empty text.
        text = BstrCopy(L"");
    }
    return static_cast<bool>(text);
}

ComPtr<IXMLDOMNode> AppendElement(IXMLDOMDocument* document, IXMLDOMNode* parent,
                                  const wchar_t* name) {
    if (document == nullptr || parent == nullptr) {
        return nullptr;
    }
    UniqueBstr tag = BstrCopy(name);
    if (!tag) {
        return nullptr;
    }
    ComPtr<IXMLDOMElement> element;
    if (document->createElement(tag.get(), &element) != S_OK || !element) {
        return nullptr;
    }
    ComPtr<IXMLDOMNode> attached;
    if (parent->appendChild(element.Get(), &attached) != S_OK) {
        return nullptr;
    }
    return attached;
}

void SetNodeText(IXMLDOMNode* node, const wchar_t* text) {
    UniqueBstr value = BstrCopy(text);
    if (node == nullptr || !value) {
        return;
    }
    node->put_text(value.get());
}

void SetXmlnsAttribute(IXMLDOMElement* element, const wchar_t* value) {
    UniqueBstr name = BstrCopy(L"xmlns");
    if (element == nullptr || !name) {
        return;
    }
    UniqueVariant variant;
    V_VT(variant.get()) = VT_BSTR;
    V_BSTR(variant.get()) = BstrCopy(value).release();
    if (V_BSTR(variant.get()) == nullptr) {
        V_VT(variant.get()) = VT_EMPTY;
        return;
    }
    element->setAttribute(name.get(), *variant.get());
}

UniqueBstr NodeXml(IXMLDOMNode* node) {
    UniqueBstr text;
    if (node == nullptr || node->get_xml(text.put()) != S_OK) {
        text.reset();
    }
    return text;
}

bool ReadChildText(IXMLDOMNode* parent, const wchar_t* name, UniqueBstr& text) {
    ComPtr<IXMLDOMNode> child = SelectNode(parent, name);
    return child && ReadNodeText(child.Get(), text);
}
