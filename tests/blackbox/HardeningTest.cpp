// Hostile documents through every door of the DLL: entity expansion and
// external entities are refused wherever a message or a page payload is
// read, so nothing expanded or fetched reaches the page, the container or
// the panel's logic.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/FakeContainer.h"
#include "support/FakeHost.h"
#include "support/TestWindows.h"

using halvet::test::DllReply;
using halvet::test::Envelope;
using halvet::test::FakeContainer;
using halvet::test::FakeHost;

namespace {

// Nine levels of tenfold expansion: a billion "lol"s if a parser expands them.
std::wstring entityBomb(const std::wstring& root) {
    std::wstring dtd = L"<!DOCTYPE " + root + L" [<!ENTITY lol \"lol\">";
    for (int i = 1; i <= 9; ++i) {
        dtd += L"<!ENTITY lol" + std::to_wstring(i) + L" \"";
        for (int j = 0; j < 10; ++j) dtd += L"&lol" + (i == 1 ? std::wstring() : std::to_wstring(i - 1)) + L";";
        dtd += L"\">";
    }
    return dtd + L"]>";
}

// A file that exists on every Windows: its text must never travel.
std::wstring externalEntity(const std::wstring& root) {
    return L"<!DOCTYPE " + root + L" [<!ENTITY ext SYSTEM \"file:///C:/windows/win.ini\">]>";
}

class HardeningTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.loaded());
        ASSERT_EQ(host.initialize(), 1);
    }
    bool anyEnvelopeHolds(const std::wstring& text) const {
        for (const Envelope& e : host.envelopes())
            if (e.messageData.find(text) != std::wstring::npos) return true;
        return false;
    }
    FakeHost host;
    FakeContainer container{host};
    HostWindow window{WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 320, 240};
};

}  // namespace

TEST_F(HardeningTest, CreateViewRefusesADocumentType) {
    wchar_t handle[32];
    swprintf(handle, 32, L"0x%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window.hwnd())));
    for (const std::wstring& dtd : {entityBomb(L"v"), externalEntity(L"v")}) {
        DllReply reply = host.send(L"CreateView", dtd + L"<v><parentViewPtr>" + handle + L"</parentViewPtr></v>");
        EXPECT_EQ(reply.text, L"Failure");
    }
    EXPECT_TRUE(host.envelopes().empty());
}

TEST_F(HardeningTest, NothingExpandedOrFetchedReachesThePageOrThePanelLogic) {
    wchar_t handle[32];
    swprintf(handle, 32, L"0x%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window.hwnd())));
    ASSERT_NE(host.send(L"CreateView", std::wstring(L"<v><parentViewPtr>") + handle + L"</parentViewPtr></v>").text,
              L"Failure");
    host.clearRecords();

    const DWORD started = GetTickCount();
    EXPECT_EQ(host.send(L"ContentForHTML", entityBomb(L"a") + L"<a>&lol9;</a>").text, L"Success");
    EXPECT_EQ(host.send(L"ContentForHTML", externalEntity(L"a") + L"<a>&ext;</a>").text, L"Success");
    EXPECT_EQ(container.fire(L"pageMessage", entityBomb(L"a") + L"<a>&lol9;</a>"), 0);
    EXPECT_EQ(container.fire(L"CEF_ERROR", externalEntity(L"error") +
                                               L"<error><errReason>&ext;</errReason></error>"),
              0);
    EXPECT_LT(GetTickCount() - started, 5000u) << "an expansion was attempted";

    // The page got the wrapper with an empty message; the logic got the text,
    // escaped, never its expansion.
    auto sent = host.envelopesNamed(L"processMessageForJSON");
    ASSERT_EQ(sent.size(), 2u);
    for (const Envelope& e : sent) EXPECT_NE(e.messageData.find(L"<message/>"), std::wstring::npos);
    EXPECT_FALSE(anyEnvelopeHolds(L"lollollol"));
    EXPECT_FALSE(anyEnvelopeHolds(L"[fonts]"));
    EXPECT_FALSE(anyEnvelopeHolds(L"for 16-bit app support"));
    EXPECT_EQ(host.send(L"proxyCredentialsUpdated").text, L"true");
    host.finalize();
}
