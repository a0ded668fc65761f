#pragma once

#include "common/owners.h"
#include "resources/string_ids.h"

// The new vendor section, put together from the CCX and DPT fragment texts. Compatible
// layout: both fragments inside the outer element <name xmlns="v1">...</name>; otherwise the
// DPT fragment nested as the CCX fragment's last child, without an outer element.
// E_OUTOFMEMORY, with `section` null, when either text is null (its writer failed) or the
// section cannot be allocated.
HRESULT ComposeVendorSection(bool profileCompatible, const wchar_t* outerName,
                             const wchar_t* ccxText, const wchar_t* dptText, UniqueBstr& section);

// The outer element's name: string 5548 (at most 127 characters), else "Quilmark".
constexpr UINT OuterElementStringId = IDS_OUTER_ELEMENT;
constexpr int OuterElementCapacity = 128;
void LoadOuterElementName(wchar_t (&name)[OuterElementCapacity]);
