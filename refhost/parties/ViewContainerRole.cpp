#include "parties/ViewContainerRole.h"

#include "platform/Text.h"

namespace refhost {

std::wstring ViewContainerRole::childText(const XmlDocument& document, const std::wstring& xpath) {
    XmlNodePtr node = document.select(xpath);
    return node ? XmlDocument::textOf(node.Get()) : L"";
}

std::wstring ViewContainerRole::errorPayload(const std::wstring& code, const std::wstring& message,
                                             const std::wstring& reason) {
    return L"<error><errorCode>" + text::xmlEscaped(code) + L"</errorCode><errorMsg>" +
           text::xmlEscaped(message) + L"</errorMsg><errReason>" + text::xmlEscaped(reason) +
           L"</errReason></error>";
}

void ViewContainerRole::note(const std::wstring& text, const std::wstring& who) {
    TraceEntry entry;
    entry.kind = EntryKind::Note;
    entry.name = who;
    entry.text = text;
    trace_.add(std::move(entry));
}

ViewContainerRole::View* ViewContainerRole::find(const std::wstring& guid) {
    auto it = views_.find(guid);
    return it == views_.end() ? nullptr : it->second.get();
}

void ViewContainerRole::forEachView(const std::function<void(View&)>& action) {
    for (auto& [guid, view] : views_) action(*view);
}

void ViewContainerRole::dropViews() {
    newest_ = nullptr;
    views_.clear();
}

bool ViewContainerRole::loading() const {
    for (const auto& [guid, view] : views_)
        if (view->loading()) return true;
    return false;
}

std::wstring ViewContainerRole::answer(const Envelope& message) {
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
        redraw();
        return L"Success";
    }
    note(L"does not know \"" + name + L"\"");
    return L"";
}

std::wstring ViewContainerRole::attach(const Envelope& message) {
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
    std::unique_ptr<View> view = openView(dialog, guid);
    if (!view) return L"Failure";
    view->guid = guid;
    view->callback = reinterpret_cast<PanelLibrary::ContainerCallback>(callback);
    newest_ = view.get();
    newestGuid_ = guid;
    views_[guid] = std::move(view);
    return L"Success";
}

std::wstring ViewContainerRole::load(const Envelope& message) {
    XmlDocument data;
    if (!data.load(message.messageData)) {
        note(message.messageName + L": the data is not XML");
        return L"Failure";
    }
    std::wstring guid = childText(data, L"/xmlData/guid");
    View* view = find(guid);
    if (!view) {
        note(message.messageName + L": no view " + guid);
        return L"Failure";
    }
    load(*view, childText(data, L"/xmlData/url"));
    return L"Success";
}

void ViewContainerRole::load(View& view, const std::wstring& url) {
    note(L"loading " + url + L" into view " + view.guid);
    navigate(view, url);
}

std::wstring ViewContainerRole::setCredentials(const Envelope& message) {
    XmlDocument data;
    if (!data.load(message.messageData)) {
        note(L"setProxyCredentials: the data is not XML");
        return L"Failure";
    }
    std::wstring user = childText(data, L"/data/user");
    note(L"the web views use the proxy credentials of \"" + user + L"\"");
    // The container hands them to its web views as its own dialog would.
    setViewCredentials(user, childText(data, L"/data/password"));
    // The web view retries a load that failed for want of them.
    for (auto& [guid, view] : views_)
        if (view->lastFailedForProxy && !view->loading()) load(*view, view->url());
    return L"Success";
}

std::wstring ViewContainerRole::content(const Envelope& message) {
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
    return showContent(*view, data, message) ? L"Success" : L"Failure";
}

std::wstring ViewContainerRole::close(const Envelope& message) {
    XmlDocument data;
    std::wstring guid = data.load(message.messageData) ? childText(data, L"/data/guid") : L"";
    auto it = views_.find(guid);
    if (it == views_.end()) {
        note(L"signalUIClose: no view " + guid);
        return L"Failure";
    }
    if (newest_ == it->second.get()) newest_ = nullptr;
    closing(*it->second);
    // Destroyed here, before the DLL destroys the dialog that holds it.
    views_.erase(it);
    note(L"view " + guid + L" closed");
    return L"Success";
}

void ViewContainerRole::callBack(View& view, const std::wstring& event,
                                 const std::wstring& payload) {
    if (view.callback) bus_.callContainerCallback(view.callback, event, payload);
}

bool ViewContainerRole::fireEvent(const std::wstring& name, const std::wstring& payload) {
    if (!hasCallback()) return false;
    callBack(*newest_, name, payload);
    return true;
}

}  // namespace refhost
