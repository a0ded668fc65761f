#pragma once

// The vendor section's fragment envelope as the COM side uses it: ExtractFragment (from the
// text layer) cuts a fragment out, LoadFragmentRoot loads it for a reader, CombineFragments
// nests the DPT fragment into the CCX fragment as a BSTR for the host.

#include "common/bstr.h"
#include "fragments/fragment_text.h"
#include "fragments/xml_document.h"

// Cuts the fragment called name out of the vendor text and loads it into a new document.
// S_OK with an empty root when the fragment is absent or not well-formed; a failing HRESULT
// only when no document could be made. The root keeps its document alive.
HRESULT LoadFragmentRoot(const wchar_t* vendorText, const wchar_t* name,
                         ComPtr<IXMLDOMElement>& root);

// CombineFragmentTexts' result as a fresh BSTR; null when both texts are null or the BSTR
// cannot be allocated (the text itself raises std::bad_alloc when it cannot be made).
UniqueBstr CombineFragments(const wchar_t* ccxText, const wchar_t* dptText);
