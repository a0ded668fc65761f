#pragma once

// Access to the platform's MSXML document object, as every fragment reader and writer uses
// it. Each reader or writer creates its own document, uses it and lets it go before it
// returns. A document resolves no externals and takes no document type (a text with one
// does not load); every other property keeps its default.
//
// Every helper takes plain pointers it does not own and hands back owners (ComPtr,
// UniqueBstr). Texts are copied into BSTRs for the calls and freed right after; a copy that
// cannot be made raises std::bad_alloc or fails the call, never reads as "absent". Text that
// is not well-formed is absent by design; a document that cannot be made is a failure.

#include "common/owners.h"

#include <msxml.h>
#include <msxml2.h>

// DOMDocument, IXMLDOMDocument and IXMLDOMDocument2 by their documented values (MinGW lacks
// some symbols).
extern const CLSID DomDocumentClsid;
extern const IID DomDocumentIid;
extern const IID DomDocument2Iid;

// Creates an in-process DOMDocument. Returns CoCreateInstance's HRESULT; anything but S_OK
// leaves `document` empty and means there is no document.
HRESULT CreateDocument(ComPtr<IXMLDOMDocument>& document);

// loadXML of `text` (null reads as empty). S_OK when loadXML answered S_OK or reported
// VARIANT_TRUE and the document has no document type; S_FALSE for any other text; the
// failure when the text could not be handed over (E_OUTOFMEMORY, E_POINTER, or loadXML's own).
HRESULT LoadDocument(IXMLDOMDocument* document, const wchar_t* text);

// CreateDocument and LoadDocument in one. S_OK with the document; S_FALSE, with `document`
// empty, for a text that did not load; a failure when no document could be made.
HRESULT LoadNewDocument(const wchar_t* text, ComPtr<IXMLDOMDocument>& document);

// LoadNewDocument for callers that need only the document: null when there is none.
ComPtr<IXMLDOMDocument> CreateLoadedDocument(const wchar_t* text);

// The document's root element, or null when get_documentElement does not answer S_OK.
ComPtr<IXMLDOMElement> DocumentElement(IXMLDOMDocument* document);

// selectSingleNode from `node`: absolute paths ("/DPT") start at the document, others
// ("SSID/Hex") at the node. The node when the call answered S_OK, else null (no match
// answers S_FALSE).
ComPtr<IXMLDOMNode> SelectNode(IXMLDOMNode* node, const wchar_t* path);

// get_text of `node` into `text`. True when the call answered S_OK; `text` then holds the
// element's text (never null: an empty text is an empty BSTR).
bool ReadNodeText(IXMLDOMNode* node, UniqueBstr& text);

// ReadNodeText of the node that `name` selects under parent; false when there is none.
bool ReadChildText(IXMLDOMNode* parent, const wchar_t* name, UniqueBstr& text);

// Builds one fragment: a document loaded from "<name/>", elements and texts appended under
// its root, the root's xmlns attribute, and the serialised text. The first call that fails
// is kept, every later one does nothing, and Finish answers that failure with no text: a
// writer never hands out part of a fragment.
class FragmentWriter {
  public:
    explicit FragmentWriter(const wchar_t* emptyRoot);

    IXMLDOMNode* root() const { return root_.Get(); }

    // createElement `name` and appendChild it under `parent`: the attached node, on which
    // children are appended and texts set, or null once anything failed.
    ComPtr<IXMLDOMNode> Append(IXMLDOMNode* parent, const wchar_t* name);
    // put_text on `node`.
    void SetText(IXMLDOMNode* node, const wchar_t* text);
    // Records a failure of the caller's own (a value that could not be made).
    void Fail(HRESULT failure);

    // setAttribute "xmlns" on the root, then get_xml of the root (without XML declaration,
    // re-indented by the platform) into `text`. Paths keep finding the root and its
    // children by plain names.
    HRESULT Finish(const wchar_t* xmlns, UniqueBstr& text);

  private:
    HRESULT failure_ = S_OK;
    ComPtr<IXMLDOMDocument> document_;
    ComPtr<IXMLDOMElement> rootElement_;
    ComPtr<IXMLDOMNode> root_;
};
