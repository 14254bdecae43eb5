#include "panel/ContainerClient.h"

#include "host/AppletMessage.h"
#include "xml/XMLParser.h"

namespace {
constexpr wchar_t kRequestData[] = L"<container/>";
}

ContainerClient::ContainerClient(const Address& address, const HostFunctions* channel)
    : address_(address), channel_(channel) {}

ContainerClient::~ContainerClient() = default;

std::wstring ContainerClient::sendRequest(const std::wstring& messageName,
                                          const std::wstring& data) {
    if (!channel_) return {};
    AppletMessage message;
    message.targetType = L"Applet";
    message.targetAppletID = address_.targetAppletID;
    message.targetAppletVersion = address_.targetAppletVersion;
    message.targetInstanceID = address_.targetInstanceID;
    message.sourceAppletID = address_.sourceAppletID;
    message.sourceAppletVersion = address_.sourceAppletVersion;
    message.sourceInstanceID = address_.sourceInstanceID;
    message.messageName = messageName;
    message.messageData = data;
    message.flagA = 0;
    message.flagB = 1;
    message.flagC = 0;
    return channel_->send(message);
}

bool ContainerClient::showProxyDialog() {
    return sendRequest(L"ShowProxyDialog", kRequestData) == L"true";
}

bool ContainerClient::getProxyCredentials(ProxyCredentials& credentials) {
    const std::wstring reply = sendRequest(L"GetProxyCredentials", kRequestData);
    if (reply.empty()) return false;
    XMLParser document;
    if (!document.initWithXMLString(reply)) return false;
    // A missing element leaves its field as it was.
    document.stringValueForXQuery(L"/proxy-preferences/proxy-user", credentials.user);
    document.stringValueForXQuery(L"/proxy-preferences/proxy-password", credentials.password);
    return true;
}
