#pragma once
#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "parties/HtmlContainer.h"
#include "boundary/MessageBus.h"
#include "boundary/PanelLibrary.h"
#include "recording/Trace.h"
#include "platform/XmlDocument.h"

namespace refhost {

// What the host's HTML container does whichever web view plays its views:
// it answers the container's messages, checks what "attachParentWindow"
// hands it, keeps the views by guid with their callbacks, and retries loads
// that failed for want of proxy credentials once they come. A web view
// makes, loads, fills and closes the views its own way.
class ViewContainerRole : public HtmlContainer {
public:
    std::wstring answer(const Envelope& message) override;
    void refuse(const std::set<std::wstring>& names) override { refused_ = names; }
    // A wait before each load starts, as a slow network's would be.
    void setLoadDelay(UINT ms) override { loadDelay_ = ms; }
    bool fireEvent(const std::wstring& name, const std::wstring& payload) override;
    bool hasCallback() const override { return newest_ && newest_->callback; }
    const std::wstring& newestGuid() const override { return newestGuid_; }
    bool loading() const override;

protected:
    // One attached view; a web view adds its window and load state.
    struct View {
        virtual ~View() = default;
        virtual bool loading() const = 0;
        virtual std::wstring url() const = 0;

        std::wstring guid;
        PanelLibrary::ContainerCallback callback = nullptr;
        bool lastFailedForProxy = false;
    };

    ViewContainerRole(MessageBus& bus, PanelLibrary& library, Trace& trace, UINT loadDelay)
        : bus_(bus), library_(library), trace_(trace), loadDelay_(loadDelay) {}

    // A view with its window inside dialog (a window of this thread);
    // nullptr, said in a note, when it cannot be made.
    virtual std::unique_ptr<View> openView(HWND dialog, const std::wstring& guid) = 0;
    virtual void navigate(View& view, const std::wstring& url) = 0;
    // The content of "processMessageForJSON" (data: its parsed messageData)
    // for view; false when it cannot be handed on.
    virtual bool showContent(View& view, const XmlDocument& data, const Envelope& message) = 0;
    // Every view drawn again ("RefreshView").
    virtual void redraw() = 0;
    // view is about to be destroyed.
    virtual void closing(View& /*view*/) {}

    static std::wstring childText(const XmlDocument& document, const std::wstring& xpath);
    static std::wstring errorPayload(const std::wstring& code, const std::wstring& message,
                                     const std::wstring& reason);

    void load(View& view, const std::wstring& url);
    void callBack(View& view, const std::wstring& event, const std::wstring& payload);
    View* find(const std::wstring& guid);
    View* newest() const { return newest_; }
    void forEachView(const std::function<void(View&)>& action);
    void note(const std::wstring& text, const std::wstring& who = L"HEX_UIX");
    // Every view destroyed now, while what the web view needs for it is
    // still there.
    void dropViews();
    Trace& traceLog() { return trace_; }
    UINT loadDelay() const { return loadDelay_; }

private:
    std::wstring attach(const Envelope& message);
    std::wstring load(const Envelope& message);
    std::wstring setCredentials(const Envelope& message);
    std::wstring content(const Envelope& message);
    std::wstring close(const Envelope& message);

    MessageBus& bus_;
    PanelLibrary& library_;
    Trace& trace_;
    std::map<std::wstring, std::unique_ptr<View>> views_;
    View* newest_ = nullptr;
    std::wstring newestGuid_;
    std::set<std::wstring> refused_;
    UINT loadDelay_;
};

}  // namespace refhost
