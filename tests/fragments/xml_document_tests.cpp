#include "common/bstr.h"
#include "fragments/xml_document.h"

#include <winsock2.h>

#include "com_apartment.h"
#include "fragment_test_text.h"
#include "xml_compare.h"

#include <string>

namespace {

using XmlDocumentTest = ComTest;

// What a document type could make the parser open: a TCP listener on 127.0.0.1 and a local
// path (a named pipe, which knows whether anyone opened it).
class Lures {
  public:
    static constexpr wchar_t PipePath[] = L"\\\\.\\pipe\\qmk-fragment-lure";

    Lures() {
        WSADATA data;
        if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
            return;
        }
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        address_.sin_family = AF_INET;
        address_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int size = sizeof(address_);
        u_long nonBlocking = 1;
        if (bind(listener_, Address(), size) == 0 && listen(listener_, 4) == 0 &&
            ioctlsocket(listener_, FIONBIO, &nonBlocking) == 0 &&
            getsockname(listener_, Address(), &size) == 0) {
            url_ = L"http://127.0.0.1:" + std::to_wstring(ntohs(address_.sin_port)) + L"/x.dtd";
        }
    }
    Lures(const Lures&) = delete;
    Lures& operator=(const Lures&) = delete;
    ~Lures() {
        closesocket(listener_);
        WSACleanup();
    }
    bool ready() const { return !url_.empty() && pipe_; }
    const std::wstring& url() const { return url_; }
    // Whether anyone came since the last look.
    bool Visited() {
        const SOCKET visitor = accept(listener_, nullptr, nullptr);
        closesocket(visitor);
        const bool opened =
            !ConnectNamedPipe(pipe_.get(), nullptr) && GetLastError() != ERROR_PIPE_LISTENING;
        DisconnectNamedPipe(pipe_.get());
        return visitor != INVALID_SOCKET || opened;
    }
    // Both lures see a visit.
    bool SeeVisits() {
        const SOCKET client = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        const bool connected = connect(client, Address(), sizeof(address_)) == 0 && Visited();
        closesocket(client);
        UniqueFile file(CreateFileW(PipePath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        return connected && file && Visited();
    }

  private:
    sockaddr* Address() { return reinterpret_cast<sockaddr*>(&address_); }

    SOCKET listener_ = INVALID_SOCKET;
    sockaddr_in address_{};
    UniqueFile pipe_{CreateNamedPipeW(PipePath, PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_NOWAIT, 1,
                                      256, 256, 0, nullptr)};
    std::wstring url_;
};

// Texts with a document type do not load, whatever it declares (an entity bomb, external
// entities), and nothing they name is opened. Wine's parser opens no external entity even when
// a bare document is asked to resolve them, so there the lures stay unvisited either way; the
// lures themselves are shown to see a visit.
TEST_F(XmlDocumentTest, LoadsOnlyWellFormedText) {
    Lures lures;
    ASSERT_TRUE(lures.ready());
    const std::wstring bomb = L"<!DOCTYPE a [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b "
                              L"\"&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;"
                              L"&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;\">]><a>&d;&d;&d;</a>";
    const std::wstring fromFile =
        L"<!DOCTYPE a [<!ENTITY x SYSTEM \"" + std::wstring(Lures::PipePath) + L"\">]><a>&x;</a>";
    const std::wstring fromListener =
        L"<!DOCTYPE a [<!ENTITY x SYSTEM \"" + lures.url() + L"\">]><a>&x;</a>";
    const std::wstring fromListenerDtd = L"<!DOCTYPE a SYSTEM \"" + lures.url() + L"\"><a/>";
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
        {bomb.c_str(), false},
        {fromFile.c_str(), false},
        {fromListener.c_str(), false},
        {fromListenerDtd.c_str(), false},
    };
    for (const Case& c : cases) {
        ComPtr<IXMLDOMDocument> document;
        ASSERT_HR(S_OK, CreateDocument(document));
        // Text that does not load is S_FALSE, never a failure.
        EXPECT_HR(c.loads ? S_OK : S_FALSE, LoadDocument(document.Get(), c.text))
            << testing::PrintToString(c.text ? c.text : L"(null)");
        // As the readers load a text (Wine's parser keeps the root of a text with a document
        // type in the document, which LoadDocument then refuses).
        EXPECT_EQ(c.loads, static_cast<bool>(DocumentElement(CreateLoadedDocument(c.text).Get())));
        EXPECT_FALSE(lures.Visited()) << testing::PrintToString(c.text ? c.text : L"(null)");
    }
    EXPECT_TRUE(lures.SeeVisits());
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
