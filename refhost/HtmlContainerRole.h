#pragma once
#include <map>
#include <memory>
#include <set>
#include <string>

#include "HtmlContainer.h"
#include "MessageBus.h"
#include "PanelLibrary.h"
#include "Trace.h"
#include "WebViewStandIn.h"

namespace refhost {

// The host's HTML container ("HEX_UIX"). On "attachParentWindow" it makes a
// web view stand-in inside the named dialog and keeps the callback address;
// on "processURL"/"changeURL" it loads: after a delay it reports "OnLoadEnd",
// or a "CEF_ERROR" event when the network the scenario set up fails (or the
// file is missing). Stored proxy credentials handed over with
// "setProxyCredentials" cure a proxy failure: the failed load is retried.
class HtmlContainerRole : public HtmlContainer {
public:
    HtmlContainerRole(MessageBus& bus, PanelLibrary& library, Trace& trace)
        : bus_(bus), library_(library), trace_(trace) {}
    std::wstring answer(const Envelope& message) override;

    void setNetwork(Network network, const std::wstring& user,
                    const std::wstring& password) override;
    void setViewCredentials(const std::wstring& user, const std::wstring& password) override;
    void refuse(const std::set<std::wstring>& names) override { refused_ = names; }
    void setLoadDelay(UINT ms) override { loadDelay_ = ms; }

    bool fireEvent(const std::wstring& name, const std::wstring& payload) override;
    bool hasCallback() const override { return newest_ && newest_->callback; }
    const std::wstring& newestGuid() const override { return newestGuid_; }
    bool loading() const override;
    void refreshPictures() override {}

private:
    struct View {
        std::wstring guid;
        PanelLibrary::ContainerCallback callback = nullptr;
        WebViewStandIn standIn;
        bool lastFailedForProxy = false;
    };

    std::wstring attach(const Envelope& message);
    std::wstring load(const Envelope& message);
    std::wstring setCredentials(const Envelope& message);
    std::wstring content(const Envelope& message);
    std::wstring close(const Envelope& message);
    void startLoad(View& view, const std::wstring& url);
    void finishLoad(const std::wstring& guid);
    View* find(const std::wstring& guid);
    void note(const std::wstring& text);

    MessageBus& bus_;
    PanelLibrary& library_;
    Trace& trace_;
    std::map<std::wstring, std::unique_ptr<View>> views_;
    View* newest_ = nullptr;
    std::wstring newestGuid_;
    Network network_ = Network::Ok;
    std::wstring proxyUser_, proxyPassword_;
    std::wstring givenUser_, givenPassword_;
    std::set<std::wstring> refused_;
    UINT loadDelay_ = 300;
};

}  // namespace refhost
