#pragma once
#include <windows.h>

#include <set>
#include <string>

#include "parties/Role.h"

namespace refhost {

// The host's HTML container ("HEX_UIX") as the scenario and the container's
// business logic drive it, whichever web view plays it: the stand-in window
// or a page of the browser engine.
class HtmlContainer : public Role {
public:
    enum class Network { Ok, Offline, Proxy };

    std::wstring receiver() const override { return L"HEX_UIX"; }

    // Gets ready before the host window opens: whatever plays the views
    // starts here. False with error (the whole sentence for the user) when
    // it cannot.
    virtual bool start(std::wstring& /*error*/) { return true; }

    // What later loads meet; for Proxy, the credentials the proxy accepts.
    virtual void setNetwork(Network network, const std::wstring& user,
                            const std::wstring& password) = 0;
    // Credentials given to the web view directly (by the container's dialog).
    virtual void setViewCredentials(const std::wstring& user, const std::wstring& password) = 0;
    virtual void refuse(const std::set<std::wstring>& names) = 0;
    virtual void setLoadDelay(UINT ms) = 0;

    // The scenario's own event through the newest view's callback; false when
    // no view has handed one over.
    virtual bool fireEvent(const std::wstring& name, const std::wstring& payload) = 0;
    virtual bool hasCallback() const = 0;
    virtual const std::wstring& newestGuid() const = 0;
    virtual bool loading() const = 0;

    // Brings every view's picture up to date before the host window is
    // photographed.
    virtual void refreshPictures() = 0;
    // A fault of the engine on purpose ("renderer", "browser", "bridge");
    // false with why when this container cannot do it.
    virtual bool injectFault(const std::wstring& what, std::wstring& why) {
        why = L"the web view stand-in has no engine to break (" + what + L")";
        return false;
    }
    // A fault of the engine seen since the last call (empty: none).
    virtual std::wstring takeProblem() { return L""; }
};

}  // namespace refhost
