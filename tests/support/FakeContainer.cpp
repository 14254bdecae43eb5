#include "support/FakeContainer.h"

#include <cwchar>

namespace halvet::test {

std::wstring elementText(const std::wstring& xml, const std::wstring& tag) {
    const std::wstring open = L"<" + tag + L">";
    const std::wstring close = L"</" + tag + L">";
    const size_t start = xml.find(open);
    if (start == std::wstring::npos) return {};
    const size_t from = start + open.size();
    const size_t end = xml.find(close, from);
    return end == std::wstring::npos ? std::wstring() : xml.substr(from, end - from);
}

namespace {
uintptr_t hexValue(const std::wstring& text) {
    if (text.size() < 3 || text[0] != L'0' || (text[1] != L'x' && text[1] != L'X')) return 0;
    return static_cast<uintptr_t>(std::wcstoull(text.c_str() + 2, nullptr, 16));
}
}  // namespace

FakeContainer::FakeContainer(FakeHost& host) : host_(host) {
    for (const wchar_t* name : {L"attachParentWindow", L"processURL", L"changeURL", L"RefreshView",
                                L"signalUIClose", L"processMessageForJSON", L"setProxyCredentials"})
        host_.respondToMessage(name, [this](const Envelope& e) { return answer(e); });
}

FakeContainer::~FakeContainer() {
    if (webView_ && IsWindow(webView_)) DestroyWindow(webView_);
}

void FakeContainer::attach(const std::wstring& data) {
    guid_ = elementText(data, L"guid");
    dialog_ = reinterpret_cast<HWND>(hexValue(elementText(data, L"parentWindowPtr")));
    callback_ = hexValue(elementText(data, L"callbackFnPtr"));
    if (!createWebView || !IsWindow(dialog_)) return;
    webView_ = CreateWindowExW(0, L"Static", L"web view", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10,
                               dialog_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kWebViewId)),
                               GetModuleHandleW(nullptr), nullptr);
}

HostReply FakeContainer::answer(const Envelope& message) {
    const std::wstring& name = message.messageName;
    if (name == L"attachParentWindow") attach(message.messageData);
    if (name == L"processURL" || name == L"changeURL")
        urls_.push_back(elementText(message.messageData, L"url"));
    auto hook = during.find(name);
    if (hook != during.end() && hook->second) hook->second();
    auto reply = replies.find(name);
    return HostReply::owned(reply != replies.end() ? reply->second : L"Success");
}

int FakeContainer::fire(const std::wstring& eventName, const std::wstring& payload) {
    if (!callback_) return -1;
    auto callback = reinterpret_cast<ContainerCallbackFunction>(callback_);
    return callback(eventName.c_str(), payload.c_str());
}

}  // namespace halvet::test
