#pragma once

#include "common/owners.h"

// The security settings of a profile in a CCX network-type fragment: a CCX element (xmlns
// "any") holding either an empty openNetwork, or authenticatingNetwork with one element
// named after the authentication kind, which holds encryption with the cipher's name.
// The numbers are those of fragments/dot11_algorithms.h.
constexpr LONG NetworkTypeNotSet = -1;

struct CcxNetworkType {
    LONG authAlgorithm = NetworkTypeNotSet;
    LONG cipherAlgorithm = NetworkTypeNotSet;
};

// Fills what the fragment establishes; every field it cannot establish keeps its value. The
// whole text is loaded, so its root must be CCX. A null or empty text, or one that is not
// well-formed, changes nothing; a document that cannot be made fails the read.
HRESULT ReadCcxNetworkType(CcxNetworkType& record, const wchar_t* text);

// The fragment for the record in `text`. An authentication outside the table leaves
// authenticatingNetwork empty; a cipher outside it leaves encryption empty; an open network
// ignores the cipher. A failure leaves `text` null.
HRESULT WriteCcxNetworkType(const CcxNetworkType& record, UniqueBstr& text);
