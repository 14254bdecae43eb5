// What the container's events become for the panel's business logic.
#include "panel/ContainerCallback.h"

#include <string>
#include <thread>

#include "unit/PanelFixture.h"
#include "xml/XMLText.h"

using halvet::test::Envelope;

namespace {

class ContainerCallbackTest : public PanelFixture {
protected:
    // Fires one event and returns the one relay it caused.
    Envelope relayOf(const std::wstring& name, const std::wstring& payload) {
        host.clearRecords();
        EXPECT_EQ(containerCallback(name.c_str(), payload.c_str()), 0);
        auto relays = host.envelopesTo(L"HalvetPanel_BL");
        EXPECT_EQ(relays.size(), 1u) << "event " << testing::PrintToString(name);
        EXPECT_EQ(host.envelopes().size(), relays.size());
        return relays.empty() ? Envelope{} : relays.front();
    }
};

}  // namespace

TEST_F(ContainerCallbackTest, PlainLoadEndCarriesTheUrlEscapedInLoadUrl) {
    const std::wstring url = L"file:///C:/panel/index.html?a=1&b=<2>";
    Envelope relay = relayOf(L"OnLoadEnd", url);
    EXPECT_EQ(relay.messageName, L"OnLoadEnd");
    EXPECT_EQ(relay.targetType, L"Applet");
    EXPECT_EQ(relay.targetAppletVersion, L"1.0");
    EXPECT_EQ(relay.flagA, 1);
    EXPECT_NE(relay.messageData.find(L"a=1&amp;b=&lt;2"), std::wstring::npos) << relay.messageData;
    EXPECT_EQ(textAt(relay.messageData, L"/HTMLMessage/loadUrl"), url);
}

TEST_F(ContainerCallbackTest, XmlPayloadRootBecomesTheOnlyChildOfHTMLMessage) {
    // The declaration and comment outside the root are not carried; attributes
    // and children are.
    Envelope relay = relayOf(L"pageMessage",
                             L"<?xml version=\"1.0\"?><!-- c --><cmd id=\"7\"><arg>x &amp; y</arg></cmd>");
    EXPECT_EQ(relay.messageName, L"pageMessage");
    EXPECT_EQ(relay.flagA, 1);
    EXPECT_EQ(canonical(relay.messageData),
              canonical(L"<HTMLMessage><cmd id=\"7\"><arg>x &amp; y</arg></cmd></HTMLMessage>"));

    Envelope loadEnd = relayOf(L"OnLoadEnd", L"<page url=\"u\"/>");
    EXPECT_EQ(canonical(loadEnd.messageData), canonical(L"<HTMLMessage><page url=\"u\"/></HTMLMessage>"));
}

TEST_F(ContainerCallbackTest, OnlyRenderProcessTerminatedGoesWithFlagAZero) {
    EXPECT_EQ(relayOf(L"OnRenderProcessTerminated", L"<reason>crash</reason>").flagA, 0);
    Envelope plain = relayOf(L"OnRenderProcessTerminated", L"gone");
    EXPECT_EQ(plain.flagA, 0);
    EXPECT_EQ(plain.messageData, L"<HTMLMessage>gone</HTMLMessage>");
    for (const wchar_t* name : {L"OnLoadEnd", L"onRenderProcessTerminated", L"OnRenderProcessTerminatedX"})
        EXPECT_EQ(relayOf(name, L"<x/>").flagA, 1) << name;
}

TEST_F(ContainerCallbackTest, PlainTextIsRelayedRawOnlyWhenTheResultIsWellFormed) {
    // Words and element lists go between the wrapper's tags unchanged.
    EXPECT_EQ(relayOf(L"note", L"hello world").messageData, L"<HTMLMessage>hello world</HTMLMessage>");
    EXPECT_EQ(relayOf(L"list", L"<a/><b>2</b>").messageData, L"<HTMLMessage><a/><b>2</b></HTMLMessage>");
    EXPECT_EQ(relayOf(L"empty", L"").messageData, L"<HTMLMessage></HTMLMessage>");
    // Text that would break the receiver's parser goes as character data.
    Envelope lone = relayOf(L"note", L"1 < 2 & </HTMLMessage><evil/>");
    EXPECT_EQ(lone.messageData,
              L"<HTMLMessage>1 &lt; 2 &amp; &lt;/HTMLMessage&gt;&lt;evil/&gt;</HTMLMessage>");
    EXPECT_EQ(textAt(lone.messageData, L"/HTMLMessage"), L"1 < 2 & </HTMLMessage><evil/>");
    Envelope control = relayOf(L"note", std::wstring(L"a\x01") + L"b<");
    EXPECT_NE(canonical(control.messageData), L"(not XML)") << control.messageData;
}

TEST_F(ContainerCallbackTest, LoadEndUrlWithForbiddenCharactersStillGivesXml) {
    Envelope relay = relayOf(L"OnLoadEnd", std::wstring(L"http://x/\x02y"));
    EXPECT_EQ(textAt(relay.messageData, L"/HTMLMessage/loadUrl"), L"http://x/\xFFFDy");
}

TEST_F(ContainerCallbackTest, NullArgumentsRelayNothing) {
    EXPECT_EQ(containerCallback(nullptr, L"<x/>"), 0);
    EXPECT_EQ(containerCallback(L"OnLoadEnd", nullptr), 0);
    EXPECT_EQ(containerCallback(nullptr, nullptr), 0);
    EXPECT_TRUE(host.envelopes().empty());
}

TEST_F(ContainerCallbackTest, EmptyNameIsRelayedAsItStands) {
    Envelope relay = relayOf(L"", L"<x/>");
    EXPECT_EQ(relay.messageName, L"");
    EXPECT_EQ(canonical(relay.messageData), canonical(L"<HTMLMessage><x/></HTMLMessage>"));
}

TEST_F(ContainerCallbackTest, ErrorMarkerIsACaseSensitiveSubstring) {
    const std::wstring error = L"<error><errorCode>-105</errorCode><errReason>ERR_NAME_NOT_RESOLVED</errReason></error>";
    EXPECT_EQ(relayOf(L"cef_error", error).messageName, L"cef_error");
    EXPECT_EQ(panel().networkErrorState, 0);
    // Plain text under an error name is relayed as any plain text.
    EXPECT_EQ(relayOf(L"CEF_ERROR", L"oops").messageName, L"CEF_ERROR");
    EXPECT_EQ(panel().networkErrorState, 0);
    Envelope relay = relayOf(L"onCEF_ERRORx", error);
    EXPECT_EQ(relay.messageName, L"HEX_NETWORK_ERROR");
    EXPECT_EQ(relay.flagA, 1);
    EXPECT_EQ(textAt(relay.messageData, L"/HTMLMessage/error/errorCode"), L"-105");
    EXPECT_EQ(panel().networkErrorState, 2);
}

TEST_F(ContainerCallbackTest, AFailingHostSendStillReturnsZero) {
    host.setDefaultResponder([](const Envelope&) -> halvet::test::HostReply {
        throw std::runtime_error("host failed");
    });
    EXPECT_EQ(containerCallback(L"OnLoadEnd", L"u"), 0);
}

TEST_F(ContainerCallbackTest, WrapperThatCannotBeWrittenGoesAsAnEmptyHTMLMessage) {
    // On a thread that cannot make documents (COM not started there) no
    // wrapper can be built; the relay still carries a document.
    host.clearRecords();
    std::thread([] { containerCallback(L"OnLoadEnd", L"file:///C:/page.html"); }).join();
    auto relays = host.envelopesTo(L"HalvetPanel_BL");
    ASSERT_EQ(relays.size(), 1u);
    EXPECT_EQ(relays[0].messageName, L"OnLoadEnd");
    EXPECT_EQ(relays[0].messageData, L"<HTMLMessage/>");
}

TEST(XMLTextTest, EscapesMarkupAndReplacesWhatXmlForbids) {
    EXPECT_EQ(halvet::escapeXMLText(L"a&b<c>d\"e'"), L"a&amp;b&lt;c&gt;d\"e'");
    EXPECT_EQ(halvet::escapeXMLText(L"t\tn\nr\r"), L"t\tn\nr\r");
    // A surrogate pair is one character and stays; halves alone do not.
    EXPECT_EQ(halvet::escapeXMLText(L"\xD83D\xDE00"), L"\xD83D\xDE00");
    EXPECT_EQ(halvet::escapeXMLText(L"\xDE00\xD83D"), L"\xFFFD\xFFFD");
    EXPECT_EQ(halvet::escapeXMLText(std::wstring(L"\x00\x1F\xFFFE\xFFFF", 4)), L"\xFFFD\xFFFD\xFFFD\xFFFD");
    EXPECT_EQ(halvet::replaceInvalidXMLChars(L"a&<\x01"), L"a&<\xFFFD");
}

TEST_F(ContainerCallbackTest, HostileAndHugePayloadsGiveOneWellFormedRelay) {
    std::wstring deep;
    for (int i = 0; i < 10000; ++i) deep += L"<d>";
    for (int i = 0; i < 10000; ++i) deep += L"</d>";
    std::wstring bytes;
    for (int i = 1; i < 5000; ++i) bytes += static_cast<wchar_t>((i * 7919) % 0xFFFF + 1);
    const std::wstring payloads[] = {
        L"",
        std::wstring(1024 * 1024 / sizeof(wchar_t), L'x'),
        L"<big>" + std::wstring(1024 * 1024 / sizeof(wchar_t), L'y') + L"</big>",
        deep,
        bytes,
        L"<!DOCTYPE a [<!ENTITY e \"boom\">]><a>&e;</a>",
    };
    for (const std::wstring& payload : payloads) {
        for (const wchar_t* name : {L"pageMessage", L"CEF_ERROR", L"OnLoadEnd"}) {
            panel().networkErrorState = 0;
            Envelope relay = relayOf(name, payload);
            EXPECT_NE(canonical(relay.messageData), L"(not XML)")
                << name << " with a payload of " << payload.size() << " units";
            // The declaration may travel as escaped text; its expansion never.
            EXPECT_EQ(relay.messageData.find(L"<a>boom"), std::wstring::npos);
        }
    }
}
