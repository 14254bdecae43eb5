// Proxy and network errors: the state table, the requests to the container's
// logic, and the credentials handed to the web view.
#include "panel/NetworkErrors.h"

#include <string>
#include <vector>

#include "panel/ContainerCallback.h"
#include "panel/ContainerClient.h"
#include "unit/PanelFixture.h"

using halvet::test::DllReply;
using halvet::test::Envelope;
using halvet::test::HostReply;

namespace {

std::wstring errorEvent(const std::wstring& reason, const std::wstring& message = L"failed") {
    return L"<error><errorCode>-1</errorCode><errorMsg>" + message + L"</errorMsg><errReason>" +
           reason + L"</errReason></error>";
}

const std::wstring kProxyRequired = errorEvent(L"ERR_AUTH_PROXY_REQUIRED");
const std::wstring kRefused = errorEvent(L"ERR_AUTH_PROXY_AUTH_ERROR", L"ERR_AUTH_PROXY_REQUIRED");
const std::wstring kOther = errorEvent(L"ERR_CONNECTION_RESET");

std::wstring storedCredentials(const std::wstring& user, const std::wstring& password) {
    return L"<proxy-preferences><proxy-user>" + user + L"</proxy-user><proxy-password>" + password +
           L"</proxy-password></proxy-preferences>";
}

class NetworkErrorsTest : public PanelFixture {
protected:
    void storeCredentials(const std::wstring& reply) {
        host.respondToMessage(L"GetProxyCredentials",
                              [reply](const Envelope&) { return HostReply::owned(reply); });
    }
    void fire(const std::wstring& payload, const wchar_t* name = L"CEF_ERROR") {
        EXPECT_EQ(containerCallback(name, payload.c_str()), 0);
    }
    std::vector<std::wstring> names() const {
        std::vector<std::wstring> out;
        for (const Envelope& e : host.envelopes()) out.push_back(e.messageName);
        return out;
    }
    using Names = std::vector<std::wstring>;
};

}  // namespace

TEST_F(NetworkErrorsTest, UsableStoredCredentialsGoToTheWebViewEscaped) {
    storeCredentials(storedCredentials(L"a&amp;b", L"p&lt;w"));
    fire(errorEvent(L"ERR_FAILED", L"net::ERR_TUNNEL_CONNECTION_FAILED"));
    EXPECT_EQ(names(), (Names{L"GetProxyCredentials", L"setProxyCredentials", L"CEF_ERROR"}));
    EXPECT_EQ(panel().networkErrorState, 0);

    const Envelope& request = host.envelopes()[0];
    EXPECT_EQ(request.targetType, L"Applet");
    EXPECT_EQ(request.targetAppletID, L"Q7Container_BL");
    EXPECT_EQ(request.targetAppletVersion, L"1.0");
    EXPECT_EQ(request.targetInstanceID, L"1");
    EXPECT_EQ(request.sourceAppletID, panel().appletID);
    EXPECT_EQ(request.sourceAppletVersion, panel().appletVersion);
    EXPECT_EQ(request.sourceInstanceID, panel().appletInstanceID);
    EXPECT_EQ(request.messageData, L"<container/>");
    EXPECT_EQ(request.flagA, 0);
    EXPECT_EQ(request.flagB, 1);
    EXPECT_EQ(request.flagC, 0);

    const Envelope& offer = host.envelopes()[1];
    EXPECT_EQ(offer.targetAppletID, L"HEX_UIX");
    EXPECT_EQ(canonical(offer.messageData),
              canonical(L"<data><user>a&amp;b</user><password>p&lt;w</password></data>"));
    EXPECT_NE(offer.messageData.find(L"a&amp;b"), std::wstring::npos);

    const Envelope& relay = host.envelopes()[2];
    EXPECT_EQ(relay.targetAppletID, L"HalvetPanel_BL");
    EXPECT_EQ(relay.flagA, 1);
    EXPECT_EQ(textAt(relay.messageData, L"/HTMLMessage/error/errReason"), L"ERR_FAILED");
}

TEST_F(NetworkErrorsTest, EachProxyErrorOffersTheStoredCredentialsAgain) {
    storeCredentials(storedCredentials(L"u", L"p"));
    fire(kProxyRequired);
    fire(kProxyRequired, L"xCEF_ERROR");
    EXPECT_EQ(names(), (Names{L"GetProxyCredentials", L"setProxyCredentials", L"CEF_ERROR",
                              L"GetProxyCredentials", L"setProxyCredentials", L"xCEF_ERROR"}));
}

TEST_F(NetworkErrorsTest, UnusableCredentialsLeadToTheProxyDialog) {
    const std::wstring replies[] = {L"",
                                    L"not xml",
                                    storedCredentials(L"u", L""),
                                    storedCredentials(L"", L"p"),
                                    L"<proxy-preferences/>",
                                    L"<other><proxy-user>u</proxy-user></other>"};
    for (const std::wstring& reply : replies) {
        panel().networkErrorState = 0;
        host.clearRecords();
        storeCredentials(reply);
        fire(kProxyRequired);
        EXPECT_EQ(names(), (Names{L"GetProxyCredentials", L"ShowProxyDialog", L"CEF_ERROR"}))
            << testing::PrintToString(reply);
        EXPECT_EQ(panel().networkErrorState, 1);
        EXPECT_EQ(host.envelopes()[1].targetAppletID, L"Q7Container_BL");
        EXPECT_EQ(host.envelopes()[1].messageData, L"<container/>");
    }
}

TEST_F(NetworkErrorsTest, RefusedCredentialsAreStillAskedForThenTheDialogShown) {
    storeCredentials(storedCredentials(L"u", L"p"));
    fire(kRefused);
    EXPECT_EQ(names(), (Names{L"GetProxyCredentials", L"ShowProxyDialog", L"CEF_ERROR"}));
    EXPECT_EQ(panel().networkErrorState, 1);
}

TEST_F(NetworkErrorsTest, WhileWaitingForCredentialsErrorsAreDroppedUntilTheUpdate) {
    fire(kProxyRequired);
    ASSERT_EQ(panel().networkErrorState, 1);
    host.clearRecords();
    fire(kOther);
    fire(kProxyRequired);
    EXPECT_TRUE(host.envelopes().empty());
    // Other events still get through.
    fire(L"<x/>", L"OnLoadEnd");
    EXPECT_EQ(names(), (Names{L"OnLoadEnd"}));

    host.clearRecords();
    DllReply reply = host.send(L"proxyCredentialsUpdated", L"<ignored/>");
    EXPECT_EQ(reply.text, L"true");
    EXPECT_FALSE(reply.owned());
    ASSERT_EQ(names(), (Names{L"HEX_NETWORK_ERROR_RETRY"}));
    EXPECT_EQ(host.envelopes()[0].targetAppletID, L"HalvetPanel_BL");
    EXPECT_EQ(host.envelopes()[0].messageData, L"<noxml/>");
    EXPECT_EQ(host.envelopes()[0].flagA, 1);
    EXPECT_EQ(panel().networkErrorState, 0);

    host.clearRecords();
    EXPECT_EQ(host.send(L"proxyCredentialsUpdated").text, L"true");
    EXPECT_TRUE(host.envelopes().empty());
}

TEST_F(NetworkErrorsTest, AReportedNetworkErrorSilencesEveryLaterError) {
    fire(kOther);
    EXPECT_EQ(names(), (Names{L"HEX_NETWORK_ERROR"}));
    EXPECT_EQ(panel().networkErrorState, 2);
    host.clearRecords();
    storeCredentials(storedCredentials(L"u", L"p"));
    fire(kProxyRequired);
    fire(kOther);
    EXPECT_EQ(host.send(L"proxyCredentialsUpdated").text, L"true");
    EXPECT_TRUE(host.envelopes().empty());
    EXPECT_EQ(panel().networkErrorState, 2);
}

TEST_F(NetworkErrorsTest, AnErrorDuringTheCredentialRequestIsDropped) {
    // The container's logic may make the container report again while it is
    // being asked; the nested report finds an error in progress.
    int nested = 0;
    host.respondToMessage(L"GetProxyCredentials", [&](const Envelope&) {
        ++nested;
        containerCallback(L"CEF_ERROR", kOther.c_str());
        return HostReply::owned(storedCredentials(L"u", L"p"));
    });
    fire(kProxyRequired);
    EXPECT_EQ(nested, 1);
    EXPECT_EQ(names(), (Names{L"GetProxyCredentials", L"setProxyCredentials", L"CEF_ERROR"}));
    EXPECT_EQ(panel().networkErrorState, 0);
}

TEST_F(NetworkErrorsTest, ProxyDialogCountsOnlyAnExactTrue) {
    ContainerClient::Address address{L"S", L"1.0", L"1", L"Q7Container_BL", L"1.0", L"1"};
    ContainerClient client(address, panel().hostFunctions());
    for (const wchar_t* reply : {L"true", L"True", L"true ", L"", L"Success"}) {
        host.respondToMessage(L"ShowProxyDialog",
                              [reply](const Envelope&) { return HostReply::ofText(reply); });
        EXPECT_EQ(client.showProxyDialog(), std::wstring(reply) == L"true") << reply;
    }
    ContainerClient unbound(address, nullptr);
    EXPECT_FALSE(unbound.showProxyDialog());
    ProxyCredentials credentials{L"kept", L""};
    EXPECT_FALSE(unbound.getProxyCredentials(credentials));
    EXPECT_EQ(credentials.user, L"kept");
}
