#include "webview/engine/EngineContainerRole.h"

#include <wincrypt.h>

#include "webview/engine/BridgeLine.h"
#include "platform/Text.h"
#include "platform/XmlDocument.h"

namespace refhost {

namespace {

constexpr DWORD kAnswerMs = 15000;
constexpr DWORD kLoadLimitMs = 40000;  // the bridge gives up on a load after 15 s

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

void EngineContainerRole::problem(const std::wstring& text) {
    note(text);
    if (problem_.empty()) problem_ = text;
}

std::wstring EngineContainerRole::takeProblem() {
    forEachView([this](View& each) {
        PageView& view = static_cast<PageView&>(each);
        if (view.busy && GetTickCount() - view.loadStart > kLoadLimitMs) {
            view.busy = false;
            problem(L"the engine did not finish loading " + view.address + L" within " +
                    std::to_wstring(kLoadLimitMs / 1000) + L" s");
        }
    });
    return std::exchange(problem_, std::wstring());
}

void EngineContainerRole::trace(bool outgoing, const EngineBridge::Fields& line) {
    TraceEntry entry;
    entry.kind = EntryKind::Bridge;
    entry.name = outgoing ? L"to bridge" : L"from bridge";
    entry.text = BridgeLine::readable(line);
    traceLog().add(std::move(entry));
}

bool EngineContainerRole::start(std::wstring& error) {
    if (startBridge(error)) return true;
    error = L"the browser engine cannot start (" + error +
            L"); play with --web-view stand-in to do without it";
    return false;
}

bool EngineContainerRole::startBridge(std::wstring& error) {
    bridge_.onExchange([this](bool outgoing, const EngineBridge::Fields& line) {
        trace(outgoing, line);
    });
    bridge_.onLine([this](const EngineBridge::Fields& line) { onLine(line); });
    EngineBridge::Settings launch;
    launch.node = settings_.node;
    launch.script = settings_.bridge;
    launch.engine = settings_.engine;
    EngineBridge::Fields ready;
    if (!bridge_.start(launch, ready, error)) return false;
    note(L"browser engine " + field(ready, 1) + L" ready; its proxy listens on 127.0.0.1:" +
         field(ready, 2) + L"; the page's network part is " + field(ready, 3));
    return true;
}

EngineContainerRole::PageView* EngineContainerRole::findPage(const std::wstring& guid) {
    return static_cast<PageView*>(find(guid));
}

std::unique_ptr<ViewContainerRole::View> EngineContainerRole::openView(HWND dialog,
                                                                     const std::wstring& guid) {
    auto view = std::make_unique<PageView>();
    EngineBridge* bridge = &bridge_;
    if (!view->window.create(dialog, [bridge, guid](int w, int h) {
            bridge->send({L"resize", guid, std::to_wstring(w), std::to_wstring(h)});
        })) {
        note(L"attachParentWindow: cannot create the web view window");
        return nullptr;
    }
    RECT r{};
    GetClientRect(view->window.window(), &r);
    EngineBridge::Fields reply;
    std::wstring error;
    if (!bridge_.request({L"open", guid, std::to_wstring(r.right), std::to_wstring(r.bottom)},
                         L"opened", guid, kAnswerMs, reply, error)) {
        problem(L"attachParentWindow: the engine opened no page: " + error);
        return nullptr;
    }
    note(L"engine page " + std::to_wstring(r.right) + L" x " + std::to_wstring(r.bottom) +
         L" shown in window " + text::pointerText(reinterpret_cast<uintptr_t>(view->window.window())) +
         L" inside dialog " + text::pointerText(reinterpret_cast<uintptr_t>(dialog)) + L" for view " +
         guid);
    return view;
}

void EngineContainerRole::navigate(View& each, const std::wstring& url) {
    PageView& view = static_cast<PageView&>(each);
    view.address = url;
    view.busy = true;
    view.loadStart = GetTickCount();
    view.lastFailedForProxy = false;
    std::wstring guid = view.guid;
    auto go = [this, guid, url] {
        if (!bridge_.send({L"load", guid, url})) problem(L"the engine bridge has gone");
    };
    if (loadDelay())
        view.window.after(loadDelay(), go);
    else
        go();
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
    PageView* view = findPage(field(line, 1));
    if (!view) return;  // closed meanwhile
    if (verb == L"loaded") {
        onLoaded(*view, line);
    } else if (verb == L"failed") {
        onFailed(*view, line);
    } else if (verb == L"crashed") {
        onCrashed(*view);
    } else if (verb == L"message") {
        callBack(*view, field(line, 2), field(line, 3));
    } else if (verb == L"note") {
        note(field(line, 2));
    } else if (verb == L"delivered" && line.size() > 2) {
        note(L"the page did not take the content: " + field(line, 2));
    }
}

void EngineContainerRole::onLoaded(PageView& view, const EngineBridge::Fields& line) {
    view.busy = false;
    note(L"loaded " + field(line, 2));
    view.window.show();
    refreshFrame(view);
    callBack(view, L"OnLoadEnd", field(line, 2));
}

// failed <view> <url> <code> <engine's name> <reason> <message> <failing url>
void EngineContainerRole::onFailed(PageView& view, const EngineBridge::Fields& line) {
    view.busy = false;
    const std::wstring& reason = field(line, 5);
    view.lastFailedForProxy = text::startsWith(reason, L"ERR_AUTH_PROXY") ||
                              reason == L"ERR_TUNNEL_CONNECTION_FAILED";
    note(L"load of " + field(line, 2) + L" failed: " + field(line, 4) + L" (" + reason + L") at " +
         field(line, 7));
    view.window.show();
    refreshFrame(view);
    callBack(view, L"CEF_ERROR", errorPayload(field(line, 3), field(line, 6), reason));
}

void EngineContainerRole::onCrashed(PageView& view) {
    view.busy = false;
    view.window.setBanner(L"the page's renderer is gone");
    callBack(view, L"OnRenderProcessTerminated",
             L"<renderProcess><status>crashed</status></renderProcess>");
}

void EngineContainerRole::refreshFrame(PageView& view) {
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
    forEachView([this](View& each) {
        PageView& view = static_cast<PageView&>(each);
        if (view.window.window()) refreshFrame(view);
    });
}

void EngineContainerRole::setNetwork(Network network, const std::wstring& user,
                                     const std::wstring& password) {
    std::wstring mode = network == Network::Offline ? L"offline"
                        : network == Network::Proxy ? L"proxy"
                                                    : L"ok";
    traceLog().addSecret(password);  // before the line to the bridge is traced
    EngineBridge::Fields reply;
    std::wstring error;
    if (!bridge_.request({L"network", mode, user, password}, L"network", L"", kAnswerMs, reply,
                         error))
        problem(L"the engine did not take the network mode " + mode + L": " + error);
}

void EngineContainerRole::setViewCredentials(const std::wstring& user,
                                             const std::wstring& password) {
    traceLog().addSecret(password);
    bridge_.send({L"credentials", user, password});
}

bool EngineContainerRole::showContent(View& view, const XmlDocument& /*data*/,
                                      const Envelope& message) {
    // The page gets the data as it stands; it reads what it needs itself.
    if (!bridge_.send({L"content", view.guid, message.messageData})) {
        problem(L"the engine bridge has gone");
        return false;
    }
    return true;
}

void EngineContainerRole::closing(View& view) {
    bridge_.send({L"close", view.guid});
}

bool EngineContainerRole::injectFault(const std::wstring& what, std::wstring& why) {
    if (what == L"renderer") {
        if (!newest()) {
            why = L"no view to crash the renderer of";
            return false;
        }
        return bridge_.send({L"crash", newest()->guid});
    }
    if (what == L"browser") return bridge_.send({L"kill-browser"});
    if (what == L"bridge") return bridge_.send({L"die"});
    why = L"unknown fault \"" + what + L"\"";
    return false;
}

}  // namespace refhost
