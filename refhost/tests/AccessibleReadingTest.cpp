// What the host records of the panel's windows for assistive technology, read
// through the platform's accessibility interface, and how the trace writes it.
#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include "recording/AccessibleReading.h"
#include "recording/Trace.h"

using refhost::AccessibleReading;
using refhost::EntryKind;
using refhost::Trace;
using refhost::TraceEntry;

namespace {

struct OwnedWindow {
    HWND hwnd;
    ~OwnedWindow() {
        if (hwnd) DestroyWindow(hwnd);
    }
};

}  // namespace

// Every descendant of the holder is read, the holder itself is not.
TEST(AccessibleReadingTest, ReadsEachWindowBelowTheHolderWithTheObjectsRoleNameAndState) {
    OwnedWindow holder{CreateWindowExW(0, L"Static", L"host's own", WS_POPUP | WS_VISIBLE, 0, 0,
                                       300, 200, nullptr, nullptr, nullptr, nullptr)};
    ASSERT_NE(holder.hwnd, nullptr);
    HWND dialog = CreateWindowExW(0, L"Static", L"the panel", WS_CHILD | WS_VISIBLE, 0, 0, 300, 200,
                                  holder.hwnd, nullptr, nullptr, nullptr);
    HWND hidden = CreateWindowExW(0, L"Static", L"", WS_CHILD, 10, 10, 37, 37, dialog,
                                  reinterpret_cast<HMENU>(3038), nullptr, nullptr);
    ASSERT_TRUE(dialog && hidden);

    const std::vector<AccessibleReading> readings = refhost::readAccessibleWindows(holder.hwnd);
    ASSERT_EQ(readings.size(), 2u);
    EXPECT_EQ(readings[0].window, L"Static");
    EXPECT_TRUE(readings[0].named);
    EXPECT_EQ(readings[0].name, L"the panel");
    EXPECT_EQ(readings[0].role, ROLE_SYSTEM_CLIENT);
    EXPECT_FALSE(readings[0].roleText.empty());
    EXPECT_FALSE(readings[0].state & STATE_SYSTEM_INVISIBLE);

    EXPECT_EQ(readings[1].window, L"Static 3038");
    EXPECT_FALSE(readings[1].named);
    EXPECT_TRUE(readings[1].state & STATE_SYSTEM_INVISIBLE);
    wchar_t invisible[64] = {};
    GetStateTextW(STATE_SYSTEM_INVISIBLE, invisible, 64);
    EXPECT_NE(readings[1].stateText.find(invisible), std::wstring::npos) << readings[1].stateText;
    EXPECT_NE(readings[1].line().find(L"Static 3038: "), std::wstring::npos);
    EXPECT_NE(readings[1].line().find(L"no name"), std::wstring::npos);

    EXPECT_TRUE(refhost::readAccessibleWindows(nullptr).empty());
}

// The readable line and the JSON object carry the same reading and the
// picture it belongs to.
TEST(AccessibleReadingTest, TraceWritesTheReadingBesideItsPicture) {
    TraceEntry e;
    e.kind = EntryKind::Accessible;
    e.ref = 7;
    e.accessible.window = L"Static 3038";
    e.accessible.role = ROLE_SYSTEM_PROGRESSBAR;
    e.accessible.roleText = L"progress bar";
    e.accessible.named = true;
    e.accessible.name = L"Loading \"now\"";
    e.accessible.state = STATE_SYSTEM_READONLY | STATE_SYSTEM_BUSY;
    e.accessible.stateText = L"read only, busy";
    const std::string json = Trace::jsonLine(e);
    EXPECT_NE(json.find("\"kind\":\"accessible\",\"ref\":7,\"window\":\"Static 3038\",\"role\":48,"
                        "\"roleText\":\"progress bar\",\"name\":\"Loading \\\"now\\\"\","
                        "\"state\":2112,\"stateText\":\"read only, busy\"}"),
              std::string::npos)
        << json;
    const std::string text = Trace::textLine(e);
    EXPECT_NE(
        text.find("accessible at picture #7  Static 3038: progress bar (48), \"Loading \"now\"\""),
        std::string::npos)
        << text;
    EXPECT_NE(text.find("read only, busy (0x840)"), std::string::npos) << text;

    // Without a name the object says so, and the JSON has no name at all.
    e.accessible.named = false;
    e.accessible.name.clear();
    EXPECT_EQ(Trace::jsonLine(e).find("\"name\""), std::string::npos);
    EXPECT_NE(Trace::textLine(e).find("no name"), std::string::npos);
}
