#pragma once
#include <map>
#include <memory>
#include <set>
#include <string>

#include "EngineBridge.h"
#include "EngineView.h"
#include "HtmlContainer.h"
#include "MessageBus.h"
#include "PanelLibrary.h"
#include "Trace.h"

namespace refhost {

// The host's HTML container ("HEX_UIX") on the browser engine: every view
// the panel attaches is a page of the engine, sized to the view's window
// inside the panel's dialog, which shows the page's frames. Loads, content
// and credentials go to the engine through the bridge; what the engine
// reports (a load ended or failed, the renderer was lost, the page posted a
// message) comes back through the view's callback.
class EngineContainerRole : public HtmlContainer {
public:
    struct Settings {
        std::wstring node;    // Unix paths
        std::wstring bridge;  // bridge.js
        std::wstring engine;  // the browser
    };

    EngineContainerRole(MessageBus& bus, PanelLibrary& library, Trace& trace)
        : bus_(bus), library_(library), trace_(trace) {}

    // Starts the bridge and the engine; error says why not.
    bool start(const Settings& settings, std::wstring& error);

    std::wstring answer(const Envelope& message) override;
    void setNetwork(Network network, const std::wstring& user,
                    const std::wstring& password) override;
    void setViewCredentials(const std::wstring& user, const std::wstring& password) override;
    void refuse(const std::set<std::wstring>& names) override { refused_ = names; }
    // A wait before each navigation starts, as a slow network's would be.
    void setLoadDelay(UINT ms) override { loadDelay_ = ms; }

    bool fireEvent(const std::wstring& name, const std::wstring& payload) override;
    bool hasCallback() const override { return newest_ && newest_->callback; }
    const std::wstring& newestGuid() const override { return newestGuid_; }
    bool loading() const override;
    void refreshPictures() override;
    bool injectFault(const std::wstring& what, std::wstring& why) override;
    std::wstring takeProblem() override;

private:
    struct View {
        std::wstring guid;
        PanelLibrary::ContainerCallback callback = nullptr;
        EngineView window;
        std::wstring url;
        bool loading = false;
        DWORD loadStart = 0;
        bool lastFailedForProxy = false;
    };

    std::wstring attach(const Envelope& message);
    std::wstring load(const Envelope& message);
    std::wstring setCredentials(const Envelope& message);
    std::wstring content(const Envelope& message);
    std::wstring close(const Envelope& message);
    void startLoad(View& view, const std::wstring& url);
    void refreshFrame(View& view);

    void onLine(const EngineBridge::Fields& line);
    void onLoaded(View& view, const EngineBridge::Fields& line);
    void onFailed(View& view, const EngineBridge::Fields& line);
    void onCrashed(View& view);
    void callback(View& view, const std::wstring& event, const std::wstring& payload);
    void trace(bool outgoing, const EngineBridge::Fields& line);
    View* find(const std::wstring& guid);
    void note(const std::wstring& text, const std::wstring& who = L"HEX_UIX");
    void problem(const std::wstring& text);

    MessageBus& bus_;
    PanelLibrary& library_;
    Trace& trace_;
    EngineBridge bridge_;
    std::map<std::wstring, std::unique_ptr<View>> views_;
    View* newest_ = nullptr;
    std::wstring newestGuid_;
    std::set<std::wstring> refused_;
    std::wstring problem_;
    UINT loadDelay_ = 0;
};

}  // namespace refhost
