#include "panel/NetworkErrors.h"

#include "host/HalvetAppUIMessageProcessor.h"
#include "panel/ContainerClient.h"
#include "xml/XMLParser.h"

namespace halvet {
namespace {

constexpr int32_t kNoError = 0;
constexpr int32_t kWaitingForCredentials = 1;
constexpr int32_t kNetworkErrorReported = 2;

constexpr wchar_t kProxyRequired[] = L"ERR_AUTH_PROXY_REQUIRED";
constexpr wchar_t kTunnelFailed[] = L"ERR_TUNNEL_CONNECTION_FAILED";
constexpr wchar_t kCredentialsRefused[] = L"ERR_AUTH_PROXY_AUTH_ERROR";
constexpr wchar_t kNetworkErrorName[] = L"HEX_NETWORK_ERROR";

ContainerClient::Address containerLogicAddress(const HalvetAppUIMessageProcessor& processor) {
    return {processor.appletID, processor.appletVersion, processor.appletInstanceID,
            L"Q7Container_BL",  L"1.0",                  L"1"};
}

bool isProxyError(const std::wstring& payloadText) {
    // Anywhere in the payload, not only in errReason: the container does not
    // always put the code in the same element.
    return payloadText.find(kProxyRequired) != std::wstring::npos ||
           payloadText.find(kTunnelFailed) != std::wstring::npos;
}

void offerCredentials(HalvetAppUIMessageProcessor& processor, const ProxyCredentials& credentials) {
    XMLParser document;
    XMLNode root;
    std::wstring text;
    if (!document.initWithXMLString(L"<data/>") || !document.getRootNode(root)) return;
    document.addChildToNode(L"user", credentials.user, root);
    document.addChildToNode(L"password", credentials.password, root);
    if (!document.getXMLString(text)) return;
    processor.sendToUIX(L"setProxyCredentials", text);
}

void handleProxyError(HalvetAppUIMessageProcessor& processor, ContainerClient& client,
                      const std::wstring& errReason) {
    processor.networkErrorState = kWaitingForCredentials;
    ProxyCredentials credentials;
    // The stored credentials are asked for even when the reason already rules
    // them out: the container's logic may count the request.
    const bool stored = client.getProxyCredentials(credentials);
    if (stored && !credentials.user.empty() && !credentials.password.empty() &&
        errReason != kCredentialsRefused) {
        processor.networkErrorState = kNoError;
        offerCredentials(processor, credentials);
        return;
    }
    client.showProxyDialog();
}

}  // namespace

bool handleNetworkError(HalvetAppUIMessageProcessor& processor, XMLParser& payloadDocument,
                        const std::wstring& payloadText, std::wstring& name) {
    if (processor.networkErrorState != kNoError) return false;
    std::wstring errReason;
    payloadDocument.stringValueForXQuery(L"//error/errReason", errReason);
    ContainerClient client(containerLogicAddress(processor), processor.hostFunctions());
    if (isProxyError(payloadText)) {
        handleProxyError(processor, client, errReason);
    } else {
        processor.networkErrorState = kNetworkErrorReported;
        name = kNetworkErrorName;
    }
    return true;
}

void onProxyCredentialsUpdated(HalvetAppUIMessageProcessor& processor) {
    if (processor.networkErrorState != kWaitingForCredentials) return;
    processor.networkErrorState = kNoError;
    processor.sendToPanelBLFlagged(L"HEX_NETWORK_ERROR_RETRY", L"<noxml/>");
}

void onReload(HalvetAppUIMessageProcessor& processor) {
    // A reported error is reported afresh after a reload; otherwise one
    // network error would silence every later one for the panel's life. A
    // proxy error still waits for its credentials: the dialog is open, and
    // "proxyCredentialsUpdated" must still bring the retry.
    if (processor.networkErrorState == kNetworkErrorReported) processor.networkErrorState = kNoError;
}

}  // namespace halvet
