#include "extension/ext_ui_key.h"

#include "common/bstr.h"
#include "common/com_boundary.h"
#include "common/hresult.h"
#include "extension/key_names.h"
#include "extension/key_property_table.h"
#include "fragments/ccx_network_type.h"

namespace {

HRESULT ReadFragment(LPCWSTR fragment, CcxNetworkType& record) {
    record = CcxNetworkType{};
    return fragment != nullptr ? ReadCcxNetworkType(record, fragment) : S_OK;
}

// Complete: what the record writes reads back with both fields set. A fragment that names
// a kind but no known cipher, or that does not parse, is incomplete. A writer or reader that
// fails is no answer at all: the failure goes to the caller.
HRESULT CheckComplete(const CcxNetworkType& record, bool& complete) {
    complete = false;
    UniqueBstr written;
    RETURN_IF_FAILED(WriteCcxNetworkType(record, written));
    CcxNetworkType readBack;
    RETURN_IF_FAILED(ReadCcxNetworkType(readBack, written.get()));
    complete = readBack.authAlgorithm != NetworkTypeNotSet &&
               readBack.cipherAlgorithm != NetworkTypeNotSet;
    return S_OK;
}

LONG EntryAuthentication(const KeyPropertyEntry& entry) {
    return static_cast<LONG>(entry.authAlgorithm);
}

LONG DefaultCipher(const KeyPropertyEntry& entry) {
    return static_cast<LONG>(DefaultCipherForCount(entry.cipherCount));
}

// The fragment's record with the entry's authentication; changed is set when that replaced
// another, never cleared.
HRESULT ReadWithEntryAuthentication(LPCWSTR fragment, const KeyPropertyEntry& entry,
                                    CcxNetworkType& record, BOOL& changed) {
    RETURN_IF_FAILED(ReadFragment(fragment, record));
    if (record.authAlgorithm != EntryAuthentication(entry)) {
        record.authAlgorithm = EntryAuthentication(entry);
        changed = TRUE;
    }
    return S_OK;
}

// The record that selects the entry, the way ApplyToProfile makes it; `changed` starts as
// the caller's flag.
HRESULT SelectEntry(LPCWSTR fragment, const KeyPropertyEntry& entry, CcxNetworkType& record,
                    BOOL& changed) {
    RETURN_IF_FAILED(ReadWithEntryAuthentication(fragment, entry, record, changed));
    // The fragment's cipher stays even when the entry does not list it.
    bool complete = false;
    RETURN_IF_FAILED(CheckComplete(record, complete));
    if (!complete) {
        record.cipherAlgorithm = DefaultCipher(entry);
        changed = TRUE;
    }
    return S_OK;
}

DWORD SelectedIndex(const KeyPropertyEntry& entry, LONG cipher) {
    std::uint32_t ciphers[MaxCipherCount] = {};
    for (LONG i = 0; i < entry.cipherCount; ++i) {
        ciphers[i] = entry.ciphers[i];
    }
    return SelectedCipherIndex(ciphers, entry.cipherCount, static_cast<std::uint32_t>(cipher));
}

} // namespace

HRESULT CreateExtUIKey(REFIID iid, void** result) {
    return CreateExtensionObject<CExtUIKey>(iid, result);
}

HRESULT STDMETHODCALLTYPE CExtUIKey::QueryPropertyName(BSTR* name) {
    if (name != nullptr) {
        *name = nullptr;
    }
    if (entry_ == nullptr) {
        return E_FAIL;
    }
    const wchar_t* displayName = AuthenticationDisplayName(entry_->authAlgorithm);
    if (displayName == nullptr) {
        return E_FAIL;
    }
    return ReturnBstr(displayName, name);
}

HRESULT STDMETHODCALLTYPE CExtUIKey::MatchesProfile(BSTR fragment, DOT11EXT_IHV_PARAMS*,
                                                    BOOL* matches) {
    if (matches == nullptr) {
        return E_INVALIDARG;
    }
    if (entry_ == nullptr) {
        return E_FAIL;
    }
    return ComBoundary([&] {
        CcxNetworkType record;
        RETURN_IF_FAILED(ReadFragment(fragment, record));
        bool complete = false;
        RETURN_IF_FAILED(CheckComplete(record, complete));
        // Without a usable fragment the profile counts as CCKM.
        const LONG authentication = complete ? record.authAlgorithm : static_cast<LONG>(AuthCckm);
        *matches = authentication == EntryAuthentication(*entry_) ? TRUE : FALSE;
        return S_OK;
    });
}

// The caller clears changed first: it is set here, never cleared. A failure leaves it as it
// came and hands out no fragment.
HRESULT STDMETHODCALLTYPE CExtUIKey::ApplyToProfile(BSTR fragment, DOT11EXT_IHV_PARAMS*,
                                                    BSTR* newFragment, BOOL* changed) {
    // Refused arguments touch nothing; every other path writes the out text.
    if (newFragment == nullptr || changed == nullptr) {
        return E_INVALIDARG;
    }
    *newFragment = nullptr;
    if (entry_ == nullptr) {
        return E_FAIL;
    }
    return ComBoundary([&] {
        CcxNetworkType record;
        BOOL selected = *changed;
        RETURN_IF_FAILED(SelectEntry(fragment, *entry_, record, selected));
        UniqueBstr written;
        if (selected) {
            RETURN_IF_FAILED(WriteCcxNetworkType(record, written));
        }
        *changed = selected;
        *newFragment = written.release();
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE CExtUIKey::QueryPropertyFlag(BOOL* flag) {
    if (entry_ == nullptr) {
        return E_FAIL;
    }
    if (flag == nullptr) {
        return E_INVALIDARG;
    }
    *flag = entry_->propertyFlag ? TRUE : FALSE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CExtUIKey::QueryCipherList(BOOL flag, BSTR fragment, DOT11EXT_IHV_PARAMS*,
                                                     DWORD* count, DWORD* selectedIndex,
                                                     CipherChoice** list) {
    if (flag) {
        return NotImplemented();
    }
    if (entry_ == nullptr) {
        return E_FAIL;
    }
    // Binding could not allocate the list: there is nothing to hand out.
    if (!ciphers_) {
        return E_OUTOFMEMORY;
    }
    return ComBoundary([&] {
        CcxNetworkType record;
        RETURN_IF_FAILED(ReadFragment(fragment, record));
        bool complete = false;
        RETURN_IF_FAILED(CheckComplete(record, complete));
        const LONG cipher = complete ? record.cipherAlgorithm : DefaultCipher(*entry_);
        if (count != nullptr) {
            *count = static_cast<DWORD>(entry_->cipherCount);
        }
        if (selectedIndex != nullptr) {
            *selectedIndex = SelectedIndex(*entry_, cipher);
        }
        if (list != nullptr) {
            *list = ciphers_.get();
        }
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE CExtUIKey::ApplyCipher(BOOL flag, BSTR fragment, DOT11EXT_IHV_PARAMS*,
                                                 const CipherChoice* chosen, BSTR* newFragment,
                                                 BOOL* changed) {
    if (flag) {
        return NotImplemented();
    }
    if (chosen == nullptr || newFragment == nullptr || changed == nullptr) {
        return E_INVALIDARG;
    }
    *newFragment = nullptr;
    if (entry_ == nullptr) {
        return E_FAIL;
    }
    *changed = FALSE;
    return ComBoundary([&] {
        CcxNetworkType record;
        BOOL replaced = FALSE;
        RETURN_IF_FAILED(ReadWithEntryAuthentication(fragment, *entry_, record, replaced));
        // Kept as the host has always seen it: the same cipher means no change, even when the
        // authentication had to be replaced (selecting the property is ApplyToProfile's job).
        const LONG cipher = static_cast<LONG>(chosen->cipher);
        if (record.cipherAlgorithm == cipher) {
            return S_OK;
        }
        record.cipherAlgorithm = cipher;
        UniqueBstr written;
        RETURN_IF_FAILED(WriteCcxNetworkType(record, written));
        *changed = TRUE;
        *newFragment = written.release();
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE CExtUIKey::QueryEntryOptions(BOOL* useMarkedNames, LONG* optionValue) {
    if (entry_ == nullptr) {
        return E_FAIL;
    }
    if (useMarkedNames == nullptr || optionValue == nullptr) {
        return E_INVALIDARG;
    }
    *useMarkedNames = entry_->useMarkedNames ? TRUE : FALSE;
    *optionValue = entry_->optionValue;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CExtUIKey::BindEntry(const KeyPropertyEntry* entry) {
    // An entry that is missing or claims more ciphers than it holds is refused before anything
    // is read from it; the earlier binding stays.
    if (entry == nullptr || entry->cipherCount < 0 || entry->cipherCount > MaxCipherCount) {
        return E_INVALIDARG;
    }
    // The binding is made once: the host may still hold the cipher list handed out for it
    // (docs/COMPATIBILITY.md).
    if (entry_ != nullptr) {
        return E_UNEXPECTED;
    }
    entry_ = entry;
    ciphers_.reset(new (std::nothrow) CipherChoice[entry->cipherCount]());
    if (!ciphers_) {
        return E_OUTOFMEMORY;
    }
    const bool marked = entry->useMarkedNames != FALSE;
    for (LONG i = 0; i < entry->cipherCount; ++i) {
        const wchar_t* name = CipherDisplayName(entry->ciphers[i], marked);
        cipherNames_[i] = BstrCopy(name);
        ciphers_[i] = {entry->ciphers[i], 0, cipherNames_[i].get()};
    }
    return S_OK;
}
