#pragma once
#include <memory>
#include <string>

#include "webview/engine/EngineBridge.h"
#include "webview/engine/EngineView.h"
#include "parties/ViewContainerRole.h"

namespace refhost {

// The host's HTML container ("HEX_UIX") on the browser engine: every view
// the panel attaches is a page of the engine, sized to the view's window
// inside the panel's dialog, which shows the page's frames. Loads, content
// and credentials go to the engine through the bridge; what the engine
// reports (a load ended or failed, the renderer was lost, the page posted a
// message) comes back through the view's callback.
class EngineContainerRole : public ViewContainerRole {
public:
    struct Settings {
        std::wstring node;    // Unix paths
        std::wstring bridge;  // bridge.js
        std::wstring engine;  // the browser
    };

    EngineContainerRole(MessageBus& bus, PanelLibrary& library, Trace& trace,
                        const Settings& settings)
        : ViewContainerRole(bus, library, trace, 0), settings_(settings) {}
    // The pages' windows go before the bridge and the engine they talk to.
    ~EngineContainerRole() override { dropViews(); }

    // Starts the bridge and the engine; error says why not, and how to do
    // without them.
    bool start(std::wstring& error) override;

    void setNetwork(Network network, const std::wstring& user,
                    const std::wstring& password) override;
    void setViewCredentials(const std::wstring& user, const std::wstring& password) override;
    void refreshPictures() override;
    bool injectFault(const std::wstring& what, std::wstring& why) override;
    std::wstring takeProblem() override;

private:
    struct PageView : View {
        bool loading() const override { return busy; }
        std::wstring url() const override { return address; }

        EngineView window;
        std::wstring address;
        bool busy = false;
        DWORD loadStart = 0;
    };

    std::unique_ptr<View> openView(HWND dialog, const std::wstring& guid) override;
    void navigate(View& view, const std::wstring& url) override;
    bool showContent(View& view, const XmlDocument& data, const Envelope& message) override;
    void redraw() override { refreshPictures(); }
    void closing(View& view) override;
    void refreshFrame(PageView& view);

    void onLine(const EngineBridge::Fields& line);
    void onLoaded(PageView& view, const EngineBridge::Fields& line);
    void onFailed(PageView& view, const EngineBridge::Fields& line);
    void onCrashed(PageView& view);
    void trace(bool outgoing, const EngineBridge::Fields& line);
    PageView* findPage(const std::wstring& guid);
    void problem(const std::wstring& text);

    bool startBridge(std::wstring& error);

    Settings settings_;
    EngineBridge bridge_;
    std::wstring problem_;
};

}  // namespace refhost
