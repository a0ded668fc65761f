#include "refused_documents.h"

#include "fragments/xml_document.h"

#include <atomic>

namespace {

using CoCreateInstanceFunction = HRESULT(WINAPI*)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);
CoCreateInstanceFunction g_realCoCreateInstance = nullptr;
std::atomic<unsigned> g_documents{0};
unsigned g_mask = 0;
HRESULT g_refusal = E_OUTOFMEMORY;

HRESULT WINAPI RefusingDocuments(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid,
                                 LPVOID* result) {
    if (IsEqualCLSID(clsid, DomDocumentClsid)) {
        const unsigned n = g_documents++;
        if (n < 32 && ((g_mask >> n) & 1) != 0) {
            *result = nullptr;
            return g_refusal;
        }
    }
    return g_realCoCreateInstance(clsid, outer, context, iid, result);
}

HMODULE Reset(unsigned mask, HRESULT refusal, HMODULE importer) {
    g_documents = 0;
    g_mask = mask;
    g_refusal = refusal;
    return importer;
}

} // namespace

RefusedDocuments::RefusedDocuments(unsigned mask, HRESULT refusal, HMODULE importer)
    : hook_(Reset(mask, refusal, importer), L"ole32.dll", "CoCreateInstance",
            reinterpret_cast<void*>(RefusingDocuments)) {
    g_realCoCreateInstance = reinterpret_cast<CoCreateInstanceFunction>(hook_.original());
}

RefusedDocuments::~RefusedDocuments() {
    g_mask = 0;
}

unsigned RefusedDocuments::count() {
    return g_documents;
}
