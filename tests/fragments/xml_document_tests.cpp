#include "common/bstr.h"
#include "fragments/xml_document.h"

#include "com_apartment.h"
#include "fragment_test_text.h"
#include "xml_compare.h"

#include <string>

namespace {

using XmlDocumentTest = ComTest;

TEST_F(XmlDocumentTest, LoadsOnlyWellFormedText) {
    struct Case {
        const wchar_t* text;
        bool loads;
    } cases[] = {
        {L"<DPT/>", true},
        {L"<CCX xmlns=\"any\"><a/></CCX>", true},
        {L"", false},
        {nullptr, false},
        {L"<DPT>", false},
        {L"<a/><b/>", false},
        {L"<a>&undefined;</a>", false},
        {L"plain text", false},
    };
    for (const Case& c : cases) {
        ComPtr<IXMLDOMDocument> document;
        ASSERT_HR(S_OK, CreateDocument(document));
        // Text that does not load is S_FALSE, never a failure.
        EXPECT_HR(c.loads ? S_OK : S_FALSE, LoadDocument(document.Get(), c.text))
            << testing::PrintToString(c.text ? c.text : L"(null)");
        EXPECT_EQ(c.loads, static_cast<bool>(DocumentElement(document.Get())));
    }
}

// A document type in a fragment may name files or URLs: the parser fetches none of them.
// Every other parser setting stays as a bare document has it.
TEST_F(XmlDocumentTest, DocumentsResolveNoExternalsAndKeepOtherDefaults) {
    ComPtr<IXMLDOMDocument> bare;
    ASSERT_HR(S_OK,
              CoCreateInstance(DomDocumentClsid, nullptr, CLSCTX_INPROC_SERVER, DomDocumentIid,
                               reinterpret_cast<void**>(bare.GetAddressOf())));
    ComPtr<IXMLDOMDocument> document;
    ASSERT_HR(S_OK, CreateDocument(document));
    VARIANT_BOOL value = VARIANT_TRUE;
    ASSERT_HR(S_OK, document->get_resolveExternals(&value));
    EXPECT_EQ(VARIANT_FALSE, value);
    using Getter = HRESULT (STDMETHODCALLTYPE IXMLDOMDocument::*)(VARIANT_BOOL*);
    for (Getter getter : {&IXMLDOMDocument::get_validateOnParse,
                          &IXMLDOMDocument::get_preserveWhiteSpace, &IXMLDOMDocument::get_async}) {
        VARIANT_BOOL expected = 0;
        VARIANT_BOOL actual = 1;
        ASSERT_HR(S_OK, (bare.Get()->*getter)(&expected));
        ASSERT_HR(S_OK, (document.Get()->*getter)(&actual));
        EXPECT_EQ(expected, actual);
    }
}

TEST_F(XmlDocumentTest, PlainPathsFindElementsUnderADefaultNamespace) {
    ComPtr<IXMLDOMDocument> document = CreateLoadedDocument(
        L"<DPT xmlns=\"dptv1\"><useDPTPrivateKey>true</useDPTPrivateKey></DPT>");
    ASSERT_TRUE(document);
    ComPtr<IXMLDOMElement> root = DocumentElement(document.Get());
    ASSERT_TRUE(root);
    ComPtr<IXMLDOMNode> dpt = SelectNode(root.Get(), L"/DPT");
    ASSERT_TRUE(dpt);
    ComPtr<IXMLDOMNode> child = SelectNode(dpt.Get(), L"useDPTPrivateKey");
    ASSERT_TRUE(child);
    UniqueBstr text;
    ASSERT_TRUE(ReadNodeText(child.Get(), text));
    EXPECT_EQ(L"true", Text(text));
    EXPECT_FALSE(SelectNode(dpt.Get(), L"usedptprivatekey"));
    EXPECT_FALSE(SelectNode(root.Get(), L"/CCX"));
}

TEST_F(XmlDocumentTest, BuiltTreeSerialisesAndReadsBack) {
    FragmentWriter writer(L"<CCX/>");
    ASSERT_TRUE(writer.root());
    ComPtr<IXMLDOMNode> channel = writer.Append(writer.root(), L"Channel");
    ASSERT_TRUE(channel);
    ComPtr<IXMLDOMNode> hex = writer.Append(channel.Get(), L"Hex");
    ASSERT_TRUE(hex);
    writer.SetText(hex.Get(), L"4142");
    ASSERT_TRUE(writer.Append(writer.root(), L"Empty"));
    UniqueBstr xml;
    ASSERT_HR(S_OK, writer.Finish(L"any", xml));
    ASSERT_TRUE(xml);
    EXPECT_SAME_XML(L"<CCX xmlns=\"any\"><Channel><Hex>4142</Hex></Channel><Empty/></CCX>",
                    Text(xml));
    EXPECT_EQ(L"any", RootNamespace(xml.get()));

    ComPtr<IXMLDOMDocument> again = CreateLoadedDocument(xml.get());
    ASSERT_TRUE(again);
    ComPtr<IXMLDOMElement> againRoot = DocumentElement(again.Get());
    ASSERT_TRUE(againRoot);
    ComPtr<IXMLDOMNode> found = SelectNode(againRoot.Get(), L"/CCX/Channel");
    ASSERT_TRUE(found);
    UniqueBstr text;
    ASSERT_TRUE(ReadNodeText(SelectNode(found.Get(), L"Hex").Get(), text));
    EXPECT_EQ(L"4142", Text(text));
}

TEST_F(XmlDocumentTest, NullArgumentsAnswerNothing) {
    EXPECT_HR(E_POINTER, LoadDocument(nullptr, L"<a/>"));
    EXPECT_FALSE(DocumentElement(nullptr));
    EXPECT_FALSE(SelectNode(nullptr, L"/a"));
    UniqueBstr text;
    EXPECT_FALSE(ReadNodeText(nullptr, text));
    EXPECT_FALSE(text);
    // A writer keeps its first failure: what follows does nothing, and no text comes out.
    FragmentWriter writer(L"<CCX/>");
    EXPECT_FALSE(writer.Append(nullptr, L"a"));
    EXPECT_FALSE(writer.Append(writer.root(), L"b"));
    UniqueBstr xml = BstrCopy(L"stale");
    EXPECT_HR(E_POINTER, writer.Finish(L"any", xml));
    EXPECT_FALSE(xml);
}

} // namespace
