// catalog_report FILE.cat: prints what the platform's catalog functions read from a catalog
// (its members with their tags, subject types, digests and attributes). The release test
// runs it under Wine and shows the output without judging it: Wine implements only part of
// these functions.
#include <windows.h>
#include <wincrypt.h>
#include <mscat.h>
#include <mssip.h>

#include <objbase.h>

#include <cwchar>

namespace {

struct CatalogHandle {
    HANDLE handle;
    explicit CatalogHandle(HANDLE opened) : handle(opened) {}
    CatalogHandle(const CatalogHandle&) = delete;
    CatalogHandle& operator=(const CatalogHandle&) = delete;
    ~CatalogHandle() {
        if (handle != INVALID_HANDLE_VALUE) {
            CryptCATClose(handle);
        }
    }
};

void PrintAttributes(HANDLE catalog, CRYPTCATMEMBER* member) {
    CRYPTCATATTRIBUTE* attribute = nullptr;
    while ((attribute = member ? CryptCATEnumerateAttr(catalog, member, attribute)
                               : CryptCATEnumerateCatAttr(catalog, attribute)) != nullptr) {
        std::wprintf(L"    attribute %ls = %.*ls (flags 0x%08lx)\n",
                     attribute->pwszReferenceTag ? attribute->pwszReferenceTag : L"(none)",
                     static_cast<int>(attribute->cbValue / sizeof(wchar_t)),
                     reinterpret_cast<const wchar_t*>(attribute->pbValue),
                     attribute->dwAttrTypeAndAction);
    }
}

void PrintMember(HANDLE catalog, CRYPTCATMEMBER* member) {
    wchar_t subject[40] = L"";
    StringFromGUID2(member->gSubjectType, subject, 40);
    std::wprintf(L"member %ls, subject %ls",
                 member->pwszReferenceTag ? member->pwszReferenceTag : L"(none)", subject);
    if (member->pIndirectData != nullptr) {
        std::wprintf(L", digest of %lu bytes:", member->pIndirectData->Digest.cbData);
        for (DWORD at = 0; at < member->pIndirectData->Digest.cbData; ++at) {
            std::wprintf(L"%02X", member->pIndirectData->Digest.pbData[at]);
        }
    }
    std::wprintf(L"\n");
    PrintAttributes(catalog, member);
}

} // namespace

int wmain(int count, wchar_t** arguments) {
    if (count != 2) {
        std::wprintf(L"usage: catalog_report FILE.cat\n");
        return 2;
    }
    CatalogHandle catalog(
        CryptCATOpen(arguments[1], CRYPTCAT_OPEN_EXISTING, 0, CRYPTCAT_VERSION_2, 0));
    if (catalog.handle == INVALID_HANDLE_VALUE) {
        std::wprintf(L"CryptCATOpen failed: error 0x%08lx\n", GetLastError());
        return 0;
    }
    std::wprintf(L"CryptCATOpen: opened\ncatalog attributes:\n");
    PrintAttributes(catalog.handle, nullptr);
    int members = 0;
    for (CRYPTCATMEMBER* member = CryptCATEnumerateMember(catalog.handle, nullptr);
         member != nullptr; member = CryptCATEnumerateMember(catalog.handle, member)) {
        PrintMember(catalog.handle, member);
        ++members;
    }
    std::wprintf(L"%d members (last error 0x%08lx)\n", members, GetLastError());
    return 0;
}
