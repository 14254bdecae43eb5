// The panel's view through the DLL: "CreateView", "ShowView", "HideView",
// "HideSpinner" and the close at finalize, as a host with a real window and
// its container (which makes a child "web view" window in the dialog) see
// them, including hosts that call back into the panel from inside a send.
#include <windows.h>

#include <gtest/gtest.h>

#include <cwctype>
#include <string>
#include <vector>

#include "support/FakeContainer.h"
#include "support/FakeHost.h"
#include "support/MessageHook.h"
#include "support/TestWindows.h"

using halvet::test::DllReply;
using halvet::test::elementText;
using halvet::test::Envelope;
using halvet::test::FakeContainer;
using halvet::test::FakeHost;
using halvet::test::InitArguments;
using halvet::test::MessageHook;

namespace {

constexpr int kSpinnerId = 3038;
constexpr wchar_t kPageBelowModule[] =
    L"\\resource\\HalvetPanelHTML\\HalvetPanel\\src\\www\\halvet\\index.html";

std::wstring handleText(const void* value) {
    wchar_t text[32];
    swprintf(text, 32, L"0x%llx",
             static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(value)));
    return text;
}

std::wstring createViewData(const std::wstring& handle) {
    return L"<v><parentViewPtr>" + handle + L"</parentViewPtr></v>";
}

// Braces around 8-4-4-4-12 upper-case hexadecimal digits.
bool isRegistryGuid(const std::wstring& text) {
    if (text.size() != 38 || text.front() != L'{' || text.back() != L'}') return false;
    for (size_t i = 1; i < 37; ++i) {
        const bool hyphen = i == 9 || i == 14 || i == 19 || i == 24;
        const wchar_t c = text[i];
        if (hyphen != (c == L'-')) return false;
        if (!hyphen && !((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F'))) return false;
    }
    return true;
}

bool insideImage(HMODULE module, uintptr_t address) {
    const auto base = reinterpret_cast<const BYTE*>(module);
    const auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const uintptr_t start = reinterpret_cast<uintptr_t>(base);
    return address >= start && address < start + nt->OptionalHeader.SizeOfImage;
}

std::wstring pageOf(HMODULE module) {
    wchar_t path[MAX_PATH * 4] = {};
    const DWORD n = GetModuleFileNameW(module, path, MAX_PATH * 4);
    std::wstring file(path, n);
    return file.substr(0, file.find_last_of(L'\\')) + kPageBelowModule;
}

// The host window's children that are dialogs.
std::vector<HWND> dialogsIn(HWND host) {
    std::vector<HWND> dialogs;
    for (HWND child = GetWindow(host, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[16] = {};
        GetClassNameW(child, name, 16);
        if (std::wstring(name) == L"#32770") dialogs.push_back(child);
    }
    return dialogs;
}

std::vector<std::wstring> namesOf(const std::vector<Envelope>& envelopes) {
    std::vector<std::wstring> names;
    for (const Envelope& e : envelopes) names.push_back(e.messageName);
    return names;
}

RECT rectInParent(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

bool sameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

class PanelViewTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.loaded());
        ASSERT_EQ(host.initialize(), 1);
    }
    DllReply createView(HWND parent) { return host.send(L"CreateView", createViewData(handleText(parent))); }
    // A view in the host window, the records cleared.
    void createView() {
        ASSERT_EQ(createView(window.hwnd()).text, handleText(window.hwnd()));
        ASSERT_TRUE(IsWindow(container.dialog()));
        host.clearRecords();
    }
    HWND spinner() const { return GetDlgItem(container.dialog(), kSpinnerId); }
    bool spinnerShown() const {
        return (GetWindowLongPtrW(spinner(), GWL_STYLE) & WS_VISIBLE) != 0;
    }

    FakeHost host;
    FakeContainer container{host};
    HostWindow window{WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 900, 700};
};

}  // namespace

TEST_F(PanelViewTest, CreateViewAttachesTheDialogThenLoadsThePanelPage) {
    const DllReply reply = createView(window.hwnd());
    EXPECT_EQ(reply.text, handleText(window.hwnd()));
    EXPECT_TRUE(reply.owned());

    ASSERT_EQ(namesOf(host.envelopes()), (std::vector<std::wstring>{L"attachParentWindow", L"processURL"}));
    const std::vector<HWND> dialogs = dialogsIn(window.hwnd());
    ASSERT_EQ(dialogs.size(), 1u);
    const HWND dialog = dialogs[0];
    EXPECT_EQ(container.dialog(), dialog);

    const Envelope& attach = host.envelopes()[0];
    EXPECT_EQ(attach.targetType, L"Applet");
    EXPECT_EQ(attach.targetAppletID, L"HEX_UIX");
    EXPECT_EQ(attach.targetAppletVersion, L"1.0");
    const std::wstring guid = container.guid();
    EXPECT_TRUE(isRegistryGuid(guid)) << testing::PrintToString(guid);
    const uintptr_t callback = container.callbackAddress();
    EXPECT_TRUE(insideImage(host.module(), callback)) << std::hex << callback;
    EXPECT_EQ(attach.messageData,
              L"<xmlData><guid>" + guid + L"</guid><parentWindowPtr>" + handleText(dialog) +
                  L"</parentWindowPtr><callbackFnPtr>" + handleText(reinterpret_cast<void*>(callback)) +
                  L"</callbackFnPtr></xmlData>");

    const Envelope& load = host.envelopes()[1];
    EXPECT_EQ(load.targetAppletID, L"HEX_UIX");
    const std::wstring& data = load.messageData;
    EXPECT_EQ(data.find(L"<xmlData>"), data.find_first_not_of(L" \t\r\n")) << testing::PrintToString(data);
    EXPECT_LT(data.find(L"<guid>"), data.find(L"<url>"));
    EXPECT_EQ(elementText(data, L"guid"), guid);
    EXPECT_EQ(elementText(data, L"url"), pageOf(host.module()));
    ASSERT_EQ(container.urls().size(), 1u);

    // The dialog is made hidden, covers the host's client area and turns its
    // spinner from the start.
    EXPECT_EQ(GetParent(dialog), window.hwnd());
    EXPECT_FALSE(IsWindowVisible(dialog));
    RECT client{};
    GetClientRect(window.hwnd(), &client);
    EXPECT_TRUE(sameRect(rectInParent(dialog), client));
    EXPECT_TRUE(spinnerShown());
    wchar_t text[64] = {};
    GetWindowTextW(dialog, text, 64);
    EXPECT_STREQ(text, L"HalvetPanel Dialog");
}

TEST_F(PanelViewTest, AnyReplyButFailureIsSuccess) {
    container.replies[L"attachParentWindow"] = L"";
    container.replies[L"processURL"] = L"failure";
    EXPECT_EQ(createView(window.hwnd()).text, handleText(window.hwnd()));
}

TEST_F(PanelViewTest, ReplyIsTheParentHandleInNormalisedForm) {
    // 0x1A2B is no window here.
    const HWND notAWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1A2B));
    ASSERT_FALSE(IsWindow(notAWindow));
    // First: an empty element names no parent; without one the child dialog
    // has no window, and no view is made or announced.
    DllReply reply = host.send(L"CreateView", L"<v><parentViewPtr/></v>");
    EXPECT_EQ(reply.text, L"Failure");
    EXPECT_TRUE(host.envelopesNamed(L"attachParentWindow").empty());
    EXPECT_TRUE(host.envelopesNamed(L"processURL").empty());

    // A handle that is no window gives no view either.
    EXPECT_EQ(host.send(L"CreateView", createViewData(L"0x1A2B")).text, L"Failure");
    // The host's window, written in upper case, in decimal, with leading
    // zeros: the reply is its normalised form.
    const uintptr_t value = reinterpret_cast<uintptr_t>(window.hwnd());
    wchar_t upper[32], decimal[32], padded[32];
    swprintf(upper, 32, L"0x%llX", static_cast<unsigned long long>(value));
    swprintf(decimal, 32, L"%llu", static_cast<unsigned long long>(value));
    swprintf(padded, 32, L"0X%016llx", static_cast<unsigned long long>(value));
    for (const wchar_t* text : {upper, decimal, padded})
        EXPECT_EQ(host.send(L"CreateView", createViewData(text)).text, handleText(window.hwnd()));
}

TEST_F(PanelViewTest, UnreadableRequestFailsAndSendsNothing) {
    for (const wchar_t* data : {L"<xmlData/>", L"not xml", L"", L"<v><parentViewPt>1</parentViewPt></v>",
                                L"<v><parentViewPtr>1</v>"}) {
        DllReply reply = host.send(L"CreateView", data);
        EXPECT_EQ(reply.text, L"Failure") << testing::PrintToString(std::wstring(data));
        EXPECT_FALSE(reply.owned());
    }
    EXPECT_TRUE(host.envelopes().empty());
    EXPECT_TRUE(dialogsIn(window.hwnd()).empty());
    host.finalize();
    EXPECT_TRUE(host.envelopes().empty());
}

TEST_F(PanelViewTest, RefusedAttachKeepsTheDialogButLoadsNoPage) {
    container.replies[L"attachParentWindow"] = L"Failure";
    DllReply reply = createView(window.hwnd());
    EXPECT_EQ(reply.text, L"Failure");
    EXPECT_FALSE(reply.owned());
    EXPECT_EQ(namesOf(host.envelopes()), std::vector<std::wstring>{L"attachParentWindow"});
    EXPECT_TRUE(container.urls().empty());
    ASSERT_TRUE(IsWindow(container.dialog()));
    EXPECT_EQ(dialogsIn(window.hwnd()).size(), 1u);

    // The page path was never set: a reload asks for nothing.
    host.clearRecords();
    host.send(L"ReloadHTML");
    ASSERT_EQ(container.urls().size(), 1u);
    EXPECT_EQ(container.urls()[0], L"");

    // The view still exists and is closed as any other.
    host.clearRecords();
    EXPECT_EQ(host.finalize(), 1);
    ASSERT_EQ(namesOf(host.envelopes()), std::vector<std::wstring>{L"signalUIClose"});
    EXPECT_EQ(host.envelopes()[0].messageData, L"<data><guid>" + container.guid() + L"</guid></data>");
    EXPECT_FALSE(IsWindow(container.dialog()));
}

TEST_F(PanelViewTest, RefusedPageLoadKeepsTheViewWithItsSpinnerTurning) {
    container.replies[L"processURL"] = L"Failure";
    EXPECT_EQ(createView(window.hwnd()).text, L"Failure");
    EXPECT_EQ(namesOf(host.envelopes()), (std::vector<std::wstring>{L"attachParentWindow", L"processURL"}));
    ASSERT_TRUE(IsWindow(container.dialog()));
    EXPECT_TRUE(spinnerShown());
    // The page path was set before the load was asked for.
    host.send(L"ReloadHTML");
    ASSERT_EQ(container.urls().size(), 2u);
    EXPECT_EQ(container.urls()[1], pageOf(host.module()));
}

TEST_F(PanelViewTest, ShowAndHideWorkOnlyOnAViewAndShowAsksForOneRefresh) {
    for (const wchar_t* name : {L"ShowView", L"HideView", L"HideSpinner"}) {
        DllReply reply = host.send(name);
        EXPECT_EQ(reply.text, L"Success") << name;
        EXPECT_FALSE(reply.owned()) << name;
    }
    EXPECT_TRUE(host.envelopes().empty());

    createView();
    const HWND dialog = container.dialog();
    ASSERT_TRUE(IsWindow(container.webView()));
    EXPECT_EQ(host.send(L"ShowView").text, L"Success");
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_TRUE(IsWindowEnabled(dialog));
    ASSERT_EQ(namesOf(host.envelopes()), std::vector<std::wstring>{L"RefreshView"});
    const std::wstring& refresh = host.envelopes()[0].messageData;
    EXPECT_EQ(host.envelopes()[0].targetAppletID, L"HEX_UIX");
    EXPECT_EQ(elementText(refresh, L"guid"), container.guid());
    EXPECT_NE(refresh.find(L"<xmlData>"), std::wstring::npos) << testing::PrintToString(refresh);
    EXPECT_EQ(refresh.find(L"<url>"), std::wstring::npos);
    // Showing hands the focus to the web view.
    EXPECT_EQ(GetFocus(), container.webView());

    host.clearRecords();
    EXPECT_EQ(host.send(L"HideView").text, L"Success");
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_FALSE(IsWindowEnabled(dialog));
    EXPECT_TRUE(host.envelopes().empty());

    SetFocus(window.hwnd());
    host.send(L"ShowView");
    EXPECT_EQ(host.envelopesNamed(L"RefreshView").size(), 1u);
    EXPECT_EQ(GetFocus(), container.webView());

    // Stopping the spinner twice is harmless and sends nothing.
    host.clearRecords();
    EXPECT_EQ(host.send(L"HideSpinner").text, L"Success");
    EXPECT_EQ(host.send(L"HideSpinner").text, L"Success");
    EXPECT_FALSE(spinnerShown());
    EXPECT_TRUE(host.envelopes().empty());
}

TEST_F(PanelViewTest, ShowWithoutAWebViewFocusesNothingInTheDialog) {
    container.createWebView = false;
    createView();
    SetFocus(window.hwnd());
    host.send(L"ShowView");
    EXPECT_TRUE(IsWindowVisible(container.dialog()));
    EXPECT_NE(GetFocus(), spinner());
}

TEST_F(PanelViewTest, ResizeMakesTheWebViewFillTheDialogAboveTheSpinner) {
    createView();
    const HWND dialog = container.dialog();
    const HWND webView = container.webView();
    ASSERT_TRUE(IsWindow(webView));
    host.send(L"ShowView");
    const RECT spinnerBefore = rectInParent(spinner());

    ASSERT_TRUE(SetWindowPos(dialog, nullptr, 0, 0, 800, 600, SWP_NOZORDER | SWP_NOACTIVATE));
    const RECT view = rectInParent(webView);
    EXPECT_TRUE(sameRect(view, RECT{0, 0, 800, 600}))
        << view.left << "," << view.top << "," << view.right << "," << view.bottom;
    EXPECT_EQ(GetWindow(dialog, GW_CHILD), webView) << "the web view is on top";
    EXPECT_TRUE(sameRect(rectInParent(spinner()), spinnerBefore));

    ASSERT_TRUE(SetWindowPos(dialog, nullptr, 0, 0, 500, 300, SWP_NOZORDER | SWP_NOACTIVATE));
    EXPECT_TRUE(sameRect(rectInParent(webView), RECT{0, 0, 500, 300}));
}

TEST_F(PanelViewTest, ResizeWithoutAWebViewLeavesTheSpinnerAlone) {
    container.createWebView = false;
    createView();
    const RECT before = rectInParent(spinner());
    ASSERT_TRUE(SetWindowPos(container.dialog(), nullptr, 0, 0, 800, 600, SWP_NOZORDER | SWP_NOACTIVATE));
    EXPECT_TRUE(sameRect(rectInParent(spinner()), before));
}

TEST_F(PanelViewTest, FinalizeTellsTheContainerWhileTheDialogExistsAndSparesTheHostWindow) {
    createView();
    const HWND dialog = container.dialog();
    const HWND webView = container.webView();
    const std::wstring guid = container.guid();
    host.send(L"ShowView");
    bool dialogAliveWhenTold = false;
    bool webViewAliveWhenTold = false;
    container.during[L"signalUIClose"] = [&] {
        dialogAliveWhenTold = IsWindow(dialog) && IsWindowVisible(dialog);
        webViewAliveWhenTold = IsWindow(webView);
    };
    host.clearRecords();
    EXPECT_EQ(host.finalize(), 1);
    ASSERT_EQ(namesOf(host.envelopes()), std::vector<std::wstring>{L"signalUIClose"});
    EXPECT_EQ(host.envelopes()[0].targetAppletID, L"HEX_UIX");
    EXPECT_EQ(host.envelopes()[0].messageData, L"<data><guid>" + guid + L"</guid></data>");
    EXPECT_TRUE(dialogAliveWhenTold);
    EXPECT_TRUE(webViewAliveWhenTold);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_FALSE(IsWindow(webView));
    EXPECT_TRUE(IsWindow(window.hwnd()));
    EXPECT_TRUE(IsWindowVisible(window.hwnd()));

    // Nothing is left to close, and the messages of a view do nothing.
    host.clearRecords();
    EXPECT_EQ(host.finalize(), 1);
    host.send(L"ShowView");
    host.send(L"HideSpinner");
    EXPECT_TRUE(host.envelopes().empty());
}

TEST_F(PanelViewTest, HostWindowDestroyedUnderThePanelIsNotToldAgain) {
    HostWindow other(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300);
    ASSERT_EQ(createView(other.hwnd()).text, handleText(other.hwnd()));
    const HWND dialog = container.dialog();
    DestroyWindow(other.hwnd());
    EXPECT_FALSE(IsWindow(dialog));
    host.clearRecords();
    EXPECT_EQ(host.send(L"ShowView").text, L"Success");
    EXPECT_EQ(host.send(L"HideSpinner").text, L"Success");
    EXPECT_EQ(host.finalize(), 1);
    EXPECT_TRUE(host.envelopes().empty());
    // A new view in another window works as the first.
    createView();
    EXPECT_EQ(dialogsIn(window.hwnd()).size(), 1u);
}

TEST_F(PanelViewTest, SecondCreateViewClosesTheFirstView) {
    createView();
    const HWND first = container.dialog();
    const HWND firstWebView = container.webView();
    const std::wstring firstGuid = container.guid();
    // The container still knows the closing view when it is told.
    std::vector<bool> aliveWhenTold;
    container.during[L"signalUIClose"] = [&] { aliveWhenTold.push_back(IsWindow(container.dialog())); };

    HostWindow other(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 500, 400);
    for (HWND parent : {window.hwnd(), other.hwnd()}) {
        const HWND previous = container.dialog();
        const std::wstring previousGuid = container.guid();
        host.clearRecords();
        ASSERT_EQ(createView(parent).text, handleText(parent));
        ASSERT_EQ(namesOf(host.envelopes()),
                  (std::vector<std::wstring>{L"signalUIClose", L"attachParentWindow", L"processURL"}));
        EXPECT_EQ(host.envelopes()[0].messageData, L"<data><guid>" + previousGuid + L"</guid></data>");
        EXPECT_FALSE(IsWindow(previous));
        EXPECT_NE(container.guid(), previousGuid);
        EXPECT_TRUE(isRegistryGuid(container.guid()));
        EXPECT_EQ(GetParent(container.dialog()), parent);
    }
    EXPECT_EQ(aliveWhenTold, (std::vector<bool>{true, true}));
    EXPECT_FALSE(IsWindow(first));
    EXPECT_FALSE(IsWindow(firstWebView));
    EXPECT_TRUE(dialogsIn(window.hwnd()).empty());
    EXPECT_EQ(dialogsIn(other.hwnd()).size(), 1u);
    EXPECT_TRUE(IsWindow(window.hwnd()));
    EXPECT_NE(firstGuid, container.guid());

    // The new view answers the view messages and is what finalize closes.
    host.clearRecords();
    host.send(L"ShowView");
    EXPECT_TRUE(IsWindowVisible(container.dialog()));
    EXPECT_EQ(elementText(host.envelopesNamed(L"RefreshView").at(0).messageData, L"guid"), container.guid());
    host.clearRecords();
    host.finalize();
    ASSERT_EQ(host.envelopesNamed(L"signalUIClose").size(), 1u);
    EXPECT_EQ(elementText(host.envelopesNamed(L"signalUIClose")[0].messageData, L"guid"), container.guid());
    EXPECT_TRUE(dialogsIn(other.hwnd()).empty());
}

// Re-entrant hosts ----------------------------------------------------------------

TEST_F(PanelViewTest, LoadEndFiredFromInsideProcessUrlIsRelayed) {
    int fired = -1;
    container.during[L"processURL"] = [&] { fired = container.fire(L"OnLoadEnd", L"file:///C:/page.html"); };
    EXPECT_EQ(createView(window.hwnd()).text, handleText(window.hwnd()));
    EXPECT_EQ(fired, 0);
    ASSERT_EQ(namesOf(host.envelopes()),
              (std::vector<std::wstring>{L"attachParentWindow", L"processURL", L"OnLoadEnd"}));
    const Envelope& relay = host.envelopes()[2];
    EXPECT_EQ(relay.targetAppletID, L"HalvetPanel_BL");
    EXPECT_EQ(elementText(relay.messageData, L"loadUrl"), L"file:///C:/page.html");
    EXPECT_TRUE(spinnerShown());
    host.clearRecords();
    host.send(L"ShowView");
    EXPECT_EQ(host.envelopesNamed(L"RefreshView").size(), 1u);
}

TEST_F(PanelViewTest, HideSpinnerFromInsideASendIsNotUndone) {
    // The page may finish (and the host stop the spinner) before the request
    // to load it returns.
    container.during[L"processURL"] = [&] { EXPECT_EQ(host.send(L"HideSpinner").text, L"Success"); };
    EXPECT_EQ(createView(window.hwnd()).text, handleText(window.hwnd()));
    EXPECT_FALSE(spinnerShown());

    // From inside the refresh of "ShowView".
    container.during.clear();
    host.send(L"ReloadHTML");
    ASSERT_TRUE(spinnerShown());
    container.during[L"RefreshView"] = [&] { host.send(L"HideSpinner"); };
    host.send(L"ShowView");
    EXPECT_FALSE(spinnerShown());
    EXPECT_TRUE(IsWindowVisible(container.dialog()));
}

TEST_F(PanelViewTest, FinalizeFromInsideAttachParentWindowEndsTheViewCleanly) {
    bool once = true;
    container.during[L"attachParentWindow"] = [&] {
        if (once) {
            once = false;
            EXPECT_EQ(host.finalize(), 1);
        }
    };
    DllReply reply = createView(window.hwnd());
    EXPECT_EQ(reply.text, L"Failure");
    // The nested close told the container; no page was asked for.
    EXPECT_EQ(namesOf(host.envelopes()), (std::vector<std::wstring>{L"attachParentWindow", L"signalUIClose"}));
    EXPECT_EQ(elementText(host.envelopes()[1].messageData, L"guid"), container.guid());
    EXPECT_FALSE(IsWindow(container.dialog()));
    EXPECT_TRUE(dialogsIn(window.hwnd()).empty());
    EXPECT_TRUE(IsWindow(window.hwnd()));

    host.clearRecords();
    host.send(L"ShowView");
    EXPECT_TRUE(host.envelopes().empty());
    createView();
    EXPECT_EQ(dialogsIn(window.hwnd()).size(), 1u);
}

TEST_F(PanelViewTest, FinalizeFromInsideProcessUrlEndsTheViewCleanly) {
    container.during[L"processURL"] = [&] { EXPECT_EQ(host.finalize(), 1); };
    // The view that the request made is gone: nothing to report as made.
    EXPECT_EQ(createView(window.hwnd()).text, L"Failure");
    EXPECT_EQ(namesOf(host.envelopes()),
              (std::vector<std::wstring>{L"attachParentWindow", L"processURL", L"signalUIClose"}));
    EXPECT_FALSE(IsWindow(container.dialog()));
    EXPECT_TRUE(dialogsIn(window.hwnd()).empty());
    EXPECT_TRUE(IsWindow(window.hwnd()));
    host.clearRecords();
    host.send(L"ShowView");
    host.send(L"HideSpinner");
    EXPECT_TRUE(host.envelopes().empty());
}

TEST_F(PanelViewTest, ViewReplacedFromInsideAttachParentWindowIsNotLoadedTwice) {
    // The host closes the view and makes another before the first attach returns.
    bool once = true;
    DllReply inner;
    container.during[L"attachParentWindow"] = [&] {
        if (!once) return;
        once = false;
        host.finalize();
        inner = createView(window.hwnd());
    };
    DllReply outer = createView(window.hwnd());
    EXPECT_EQ(inner.text, handleText(window.hwnd()));
    EXPECT_EQ(outer.text, L"Failure");
    const std::vector<Envelope> loads = host.envelopesNamed(L"processURL");
    ASSERT_EQ(loads.size(), 1u);
    EXPECT_EQ(elementText(loads[0].messageData, L"guid"), container.guid());
    ASSERT_EQ(dialogsIn(window.hwnd()).size(), 1u);
    EXPECT_EQ(dialogsIn(window.hwnd())[0], container.dialog());
    host.clearRecords();
    host.send(L"ShowView");
    EXPECT_EQ(elementText(host.envelopesNamed(L"RefreshView").at(0).messageData, L"guid"), container.guid());
}

TEST_F(PanelViewTest, CreateViewFromInsideTheCloseKeepsTheNewView) {
    createView();
    const HWND first = container.dialog();
    bool once = true;
    container.during[L"signalUIClose"] = [&] {
        if (once) createView(window.hwnd());
        once = false;
    };
    EXPECT_EQ(host.finalize(), 1);
    EXPECT_FALSE(IsWindow(first));
    ASSERT_EQ(dialogsIn(window.hwnd()).size(), 1u);
    const HWND second = dialogsIn(window.hwnd())[0];
    EXPECT_EQ(second, container.dialog());
    EXPECT_EQ(GetParent(second), window.hwnd());
    host.clearRecords();
    EXPECT_EQ(host.finalize(), 1);
    EXPECT_EQ(host.envelopesNamed(L"signalUIClose").size(), 1u);
    EXPECT_FALSE(IsWindow(second));
}

TEST_F(PanelViewTest, CreateViewFromInsideTheCloseOfASecondCreateViewIsClosedInTurn) {
    // The nested view is closed with its own "signalUIClose"; the outer call
    // then builds its view, and the host is left with the view it replied last.
    createView();
    const std::wstring first = container.guid();
    HostWindow other(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 500, 400);
    bool once = true;
    DllReply inner;
    std::wstring nested;
    container.during[L"signalUIClose"] = [&] {
        if (!once) return;
        once = false;
        inner = createView(other.hwnd());
        nested = container.guid();
    };
    const DllReply outer = createView(window.hwnd());
    EXPECT_EQ(inner.text, handleText(other.hwnd()));
    EXPECT_EQ(outer.text, handleText(window.hwnd()));
    ASSERT_EQ(namesOf(host.envelopes()),
              (std::vector<std::wstring>{L"signalUIClose", L"attachParentWindow", L"processURL",
                                         L"signalUIClose", L"attachParentWindow", L"processURL"}));
    EXPECT_EQ(elementText(host.envelopes()[0].messageData, L"guid"), first);
    EXPECT_EQ(elementText(host.envelopes()[3].messageData, L"guid"), nested);
    EXPECT_NE(container.guid(), nested);
    EXPECT_TRUE(dialogsIn(other.hwnd()).empty());
    ASSERT_EQ(dialogsIn(window.hwnd()).size(), 1u);
    EXPECT_EQ(dialogsIn(window.hwnd())[0], container.dialog());

    host.clearRecords();
    host.finalize();
    ASSERT_EQ(host.envelopesNamed(L"signalUIClose").size(), 1u);
    EXPECT_EQ(elementText(host.envelopes()[0].messageData, L"guid"), container.guid());
}

TEST_F(PanelViewTest, FinalizeFromInsideTheCloseOfASecondCreateViewStopsIt) {
    createView();
    container.during[L"signalUIClose"] = [&] { EXPECT_EQ(host.finalize(), 1); };
    EXPECT_EQ(createView(window.hwnd()).text, L"Failure");
    EXPECT_EQ(namesOf(host.envelopes()), std::vector<std::wstring>{L"signalUIClose"});
    EXPECT_TRUE(dialogsIn(window.hwnd()).empty());
    host.clearRecords();
    host.send(L"ShowView");
    host.finalize();
    EXPECT_TRUE(host.envelopes().empty());
}

// Host code in the host's own window procedures: the panel's window calls
// reach them synchronously, and the host may close the panel there.

TEST_F(PanelViewTest, FinalizeFromTheWebViewsFocusEndsTheViewWithoutNamingItAgain) {
    createView();
    ASSERT_TRUE(IsWindow(container.webView()));
    SetFocus(window.hwnd());
    MessageHook webView(container.webView());
    ASSERT_TRUE(webView.installed());
    int finalizes = 0;
    webView.on[WM_SETFOCUS] = [&](WPARAM, LPARAM) {
        if (finalizes++ == 0) EXPECT_EQ(host.finalize(), 1);
    };
    EXPECT_EQ(host.send(L"ShowView").text, L"Success");
    EXPECT_EQ(finalizes, 1);
    // The close told the container, and nothing named the closed view after it.
    ASSERT_EQ(namesOf(host.envelopes()), std::vector<std::wstring>{L"signalUIClose"});
    EXPECT_EQ(elementText(host.envelopes()[0].messageData, L"guid"), container.guid());
    EXPECT_FALSE(IsWindow(container.dialog()));
    EXPECT_TRUE(dialogsIn(window.hwnd()).empty());
    EXPECT_TRUE(IsWindow(window.hwnd()));

    // The panel is sane afterwards: no view answers, a new one can be made.
    host.clearRecords();
    host.send(L"ShowView");
    host.send(L"HideView");
    EXPECT_TRUE(host.envelopes().empty());
    createView();
    EXPECT_EQ(dialogsIn(window.hwnd()).size(), 1u);
}

TEST_F(PanelViewTest, FinalizeFromTheHostWindowWhileTheDialogIsMadeBuildsNothing) {
    constexpr UINT kAddView = 0x1BD6;
    MessageHook hostWindow(window.hwnd());
    ASSERT_TRUE(hostWindow.installed());
    int finalizes = 0;
    hostWindow.on[kAddView] = [&](WPARAM, LPARAM) {
        if (finalizes++ == 0) EXPECT_EQ(host.finalize(), 1);
    };
    EXPECT_EQ(createView(window.hwnd()).text, L"Failure");
    EXPECT_EQ(finalizes, 1);
    // The container never heard of the view: nothing attached, nothing closed.
    EXPECT_TRUE(host.envelopes().empty()) << testing::PrintToString(namesOf(host.envelopes()));
    EXPECT_TRUE(dialogsIn(window.hwnd()).empty());
    EXPECT_TRUE(IsWindow(window.hwnd()));

    host.clearRecords();
    host.send(L"ShowView");
    host.send(L"HideSpinner");
    host.finalize();
    EXPECT_TRUE(host.envelopes().empty());
    createView();
    EXPECT_EQ(dialogsIn(window.hwnd()).size(), 1u);
    EXPECT_EQ(finalizes, 2);
}

namespace {

bool heapsValid() {
    HANDLE heaps[256];
    const DWORD count = GetProcessHeaps(256, heaps);
    for (DWORD i = 0; i < count && i < 256; ++i)
        if (!HeapValidate(heaps[i], 0, nullptr)) return false;
    return true;
}

}  // namespace

TEST_F(PanelViewTest, FinalizeFromTheWebViewsFocusWhenTheDialogPassesItOnLeavesTheHeapSound) {
    createView();
    host.send(L"ShowView");
    ASSERT_EQ(GetFocus(), container.webView());
    SetFocus(window.hwnd());
    MessageHook webView(container.webView());
    int finalizes = 0;
    webView.on[WM_SETFOCUS] = [&](WPARAM, LPARAM) {
        if (finalizes++ == 0) EXPECT_EQ(host.finalize(), 1);
    };
    host.clearRecords();
    // The dialog itself is given the focus and hands it to the web view.
    SetFocus(container.dialog());
    EXPECT_EQ(finalizes, 1);
    EXPECT_EQ(namesOf(host.envelopes()), std::vector<std::wstring>{L"signalUIClose"});
    EXPECT_FALSE(IsWindow(container.dialog()));
    EXPECT_TRUE(heapsValid());
    createView();
    EXPECT_TRUE(heapsValid());
}
