#include "webview/engine/EngineContainerRole.h"

#include <wincrypt.h>

#include "platform/Text.h"
#include "platform/WinePath.h"
#include "platform/XmlDocument.h"
#include "webview/engine/BridgeLine.h"
#include "webview/engine/BridgeProtocol.h"

namespace refhost {

namespace {

using P = BridgeProtocol;

// The slot of a view window's timer that ends a load at its time limit
// (slot 0 starts delayed loads).
constexpr unsigned kLoadLimitSlot = 1;

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

const std::wstring& field(const EngineBridge::Fields& line, size_t position) {
    return P::field(line, position);
}

// The Unix path of this process's temporary folder, where the panel writes
// its stylesheets.
std::wstring temporaryFolder() {
    wchar_t path[MAX_PATH + 1] = {};
    DWORD n = GetTempPathW(MAX_PATH + 1, path);
    if (n == 0 || n > MAX_PATH) return L"";
    std::wstring unix = winepath::unixName(path);
    while (unix.size() > 1 && unix.back() == L'/') unix.pop_back();
    return unix;
}

}  // namespace

void EngineContainerRole::problem(const std::wstring& text) {
    note(text);
    if (problem_.empty()) problem_ = text;
}

std::wstring EngineContainerRole::takeProblem() { return std::exchange(problem_, std::wstring()); }

void EngineContainerRole::setLimits(UINT loadMs, UINT answerMs) {
    if (loadMs) loadLimitMs_ = loadMs;
    if (answerMs) answerMs_ = answerMs;
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
    launch.temp = temporaryFolder();
    EngineBridge::Fields ready;
    if (!bridge_.start(launch, ready, error)) return false;
    if (bridge_.intruders())
        note(L"dropped " + std::to_wstring(bridge_.intruders()) +
             L" connection(s) to the bridge's port that did not prove the secret");
    note(L"browser engine " + field(ready, P::Ready::kVersion) +
         L" ready; its proxy listens on 127.0.0.1:" + field(ready, P::Ready::kProxyPort) +
         L"; the page's network part is " + field(ready, P::Ready::kNetworkPart));
    return true;
}

EngineContainerRole::PageView* EngineContainerRole::findPage(const std::wstring& guid) {
    return static_cast<PageView*>(find(guid));
}

std::unique_ptr<ViewContainerRole::View> EngineContainerRole::openView(HWND dialog,
                                                                     const std::wstring& guid) {
    auto view = std::make_unique<PageView>();
    EngineBridge* bridge = &bridge_;
    unsigned* requests = &requests_;
    if (!view->window.create(dialog, [bridge, requests, guid](int w, int h) {
            bridge->send(P::command(L"resize", guid, ++*requests,
                                    {std::to_wstring(w), std::to_wstring(h)}));
        })) {
        note(L"attachParentWindow: cannot create the web view window");
        return nullptr;
    }
    RECT r{};
    GetClientRect(view->window.window(), &r);
    EngineBridge::Fields reply;
    std::wstring error;
    if (!bridge_.request(P::command(L"open", guid, nextRequest(),
                                    {std::to_wstring(r.right), std::to_wstring(r.bottom)}),
                         L"opened", answerMs_, reply, error)) {
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
    view.load = nextRequest();
    view.loadSent = false;
    view.lastFailedForProxy = false;
    std::wstring guid = view.guid;
    unsigned number = view.load;
    // The time limit runs from now, on a timer: it ends the load in the step
    // that is playing then.
    view.window.after(loadLimitMs_, [this, guid, number] {
        PageView* page = findPage(guid);
        if (!page || !page->busy || page->load != number) return;
        problem(L"the engine did not finish loading " + page->address + L" within " +
                std::to_wstring(loadLimitMs_) + L" ms");
        endLoad(*page, L"-7", L"ERR_TIMED_OUT", L"the load took longer than its time limit");
    }, kLoadLimitSlot);
    if (loadDelay()) {
        view.window.after(loadDelay(), [this, guid, number] {
            PageView* page = findPage(guid);
            if (page && page->load == number && page->busy) startLoad(*page);
        });
    } else {
        startLoad(view);
    }
}

void EngineContainerRole::startLoad(PageView& view) {
    view.loadSent = true;
    if (!bridge_.send(P::command(L"load", view.guid, view.load, {view.address}))) {
        problem(L"the engine bridge has gone");
        endLoad(view, L"-2", L"ERR_FAILED", L"the engine bridge has gone");
        return;
    }
    // Content that came first goes after the load, which holds it for the page.
    std::vector<std::wstring> held = std::move(view.held);
    view.held.clear();
    for (const std::wstring& data : held) sendContent(view, data);
}

void EngineContainerRole::endLoad(PageView& view, const std::wstring& code,
                                  const std::wstring& reason, const std::wstring& message) {
    view.busy = false;
    view.held.clear();
    note(L"load of " + view.address + L" ended: " + reason + L" (" + message + L")");
    view.window.show();
    callBack(view, L"CEF_ERROR", errorPayload(code, message, reason));
}

void EngineContainerRole::endEveryLoad(const std::wstring& why) {
    std::vector<std::wstring> loading;
    forEachView([&loading](View& each) {
        if (static_cast<PageView&>(each).busy) loading.push_back(each.guid);
    });
    // A callback may close views: each is looked up again.
    for (const std::wstring& guid : loading)
        if (PageView* view = findPage(guid); view && view->busy)
            endLoad(*view, L"-2", L"ERR_FAILED", why);
}

void EngineContainerRole::onLine(const EngineBridge::Fields& line) {
    const std::wstring& verb = field(line, P::kVerb);
    if (verb == L"gone") {
        problem(L"the engine bridge ended");
        endEveryLoad(L"the engine bridge ended");
        return;
    }
    if (verb == L"proxy") {
        std::wstring what = field(line, P::Proxy::kWhat);
        const std::wstring& target = field(line, P::Proxy::kTarget);
        note(what == L"challenge" ? L"asks for credentials for " + target
             : what == L"blocked" ? L"refused to forward to " + target
                                  : what + L" the credentials of \"" +
                                        field(line, P::Proxy::kUser) + L"\" for " + target,
             L"proxy");
        return;
    }
    PageView* view = findPage(field(line, P::kView));
    if (verb == L"error") {
        const std::wstring& command = field(line, P::Error::kCommand);
        problem(L"the engine bridge reports a failure of \"" + command + L"\": " +
                field(line, P::Error::kText));
        if (command == L"engine") endEveryLoad(L"the browser engine went away");
        else if (command == L"load" && view && answersNewestLoad(*view, line))
            endLoad(*view, L"-2", L"ERR_FAILED", field(line, P::Error::kText));
        return;
    }
    if (verb == L"note" && !view) {
        note(field(line, P::Note::kText));
        return;
    }
    if (!view) return;  // closed meanwhile
    if (verb == L"loaded") {
        onLoaded(*view, line);
    } else if (verb == L"failed") {
        onFailed(*view, line);
    } else if (verb == L"crashed") {
        onCrashed(*view);
    } else if (verb == L"message") {
        callBack(*view, field(line, P::Message::kName), field(line, P::Message::kPayload));
    } else if (verb == L"note") {
        note(field(line, P::Note::kText));
    } else if (verb == L"delivered" && !field(line, P::Delivered::kWhy).empty()) {
        note(L"the page did not take the content: " + field(line, P::Delivered::kWhy));
    }
}

bool EngineContainerRole::answersNewestLoad(const PageView& view, const EngineBridge::Fields& line) {
    if (view.busy && field(line, P::kRequest) == std::to_wstring(view.load)) return true;
    note(L"ignores \"" + field(line, P::kVerb) + L"\" of load " + field(line, P::kRequest) +
         L" of view " + view.guid + L": not the newest load under way");
    return false;
}

void EngineContainerRole::onLoaded(PageView& view, const EngineBridge::Fields& line) {
    if (!answersNewestLoad(view, line)) return;
    view.busy = false;
    note(L"loaded " + field(line, P::Load::kUrl));
    view.window.show();
    refreshFrame(view);
    callBack(view, L"OnLoadEnd", field(line, P::Load::kUrl));
}

void EngineContainerRole::onFailed(PageView& view, const EngineBridge::Fields& line) {
    if (!answersNewestLoad(view, line)) return;
    view.busy = false;
    const std::wstring& reason = field(line, P::Failed::kReason);
    // Only the proxy's challenges fail for want of credentials: a proxy that
    // cannot be reached, or refuses a tunnel, wants none.
    view.lastFailedForProxy = text::startsWith(reason, L"ERR_AUTH_PROXY");
    note(L"load of " + field(line, P::Failed::kUrl) + L" failed: " + field(line, P::Failed::kName) +
         L" (" + reason + L") at " + field(line, P::Failed::kFailingUrl));
    view.window.show();
    refreshFrame(view);
    callBack(view, L"CEF_ERROR",
             errorPayload(field(line, P::Failed::kCode), field(line, P::Failed::kMessage), reason));
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
    if (!bridge_.request(P::command(L"frame", view.guid, nextRequest()), L"frame", answerMs_, reply,
                         error)) {
        problem(L"no frame of view " + view.guid + L": " + error);
        return;
    }
    if (field(reply, P::Frame::kPng).empty()) {
        note(L"no frame of view " + view.guid + L": " + field(reply, P::Frame::kWhy));
        return;
    }
    if (!view.window.setFrame(fromBase64(field(reply, P::Frame::kPng))))
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
    if (!bridge_.request(P::command(L"network", L"", nextRequest(), {mode, user, password}),
                         L"network", answerMs_, reply, error))
        problem(L"the engine did not take the network mode " + mode + L": " + error);
}

void EngineContainerRole::setViewCredentials(const std::wstring& user,
                                             const std::wstring& password) {
    traceLog().addSecret(password);
    bridge_.send(P::command(L"credentials", L"", nextRequest(), {user, password}));
}

bool EngineContainerRole::showContent(View& each, const XmlDocument& /*data*/,
                                      const Envelope& message) {
    PageView& view = static_cast<PageView&>(each);
    // The page gets the data as it stands; it reads what it needs itself.
    // Before its load has started it would reach the page that goes.
    if (view.busy && !view.loadSent) {
        view.held.push_back(message.messageData);
        return true;
    }
    return sendContent(view, message.messageData);
}

bool EngineContainerRole::sendContent(PageView& view, const std::wstring& data) {
    if (!bridge_.send(P::command(L"content", view.guid, nextRequest(), {data}))) {
        problem(L"the engine bridge has gone");
        return false;
    }
    return true;
}

void EngineContainerRole::closing(View& view) {
    bridge_.send(P::command(L"close", view.guid, nextRequest()));
}

bool EngineContainerRole::injectFault(const std::wstring& what, std::wstring& why) {
    if (what == L"renderer") {
        if (!newest()) {
            why = L"no view to crash the renderer of";
            return false;
        }
        return bridge_.send(P::command(L"crash", newest()->guid, nextRequest()));
    }
    if (what == L"browser") return bridge_.send(P::command(L"kill-browser", L"", nextRequest()));
    if (what == L"bridge") return bridge_.send(P::command(L"die", L"", nextRequest()));
    why = L"unknown fault \"" + what + L"\"";
    return false;
}

}  // namespace refhost
