// An initialize document that cannot be read still gives 1, but is reported
// to the host in one warning that names the cause.
#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/FakeHost.h"

using halvet::test::FakeHost;
using halvet::test::LogCall;

namespace {

LogCall unread(const std::wstring& cause) {
    return {20,
            L"HalvetPanelUI",
            {L"ProcessMessageManager", L"", L"", L"InitializeDocumentUnread"},
            L"WARN: the initialize document was not read: %s",
            {cause},
            {}};
}

class InitializeDocumentTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(host.loaded()) << "HalvetPanelUI.dll did not load"; }
    // The log calls after "Initialize called".
    std::vector<LogCall> warnings() const {
        std::vector<LogCall> calls = host.logCalls();
        if (!calls.empty() && calls.front().format == L"Initialize called: %s") {
            calls.erase(calls.begin());
        }
        return calls;
    }
    FakeHost host;
};

}  // namespace

TEST_F(InitializeDocumentTest, ReadableDocumentGivesNoWarning) {
    EXPECT_EQ(host.initialize(), 1);
    EXPECT_TRUE(warnings().empty());
    host.clearRecords();
    // A well-formed document without the elements is read: nothing to report.
    EXPECT_EQ(host.initializeWith(L"<other/>"), 1);
    EXPECT_TRUE(warnings().empty());
}

TEST_F(InitializeDocumentTest, TextThatIsNotXmlIsReportedAsNotXml) {
    for (const wchar_t* text : {L"", L"CommandLineArguments", L"<a>&B</a>",
                                L"<!DOCTYPE a [<!ENTITY e \"x\">]><CommandLineArguments/>"}) {
        host.clearRecords();
        EXPECT_EQ(host.initializeWith(text), 1) << text;
        EXPECT_EQ(warnings(), std::vector<LogCall>{unread(L"not XML")}) << text;
    }
}

TEST_F(InitializeDocumentTest, ThreadWithoutComApartmentIsReportedAsSuch) {
    // Everything is called from this one other thread, while the test's own
    // thread waits: the module still sees a single caller at a time.
    int result = -1;
    std::thread caller([&] { result = host.initialize(); });
    caller.join();
    EXPECT_EQ(result, 1);
    ASSERT_EQ(warnings().size(), 1u);
    EXPECT_EQ(warnings()[0],
              unread(L"no COM apartment on the calling thread (call CoInitializeEx first)"));
    EXPECT_EQ(warnings()[0].formatted,
              L"WARN: the initialize document was not read: no COM apartment on the calling "
              L"thread (call CoInitializeEx first)");
}
