#include "EngineContainerRole.h"

#include <wincrypt.h>

#include "BridgeLine.h"
#include "Text.h"
#include "XmlDocument.h"

namespace refhost {

namespace {

constexpr DWORD kAnswerMs = 15000;
constexpr DWORD kLoadLimitMs = 40000;  // the bridge gives up on a load after 15 s

std::wstring childText(const XmlDocument& document, const std::wstring& xpath) {
    XmlNodePtr node = document.select(xpath);
    return node ? XmlDocument::textOf(node.Get()) : L"";
}

std::wstring errorPayload(const std::wstring& code, const std::wstring& message,
                          const std::wstring& reason) {
    return L"<error><errorCode>" + text::xmlEscaped(code) + L"</errorCode><errorMsg>" +
           text::xmlEscaped(message) + L"</errorMsg><errReason>" + text::xmlEscaped(reason) +
           L"</errReason></error>";
}

std::string fromBase64(const std::wstring& text) {
    std::string ascii(text.begin(), text.end());
    DWORD size = 0;
    if (ascii.empty() || !CryptStringToBinaryA(ascii.c_str(), static_cast<DWORD>(ascii.size()),
                                               CRYPT_STRING_BASE64, nullptr, &size, nullptr, nullptr))
        return "";
    std::string bytes(size, '\0');
    if (!CryptStringToBinaryA(ascii.c_str(), static_cast<DWORD>(ascii.size()), CRYPT_STRING_BASE64,
                              reinterpret_cast<BYTE*>(&bytes[0]), &size, nullptr, nullptr))
        return "";
    bytes.resize(size);
    return bytes;
}

const std::wstring& field(const EngineBridge::Fields& line, size_t i) {
    static const std::wstring empty;
    return i < line.size() ? line[i] : empty;
}

}  // namespace

void EngineContainerRole::note(const std::wstring& text, const std::wstring& who) {
    TraceEntry entry;
    entry.kind = EntryKind::Note;
    entry.name = who;
    entry.text = text;
    trace_.add(std::move(entry));
}

void EngineContainerRole::problem(const std::wstring& text) {
    note(text);
    if (problem_.empty()) problem_ = text;
}

std::wstring EngineContainerRole::takeProblem() {
    for (auto& [guid, view] : views_)
        if (view->loading && GetTickCount() - view->loadStart > kLoadLimitMs) {
            view->loading = false;
            problem(L"the engine did not finish loading " + view->url + L" within " +
                    std::to_wstring(kLoadLimitMs / 1000) + L" s");
        }
    return std::exchange(problem_, std::wstring());
}

void EngineContainerRole::trace(bool outgoing, const EngineBridge::Fields& line) {
    TraceEntry entry;
    entry.kind = EntryKind::Bridge;
    entry.name = outgoing ? L"to bridge" : L"from bridge";
    entry.text = BridgeLine::readable(line);
    trace_.add(std::move(entry));
}

bool EngineContainerRole::start(const Settings& settings, std::wstring& error) {
    bridge_.onExchange([this](bool outgoing, const EngineBridge::Fields& line) {
        trace(outgoing, line);
    });
    bridge_.onLine([this](const EngineBridge::Fields& line) { onLine(line); });
    EngineBridge::Settings launch;
    launch.node = settings.node;
    launch.script = settings.bridge;
    launch.engine = settings.engine;
    EngineBridge::Fields ready;
    if (!bridge_.start(launch, ready, error)) return false;
    note(L"browser engine " + field(ready, 1) + L" ready; its proxy listens on 127.0.0.1:" +
         field(ready, 2) + L"; the page's network part is " + field(ready, 3));
    return true;
}

EngineContainerRole::View* EngineContainerRole::find(const std::wstring& guid) {
    auto it = views_.find(guid);
    return it == views_.end() ? nullptr : it->second.get();
}

bool EngineContainerRole::loading() const {
    for (const auto& [guid, view] : views_)
        if (view->loading) return true;
    return false;
}

std::wstring EngineContainerRole::answer(const Envelope& message) {
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
        refreshPictures();
        return L"Success";
    }
    note(L"does not know \"" + name + L"\"");
    return L"";
}

std::wstring EngineContainerRole::attach(const Envelope& message) {
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
    EngineBridge* bridge = &bridge_;
    if (!view->window.create(dialog, [bridge, guid](int w, int h) {
            bridge->send({L"resize", guid, std::to_wstring(w), std::to_wstring(h)});
        })) {
        note(L"attachParentWindow: cannot create the web view window");
        return L"Failure";
    }
    RECT r{};
    GetClientRect(view->window.window(), &r);
    EngineBridge::Fields reply;
    std::wstring error;
    if (!bridge_.request({L"open", guid, std::to_wstring(r.right), std::to_wstring(r.bottom)},
                         L"opened", guid, kAnswerMs, reply, error)) {
        problem(L"attachParentWindow: the engine opened no page: " + error);
        return L"Failure";
    }
    note(L"engine page " + std::to_wstring(r.right) + L" x " + std::to_wstring(r.bottom) +
         L" shown in window " + text::pointerText(reinterpret_cast<uintptr_t>(view->window.window())) +
         L" inside dialog " + text::pointerText(parent) + L" for view " + guid);
    newest_ = view.get();
    newestGuid_ = guid;
    views_[guid] = std::move(view);
    return L"Success";
}

std::wstring EngineContainerRole::load(const Envelope& message) {
    XmlDocument data;
    if (!data.load(message.messageData)) {
        note(message.messageName + L": the data is not XML");
        return L"Failure";
    }
    View* view = find(childText(data, L"/xmlData/guid"));
    if (!view) {
        note(message.messageName + L": no view " + childText(data, L"/xmlData/guid"));
        return L"Failure";
    }
    startLoad(*view, childText(data, L"/xmlData/url"));
    return L"Success";
}

void EngineContainerRole::startLoad(View& view, const std::wstring& url) {
    note(L"loading " + url + L" into view " + view.guid);
    view.url = url;
    view.loading = true;
    view.loadStart = GetTickCount();
    view.lastFailedForProxy = false;
    std::wstring guid = view.guid;
    auto navigate = [this, guid, url] {
        if (!bridge_.send({L"load", guid, url})) problem(L"the engine bridge has gone");
    };
    if (loadDelay_)
        view.window.after(loadDelay_, navigate);
    else
        navigate();
}

void EngineContainerRole::onLine(const EngineBridge::Fields& line) {
    const std::wstring& verb = field(line, 0);
    if (verb == L"gone") {
        problem(L"the engine bridge ended");
        return;
    }
    if (verb == L"error") {
        problem(L"the engine bridge reports a failure of \"" + field(line, 1) + L"\": " +
                field(line, 2));
        return;
    }
    if (verb == L"proxy") {
        std::wstring what = field(line, 1);
        note(what == L"challenge" ? L"asks for credentials for " + field(line, 2)
                                  : what + L" the credentials of \"" + field(line, 3) + L"\" for " +
                                        field(line, 2),
             L"proxy");
        return;
    }
    View* view = find(field(line, 1));
    if (!view) return;  // closed meanwhile
    if (verb == L"loaded") {
        onLoaded(*view, line);
    } else if (verb == L"failed") {
        onFailed(*view, line);
    } else if (verb == L"crashed") {
        onCrashed(*view);
    } else if (verb == L"message") {
        callback(*view, field(line, 2), field(line, 3));
    } else if (verb == L"note") {
        note(field(line, 2));
    } else if (verb == L"delivered" && line.size() > 2) {
        note(L"the page did not take the content: " + field(line, 2));
    }
}

void EngineContainerRole::onLoaded(View& view, const EngineBridge::Fields& line) {
    view.loading = false;
    note(L"loaded " + field(line, 2));
    view.window.show();
    refreshFrame(view);
    callback(view, L"OnLoadEnd", field(line, 2));
}

// failed <view> <url> <code> <engine's name> <reason> <message> <failing url>
void EngineContainerRole::onFailed(View& view, const EngineBridge::Fields& line) {
    view.loading = false;
    const std::wstring& reason = field(line, 5);
    view.lastFailedForProxy = text::startsWith(reason, L"ERR_AUTH_PROXY") ||
                              reason == L"ERR_TUNNEL_CONNECTION_FAILED";
    note(L"load of " + field(line, 2) + L" failed: " + field(line, 4) + L" (" + reason + L") at " +
         field(line, 7));
    view.window.show();
    refreshFrame(view);
    callback(view, L"CEF_ERROR", errorPayload(field(line, 3), field(line, 6), reason));
}

void EngineContainerRole::onCrashed(View& view) {
    view.loading = false;
    view.window.setBanner(L"the page's renderer is gone");
    callback(view, L"OnRenderProcessTerminated",
             L"<renderProcess><status>crashed</status></renderProcess>");
}

void EngineContainerRole::callback(View& view, const std::wstring& event,
                                   const std::wstring& payload) {
    if (view.callback) bus_.callContainerCallback(view.callback, event, payload);
}

void EngineContainerRole::refreshFrame(View& view) {
    EngineBridge::Fields reply;
    std::wstring error;
    if (!bridge_.request({L"frame", view.guid}, L"frame", view.guid, kAnswerMs, reply, error)) {
        problem(L"no frame of view " + view.guid + L": " + error);
        return;
    }
    if (field(reply, 2).empty()) {
        note(L"no frame of view " + view.guid + L": " + field(reply, 3));
        return;
    }
    if (!view.window.setFrame(fromBase64(field(reply, 2))))
        problem(L"the frame of view " + view.guid + L" is not a PNG picture");
}

void EngineContainerRole::refreshPictures() {
    for (auto& [guid, view] : views_)
        if (view->window.window()) refreshFrame(*view);
}

void EngineContainerRole::setNetwork(Network network, const std::wstring& user,
                                     const std::wstring& password) {
    std::wstring mode = network == Network::Offline ? L"offline"
                        : network == Network::Proxy ? L"proxy"
                                                    : L"ok";
    EngineBridge::Fields reply;
    std::wstring error;
    if (!bridge_.request({L"network", mode, user, password}, L"network", L"", kAnswerMs, reply,
                         error))
        problem(L"the engine did not take the network mode " + mode + L": " + error);
}

void EngineContainerRole::setViewCredentials(const std::wstring& user,
                                             const std::wstring& password) {
    bridge_.send({L"credentials", user, password});
}

std::wstring EngineContainerRole::setCredentials(const Envelope& message) {
    XmlDocument data;
    if (!data.load(message.messageData)) {
        note(L"setProxyCredentials: the data is not XML");
        return L"Failure";
    }
    std::wstring user = childText(data, L"/data/user");
    note(L"the web views use the proxy credentials of \"" + user + L"\"");
    bridge_.send({L"credentials", user, childText(data, L"/data/password")});
    // The web view retries a load that failed for want of them.
    for (auto& [guid, view] : views_)
        if (view->lastFailedForProxy && !view->loading) startLoad(*view, view->url);
    return L"Success";
}

std::wstring EngineContainerRole::content(const Envelope& message) {
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
    // The page gets the data as it stands; it reads what it needs itself.
    if (!bridge_.send({L"content", view->guid, message.messageData})) {
        problem(L"the engine bridge has gone");
        return L"Failure";
    }
    return L"Success";
}

std::wstring EngineContainerRole::close(const Envelope& message) {
    XmlDocument data;
    std::wstring guid = data.load(message.messageData) ? childText(data, L"/data/guid") : L"";
    auto it = views_.find(guid);
    if (it == views_.end()) {
        note(L"signalUIClose: no view " + guid);
        return L"Failure";
    }
    if (newest_ == it->second.get()) newest_ = nullptr;
    bridge_.send({L"close", guid});
    // Destroyed here, before the DLL destroys the dialog that holds it.
    views_.erase(it);
    note(L"view " + guid + L" closed");
    return L"Success";
}

bool EngineContainerRole::fireEvent(const std::wstring& name, const std::wstring& payload) {
    if (!hasCallback()) return false;
    bus_.callContainerCallback(newest_->callback, name, payload);
    return true;
}

bool EngineContainerRole::injectFault(const std::wstring& what, std::wstring& why) {
    if (what == L"renderer") {
        if (!newest_) {
            why = L"no view to crash the renderer of";
            return false;
        }
        return bridge_.send({L"crash", newest_->guid});
    }
    if (what == L"browser") return bridge_.send({L"kill-browser"});
    if (what == L"bridge") return bridge_.send({L"die"});
    why = L"unknown fault \"" + what + L"\"";
    return false;
}

}  // namespace refhost
