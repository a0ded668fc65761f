#include "fragments/xml_document.h"

const CLSID DomDocumentClsid = {
    0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID DomDocumentIid = {
    0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

namespace {

UniqueBstr CopyToBstr(const wchar_t* text) {
    return UniqueBstr(SysAllocString(text != nullptr ? text : L""));
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
    document = std::move(created);
    return S_OK;
}

bool LoadDocument(IXMLDOMDocument* document, const wchar_t* text) {
    if (document == nullptr) {
        return false;
    }
    UniqueBstr source = CopyToBstr(text);
    if (!source) {
        return false;
    }
    VARIANT_BOOL loaded = VARIANT_FALSE;
    const HRESULT hr = document->loadXML(source.get(), &loaded);
    return hr == S_OK || loaded == VARIANT_TRUE;
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

ComPtr<IXMLDOMNode> SelectNode(IXMLDOMNode* node, const wchar_t* path) {
    if (node == nullptr) {
        return nullptr;
    }
    UniqueBstr query = CopyToBstr(path);
    if (!query) {
        return nullptr;
    }
    ComPtr<IXMLDOMNode> found;
    if (node->selectSingleNode(query.get(), &found) != S_OK) {
        return nullptr;
    }
    return found;
}

bool ReadNodeText(IXMLDOMNode* node, UniqueBstr& text) {
    text.reset();
    if (node == nullptr || node->get_text(text.put()) != S_OK) {
        text.reset();
        return false;
    }
    if (!text) {
        // Some serialisers answer a null BSTR for an empty text.
        text = CopyToBstr(L"");
    }
    return static_cast<bool>(text);
}

ComPtr<IXMLDOMNode> AppendElement(IXMLDOMDocument* document, IXMLDOMNode* parent,
                                  const wchar_t* name) {
    if (document == nullptr || parent == nullptr) {
        return nullptr;
    }
    UniqueBstr tag = CopyToBstr(name);
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
    UniqueBstr value = CopyToBstr(text);
    if (node == nullptr || !value) {
        return;
    }
    node->put_text(value.get());
}

void SetXmlnsAttribute(IXMLDOMElement* element, const wchar_t* value) {
    UniqueBstr name = CopyToBstr(L"xmlns");
    if (element == nullptr || !name) {
        return;
    }
    UniqueVariant variant;
    V_VT(variant.get()) = VT_BSTR;
    V_BSTR(variant.get()) = SysAllocString(value != nullptr ? value : L"");
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
