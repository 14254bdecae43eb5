#include "HtmlContainerRole.h"

#include "Text.h"
#include "XmlDocument.h"

namespace refhost {

namespace {

std::wstring childText(const XmlDocument& document, const std::wstring& xpath) {
    XmlNodePtr node = document.select(xpath);
    return node ? XmlDocument::textOf(node.Get()) : L"";
}

std::wstring errorPayload(int code, const std::wstring& message, const std::wstring& reason) {
    return L"<error><errorCode>" + std::to_wstring(code) + L"</errorCode><errorMsg>" +
           text::xmlEscaped(message) + L"</errorMsg><errReason>" + text::xmlEscaped(reason) +
           L"</errReason></error>";
}

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

void HtmlContainerRole::note(const std::wstring& text) {
    TraceEntry entry;
    entry.kind = EntryKind::Note;
    entry.name = L"HEX_UIX";
    entry.text = text;
    trace_.add(std::move(entry));
}

void HtmlContainerRole::setNetwork(Network network, const std::wstring& user,
                                   const std::wstring& password) {
    network_ = network;
    proxyUser_ = user;
    proxyPassword_ = password;
}

void HtmlContainerRole::setViewCredentials(const std::wstring& user, const std::wstring& password) {
    givenUser_ = user;
    givenPassword_ = password;
}

bool HtmlContainerRole::loading() const {
    for (const auto& [guid, view] : views_)
        if (view->standIn.state() == WebViewStandIn::State::Loading) return true;
    return false;
}

std::wstring HtmlContainerRole::answer(const Envelope& message) {
    const std::wstring& name = message.messageName;
    if (refused_.count(name)) {
        note(L"refuses \"" + name + L"\" as the scenario asked");
        return L"Failure";
    }
    if (name == L"attachParentWindow") return attach(message);
    if (name == L"processURL" || name == L"changeURL") return load(message);
    if (name == L"setProxyCredentials") return setCredentials(message);
    if (name == L"processMessageForJSON") return content(message);
    if (name == L"signalUIClose") return close(message);
    if (name == L"RefreshView") {
        for (auto& [guid, view] : views_) view->standIn.refresh();
        return L"Success";
    }
    note(L"does not know \"" + name + L"\"");
    return L"";
}

HtmlContainerRole::View* HtmlContainerRole::find(const std::wstring& guid) {
    auto it = views_.find(guid);
    return it == views_.end() ? nullptr : it->second.get();
}

std::wstring HtmlContainerRole::attach(const Envelope& message) {
    XmlDocument data;
    if (!data.load(message.messageData)) {
        note(L"attachParentWindow: the data is not XML: " + data.error().reason);
        return L"Failure";
    }
    std::wstring guid = childText(data, L"/xmlData/guid");
    uintptr_t parent = 0, callback = 0;
    bool parentRead = text::parsePointer(childText(data, L"/xmlData/parentWindowPtr"), parent);
    bool callbackRead = text::parsePointer(childText(data, L"/xmlData/callbackFnPtr"), callback);
    HWND dialog = reinterpret_cast<HWND>(parent);
    // A container checks what it is handed before it uses it: a window of
    // this thread, and a callback inside the DLL's image.
    if (!parentRead || !IsWindow(dialog) ||
        GetWindowThreadProcessId(dialog, nullptr) != GetCurrentThreadId()) {
        note(L"attachParentWindow: parentWindowPtr does not name a window of this thread");
        return L"Failure";
    }
    if (!callbackRead || !library_.contains(callback)) {
        note(L"attachParentWindow: callbackFnPtr " + text::pointerText(callback) +
             L" does not lie inside the DLL");
        return L"Failure";
    }
    auto view = std::make_unique<View>();
    view->guid = guid;
    view->callback = reinterpret_cast<PanelLibrary::ContainerCallback>(callback);
    if (!view->standIn.create(dialog, guid)) {
        note(L"attachParentWindow: cannot create the web view window");
        return L"Failure";
    }
    note(L"web view " + text::pointerText(reinterpret_cast<uintptr_t>(view->standIn.window())) +
         L" made inside dialog " + text::pointerText(parent) + L" for view " + guid);
    newest_ = view.get();
    newestGuid_ = guid;
    views_[guid] = std::move(view);
    return L"Success";
}

std::wstring HtmlContainerRole::load(const Envelope& message) {
    XmlDocument data;
    if (!data.load(message.messageData)) {
        note(message.messageName + L": the data is not XML");
        return L"Failure";
    }
    std::wstring guid = childText(data, L"/xmlData/guid");
    std::wstring url = childText(data, L"/xmlData/url");
    View* view = find(guid);
    if (!view) {
        note(message.messageName + L": no view " + guid);
        return L"Failure";
    }
    startLoad(*view, url);
    return L"Success";
}

void HtmlContainerRole::startLoad(View& view, const std::wstring& url) {
    note(L"loading " + url + L" into view " + view.guid);
    std::wstring guid = view.guid;
    view.standIn.beginLoad(url, loadDelay_, [this, guid] { finishLoad(guid); });
}

void HtmlContainerRole::finishLoad(const std::wstring& guid) {
    View* view = find(guid);
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
        payload = errorPayload(-106, L"net::ERR_INTERNET_DISCONNECTED", failure);
    } else if (network_ == Network::Proxy && (givenUser_.empty() || givenUser_ != proxyUser_ ||
                                              givenPassword_ != proxyPassword_)) {
        view->lastFailedForProxy = true;
        if (givenUser_.empty()) {
            failure = L"ERR_TUNNEL_CONNECTION_FAILED";
            payload = errorPayload(-111, L"net::ERR_TUNNEL_CONNECTION_FAILED", failure);
        } else {
            failure = L"ERR_AUTH_PROXY_AUTH_ERROR";
            payload = errorPayload(-111,
                                   L"net::ERR_TUNNEL_CONNECTION_FAILED: the proxy refused "
                                   L"the credentials",
                                   failure);
        }
    } else if (isLocalPath(url) &&
               GetFileAttributesW(localFile(url).c_str()) == INVALID_FILE_ATTRIBUTES) {
        failure = L"ERR_FILE_NOT_FOUND";
        payload = errorPayload(-6, L"net::ERR_FILE_NOT_FOUND", failure);
    }
    if (!failure.empty()) event = L"CEF_ERROR";
    view->standIn.endLoad(
        failure.empty() ? WebViewStandIn::State::Loaded : WebViewStandIn::State::Failed, failure);
    note(failure.empty() ? L"loaded " + url : L"load of " + url + L" failed: " + failure);
    if (view->callback) bus_.callContainerCallback(view->callback, event, payload);
}

std::wstring HtmlContainerRole::setCredentials(const Envelope& message) {
    XmlDocument data;
    if (!data.load(message.messageData)) {
        note(L"setProxyCredentials: the data is not XML");
        return L"Failure";
    }
    givenUser_ = childText(data, L"/data/user");
    givenPassword_ = childText(data, L"/data/password");
    note(L"the web views use the proxy credentials of \"" + givenUser_ + L"\"");
    // The web view retries a load that failed for want of them.
    for (auto& [guid, view] : views_)
        if (view->lastFailedForProxy && view->standIn.state() != WebViewStandIn::State::Loading)
            startLoad(*view, view->standIn.url());
    return L"Success";
}

std::wstring HtmlContainerRole::content(const Envelope& message) {
    XmlDocument data;
    if (!data.load(message.messageData)) {
        note(L"processMessageForJSON: the data is not XML");
        return L"Failure";
    }
    View* view = find(childText(data, L"/ContentForHTML/guid"));
    if (!view) {
        note(L"processMessageForJSON: no such view");
        return L"Failure";
    }
    std::wstring name = childText(data, L"/ContentForHTML/message/htmlContent/messageName");
    std::wstring path = childText(data, L"/ContentForHTML/message/htmlContent/htmlData/cleanPath");
    if (name == L"INIT_CLEAN") {
        WIN32_FILE_ATTRIBUTE_DATA info{};
        bool found = GetFileAttributesExW(localFile(path).c_str(), GetFileExInfoStandard, &info);
        std::wstring state =
            found ? L"found, " + std::to_wstring(info.nFileSizeLow) + L" bytes" : L"NOT FOUND";
        view->standIn.setContentNote(L"fonts: " + path + L" (" + state + L")");
        note(L"the page's font stylesheet " + path + L": " + state);
    } else {
        view->standIn.setContentNote(L"content: " + text::oneLine(message.messageData, 200));
    }
    return L"Success";
}

std::wstring HtmlContainerRole::close(const Envelope& message) {
    XmlDocument data;
    std::wstring guid = data.load(message.messageData) ? childText(data, L"/data/guid") : L"";
    auto it = views_.find(guid);
    if (it == views_.end()) {
        note(L"signalUIClose: no view " + guid);
        return L"Failure";
    }
    if (newest_ == it->second.get()) newest_ = nullptr;
    // Destroyed here, before the DLL destroys the dialog that holds it.
    views_.erase(it);
    note(L"view " + guid + L" closed");
    return L"Success";
}

bool HtmlContainerRole::fireEvent(const std::wstring& name, const std::wstring& payload) {
    if (!hasCallback()) return false;
    bus_.callContainerCallback(newest_->callback, name, payload);
    return true;
}

}  // namespace refhost
