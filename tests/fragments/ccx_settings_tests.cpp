#include "fragments/ccx_settings.h"

#include "fragments/fragment_envelope.h"
#include "fragments/xml_document.h"

#include "com_apartment.h"
#include "fragment_test_text.h"
#include "xml_compare.h"

#include <ostream>
#include <string>

namespace {

// The record as one comparable value; the SSID bytes count only up to the length.
struct Fields {
    int radio, location, reporting, authorized, maxOff, minOn, keepAlive, period, ssidLength;
    std::string ssid;
    bool operator==(const Fields&) const = default;
};

void PrintTo(const Fields& f, std::ostream* out) {
    *out << "{radio " << f.radio << ", location " << f.location << ", reporting " << f.reporting
         << ", authorized " << f.authorized << ", maxOff " << f.maxOff << ", minOn " << f.minOn
         << ", keepAlive " << f.keepAlive << ", period " << f.period << ", ssidLength "
         << f.ssidLength << ", ssid " << testing::PrintToString(f.ssid) << "}";
}

Fields FieldsOf(const CcxSettings& s) {
    std::string ssid;
    if (s.diagnosticSsidLength > 0 && s.diagnosticSsidLength <= static_cast<int>(SsidCapacity)) {
        ssid.assign(s.diagnosticSsid, s.diagnosticSsid + s.diagnosticSsidLength);
    }
    return {s.radioMeasurement,      s.locationBasedServices,
            s.enableClientReporting, s.authorizedProfile,
            s.maxOffChannelTimeMs,   s.minOnChannelTimeMs,
            s.keepAliveEnabled,      s.keepAlivePeriod,
            s.diagnosticSsidLength,  ssid};
}

CcxSettings Record(const Fields& f) {
    CcxSettings s;
    s.radioMeasurement = f.radio;
    s.locationBasedServices = f.location;
    s.enableClientReporting = f.reporting;
    s.authorizedProfile = f.authorized;
    s.maxOffChannelTimeMs = f.maxOff;
    s.minOnChannelTimeMs = f.minOn;
    s.keepAliveEnabled = f.keepAlive;
    s.keepAlivePeriod = f.period;
    s.diagnosticSsidLength = f.ssidLength;
    std::copy(f.ssid.begin(), f.ssid.end(), s.diagnosticSsid);
    return s;
}

// A record full of leftovers, so the tests see exactly what the reader changes.
constexpr int S = 77;
const Fields Stale = {S, S, S, S, S, S, S, S, S, ""};
const Fields NotSet = {-1, -1, -1, -1, -1, -1, 0, -1, -1, ""};

Fields Read(const Fields& start, const wchar_t* vendorText) {
    CcxSettings settings = Record(start);
    EXPECT_HR(S_OK, ReadCcxSettings(settings, vendorText));
    return FieldsOf(settings);
}

std::wstring Ccx(const std::wstring& children) {
    return L"<CCX xmlns=\"any\">" + children + L"</CCX>";
}

std::wstring Channel(const std::wstring& children) {
    return Ccx(L"<RadioMeasurement/><KeepAliveTimer/><Diagnostics><Channel>" + children +
               L"</Channel></Diagnostics>");
}

class CcxSettingsTest : public ComTest {};

// --- Record states ---

TEST_F(CcxSettingsTest, NotSetAndDefaultStates) {
    CcxSettings settings = Record(Stale);
    settings.diagnosticSsid[0] = 0xAB;
    settings.SetNotSet();
    EXPECT_EQ((Fields{-1, -1, -1, -1, -1, -1, 0, -1, -1, ""}), FieldsOf(settings));
    EXPECT_EQ(0xAB, settings.diagnosticSsid[0]) << "the SSID bytes stay as they are";

    for (int keepAlive : {0, 1}) {
        CcxSettings defaults = Record(Stale);
        defaults.keepAliveEnabled = keepAlive;
        defaults.SetDefaults();
        EXPECT_EQ((Fields{1, 1, 0, 0, 50, 400, keepAlive, 0, 18, "Diagnostic Channel"}),
                  FieldsOf(defaults));
    }
}

// --- Reading ---

TEST_F(CcxSettingsTest, TextsWithoutAUsableFragmentChangeNothing) {
    const wchar_t* const texts[] = {
        nullptr,
        L"",
        L"<DPT xmlns=\"dptv1\"><useDPTPrivateKey>true</useDPTPrivateKey></DPT>",
        L"<CCX xmlns=\"any\"/>",
        L"<ccx><KeepAliveTimer/></ccx>",
        L"<CCX><RadioMeasurement><disabled/></CCX>",
        L"<CCX><Diagnostics>&undefined;</Diagnostics></CCX>",
        L"<CCX><KeepAliveTimer/></CCX >",
    };
    for (const wchar_t* text : texts) {
        EXPECT_EQ(Stale, Read(Stale, text)) << testing::PrintToString(text ? text : L"(null)");
    }
}

TEST_F(CcxSettingsTest, ReadsRadioMeasurement) {
    const wchar_t* const keep = L"<KeepAliveTimer><Period>9</Period></KeepAliveTimer>";
    struct Case {
        std::wstring radio;
        int radioMeasurement, location, maxOff, minOn;
    } cases[] = {
        {L"", 1, 1, 50, 400},
        {L"<RadioMeasurement><disabled/></RadioMeasurement>", 0, S, S, S},
        {L"<RadioMeasurement><enabled><MaxOffChannelTimeMs>1</MaxOffChannelTimeMs></enabled>"
         L"<disabled/></RadioMeasurement>",
         0, S, S, S},
        {L"<RadioMeasurement/>", S, S, S, S},
        {L"<RadioMeasurement><other/></RadioMeasurement>", S, S, S, S},
        {L"<RadioMeasurement><enabled/></RadioMeasurement>", 1, 1, S, S},
        {L"<RadioMeasurement><enabled><disableLocationBasedServices/>"
         L"<MaxOffChannelTimeMs>10</MaxOffChannelTimeMs>"
         L"<MinOnChannelTimeMs>20</MinOnChannelTimeMs></enabled></RadioMeasurement>",
         1, 0, 10, 20},
        {L"<RadioMeasurement><enabled><disableLocationBasedServices>no</"
         L"disableLocationBasedServices>"
         L"<MaxOffChannelTimeMs>  25ms</MaxOffChannelTimeMs>"
         L"<MinOnChannelTimeMs>abc</MinOnChannelTimeMs></enabled></RadioMeasurement>",
         1, 0, 25, 0},
        {L"<RadioMeasurement><enabled><MaxOffChannelTimeMs>-5</MaxOffChannelTimeMs>"
         L"<MinOnChannelTimeMs/></enabled></RadioMeasurement>",
         1, 1, -5, 0},
        // Case matters: these are unknown elements.
        {L"<RadioMeasurement><Enabled/><Disabled/></RadioMeasurement>", S, S, S, S},
    };
    for (const Case& c : cases) {
        const Fields read = Read(Stale, Ccx(c.radio + keep).c_str());
        EXPECT_EQ((Fields{c.radioMeasurement, c.location, S, S, c.maxOff, c.minOn, 1, 9, S, ""}),
                  read)
            << testing::PrintToString(c.radio);
    }
}

TEST_F(CcxSettingsTest, ReadsKeepAliveTimer) {
    const wchar_t* const radio = L"<RadioMeasurement><disabled/></RadioMeasurement>";
    struct Case {
        const wchar_t* timer;
        int enabled, period;
    } cases[] = {
        {L"", 0, 0},
        {L"<KeepAliveTimer/>", 1, S},
        {L"<KeepAliveTimer><Period>30</Period></KeepAliveTimer>", 1, 30},
        {L"<KeepAliveTimer><Period>-1</Period></KeepAliveTimer>", 1, -1},
        {L"<KeepAliveTimer><Period></Period></KeepAliveTimer>", 1, 0},
        {L"<KeepAliveTimer><period>5</period></KeepAliveTimer>", 1, S},
    };
    for (const Case& c : cases) {
        const Fields read = Read(Stale, Ccx(std::wstring(radio) + c.timer).c_str());
        EXPECT_EQ((Fields{0, S, S, S, S, S, c.enabled, c.period, S, ""}), read)
            << testing::PrintToString(c.timer);
    }
}

TEST_F(CcxSettingsTest, ReadsTheDiagnosticSsid) {
    const std::wstring digits64(64, L'4');
    const std::wstring digits66(66, L'4');
    struct Case {
        std::wstring channel;
        int length;
        std::string ssid;
    } cases[] = {
        {L"<SSID><Hex>4142</Hex></SSID>", 2, "AB"},
        {L"<SSID><Hex>6a6B</Hex></SSID>", 2, "jk"},
        {L"<SSID><Hex>" + digits64 + L"</Hex></SSID>", 32, std::string(32, 'D')},
        {L"<SSID><Hex>414</Hex></SSID>", -2, ""},
        {L"<SSID><Hex>4G</Hex></SSID>", -2, ""},
        {L"<SSID><Hex>" + digits66 + L"</Hex></SSID>", -2, ""},
        {L"<SSID><Hex/></SSID>", 0, ""},
        {L"<SSID><Hex>4142</Hex><Name>Other</Name></SSID>", 2, "AB"},
        {L"<SSID><Name>Other</Name><Hex>4G</Hex></SSID>", -2, ""},
        {L"<SSID><Name>Diagnostic Channel</Name></SSID>", 18, "Diagnostic Channel"},
        {L"<SSID><Name>caf\x00E9</Name></SSID>", -2, ""},
        {L"<SSID><Name>" + std::wstring(33, L'n') + L"</Name></SSID>", -2, ""},
        {L"<SSID><Name/></SSID>", 0, ""},
        {L"<SSID/>", S, ""},
        {L"<ssid><Hex>4142</Hex></ssid>", S, ""},
    };
    for (const Case& c : cases) {
        const Fields read = Read(Stale, Channel(c.channel).c_str());
        EXPECT_EQ((Fields{S, S, S, S, S, S, 1, S, c.length, c.ssid}), read)
            << testing::PrintToString(c.channel);
    }
}

TEST_F(CcxSettingsTest, ReadsBooleansAsExactlyTrue) {
    struct Case {
        const wchar_t* text;
        int value;
    } cases[] = {
        {L"true", 1}, {L"false", 0}, {L"True", 0},  {L"TRUE", 0},
        {L"1", 0},    {L"", 0},      {L"true!", 0}, {L"yes", 0},
    };
    for (const Case& c : cases) {
        const std::wstring value(c.text);
        const std::wstring reporting =
            Channel(L"<EnableClientReporting>" + value + L"</EnableClientReporting>");
        EXPECT_EQ((Fields{S, S, c.value, S, S, S, 1, S, S, ""}), Read(Stale, reporting.c_str()))
            << testing::PrintToString(c.text);

        const std::wstring authorized =
            Ccx(L"<RadioMeasurement/><KeepAliveTimer/><Diagnostics><AuthorizedProfile>" + value +
                L"</AuthorizedProfile></Diagnostics>");
        EXPECT_EQ((Fields{S, S, S, c.value, S, S, 1, S, S, ""}), Read(Stale, authorized.c_str()))
            << testing::PrintToString(c.text);
    }
}

TEST_F(CcxSettingsTest, FindsTheFragmentWhereverItStandsInTheSection) {
    const std::wstring fragment = L"<CCX xmlns=\"any\"><KeepAliveTimer><Period>4</Period>"
                                  L"</KeepAliveTimer><DPT xmlns=\"dptv1\"><useDPTPrivateKey>"
                                  L"true</useDPTPrivateKey></DPT><Unknown><x/></Unknown></CCX>";
    const Fields expected = {1, 1, S, S, 50, 400, 1, 4, S, ""};
    for (const std::wstring& text : {
             fragment,
             L"<Vendor>" + fragment +
                 L"<DPT><useDPTPrivateKey>true</useDPTPrivateKey></DPT></Vendor>",
             L"<DPT/>\r\n\t" + fragment + L"\r\n",
         }) {
        EXPECT_EQ(expected, Read(Stale, text.c_str())) << testing::PrintToString(text);
    }
}

// --- Writing ---

TEST_F(CcxSettingsTest, WritesOnlyWhatIsSet) {
    struct Case {
        const char* what;
        Fields record;
        const wchar_t* expected;
    } cases[] = {
        {"not set", NotSet, L"<CCX xmlns=\"any\"/>"},
        {"defaults",
         {1, 1, 0, 0, 50, 400, 1, 0, 18, "Diagnostic Channel"},
         L"<CCX xmlns=\"any\"><RadioMeasurement><enabled>"
         L"<MaxOffChannelTimeMs>50</MaxOffChannelTimeMs><MinOnChannelTimeMs>400</"
         L"MinOnChannelTimeMs>"
         L"</enabled></RadioMeasurement><KeepAliveTimer><Period>0</Period></KeepAliveTimer>"
         L"<Diagnostics><AuthorizedProfile>false</AuthorizedProfile><Channel><SSID>"
         L"<Hex>446961676E6F73746963204368616E6E656C</Hex></SSID>"
         L"<EnableClientReporting>false</EnableClientReporting></Channel></Diagnostics></CCX>"},
        {"location services off, times not set",
         {1, 0, -1, -1, -1, -1, 0, 5, -1, ""},
         L"<CCX xmlns=\"any\"><RadioMeasurement><enabled><disableLocationBasedServices/>"
         L"<MaxOffChannelTimeMs>-1</MaxOffChannelTimeMs><MinOnChannelTimeMs>-1</MinOnChannelTimeMs>"
         L"</enabled></RadioMeasurement></CCX>"},
        {"disabled",
         {0, 0, -1, -1, 7, 8, 0, -1, -1, ""},
         L"<CCX xmlns=\"any\"><RadioMeasurement><disabled/></RadioMeasurement></CCX>"},
        {"neither 1 nor -1 writes disabled",
         {-2, 1, -1, -1, 7, 8, 0, -1, -1, ""},
         L"<CCX xmlns=\"any\"><RadioMeasurement><disabled/></RadioMeasurement></CCX>"},
        {"keep-alive",
         {-1, -1, -1, -1, -1, -1, 1, 30, -1, ""},
         L"<CCX xmlns=\"any\"><KeepAliveTimer><Period>30</Period></KeepAliveTimer></CCX>"},
        {"keep-alive other than 1",
         {-1, -1, -1, -1, -1, -1, 2, 30, -1, ""},
         L"<CCX xmlns=\"any\"/>"},
        {"unreadable booleans write false",
         {-1, -1, -2, -2, -1, -1, 0, -1, -1, ""},
         L"<CCX xmlns=\"any\"><Diagnostics><AuthorizedProfile>false</AuthorizedProfile><Channel>"
         L"<EnableClientReporting>false</EnableClientReporting></Channel></Diagnostics></CCX>"},
        {"authorized only",
         {-1, -1, -1, 1, -1, -1, 0, -1, 0, ""},
         L"<CCX xmlns=\"any\"><Diagnostics><AuthorizedProfile>true</AuthorizedProfile>"
         L"</Diagnostics></CCX>"},
        {"SSID only",
         {-1, -1, -1, -1, -1, -1, 0, -1, 2, std::string("\x00\xFF", 2)},
         L"<CCX xmlns=\"any\"><Diagnostics><Channel><SSID><Hex>00FF</Hex></SSID></Channel>"
         L"</Diagnostics></CCX>"},
        {"invalid SSID is left out",
         {-1, -1, 1, -1, -1, -1, 0, -1, -2, ""},
         L"<CCX xmlns=\"any\"><Diagnostics><Channel><EnableClientReporting>true"
         L"</EnableClientReporting></Channel></Diagnostics></CCX>"},
    };
    for (const Case& c : cases) {
        const UniqueBstr text = Written(WriteCcxSettings, Record(c.record));
        ASSERT_TRUE(text) << c.what;
        EXPECT_SAME_XML(c.expected, Text(text)) << c.what;
    }
}

TEST_F(CcxSettingsTest, WrittenFragmentCarriesXmlnsAndRoundTrips) {
    struct Case {
        const char* what;
        Fields record;
        Fields expected;
    } cases[] = {
        {"defaults",
         {1, 1, 0, 0, 50, 400, 1, 0, 18, "Diagnostic Channel"},
         {1, 1, 0, 0, 50, 400, 1, 0, 18, "Diagnostic Channel"}},
        {"every value set",
         {1, 0, 1, 1, 120, 250, 1, 45, 32, std::string(32, '\x80')},
         {1, 0, 1, 1, 120, 250, 1, 45, 32, std::string(32, '\x80')}},
        {"unreadable booleans come back as 0",
         {1, 1, -2, -2, 1, 2, 1, 3, -1, ""},
         {1, 1, 0, 0, 1, 2, 1, 3, -1, ""}},
        {"location not set under enabled comes back as 1",
         {1, -1, -1, -1, 5, 6, 0, -1, -1, ""},
         {1, 1, -1, -1, 5, 6, 0, 0, -1, ""}},
        {"disabled carries neither location nor times",
         {0, 0, 1, -1, 5, 6, 1, 7, -1, ""},
         {0, -1, 1, -1, -1, -1, 1, 7, -1, ""}},
        {"radio not set comes back with the radio defaults",
         {-1, 0, -1, -1, 5, 6, 1, 7, -1, ""},
         {1, 1, -1, -1, 50, 400, 1, 7, -1, ""}},
        {"keep-alive off comes back with period 0",
         {0, -1, -1, -1, -1, -1, 0, 9, -1, ""},
         {0, -1, -1, -1, -1, -1, 0, 0, -1, ""}},
        {"empty SSID is not written",
         {0, -1, 1, -1, -1, -1, 0, -1, 0, ""},
         {0, -1, 1, -1, -1, -1, 0, 0, -1, ""}},
        {"nothing set writes no end tag, reads back nothing", NotSet, NotSet},
    };
    for (const Case& c : cases) {
        const UniqueBstr text = Written(WriteCcxSettings, Record(c.record));
        ASSERT_TRUE(text) << c.what;

        EXPECT_EQ(L"any", RootNamespace(text.get())) << c.what;
        EXPECT_EQ(c.expected, Read(NotSet, text.get())) << c.what;
    }
}

// --- The fragments joined in one vendor section ---

TEST_F(CcxSettingsTest, CombinedSectionStillYieldsTheCcxSettings) {
    const Fields record = {1, 0, 1, 0, 60, 300, 1, 20, 4, "diag"};
    const UniqueBstr ccx = Written(WriteCcxSettings, Record(record));
    ASSERT_TRUE(ccx);
    const wchar_t dpt[] = L"<DPT xmlns=\"dptv1\"><useDPTPrivateKey>true</useDPTPrivateKey></DPT>";
    const UniqueBstr combined = CombineFragments(ccx.get(), dpt);
    ASSERT_TRUE(combined);
    EXPECT_EQ(record, Read(NotSet, combined.get()));
    const std::optional<std::wstring> nested = ExtractFragment(combined.get(), L"DPT");
    ASSERT_TRUE(nested);
    EXPECT_SAME_XML(dpt, *nested);

    // The DPT fragment became the CCX element's last child.
    ComPtr<IXMLDOMDocument> document = CreateLoadedDocument(combined.get());
    ASSERT_TRUE(document);
    ComPtr<IXMLDOMElement> root = DocumentElement(document.Get());
    ASSERT_TRUE(root);
    ComPtr<IXMLDOMNode> last;
    ASSERT_HR(S_OK, root->get_lastChild(&last));
    UniqueBstr lastName;
    ASSERT_HR(S_OK, last->get_nodeName(lastName.put()));
    EXPECT_EQ(L"DPT", Text(lastName));
}

TEST_F(CcxSettingsTest, CombineFragmentsAnswersBstrs) {
    const UniqueBstr notSet = Written(WriteCcxSettings, Record(NotSet));
    ASSERT_TRUE(notSet);
    // A self-closed CCX element is dropped: the DPT text alone.
    EXPECT_EQ(L"<DPT/>", Text(CombineFragments(notSet.get(), L"<DPT/>")));
    EXPECT_EQ(L"<CCX>x</CCX>", Text(CombineFragments(L"<CCX>x</CCX>", nullptr)));
    EXPECT_EQ(L"<DPT/>", Text(CombineFragments(nullptr, L"<DPT/>")));
    EXPECT_FALSE(CombineFragments(nullptr, nullptr));
    const UniqueBstr joined = CombineFragments(L"<CCX><a/></CCX>", L"<DPT/>");
    EXPECT_EQ(L"<CCX><a/><DPT/></CCX>", Text(joined));
    EXPECT_EQ(joined ? wcslen(joined.get()) : 0u, joined ? SysStringLen(joined.get()) : 1u);
}

} // namespace
