#pragma once

// The vendor section's fragment envelope as the COM side uses it: ExtractFragment (from the
// text layer) cuts a fragment out, CombineFragments nests the DPT fragment into the CCX
// fragment as a BSTR for the host.

#include "common/bstr.h"
#include "fragments/fragment_text.h"

// CombineFragmentTexts' result as a fresh BSTR; null when both texts are null or the BSTR
// cannot be allocated (the text itself raises std::bad_alloc when it cannot be made).
UniqueBstr CombineFragments(const wchar_t* ccxText, const wchar_t* dptText);
