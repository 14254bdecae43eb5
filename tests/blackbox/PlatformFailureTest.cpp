// The panel when the platform fails it: one call of the DLL's own failing the
// way the system fails it (through the DLL's import table), on the roads
// where the fault campaign found the panel wanting. Each reply is one the
// protocol names, no view is left half made or closed without the container
// hearing of it, and the next road works.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/XmlDocument.h"
#include "support/FakeContainer.h"
#include "support/FakeHost.h"
#include "support/FaultSwitch.h"
#include "support/TestWindows.h"

using halvet::test::elementText;
using halvet::test::Envelope;
using halvet::test::FakeContainer;
using halvet::test::FakeHost;
using halvet::test::FaultSwitch;
using halvet::test::Faulty;
using halvet::test::HostReply;

namespace {

std::wstring handleText(HWND window) {
    wchar_t text[32];
    swprintf(text, 32, L"0x%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
    return text;
}

std::set<HWND> childWindows(HWND parent) {
    std::set<HWND> children;
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) children.insert(c);
    return children;
}

// Windows of `after` that `before` did not have.
size_t newWindows(const std::set<HWND>& before, const std::set<HWND>& after) {
    size_t n = 0;
    for (HWND w : after) n += before.count(w) ? 0 : 1;
    return n;
}

class PlatformFailureTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.loaded());
        host.setDefaultResponder([](const Envelope&) { return HostReply::owned(L""); });
        ASSERT_GT(faults.install(host.module()), 40);
        ASSERT_EQ(host.initialize(), 1);
    }
    void TearDown() override {
        faults.clearFailure();
        faults.uninstall();
    }

    // The step with the n-th call of `function` failing; whether it failed.
    template <typename Step>
    bool failing(Faulty function, uint32_t n, Step step) {
        faults.startCounting();
        faults.failCall(function, n);
        step();
        faults.stopCounting();
        const bool given = faults.failuresGiven() > 0;
        faults.clearFailure();
        return given;
    }
    // Calls of `function` that the step makes with nothing failing.
    template <typename Step>
    uint32_t callsOf(Faulty function, Step step) {
        faults.startCounting();
        step();
        faults.stopCounting();
        return faults.calls(function);
    }

    std::wstring createView() { return host.send(L"CreateView", createData).text; }

    // Every view the container was told of was closed with its own
    // "signalUIClose", except `open`.
    void expectClosedExcept(const std::wstring& open) {
        std::set<std::wstring> closed;
        for (const auto& e : host.envelopesNamed(L"signalUIClose"))
            closed.insert(elementText(e.messageData, L"guid"));
        for (const auto& e : host.envelopesNamed(L"attachParentWindow")) {
            const std::wstring guid = elementText(e.messageData, L"guid");
            if (guid == open) continue;
            EXPECT_TRUE(closed.count(guid)) << "view lost: " << testing::PrintToString(guid);
        }
    }
    // Every envelope sent carries a document.
    void expectWellFormedEnvelopes() {
        for (const auto& e : host.envelopes()) {
            refhost::XmlDocument document;
            EXPECT_TRUE(document.load(e.messageData)) << testing::PrintToString(e);
        }
    }
    // A "CreateView" reply: the whole view, or no new window in the host's
    // (an earlier view may stay, or be closed).
    void expectWholeViewOrNone(const std::wstring& reply, const std::set<HWND>& before = {}) {
        pumpMessages();
        if (reply == L"Failure") {
            // A request that could not be sent for want of memory reads as
            // the container refusing it: as with a refusal, a view that was
            // already announced stays, and is closed as any other.
            if (newWindows(before, childWindows(window.hwnd())) == 0u) {
                expectClosedExcept(L"");
            } else {
                EXPECT_TRUE(IsWindow(container.dialog()));
                expectClosedExcept(container.guid());
            }
            return;
        }
        ASSERT_EQ(reply, parentText);
        EXPECT_TRUE(IsWindow(container.dialog()));
        const auto requests = host.envelopesNamed(L"processURL");
        ASSERT_FALSE(requests.empty());
        EXPECT_NE(requests.back().messageData.find(container.guid()), std::wstring::npos);
        expectClosedExcept(container.guid());
    }

    HostWindow window{WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640, 480};
    FakeHost host;
    FakeContainer container{host};
    FaultSwitch& faults = FaultSwitch::instance();
    const std::wstring parentText = handleText(window.hwnd());
    const std::wstring createData = L"<v><parentViewPtr>" + parentText + L"</parentViewPtr></v>";
};

// No dialog window (no template, no window from the window manager): the
// reply is "Failure", the container is told of no view, and the next
// "CreateView" makes one.
TEST_F(PlatformFailureTest, ViewWithoutItsDialogWindowIsNotMade) {
    for (Faulty f : {Faulty::CreateDialogIndirectParamW, Faulty::FindResourceW,
                     Faulty::LoadResource, Faulty::LockResource}) {
        SCOPED_TRACE(halvet::test::faultyInfo(f).name);
        host.clearRecords();
        std::wstring reply;
        ASSERT_TRUE(failing(f, 1, [&] { reply = createView(); }));
        EXPECT_EQ(reply, L"Failure");
        EXPECT_TRUE(host.envelopesNamed(L"attachParentWindow").empty());
        pumpMessages();
        EXPECT_TRUE(childWindows(window.hwnd()).empty());
        EXPECT_EQ(createView(), parentText);
        EXPECT_TRUE(IsWindow(container.dialog()));
    }
}

// Without a fresh GUID there is no view to name, and no font file either.
TEST_F(PlatformFailureTest, NoGuidNoViewAndNoFontFile) {
    std::wstring reply;
    ASSERT_TRUE(failing(Faulty::CoCreateGuid, 1, [&] { reply = createView(); }));
    EXPECT_EQ(reply, L"Failure");
    EXPECT_TRUE(host.envelopesNamed(L"attachParentWindow").empty());
    ASSERT_EQ(createView(), parentText);
    host.clearRecords();
    ASSERT_TRUE(failing(Faulty::CoCreateGuid, 1, [&] { reply = host.send(L"ProcessFonts").text; }));
    EXPECT_EQ(reply, L"Success");
    EXPECT_TRUE(host.envelopesNamed(L"processMessageForJSON").empty());
}

// Memory, or an automation string, running out at any point of a
// "CreateView": the whole view with its page asked for, or "Failure" with
// nothing left behind; every request to the container a document.
TEST_F(PlatformFailureTest, EveryShortageInCreateViewLeavesAWholeViewOrNone) {
    ASSERT_EQ(createView(), parentText);
    for (Faulty f : {Faulty::malloc, Faulty::SysAllocStringLen}) {
        const uint32_t count = callsOf(f, [&] { createView(); });
        ASSERT_GT(count, 0u);
        for (uint32_t n = 1; n <= count && !HasFailure(); ++n) {
            SCOPED_TRACE(std::string(halvet::test::faultyInfo(f).name) + " call " + std::to_string(n));
            host.clearRecords();
            const std::set<HWND> before = childWindows(window.hwnd());
            std::wstring reply;
            failing(f, n, [&] { reply = createView(); });
            expectWholeViewOrNone(reply, before);
            expectWellFormedEnvelopes();
        }
    }
    EXPECT_EQ(createView(), parentText);
}

// Memory running out in the messages of a shown view: the protocol's
// replies, never the empty text, and only documents to the container.
TEST_F(PlatformFailureTest, ShortageInAMessageGivesTheFailureReplyNeverEmpty) {
    ASSERT_EQ(createView(), parentText);
    host.send(L"ShowView");
    const std::pair<const wchar_t*, const wchar_t*> messages[] = {
        {L"ShowView", L""}, {L"ProcessFonts", L""}, {L"ContentForHTML", L"<c><x>1</x></c>"},
        {L"ReloadHTML", L""}, {L"LoadBlank", L""}};
    for (const auto& [name, data] : messages) {
        const uint32_t count = callsOf(Faulty::malloc, [&] { host.send(name, data); });
        for (uint32_t n = 1; n <= count && !HasFailure(); ++n) {
            SCOPED_TRACE(testing::PrintToString(std::wstring(name)) + " malloc call " + std::to_string(n));
            host.clearRecords();
            std::wstring reply;
            failing(Faulty::malloc, n, [&] { reply = host.send(name, data).text; });
            EXPECT_TRUE(reply == L"Success" || reply == L"Failure") << testing::PrintToString(reply);
            expectWellFormedEnvelopes();
        }
    }
}

// A finalize short of memory still tells the container that the view closes.
TEST_F(PlatformFailureTest, FinalizeShortOfMemoryStillClosesTheView) {
    // The first allocations a close could make: those of the message to the
    // container, and of the font file's deletion.
    for (uint32_t n = 1; n <= 12 && !HasFailure(); ++n) {
        SCOPED_TRACE("malloc call " + std::to_string(n));
        ASSERT_EQ(createView(), parentText);
        ASSERT_EQ(host.send(L"ProcessFonts").text, L"Success");
        host.clearRecords();
        const std::wstring guid = container.guid();
        int result = -1;
        failing(Faulty::malloc, n, [&] { result = host.finalize(); });
        EXPECT_EQ(result, 1);
        pumpMessages();
        const auto closes = host.envelopesNamed(L"signalUIClose");
        ASSERT_EQ(closes.size(), 1u);
        EXPECT_EQ(elementText(closes[0].messageData, L"guid"), guid);
        EXPECT_FALSE(IsWindow(container.dialog()));
    }
}

// The image library's own allocator running out while the first view decodes
// its spinner: the view is made (its ring waits for a later picture) or
// refused, and the process goes on.
TEST_F(PlatformFailureTest, FirstViewSurvivesTheImageLibraryRunningOutOfMemory) {
    std::wstring reply;
    ASSERT_TRUE(failing(Faulty::GdipAlloc, 1, [&] { reply = createView(); }));
    expectWholeViewOrNone(reply);
    EXPECT_EQ(createView(), parentText);
}

TEST_F(PlatformFailureTest, ClonedPictureSurvivesTheImageLibraryRunningOutOfMemory) {
    std::wstring reply;
    ASSERT_TRUE(failing(Faulty::GdipAlloc, 2, [&] { reply = createView(); }));
    expectWholeViewOrNone(reply);
    EXPECT_EQ(createView(), parentText);
}

// The first allocations of the module's first call (the runtime's own
// first-use state among them) failing: initialize answers, and a host that
// initializes again gets a working panel.
TEST(PlatformFailureInitializeTest, InitializeSurvivesTheFirstAllocationsFailing) {
    for (Faulty f : {Faulty::malloc, Faulty::calloc}) {
        for (uint32_t n = 1; n <= 3; ++n) {
            SCOPED_TRACE(std::string(halvet::test::faultyInfo(f).name) + " call " + std::to_string(n));
            HostWindow window(WS_OVERLAPPEDWINDOW, 0, 0, 640, 480);
            FakeHost host;
            ASSERT_TRUE(host.loaded());
            host.setDefaultResponder([](const Envelope&) { return HostReply::owned(L""); });
            FakeContainer container(host);
            FaultSwitch& faults = FaultSwitch::instance();
            ASSERT_GT(faults.install(host.module()), 40);
            faults.startCounting();
            faults.failCall(f, n);
            const int result = host.initialize();
            faults.stopCounting();
            faults.clearFailure();
            EXPECT_TRUE(result == 0 || result == 1);
            if (result == 0) {
                EXPECT_EQ(host.initialize(), 1);
            }
            const std::wstring parent = handleText(window.hwnd());
            EXPECT_EQ(host.send(L"CreateView", L"<v><parentViewPtr>" + parent + L"</parentViewPtr></v>").text,
                      parent);
            EXPECT_EQ(host.finalize(), 1);
            faults.uninstall();
        }
    }
}

}  // namespace
