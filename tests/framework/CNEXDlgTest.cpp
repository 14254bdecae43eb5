// Click reporting of the dialog root, with real dialogs under the null driver.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/TestWindows.h"
#include "dialogs/CNEXDlg.h"

namespace {

std::vector<std::string> order;

class RecordingSink : public DialogEventSink {
public:
    std::wstring handleEvent(const EventMap& event) override {
        order.push_back("sink");
        events.push_back(event);
        if (throws) throw 1;
        return L"ignored";
    }
    std::vector<EventMap> events;
    bool throws = false;
};

// A dialog whose own click handling records that it ran.
class ClickDialog : public CNEXDlg {
public:
    ClickDialog() : CNEXDlg(0) {}
    bool filterEvent(EventMap& event) override {
        ++filtered;
        return letThrough;
    }
    int filtered = 0;
    bool letThrough = true;
    std::vector<UINT> commands;

protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
        if (message == WM_COMMAND) {
            order.push_back("handler");
            commands.push_back(static_cast<UINT>(wParam));
        }
        return CNEXDlg::OnWndMsg(message, wParam, lParam, result);
    }
};

const DialogTemplate& buttonTemplate() {
    static DialogTemplate t =
        DialogTemplate(WS_POPUP, 100, 60)
            .add(L"Button", 1001, WS_VISIBLE | BS_PUSHBUTTON, 5, 5, 40, 14, L"OK");
    return t;
}

LRESULT notify(CWnd& dialog, UINT_PTR idFrom, int code) {
    NMHDR header{nullptr, idFrom, static_cast<UINT>(code)};
    return dialog.SendMessage(WM_NOTIFY, idFrom, reinterpret_cast<LPARAM>(&header));
}

class CNEXDlgTest : public testing::Test {
protected:
    void SetUp() override {
        order.clear();
        ASSERT_TRUE(dialog.CreateIndirect(buttonTemplate().get()));
        dialog.eventSink = &sink;
    }
    RecordingSink sink;
    ClickDialog dialog;
};

}  // namespace

TEST_F(CNEXDlgTest, ButtonClickReachesSinkOnceBeforeTheDialogsHandler) {
    HWND button = GetDlgItem(dialog.m_hWnd, 1001);
    ASSERT_NE(button, nullptr);
    dialog.SendMessage(WM_COMMAND, MAKEWPARAM(1001, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    ASSERT_EQ(sink.events.size(), 1u);
    EXPECT_EQ(sink.events[0], (EventMap{{L"componentID", L"1001"}, {L"event", L"click"}}));
    EXPECT_EQ(order, (std::vector<std::string>{"sink", "handler"}));
}

TEST_F(CNEXDlgTest, ReportsClicksAndAcceleratorsButNoOtherNotifications) {
    dialog.SendMessage(WM_COMMAND, MAKEWPARAM(1002, EN_CHANGE), 0);
    dialog.SendMessage(WM_COMMAND, MAKEWPARAM(2, 2), 0);
    EXPECT_TRUE(sink.events.empty());
    dialog.SendMessage(WM_COMMAND, MAKEWPARAM(40001, 1), 0);
    ASSERT_EQ(sink.events.size(), 1u);
    EXPECT_EQ(sink.events[0].at(L"componentID"), L"40001");
    // Every command still reaches the dialog's own handling.
    EXPECT_EQ(dialog.commands.size(), 3u);
}

TEST_F(CNEXDlgTest, NotifyClickReportsSignedIdentifierAndOtherCodesNothing) {
    notify(dialog, 7, NM_DBLCLK);
    notify(dialog, 7, NM_RETURN);
    EXPECT_TRUE(sink.events.empty());
    notify(dialog, 0xFFFFFFFFu, NM_CLICK);
    notify(dialog, 65535, NM_CLICK);
    ASSERT_EQ(sink.events.size(), 2u);
    EXPECT_EQ(sink.events[0].at(L"componentID"), L"-1");
    EXPECT_EQ(sink.events[1].at(L"componentID"), L"65535");
}

TEST_F(CNEXDlgTest, NullSinkOrRefusingFilterDeliversNothingAndHandlingGoesOn) {
    dialog.letThrough = false;
    dialog.SendMessage(WM_COMMAND, MAKEWPARAM(1001, BN_CLICKED), 0);
    EXPECT_EQ(dialog.filtered, 1);
    dialog.letThrough = true;
    dialog.eventSink = nullptr;
    dialog.SendMessage(WM_COMMAND, MAKEWPARAM(1001, BN_CLICKED), 0);
    EXPECT_EQ(dialog.filtered, 2);
    EXPECT_TRUE(sink.events.empty());
    EXPECT_EQ(order, (std::vector<std::string>{"handler", "handler"}));
}

TEST_F(CNEXDlgTest, ThrowingSinkDoesNotCostTheDialogItsHandler) {
    sink.throws = true;
    dialog.SendMessage(WM_COMMAND, MAKEWPARAM(1001, BN_CLICKED), 0);
    EXPECT_EQ(order, (std::vector<std::string>{"sink", "handler"}));
}

TEST_F(CNEXDlgTest, RealButtonClickIsReported) {
    HWND button = GetDlgItem(dialog.m_hWnd, 1001);
    ShowWindow(dialog.m_hWnd, SW_SHOW);
    SendMessageW(button, BM_CLICK, 0, 0);
    pumpMessages();
    ASSERT_EQ(sink.events.size(), 1u);
    EXPECT_EQ(order, (std::vector<std::string>{"sink", "handler"}));
}

TEST(CNEXDlgInheritTest, ChildOfFrameworkDialogAdoptsSinkChildOfPlainWindowDoesNot) {
    RecordingSink sink;
    ClickDialog parent;
    parent.eventSink = &sink;
    ASSERT_TRUE(parent.CreateIndirect(buttonTemplate().get()));

    DialogTemplate childTemplate(WS_CHILD, 40, 20);
    ClickDialog child;
    ASSERT_TRUE(child.CreateIndirect(childTemplate.get(), &parent));
    EXPECT_EQ(child.eventSink, &sink);

    HostWindow plain(WS_POPUP, 0, 0, 100, 100);
    CWnd plainWrapper;
    ASSERT_TRUE(plainWrapper.Attach(plain.hwnd()));
    ClickDialog orphan;
    ASSERT_TRUE(orphan.CreateIndirect(childTemplate.get(), &plainWrapper));
    EXPECT_EQ(orphan.eventSink, nullptr);
    orphan.DestroyWindow();
    plainWrapper.Detach();
}
