// Every registry value the module reads, absent, of the wrong type, 0, 2 and 8 bytes long and
// longer than the module's buffer, and a class key with 1,000 adapter subkeys: each answer as
// the rules of the value say, nothing crashes, nothing is written.
#include "stress_support.h"

#include "extension/adapter_lookup.h"
#include "extension/ext_ui.h"
#include "extension/ext_ui_con.h"
#include "extension/vendor_section.h"
#include "services/string_loader.h"

#include <chrono>
#include <cstring>
#include <sstream>

namespace {

std::vector<BYTE> Bytes(const void* data, std::size_t size) {
    const auto* begin = static_cast<const BYTE*>(data);
    return std::vector<BYTE>(begin, begin + size);
}

std::vector<BYTE> Dword(DWORD value) {
    return Bytes(&value, sizeof(value));
}

// The units of a text, with or without its terminator.
std::vector<BYTE> Units(const std::wstring& text, bool terminated = true) {
    return Bytes(text.c_str(), (text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t));
}

struct ValueCase {
    std::string name;
    bool present;
    DWORD type;
    std::vector<BYTE> data;
};

bool Write(const std::wstring& path, const wchar_t* value, const ValueCase& c) {
    if (!c.present) {
        return true;
    }
    return SetRegRaw(HKEY_LOCAL_MACHINE, path, value, c.type, c.data.data(),
                     static_cast<DWORD>(c.data.size()));
}

// The cases every 32-bit policy value is tried with.
std::vector<ValueCase> NumberCases() {
    std::vector<BYTE> overLong(600, 0);
    overLong[0] = 1;
    return {
        {"absent", false, REG_NONE, {}},
        {"REG_DWORD 0", true, REG_DWORD, Dword(0)},
        {"REG_DWORD 1", true, REG_DWORD, Dword(1)},
        {"REG_DWORD 2", true, REG_DWORD, Dword(2)},
        {"REG_DWORD of 0 bytes", true, REG_DWORD, {}},
        {"2 bytes 01 00", true, REG_BINARY, {1, 0}},
        {"2 bytes 02 00", true, REG_BINARY, {2, 0}},
        {"8 bytes, REG_QWORD 1", true, REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}},
        {"600 bytes starting 01", true, REG_BINARY, overLong},
        {"4 bytes REG_BINARY 01 00 00 00", true, REG_BINARY, {1, 0, 0, 0}},
        {"REG_SZ \"1\" (4 bytes)", true, REG_SZ, Units(L"1")},
        {"REG_SZ \"10\" (6 bytes)", true, REG_SZ, Units(L"10")},
        {"REG_MULTI_SZ \"1\"", true, REG_MULTI_SZ, Units(std::wstring(L"1\0", 2))},
    };
}

DWORD FirstBytes(const ValueCase& c) {
    DWORD value = 0;
    std::memcpy(&value, c.data.data(), std::min<std::size_t>(c.data.size(), sizeof(value)));
    return value;
}

// The root object's reading: only 4-byte data is meaningful, of whatever type; everything
// else counts as 0.
DWORD RootReading(const ValueCase& c) {
    return c.present && c.data.size() == sizeof(DWORD) ? FirstBytes(c) : 0;
}

// The connectivity property's reading: 1 unless the value was read (at most 4 bytes) and is
// not 1; a value too long for its 4-byte buffer cannot be read.
bool ConnectivityFlag(const ValueCase& c) {
    if (!c.present || c.data.size() > sizeof(DWORD)) {
        return true;
    }
    return FirstBytes(c) == 1;
}

// A registry tree as text: every subkey, value name, type and data byte.
void Describe(HKEY key, const std::wstring& path, std::wostringstream& out) {
    out << L"[" << path << L"]\n";
    wchar_t name[16384];
    std::vector<BYTE> data(1 << 16);
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = 16384;
        DWORD type = 0;
        DWORD size = static_cast<DWORD>(data.size());
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data.data(), &size) !=
            ERROR_SUCCESS) {
            break;
        }
        out << name << L" " << type << L":";
        for (DWORD b = 0; b < size; ++b) {
            out << L" " << data[b];
        }
        out << L"\n";
    }
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = 256;
        if (RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        UniqueHkey child;
        if (RegOpenKeyExW(key, name, 0, KEY_READ, child.put()) == ERROR_SUCCESS) {
            Describe(child.get(), path + L"\\" + name, out);
        }
    }
}

std::wstring Snapshot(HKEY root, const std::wstring& path) {
    UniqueHkey key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
        return L"<absent>";
    }
    std::wostringstream out;
    Describe(key.get(), path, out);
    return out.str();
}

constexpr GUID Adapter = {
    0x3f2e1d0c, 0x4b5a, 0x4968, {0x87, 0x76, 0x65, 0x54, 0x43, 0x32, 0x21, 0x10}};
constexpr GUID OtherAdapter = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 5, 5, 5, 5, 5, 5}};
constexpr int ManyAdapters = 1000;

std::wstring GuidText(const GUID& guid) {
    wchar_t text[64] = {};
    StringFromGUID2(guid, text, 64);
    return text;
}

std::wstring AdapterKeyName(int i) {
    wchar_t name[32];
    swprintf(name, 32, L"QmkBad%04d", i);
    return name;
}

class BadConfigurationTest : public StressRegistryTest {
  protected:
    BadConfigurationTest() {
        OwnKey(HKEY_LOCAL_MACHINE, PolicyKeyPath);
        for (int i = 0; i < ManyAdapters; ++i) {
            OwnKey(HKEY_LOCAL_MACHINE, TestAdapterKey(AdapterKeyName(i)));
        }
    }
    void SetUp() override {
        StressRegistryTest::SetUp();
        factory_ = ModuleFactory();
        ASSERT_TRUE(factory_);
        classKeyBefore_ = Snapshot(HKEY_CLASSES_ROOT, ShippedClassKey());
    }
    void TearDown() override {
        // Reading configuration never registers anything either.
        EXPECT_EQ(classKeyBefore_, Snapshot(HKEY_CLASSES_ROOT, ShippedClassKey()));
        factory_.Reset();
        StressRegistryTest::TearDown();
    }

    void ResetPolicy() { ASSERT_TRUE(DeleteKeyTree(HKEY_LOCAL_MACHINE, PolicyKeyPath)); }

    ComPtr<IClassFactory> factory_;
    std::wstring classKeyBefore_;
};

TEST_F(BadConfigurationTest, PolicyValuesAsTheRootObjectReadsThem) {
    ComPtr<IDot11ExtUI> root = CreateRootObject(factory_.Get());
    ASSERT_TRUE(root);
    const ValueCase one{"REG_DWORD 1", true, REG_DWORD, Dword(1)};
    const ValueCase absent{"absent", false, REG_NONE, {}};
    struct Pair {
        ValueCase enable;
        ValueCase v4Only;
    };
    std::vector<Pair> pairs;
    for (const ValueCase& c : NumberCases()) {
        pairs.push_back({c, absent});
        pairs.push_back({c, one});
        pairs.push_back({one, c});
    }
    for (const Pair& pair : pairs) {
        SCOPED_TRACE("EnableCCX " + pair.enable.name + ", V4Only " + pair.v4Only.name);
        ResetPolicy();
        ASSERT_TRUE(Write(PolicyKeyPath, L"EnableCCX", pair.enable));
        ASSERT_TRUE(Write(PolicyKeyPath, L"V4Only", pair.v4Only));
        const std::wstring before = Snapshot(HKEY_LOCAL_MACHINE, PolicyKeyPath);

        const DWORD enable = RootReading(pair.enable);
        const DWORD expectedMask = enable == 0                     ? PolicyNone
                                   : RootReading(pair.v4Only) != 0 ? PolicyV4Only
                                                                   : PolicyAll;
        EXPECT_EQ(expectedMask, ReadCcxPolicy());
        DWORD count = 7;
        IDot11ExtUIProperty** array = nullptr;
        const HRESULT hr = root->EnumerateProperties(DOT11_EXT_UI_KEYEXTENSION, &count, &array);
        UniqueCoTaskMem<IDot11ExtUIProperty*> owned(array);
        if (expectedMask == PolicyNone) {
            EXPECT_HR(E_NOTIMPL, hr);
            EXPECT_EQ(0u, count);
        } else {
            // The key properties come through COM, which has no registration here: the
            // creation's failure is the answer, with nothing handed out.
            EXPECT_TRUE(FAILED(hr)) << HrText(hr);
            EXPECT_EQ(nullptr, array);
        }
        EXPECT_EQ(before, Snapshot(HKEY_LOCAL_MACHINE, PolicyKeyPath)) << "registry written";
    }
}

TEST_F(BadConfigurationTest, PolicyValuesAsTheConnectivityPropertyReadsThem) {
    DisplayLease display;
    ASSERT_TRUE(display.held());
    WindowDismisser dismisser;
    ComPtr<ICCXExtUICon> connectivity = CreateConnectivityObject(factory_.Get());
    ASSERT_TRUE(connectivity);
    wchar_t outer[OuterElementCapacity] = {};
    LoadOuterElementName(outer);
    const std::wstring outerStart = L"<" + std::wstring(outer) + L" xmlns=\"v1\">";
    UniqueLocalString enabledNotice;
    UniqueLocalString disabledNotice;
    ASSERT_EQ(0u, LoadModuleString(NoticeCcxEnabledStringId, enabledNotice));
    ASSERT_EQ(0u, LoadModuleString(NoticeCcxDisabledStringId, disabledNotice));

    for (const wchar_t* value : {L"EnableCCX", L"QuilProfileCompatible"}) {
        for (const ValueCase& c : NumberCases()) {
            SCOPED_TRACE(testing::Message() << value << " " << c.name);
            ResetPolicy();
            ASSERT_TRUE(Write(PolicyKeyPath, value, c));
            const std::wstring before = Snapshot(HKEY_LOCAL_MACHINE, PolicyKeyPath);
            // No vendor section: defaults are written, so a section comes back whatever the
            // notice did; its layout shows the compatibility flag, the notice the CCX flag.
            UniqueBstr section;
            BOOL changed = FALSE;
            ASSERT_HR(S_OK, connectivity->EditSettings(nullptr, nullptr, nullptr, section.put(),
                                                       &changed));
            ASSERT_TRUE(section);
            const bool ccxEnabled = std::wcscmp(value, L"EnableCCX") != 0 || ConnectivityFlag(c);
            const bool compatible =
                std::wcscmp(value, L"QuilProfileCompatible") != 0 || ConnectivityFlag(c);
            EXPECT_EQ(ccxEnabled ? enabledNotice.get() : disabledNotice.get(),
                      dismisser.lastText());
            EXPECT_EQ(compatible, std::wstring(section.get()).rfind(outerStart, 0) == 0)
                << std::wstring(section.get()).substr(0, 40).c_str();
            EXPECT_EQ(before, Snapshot(HKEY_LOCAL_MACHINE, PolicyKeyPath)) << "registry written";
        }
    }
}

struct AdapterCase {
    std::string name;
    ValueCase instanceId;
    ValueCase dptEnable;
    bool supportsDpt;
};

std::vector<AdapterCase> AdapterCases() {
    const std::wstring guid = GuidText(Adapter);
    std::wstring lower = guid;
    for (wchar_t& c : lower) {
        c = static_cast<wchar_t>(towlower(c));
    }
    const ValueCase named{"named", true, REG_SZ, Units(guid)};
    const ValueCase enabled{"\"1\"", true, REG_SZ, Units(L"1")};
    std::vector<BYTE> longId = Units(guid, false);
    longId.resize(1024, 'x'); // longer than the 512-byte buffer, so it cannot be read
    std::vector<BYTE> longEnable = Units(L"1", false);
    longEnable.resize(40, 0);
    std::vector<AdapterCase> cases = {
        // NetCfgInstanceId
        {"id absent", {"absent", false, REG_NONE, {}}, enabled, false},
        {"id in upper case", named, enabled, true},
        {"id in lower case", {"lower", true, REG_SZ, Units(lower)}, enabled, true},
        {"id with text after the brace",
         {"trailing", true, REG_SZ, Units(guid + L"tail")},
         enabled,
         true},
        {"id without braces", {"bare", true, REG_SZ, Units(guid.substr(1, 36))}, enabled, false},
        {"id as REG_DWORD", {"dword", true, REG_DWORD, Dword(1)}, enabled, false},
        {"id as REG_BINARY", {"binary", true, REG_BINARY, Units(guid)}, enabled, false},
        {"id as REG_MULTI_SZ",
         {"multi", true, REG_MULTI_SZ, Units(guid + std::wstring(1, L'\0'))},
         enabled,
         false},
        {"id of 0 bytes", {"0 bytes", true, REG_SZ, {}}, enabled, false},
        {"id of 2 bytes", {"2 bytes", true, REG_SZ, Units(L"{", false)}, enabled, false},
        {"id of 8 bytes",
         {"8 bytes", true, REG_SZ, Units(guid.substr(0, 4), false)},
         enabled,
         false},
        {"id over 512 bytes", {"1024 bytes", true, REG_SZ, longId}, enabled, false},
        // DPTEnable, under an instance key that names the adapter
        {"DPTEnable absent", named, {"absent", false, REG_NONE, {}}, false},
        {"DPTEnable \"0\"", named, {"0", true, REG_SZ, Units(L"0")}, false},
        {"DPTEnable \"-1\"", named, {"-1", true, REG_SZ, Units(L"-1")}, true},
        {"DPTEnable \" 7x\"", named, {"7x", true, REG_SZ, Units(L" 7x")}, true},
        {"DPTEnable empty", named, {"empty", true, REG_SZ, Units(L"")}, false},
        {"DPTEnable \"x1\"", named, {"x1", true, REG_SZ, Units(L"x1")}, false},
        {"DPTEnable REG_DWORD 1", named, {"dword", true, REG_DWORD, Dword(1)}, false},
        {"DPTEnable REG_BINARY \"1\"",
         named,
         {"binary", true, REG_BINARY, Units(L"1", false)},
         true},
        {"DPTEnable REG_MULTI_SZ \"1\"",
         named,
         {"multi", true, REG_MULTI_SZ, Units(std::wstring(L"1\0", 2))},
         true},
        {"DPTEnable of 0 bytes", named, {"0 bytes", true, REG_SZ, {}}, false},
        {"DPTEnable of 2 bytes \"5\"", named, {"2 bytes", true, REG_SZ, Units(L"5", false)}, true},
        {"DPTEnable of 8 bytes \"1234\"",
         named,
         {"8 bytes", true, REG_SZ, Units(L"1234", false)},
         true},
        // 20 bytes fill the buffer; the tenth unit is dropped. (Binary: for a REG_SZ without
        // its terminator Wine's RegQueryValueExW wants room for one and fails the read.)
        {"DPTEnable of 20 bytes \"1234567890\"",
         named,
         {"20 bytes", true, REG_BINARY, Units(L"1234567890", false)},
         true},
        {"DPTEnable of 20 bytes \"0000000001\"",
         named,
         {"20 bytes", true, REG_BINARY, Units(L"0000000001", false)},
         false},
        {"DPTEnable of 22 bytes", named, {"22 bytes", true, REG_SZ, Units(L"1234567890")}, false},
        {"DPTEnable of 40 bytes", named, {"40 bytes", true, REG_SZ, longEnable}, false},
    };
    return cases;
}

TEST_F(BadConfigurationTest, AdapterValuesAsTheLookupReadsThem) {
    DisplayLease display;
    ASSERT_TRUE(display.held());
    WindowDismisser dismisser;
    ComPtr<ICCXExtUICon> connectivity = CreateConnectivityObject(factory_.Get());
    ASSERT_TRUE(connectivity);
    DOT11EXT_IHV_PARAMS connection = ConnectionFor(Adapter);
    const std::wstring instance = TestAdapterKey(AdapterKeyName(0));
    for (const AdapterCase& c : AdapterCases()) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(DeleteKeyTree(HKEY_LOCAL_MACHINE, instance));
        ASSERT_TRUE(SetRegRaw(HKEY_LOCAL_MACHINE, instance, L"Other", REG_SZ, L"", 2));
        ASSERT_TRUE(Write(instance, L"NetCfgInstanceId", c.instanceId));
        ASSERT_TRUE(Write(instance, L"DPTEnable", c.dptEnable));
        const std::wstring before = Snapshot(HKEY_LOCAL_MACHINE, NetworkClassKeyPath);

        EXPECT_EQ(c.supportsDpt, AdapterSupportsDpt(Adapter));
        EXPECT_FALSE(AdapterSupportsDpt(OtherAdapter));
        // The same answer decides between the dialog (cancelled) and the notice.
        const int dialogsBefore = dismisser.dialogs();
        const int boxesBefore = dismisser.messageBoxes();
        UniqueBstr section;
        BOOL changed = FALSE;
        UniqueBstr empty(SysAllocString(L""));
        EXPECT_HR(S_OK, connectivity->EditSettings(nullptr, empty.get(), &connection, section.put(),
                                                   &changed));
        EXPECT_EQ(c.supportsDpt ? 1 : 0, dismisser.dialogs() - dialogsBefore);
        EXPECT_EQ(c.supportsDpt ? 0 : 1, dismisser.messageBoxes() - boxesBefore);
        EXPECT_EQ(before, Snapshot(HKEY_LOCAL_MACHINE, NetworkClassKeyPath)) << "registry written";
    }
}

TEST_F(BadConfigurationTest, AThousandAdapterSubkeys) {
    // 999 other adapters, every tenth without an instance id, every seventh with one of the
    // wrong type; the adapter itself last, and once more under a later name with DPT off
    // (the first match decides).
    for (int i = 0; i < ManyAdapters - 1; ++i) {
        const std::wstring key = TestAdapterKey(AdapterKeyName(i));
        if (i % 10 == 0) {
            ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, key, L"DPTEnable", L"1"));
        } else if (i % 7 == 0) {
            ASSERT_TRUE(SetRegDword(HKEY_LOCAL_MACHINE, key, L"NetCfgInstanceId", 1));
        } else {
            GUID other = OtherAdapter;
            other.Data1 = static_cast<unsigned long>(i);
            ASSERT_TRUE(WriteDptAdapter(AdapterKeyName(i), other));
        }
    }
    ASSERT_TRUE(WriteDptAdapter(AdapterKeyName(ManyAdapters - 1), Adapter));
    const std::wstring before = Snapshot(HKEY_LOCAL_MACHINE, NetworkClassKeyPath);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(AdapterSupportsDpt(Adapter));
    const double found =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    GUID absent = OtherAdapter;
    absent.Data1 = 0xFFFFFFF0;
    EXPECT_FALSE(AdapterSupportsDpt(absent));
    GUID numbered = OtherAdapter;
    numbered.Data1 = 1;
    EXPECT_TRUE(AdapterSupportsDpt(numbered));
    std::printf("lookup through %d subkeys: %.3f s\n", ManyAdapters, found);
    EXPECT_LT(found, 10.0);

    // A second instance key naming the adapter, enumerated before the last: DPT off there.
    const std::wstring earlier = TestAdapterKey(AdapterKeyName(10));
    ASSERT_TRUE(DeleteKeyTree(HKEY_LOCAL_MACHINE, earlier));
    ASSERT_TRUE(WriteDptAdapter(AdapterKeyName(10), Adapter));
    ASSERT_TRUE(SetRegString(HKEY_LOCAL_MACHINE, earlier, L"DPTEnable", L"0"));
    EXPECT_FALSE(AdapterSupportsDpt(Adapter)) << "the first matching subkey decides";
    EXPECT_NE(before, Snapshot(HKEY_LOCAL_MACHINE, NetworkClassKeyPath)); // the test's own write
    const std::wstring afterWrite = Snapshot(HKEY_LOCAL_MACHINE, NetworkClassKeyPath);
    AdapterSupportsDpt(Adapter);
    EXPECT_EQ(afterWrite, Snapshot(HKEY_LOCAL_MACHINE, NetworkClassKeyPath)) << "registry written";
}

} // namespace
