#include "webview/standin/StandInContainerRole.h"

#include "platform/Text.h"
#include "platform/XmlDocument.h"

namespace refhost {

namespace {

bool isLocalPath(const std::wstring& url) {
    return text::startsWith(url, L"file:") || (url.size() > 2 && url[1] == L':') ||
           text::startsWith(url, L"\\\\");
}

// The file a local URL names: "file:///C:/a/b" or a plain path.
std::wstring localFile(const std::wstring& url) {
    std::wstring path = url;
    if (text::startsWith(path, L"file:///"))
        path = path.substr(8);
    else if (text::startsWith(path, L"file:"))
        path = path.substr(5);
    return text::replaceAll(path, L"/", L"\\");
}

// What a browser reports as the loaded URL.
std::wstring loadedUrl(const std::wstring& url) {
    if (isLocalPath(url) && !text::startsWith(url, L"file:"))
        return L"file:///" + text::replaceAll(url, L"\\", L"/");
    return url;
}

}  // namespace

void StandInContainerRole::setNetwork(Network network, const std::wstring& user,
                                   const std::wstring& password) {
    network_ = network;
    proxyUser_ = user;
    proxyPassword_ = password;
}

void StandInContainerRole::setViewCredentials(const std::wstring& user, const std::wstring& password) {
    givenUser_ = user;
    givenPassword_ = password;
}

std::unique_ptr<ViewContainerRole::View> StandInContainerRole::openView(HWND dialog,
                                                                   const std::wstring& guid) {
    auto view = std::make_unique<StandInView>();
    if (!view->standIn.create(dialog, guid)) {
        note(L"attachParentWindow: cannot create the web view window");
        return nullptr;
    }
    note(L"web view " + text::pointerText(reinterpret_cast<uintptr_t>(view->standIn.window())) +
         L" made inside dialog " + text::pointerText(reinterpret_cast<uintptr_t>(dialog)) +
         L" for view " + guid);
    return view;
}

void StandInContainerRole::redraw() {
    forEachView([](View& view) { static_cast<StandInView&>(view).standIn.refresh(); });
}

void StandInContainerRole::navigate(View& view, const std::wstring& url) {
    std::wstring guid = view.guid;
    static_cast<StandInView&>(view).standIn.beginLoad(url, loadDelay(),
                                                      [this, guid] { finishLoad(guid); });
}

void StandInContainerRole::finishLoad(const std::wstring& guid) {
    auto* view = static_cast<StandInView*>(find(guid));
    if (!view) return;
    std::wstring url = view->standIn.url();
    std::wstring event = L"OnLoadEnd";
    std::wstring payload = loadedUrl(url);
    std::wstring failure;
    view->lastFailedForProxy = false;
    if (url == L"about:blank") {
        // Always there.
    } else if (network_ == Network::Offline) {
        failure = L"ERR_INTERNET_DISCONNECTED";
        payload = errorPayload(L"-106", L"net::ERR_INTERNET_DISCONNECTED", failure);
    } else if (network_ == Network::Proxy && (givenUser_.empty() || givenUser_ != proxyUser_ ||
                                              givenPassword_ != proxyPassword_)) {
        view->lastFailedForProxy = true;
        if (givenUser_.empty()) {
            failure = L"ERR_TUNNEL_CONNECTION_FAILED";
            payload = errorPayload(L"-111", L"net::ERR_TUNNEL_CONNECTION_FAILED", failure);
        } else {
            failure = L"ERR_AUTH_PROXY_AUTH_ERROR";
            payload = errorPayload(L"-111",
                                   L"net::ERR_TUNNEL_CONNECTION_FAILED: the proxy refused "
                                   L"the credentials",
                                   failure);
        }
    } else if (isLocalPath(url) &&
               GetFileAttributesW(localFile(url).c_str()) == INVALID_FILE_ATTRIBUTES) {
        failure = L"ERR_FILE_NOT_FOUND";
        payload = errorPayload(L"-6", L"net::ERR_FILE_NOT_FOUND", failure);
    }
    if (!failure.empty()) event = L"CEF_ERROR";
    view->standIn.endLoad(
        failure.empty() ? WebViewStandIn::State::Loaded : WebViewStandIn::State::Failed, failure);
    note(failure.empty() ? L"loaded " + url : L"load of " + url + L" failed: " + failure);
    callBack(*view, event, payload);
}

bool StandInContainerRole::showContent(View& view, const XmlDocument& data,
                                    const Envelope& message) {
    WebViewStandIn& standIn = static_cast<StandInView&>(view).standIn;
    std::wstring name = childText(data, L"/ContentForHTML/message/htmlContent/messageName");
    std::wstring path = childText(data, L"/ContentForHTML/message/htmlContent/htmlData/cleanPath");
    if (name == L"INIT_CLEAN") {
        WIN32_FILE_ATTRIBUTE_DATA info{};
        bool found = GetFileAttributesExW(localFile(path).c_str(), GetFileExInfoStandard, &info);
        std::wstring state =
            found ? L"found, " + std::to_wstring(info.nFileSizeLow) + L" bytes" : L"NOT FOUND";
        standIn.setContentNote(L"fonts: " + path + L" (" + state + L")");
        note(L"the page's font stylesheet " + path + L": " + state);
    } else {
        standIn.setContentNote(L"content: " + text::oneLine(message.messageData, 200));
    }
    return true;
}

}  // namespace refhost
