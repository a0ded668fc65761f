// The fragment readers find their elements with SelectNode, which walks the children for the
// plain paths they use instead of asking the platform's selectSingleNode. On every generated
// fragment, and on texts built to tell the two apart, both must find the same node.
#include "fragment_generator.h"
#include "stress_support.h"

#include "fragments/fragment_text.h"
#include "fragments/xml_document.h"

#include <cstdio>

namespace {

unsigned InputCount() {
    return ScaleFromEnvironment(L"QMK_STRESS_INPUTS", 120);
}

ComPtr<IXMLDOMNode> PlatformSelect(IXMLDOMNode* node, const wchar_t* path) {
    UniqueBstr query(SysAllocString(path));
    ComPtr<IXMLDOMNode> found;
    if (node->selectSingleNode(query.get(), &found) != S_OK) {
        return nullptr;
    }
    return found;
}

// A node told apart from its look-alikes: its serialisation and those of its ancestors.
std::wstring Identity(IXMLDOMNode* node) {
    if (node == nullptr) {
        return L"<none>";
    }
    std::wstring identity;
    ComPtr<IXMLDOMNode> at(node);
    for (int depth = 0; at && depth < 64; ++depth) {
        UniqueBstr xml;
        at->get_xml(xml.put());
        long preceding = 0;
        for (ComPtr<IXMLDOMNode> sibling = at; sibling;) {
            ComPtr<IXMLDOMNode> previous;
            if (sibling->get_previousSibling(&previous) != S_OK) {
                break;
            }
            sibling = previous;
            ++preceding;
        }
        identity += std::to_wstring(preceding) + L":" + (xml ? xml.get() : L"") + L"|";
        ComPtr<IXMLDOMNode> parent;
        if (at->get_parentNode(&parent) != S_OK) {
            break;
        }
        at = parent;
    }
    return identity;
}

// The paths the readers ask, from the node each starts at.
const wchar_t* const AbsolutePaths[] = {L"/CCX",
                                        L"/CCX/RadioMeasurement",
                                        L"/CCX/KeepAliveTimer",
                                        L"/CCX/Diagnostics/Channel",
                                        L"/CCX/Diagnostics/AuthorizedProfile",
                                        L"/CCX/openNetwork",
                                        L"/CCX/authenticatingNetwork",
                                        L"/DPT"};
const wchar_t* const RelativePaths[] = {
    L"RadioMeasurement", L"KeepAliveTimer", L"Diagnostics/Channel",
    L"Diagnostics/AuthorizedProfile", L"disabled", L"enabled", L"disableLocationBasedServices",
    L"MaxOffChannelTimeMs", L"MinOnChannelTimeMs", L"Period", L"SSID/Hex", L"SSID/Name",
    L"EnableClientReporting", L"open", L"cckm", L"wpa", L"wpa2", L"encryption", L"useDPTPrivateKey",
    L"DPTPrivateKey", L"DPTEncryption",
    // the longest path the walk takes, and one longer
    L"a/b/c/d/e/f/g/h", L"a/b/c/d/e/f/g/h/i"};

int Compare(IXMLDOMNode* start, const wchar_t* path, std::vector<ComPtr<IXMLDOMNode>>& found) {
    ComPtr<IXMLDOMNode> walked = SelectNode(start, path);
    ComPtr<IXMLDOMNode> queried = PlatformSelect(start, path);
    EXPECT_EQ(Identity(queried.Get()), Identity(walked.Get())) << "path " << path;
    if (walked) {
        found.push_back(walked);
    }
    return walked ? 1 : 0;
}

// Every path from the root, then every relative path from every node found so far. The
// text is loaded as the platform reads it: the module refuses a document type, but the walk
// must still answer as the query does past one.
int CompareAll(const wchar_t* text) {
    ComPtr<IXMLDOMDocument> document;
    UniqueBstr source(SysAllocString(text));
    VARIANT_BOOL loaded = VARIANT_FALSE;
    if (CreateDocument(document) != S_OK || !source ||
        document->loadXML(source.get(), &loaded) != S_OK) {
        return 0;
    }
    ComPtr<IXMLDOMElement> root = DocumentElement(document.Get());
    if (!root) {
        return 0;
    }
    std::vector<ComPtr<IXMLDOMNode>> found;
    int hits = 0;
    for (const wchar_t* path : AbsolutePaths) {
        hits += Compare(root.Get(), path, found);
        hits += Compare(document.Get(), path, found);
    }
    for (std::size_t i = 0; i < found.size() && i < 64; ++i) {
        for (const wchar_t* path : RelativePaths) {
            hits += Compare(found[i].Get(), path, found);
        }
    }
    return hits;
}

TEST(SelectEquivalenceTest, TheWalkFindsWhatTheQueryFinds) {
    ComApartment apartment;
    const wchar_t* const crafted[] = {
        // the first match in document order, not the first parent's child
        L"<CCX><Diagnostics/><Diagnostics><Channel><SSID><Name>b</Name></SSID></Channel>"
        L"</Diagnostics></CCX>",
        L"<CCX><Diagnostics><Channel/></Diagnostics><Diagnostics><Channel><SSID><Hex>41</Hex>"
        L"</SSID></Channel></Diagnostics></CCX>",
        // not elements, though named alike
        L"<CCX><?RadioMeasurement x?><!--RadioMeasurement--><KeepAliveTimer><![CDATA[Period]]>"
        L"</KeepAliveTimer></CCX>",
        // prefixes and namespaces
        L"<CCX xmlns:p=\"urn:p\"><p:RadioMeasurement><disabled/></p:RadioMeasurement></CCX>",
        L"<p:CCX xmlns:p=\"urn:p\"><RadioMeasurement><disabled/></RadioMeasurement></p:CCX>",
        L"<CCX xmlns=\"any\"><RadioMeasurement xmlns=\"other\"><enabled/></RadioMeasurement></CCX>",
        // entities and case
        L"<!DOCTYPE CCX [<!ENTITY e \"<KeepAliveTimer><Period>5</Period></KeepAliveTimer>\">]>"
        L"<CCX>&e;</CCX>",
        L"<CCX><radioMeasurement/><RadioMeasurement><Enabled/><enabled/></RadioMeasurement></CCX>",
        L"<DPT xmlns=\"dptv1\"><DPT><useDPTPrivateKey>x</useDPTPrivateKey></DPT></DPT>",
        // a document-type node before the root, which cannot be walked past under Wine
        L"<!DOCTYPE DPT><DPT><DPTEncryption>AES</DPTEncryption></DPT>",
        L"<CCX><authenticatingNetwork><wpa2x/><wpa><encryption/></wpa><wpa2/></"
        L"authenticatingNetwork>"
        L"</CCX>",
        L"<CCX><a><b><c><d><e><f><g><h><i>9</i></h></g></f></e></d></c></b></a></CCX>",
    };
    int hits = 0;
    for (const wchar_t* text : crafted) {
        SCOPED_TRACE(testing::Message() << "text " << text);
        hits += CompareAll(text);
    }
    FragmentGenerator generator(20261209, {L"0102"});
    const unsigned count = InputCount();
    for (std::uint32_t i = 0; i < count && !HasFailure(); ++i) {
        const GeneratedText input = generator.Make(
            i, i % 2 == 0 ? FragmentGenerator::Base::Any : FragmentGenerator::Base::NetworkType);
        SCOPED_TRACE(testing::Message() << "input " << i << " (" << input.recipe << ")");
        for (const wchar_t* name : {L"CCX", L"DPT"}) {
            if (std::optional<std::wstring> fragment = ExtractFragment(input.text.c_str(), name)) {
                hits += CompareAll(fragment->c_str());
            }
        }
        hits += CompareAll(input.text.c_str());
    }
    std::printf("%u generated inputs and %zu crafted texts, %d nodes found alike\n", count,
                std::size(crafted), hits);
}

} // namespace
