#include "extension_fixture.h"

#include "extension/adapter_lookup.h"

#include <string>

namespace {

// {3F2504E0-4F89-11D3-9A0C-0305E82C3301}
const GUID AdapterGuid = {
    0x3F2504E0, 0x4F89, 0x11D3, {0x9A, 0x0C, 0x03, 0x05, 0xE8, 0x2C, 0x33, 0x01}};
const GUID OtherGuid = {
    0x3F2504E0, 0x4F89, 0x11D3, {0x9A, 0x0C, 0x03, 0x05, 0xE8, 0x2C, 0x33, 0x02}};
constexpr wchar_t UpperCaseId[] = L"{3F2504E0-4F89-11D3-9A0C-0305E82C3301}";
constexpr wchar_t LowerCaseText[] = L"3f2504e0-4f89-11d3-9a0c-0305e82c3301";

class AdapterLookupTest : public ExtensionRegistryTest {
  protected:
    std::wstring Instance(int index) { return AdapterInstanceKey(AdapterKeyNames[index]); }

    void AddAdapter(int index, const wchar_t* instanceId) {
        ASSERT_TRUE(
            SetRegString(HKEY_LOCAL_MACHINE, Instance(index), L"NetCfgInstanceId", instanceId));
    }
    void SetDptEnable(int index, DWORD type, const void* data, DWORD size) {
        ASSERT_TRUE(SetRegRaw(HKEY_LOCAL_MACHINE, Instance(index), L"DPTEnable", type, data, size));
    }
    void SetDptEnableText(int index, const std::wstring& text) {
        SetDptEnable(index, REG_SZ, text.c_str(),
                     static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
};

// Leaves digits where the next call's locals will lie, so a buffer that is not cleared
// before a short read would show them.
__attribute__((noinline)) void PaintStack() {
    volatile wchar_t paint[4096];
    for (auto& unit : paint) {
        unit = L'1';
    }
}

TEST_F(AdapterLookupTest, FindsTheInstanceWhoseIdNamesTheGuidInAnyCase) {
    AddAdapter(1, UpperCaseId);
    UniqueHkey key;
    ASSERT_TRUE(FindAdapterKey(LowerCaseText, key));
    ASSERT_TRUE(key);
    wchar_t id[64] = {};
    DWORD size = sizeof(id);
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key.get(), L"NetCfgInstanceId", nullptr, nullptr,
                                              reinterpret_cast<BYTE*>(id), &size));
    EXPECT_STREQ(UpperCaseId, id);
}

TEST_F(AdapterLookupTest, SkipsSubkeysWithoutAStringInstanceId) {
    // Entry 0 has no id of its own, only a properties subkey; entry 2's id is no string.
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, Instance(0) + L"\\Ndi", L"Service", L"qmk"));
    ASSERT_TRUE(SetRegDword(HKEY_LOCAL_MACHINE, Instance(2), L"NetCfgInstanceId", 1));
    AddAdapter(1, UpperCaseId);
    SetDptEnableText(1, L"1");
    EXPECT_TRUE(AdapterSupportsDpt(AdapterGuid));
}

TEST_F(AdapterLookupTest, TheFirstMatchingInstanceDecides) {
    AddAdapter(0, UpperCaseId);
    SetDptEnableText(0, L"0");
    AddAdapter(1, UpperCaseId);
    SetDptEnableText(1, L"1");
    EXPECT_FALSE(AdapterSupportsDpt(AdapterGuid));
}

TEST_F(AdapterLookupTest, NoInstanceOrNoGuidTextMeansNoDpt) {
    AddAdapter(0, UpperCaseId);
    SetDptEnableText(0, L"1");
    EXPECT_FALSE(AdapterSupportsDpt(OtherGuid));
    UniqueHkey key;
    EXPECT_FALSE(FindAdapterKey(nullptr, key));
    EXPECT_FALSE(FindAdapterKey(L"", key));
    EXPECT_FALSE(key);
}

TEST_F(AdapterLookupTest, AnInstanceWithoutDptEnableHasNoDpt) {
    AddAdapter(0, UpperCaseId);
    EXPECT_FALSE(AdapterSupportsDpt(AdapterGuid));
}

TEST_F(AdapterLookupTest, DptEnableTextValues) {
    struct Case {
        const wchar_t* text;
        bool expected;
    } cases[] = {
        {L"1", true},
        {L"0", false},
        {L"", false},
        {L"abc", false},
        {L"  5", true},
        {L"+3", true},
        {L"-1", true},
        {L"7x", true},
        {L"x7", false},
        {L"123456789", true},   // nine characters: 20 bytes with the
                                // terminator
        {L"1234567890", false}, // ten: the read fails, the value is too long
        {L"000000000", false},
    };
    AddAdapter(0, UpperCaseId);
    for (const Case& c : cases) {
        SetDptEnableText(0, c.text);
        EXPECT_EQ(c.expected, AdapterSupportsDpt(AdapterGuid)) << std::wstring(c.text).size();
    }
}

TEST_F(AdapterLookupTest, DptEnableAsANumberIsNotText) {
    AddAdapter(0, UpperCaseId);
    const DWORD one = 1;
    SetDptEnable(0, REG_DWORD, &one, sizeof(one));
    EXPECT_FALSE(AdapterSupportsDpt(AdapterGuid));
}

// The value is read into a cleared buffer: data without a terminator, or shorter than the
// buffer, is read as what it holds and nothing more. Stored as binary (the type is not
// examined), so the registry adds no terminator of its own.
TEST_F(AdapterLookupTest, DptEnableWithoutTerminatorReadsOnlyItsOwnUnits) {
    struct Case {
        std::wstring units; // stored without terminator
        bool expected;
    } cases[] = {
        {L"0", false},
        {L"00", false},
        {L"5", true},
        {L"000000000", false},
    };
    AddAdapter(0, UpperCaseId);
    for (const Case& c : cases) {
        SetDptEnable(0, REG_BINARY, c.units.data(),
                     static_cast<DWORD>(c.units.size() * sizeof(wchar_t)));
        PaintStack();
        EXPECT_EQ(c.expected, AdapterSupportsDpt(AdapterGuid)) << c.units.size();
    }
}

} // namespace
