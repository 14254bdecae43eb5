#include "faults/FaultRoad.h"

#include <cwchar>

#include "dialogs/MainDlg.h"

namespace halvet::test {

const std::vector<FaultRoad>& faultRoads() {
    using S = Step;
    const std::vector<Step> shown = {S::Initialize, S::CreateView, S::ShowView};
    auto after = [&](std::vector<Step> extra) {
        std::vector<Step> steps = shown;
        steps.insert(steps.end(), extra.begin(), extra.end());
        return steps;
    };
    static const std::vector<FaultRoad> roads = {
        {"initialize", {}, S::Initialize},
        {"CreateView", {S::Initialize}, S::CreateView},
        {"ShowView", {S::Initialize, S::CreateView}, S::ShowView},
        {"spinner frames", shown, S::SpinnerFrames},
        {"ProcessFonts", shown, S::ProcessFonts},
        {"ContentForHTML", shown, S::ContentForHTML},
        {"event OnLoadEnd", shown, S::LoadEndEvent},
        {"event page message", shown, S::PageMessageEvent},
        {"event OnRenderProcessTerminated", shown, S::RenderGoneEvent},
        {"proxy error", shown, S::ProxyError},
        {"network error", shown, S::NetworkError},
        {"ReloadHTML", shown, S::ReloadHTML},
        {"LoadBlank", shown, S::LoadBlank},
        {"second CreateView", shown, S::CreateView},
        {"finalize", after({S::ProcessFonts}), S::Finalize},
    };
    return roads;
}

FaultSession::FaultSession() {
    // Every reply is a buffer the DLL must release.
    host_.setDefaultResponder([](const Envelope&) { return HostReply::owned(L""); });
    host_.respondToMessage(L"GetProxyCredentials", [](const Envelope&) {
        return HostReply::owned(
            L"<proxy-preferences><proxy-user>u</proxy-user><proxy-password>p</proxy-password>"
            L"</proxy-preferences>");
    });
    container_ = std::make_unique<FakeContainer>(host_);
    wchar_t text[32];
    swprintf(text, 32, L"0x%llx",
             static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window_.hwnd())));
    parentText_ = text;
    createData_ = L"<v><parentViewPtr>" + parentText_ + L"</parentViewPtr></v>";
}

FaultSession::~FaultSession() = default;

std::wstring FaultSession::send(const wchar_t* name, const std::wstring& data) {
    return host_.send(name, data).text;
}

namespace {

// Three turns of the spinner's timer, each painted at once.
void spinnerFrames(HWND dialog) {
    HWND spinner = dialog ? GetDlgItem(dialog, MainDlg::kSpinnerId) : nullptr;
    if (!spinner) return;
    for (int i = 0; i < 3; ++i) {
        SendMessageW(spinner, WM_TIMER, 1022, 0);
        RedrawWindow(dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
}

bool oneOf(const std::wstring& reply, std::initializer_list<const wchar_t*> allowed) {
    for (const wchar_t* text : allowed)
        if (reply == text) return true;
    return false;
}

}  // namespace

bool FaultSession::perform(Step step, std::wstring& reply) {
    auto number = [&](int value) {
        reply = std::to_wstring(value);
        return value;
    };
    switch (step) {
        case Step::Initialize:
            return number(host_.initialize()) == 1 || reply == L"0";
        case Step::CreateView:
            reply = send(L"CreateView", createData_);
            return reply == parentText_ || reply == L"Failure";
        case Step::ShowView:
            reply = send(L"ShowView");
            return oneOf(reply, {L"Success", L"Failure"});
        case Step::SpinnerFrames:
            spinnerFrames(container_->dialog());
            reply = L"-";
            return true;
        case Step::ProcessFonts:
            reply = send(L"ProcessFonts");
            return oneOf(reply, {L"Success", L"Failure"});
        case Step::ContentForHTML:
            reply = send(L"ContentForHTML", L"<htmlContent><item id=\"1\">a &amp; b</item></htmlContent>");
            return oneOf(reply, {L"Success", L"Failure"});
        case Step::LoadEndEvent:
            return number(container_->fire(L"OnLoadEnd", L"file:///C:/panel/index.html?a=1&b=2")) == 0;
        case Step::PageMessageEvent:
            return number(container_->fire(L"pageMessage", L"<page><item id=\"1\">text</item></page>")) == 0;
        case Step::RenderGoneEvent:
            return number(container_->fire(L"OnRenderProcessTerminated", L"<status>crashed</status>")) == 0;
        case Step::ProxyError:
            return number(container_->fire(
                       L"CEF_ERROR",
                       L"<error><errReason>ERR_TUNNEL_CONNECTION_FAILED</errReason></error>")) == 0;
        case Step::NetworkError:
            return number(container_->fire(
                       L"CEF_ERROR", L"<error><errReason>ERR_CONNECTION_RESET</errReason></error>")) == 0;
        case Step::ReloadHTML:
            reply = send(L"ReloadHTML");
            return oneOf(reply, {L"Success", L"Failure"});
        case Step::LoadBlank:
            reply = send(L"LoadBlank");
            return oneOf(reply, {L"Success", L"Failure"});
        case Step::Finalize:
            return number(host_.finalize()) == 1;
    }
    return false;
}

}  // namespace halvet::test
