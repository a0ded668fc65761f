#include "fragments/xml_document.h"

#include "common/bstr.h"
#include "common/hresult.h"

#include <algorithm>
#include <array>
#include <new>
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
HRESULT ProhibitDocumentTypes(IXMLDOMDocument* document) {
    ComPtr<IXMLDOMDocument2> settable;
    void** result = reinterpret_cast<void**>(settable.GetAddressOf());
    if (document->QueryInterface(DomDocument2Iid, result) != S_OK || !settable) {
        return S_OK;
    }
    UniqueBstr name = BstrCopy(L"ProhibitDTD");
    if (!name) {
        return E_OUTOFMEMORY;
    }
    VARIANT prohibit;
    VariantInit(&prohibit);
    V_VT(&prohibit) = VT_BOOL;
    V_BOOL(&prohibit) = VARIANT_TRUE;
    settable->setProperty(name.get(), prohibit);
    return S_OK;
}

// A BSTR copy for a reader's call: one that cannot be made is out of memory, not absence.
UniqueBstr ReaderCopy(const wchar_t* text) {
    UniqueBstr copy = BstrCopy(text);
    if (!copy) {
        throw std::bad_alloc();
    }
    return copy;
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
    RETURN_IF_FAILED(ProhibitDocumentTypes(created.Get()));
    document = std::move(created);
    return S_OK;
}

HRESULT LoadDocument(IXMLDOMDocument* document, const wchar_t* text) {
    if (document == nullptr) {
        return E_POINTER;
    }
    UniqueBstr source = BstrCopy(text);
    if (!source) {
        return E_OUTOFMEMORY;
    }
    VARIANT_BOOL loaded = VARIANT_FALSE;
    const HRESULT hr = document->loadXML(source.get(), &loaded);
    if ((hr == S_OK || loaded == VARIANT_TRUE) && !HasDocumentType(document)) {
        return S_OK;
    }
    // The parser answers S_FALSE for text that is not well-formed; anything failing is the
    // platform's own failure.
    return FAILED(hr) ? hr : S_FALSE;
}

HRESULT LoadNewDocument(const wchar_t* text, ComPtr<IXMLDOMDocument>& document) {
    ComPtr<IXMLDOMDocument> created;
    RETURN_IF_FAILED(CreateDocument(created));
    const HRESULT hr = LoadDocument(created.Get(), text);
    document = hr == S_OK ? std::move(created) : nullptr;
    return hr;
}

ComPtr<IXMLDOMDocument> CreateLoadedDocument(const wchar_t* text) {
    ComPtr<IXMLDOMDocument> document;
    LoadNewDocument(text, document);
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
    UniqueBstr query = ReaderCopy(path);
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
        text = ReaderCopy(L"");
    }
    return true;
}

FragmentWriter::FragmentWriter(const wchar_t* emptyRoot) {
    failure_ = LoadNewDocument(emptyRoot, document_);
    if (failure_ == S_FALSE) {
        failure_ = E_UNEXPECTED; // the writers' own root texts always load
    }
    if (SUCCEEDED(failure_)) {
        failure_ = document_->get_documentElement(&rootElement_);
    }
    if (failure_ == S_OK && !rootElement_) {
        failure_ = E_UNEXPECTED;
    }
    root_ = rootElement_; // an element is a node
}

void FragmentWriter::Fail(HRESULT failure) {
    if (SUCCEEDED(failure_)) {
        failure_ = FAILED(failure) ? failure : E_FAIL;
    }
}

ComPtr<IXMLDOMNode> FragmentWriter::Append(IXMLDOMNode* parent, const wchar_t* name) {
    if (failure_ != S_OK) {
        return nullptr;
    }
    UniqueBstr tag = BstrCopy(name);
    if (!tag) {
        Fail(E_OUTOFMEMORY);
        return nullptr;
    }
    ComPtr<IXMLDOMElement> element;
    HRESULT hr = document_->createElement(tag.get(), &element);
    if (hr != S_OK || !element) {
        Fail(hr);
        return nullptr;
    }
    ComPtr<IXMLDOMNode> attached;
    hr = parent != nullptr ? parent->appendChild(element.Get(), &attached) : E_POINTER;
    if (hr != S_OK || !attached) {
        Fail(hr);
        return nullptr;
    }
    return attached;
}

void FragmentWriter::SetText(IXMLDOMNode* node, const wchar_t* text) {
    if (failure_ != S_OK) {
        return;
    }
    UniqueBstr value = BstrCopy(text);
    if (!value) {
        Fail(E_OUTOFMEMORY);
        return;
    }
    const HRESULT hr = node != nullptr ? node->put_text(value.get()) : E_POINTER;
    if (hr != S_OK) {
        Fail(hr);
    }
}

HRESULT FragmentWriter::Finish(const wchar_t* xmlns, UniqueBstr& text) {
    text.reset();
    if (failure_ == S_OK) {
        UniqueBstr name = BstrCopy(L"xmlns");
        UniqueVariant value;
        if (BSTR copy = BstrCopy(xmlns).release()) {
            V_VT(value.get()) = VT_BSTR;
            V_BSTR(value.get()) = copy;
        }
        if (!name || V_VT(value.get()) != VT_BSTR) {
            Fail(E_OUTOFMEMORY);
        } else {
            const HRESULT hr = rootElement_->setAttribute(name.get(), *value.get());
            if (hr != S_OK) {
                Fail(hr);
            }
        }
    }
    if (failure_ == S_OK) {
        const HRESULT hr = root_->get_xml(text.put());
        if (hr != S_OK || !text) {
            text.reset();
            Fail(hr == S_OK ? E_OUTOFMEMORY : hr);
        }
    }
    return failure_;
}

bool ReadChildText(IXMLDOMNode* parent, const wchar_t* name, UniqueBstr& text) {
    ComPtr<IXMLDOMNode> child = SelectNode(parent, name);
    return child && ReadNodeText(child.Get(), text);
}
