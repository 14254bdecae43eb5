#pragma once
// The host's HTML container as a test plays it: on "attachParentWindow" it
// reads the dialog handle, the callback address and the view GUID, and makes a
// child "web view" window inside the dialog; it records every URL it is asked
// to load; it answers each message with a configurable text; and it calls the
// panel's callback as the real container does, also from inside a send.
#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/FakeHost.h"

namespace halvet::test {

using ContainerCallbackFunction = int(__cdecl*)(const wchar_t* eventName, const wchar_t* payload);

class FakeContainer {
public:
    explicit FakeContainer(FakeHost& host);
    ~FakeContainer();
    FakeContainer(const FakeContainer&) = delete;
    FakeContainer& operator=(const FakeContainer&) = delete;

    // Calls the panel's callback; -1 when no view handed one over yet.
    int fire(const std::wstring& eventName, const std::wstring& payload);

    HWND dialog() const { return dialog_; }
    HWND webView() const { return webView_; }
    uintptr_t callbackAddress() const { return callback_; }
    const std::wstring& guid() const { return guid_; }
    // The URLs of "processURL" and "changeURL", in order.
    const std::vector<std::wstring>& urls() const { return urls_; }

    // Reply per message name ("Success" when none is set).
    std::map<std::wstring, std::wstring> replies;
    // Make the web view window on "attachParentWindow".
    bool createWebView = true;
    // Run inside the named send, before the reply (re-entrant host calls).
    std::map<std::wstring, std::function<void()>> during;

    static constexpr int kWebViewId = 100;

private:
    HostReply answer(const Envelope& message);
    void attach(const std::wstring& data);

    FakeHost& host_;
    HWND dialog_ = nullptr;
    HWND webView_ = nullptr;
    uintptr_t callback_ = 0;
    std::wstring guid_;
    std::vector<std::wstring> urls_;
};

// The text between <tag> and </tag> (the first such pair), or empty.
std::wstring elementText(const std::wstring& xml, const std::wstring& tag);

}  // namespace halvet::test
