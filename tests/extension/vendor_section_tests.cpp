#include "com_apartment.h"
#include "xml_compare.h"

#include "extension/vendor_section.h"

#include <cstdlib>
#include <cwchar>
#include <new>
#include <utility>

// This executable replaces the global allocation functions, so that a test can make
// allocations fail for the duration of one call.
namespace {
bool g_failAllocations = false;
std::size_t g_failFromSize = 0; // only allocations of at least this many bytes fail
} // namespace

void* operator new(std::size_t size) {
    if (g_failAllocations && size >= g_failFromSize) {
        throw std::bad_alloc();
    }
    if (void* block = std::malloc(size == 0 ? 1 : size)) {
        return block;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return ::operator new(size);
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete[](void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    std::free(block);
}

namespace {

constexpr wchar_t CcxText[] = L"<CCX xmlns=\"any\"><KeepAliveTimer><Period>0</Period>"
                              L"</KeepAliveTimer></CCX>";
constexpr wchar_t DptText[] = L"<DPT xmlns=\"dptv1\"><useDPTPrivateKey>false</useDPTPrivateKey>"
                              L"<DPTEncryption>None</DPTEncryption></DPT>";

class FailingAllocations {
  public:
    explicit FailingAllocations(std::size_t fromSize = 0) {
        g_failFromSize = fromSize;
        g_failAllocations = true;
    }
    ~FailingAllocations() { g_failAllocations = false; }
};

using VendorSectionTest = ComTest;

TEST_F(VendorSectionTest, BothLayouts) {
    UniqueBstr section;
    ASSERT_HR(S_OK, ComposeVendorSection(true, L"Quilmark", CcxText, DptText, section));
    EXPECT_SAME_XML(std::wstring(L"<Quilmark xmlns=\"v1\">") + CcxText + DptText + L"</Quilmark>",
                    section.get());
    ASSERT_HR(S_OK, ComposeVendorSection(false, L"Quilmark", CcxText, DptText, section));
    EXPECT_SAME_XML(L"<CCX xmlns=\"any\"><KeepAliveTimer><Period>0</Period></KeepAliveTimer>"
                    L"<DPT xmlns=\"dptv1\"><useDPTPrivateKey>false</useDPTPrivateKey>"
                    L"<DPTEncryption>None</DPTEncryption></DPT></CCX>",
                    section.get());
    // A missing fragment is a writer that failed, in either layout.
    for (bool compatible : {true, false}) {
        for (const auto& [ccx, dpt] : {std::pair<const wchar_t*, const wchar_t*>{nullptr, DptText},
                                       {CcxText, nullptr},
                                       {nullptr, nullptr}}) {
            EXPECT_HR(E_OUTOFMEMORY, ComposeVendorSection(compatible, L"Outer", ccx, dpt, section));
            EXPECT_FALSE(section) << compatible;
        }
    }
}

// Putting the new section together may fail for want of memory: then there is no text and
// the failure is reported, in either layout (the nested one would otherwise lose the DPT
// fragment).
TEST_F(VendorSectionTest, AnAllocationFailureAnswersOutOfMemoryWithNoText) {
    for (bool compatible : {true, false}) {
        UniqueBstr section(SysAllocString(L"old"));
        HRESULT hr = S_OK;
        {
            FailingAllocations failing;
            hr = ComposeVendorSection(compatible, L"Quilmark", CcxText, DptText, section);
        }
        EXPECT_HR(E_OUTOFMEMORY, hr) << compatible;
        EXPECT_FALSE(section) << compatible;
    }
}

// Only the joined text fails: the envelope would fall back to the CCX fragment alone.
TEST_F(VendorSectionTest, ANestedSectionThatLostItsDptFragmentIsAFailure) {
    const std::size_t joinedBytes = (wcslen(CcxText) + wcslen(DptText)) * sizeof(wchar_t);
    UniqueBstr section;
    HRESULT hr = S_OK;
    {
        FailingAllocations failing(joinedBytes);
        hr = ComposeVendorSection(false, L"Quilmark", CcxText, DptText, section);
    }
    EXPECT_HR(E_OUTOFMEMORY, hr);
    EXPECT_FALSE(section);
}

TEST_F(VendorSectionTest, TheOuterElementNameIsString5548) {
    wchar_t name[OuterElementCapacity] = {};
    // This executable has no string 5548: the fixed name stands in.
    LoadOuterElementName(name);
    EXPECT_STREQ(L"Quilmark", name);
}

} // namespace
