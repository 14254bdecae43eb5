#pragma once
#include <memory>
#include <string>

#include "parties/ViewContainerRole.h"
#include "webview/standin/WebViewStandIn.h"

namespace refhost {

// The host's HTML container ("HEX_UIX") played by web view stand-ins, with
// no browser behind them. On "attachParentWindow" it makes a web view stand-in inside the named dialog and keeps the callback address;
// on "processURL"/"changeURL" it loads: after a delay it reports "OnLoadEnd",
// or a "CEF_ERROR" event when the network the scenario set up fails (or the
// file is missing). Stored proxy credentials handed over with
// "setProxyCredentials" cure a proxy failure: the failed load is retried.
class StandInContainerRole : public ViewContainerRole {
public:
    StandInContainerRole(MessageBus& bus, PanelLibrary& library, Trace& trace)
        : ViewContainerRole(bus, library, trace, 300) {}

    void setNetwork(Network network, const std::wstring& user,
                    const std::wstring& password) override;
    void setViewCredentials(const std::wstring& user, const std::wstring& password) override;
    void refreshPictures() override {}

private:
    struct StandInView : View {
        bool loading() const override {
            return standIn.state() == WebViewStandIn::State::Loading;
        }
        std::wstring url() const override { return standIn.url(); }

        WebViewStandIn standIn;
    };

    std::unique_ptr<View> openView(HWND dialog, const std::wstring& guid) override;
    void navigate(View& view, const std::wstring& url) override;
    bool showContent(View& view, const XmlDocument& data, const Envelope& message) override;
    void redraw() override;
    void finishLoad(const std::wstring& guid);

    Network network_ = Network::Ok;
    std::wstring proxyUser_, proxyPassword_;
    std::wstring givenUser_, givenPassword_;
};

}  // namespace refhost
