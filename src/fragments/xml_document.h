#pragma once

// Access to the platform's MSXML document object, as every fragment reader and writer uses
// it. Each reader or writer creates its own document, uses it and lets it go before it
// returns. A document resolves no externals and takes no document type (a text with one
// does not load); every other property keeps its default.
//
// Every helper takes plain pointers it does not own and hands back owners (ComPtr,
// UniqueBstr). Texts are copied into BSTRs for the calls and freed right after. A helper
// answers null or false when the platform did not answer exactly S_OK; callers treat that
// as "absent" (readers) or skip the element (writers).

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

// loadXML of `text` (null reads as empty). True when loadXML answered S_OK or reported
// VARIANT_TRUE and the document has no document type.
bool LoadDocument(IXMLDOMDocument* document, const wchar_t* text);

// CreateDocument and LoadDocument in one: the loaded document, or null.
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

// createElement `name` on `document` and appendChild it under `parent`. The attached node,
// on which children are appended and texts set, or null when either call failed.
ComPtr<IXMLDOMNode> AppendElement(IXMLDOMDocument* document, IXMLDOMNode* parent,
                                  const wchar_t* name);

// put_text on `node`; callers do not examine the outcome, so none is returned.
void SetNodeText(IXMLDOMNode* node, const wchar_t* text);

// setAttribute "xmlns" on `element` with a VT_BSTR variant holding `value`; the outcome is
// not examined. Paths keep finding the element and its children by plain names.
void SetXmlnsAttribute(IXMLDOMElement* element, const wchar_t* value);

// get_xml of `node`: the node serialised without XML declaration (the platform re-indents
// it), or null when the call failed. The caller owns the BSTR.
UniqueBstr NodeXml(IXMLDOMNode* node);
