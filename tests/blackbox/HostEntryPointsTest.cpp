// The three exports of the built DLL, driven through the fake host: replies,
// reply ownership, argument checks and every host log call of this layer.
#include <cwchar>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/FakeHost.h"

using halvet::test::DllReply;
using halvet::test::Envelope;
using halvet::test::FakeHost;
using halvet::test::LogCall;
using halvet::test::recordOf;

namespace {

const auto kUntouched = reinterpret_cast<ReplyReleaseFunction>(static_cast<uintptr_t>(0x5a5a));

LogCall methodNotFound(const std::wstring& name) {
    return {20,
            L"HalvetPanelUI",
            {L"ProcessMessageManager", L"", L"", L"MethodNotFound"},
            L"WARN: %s message is not defined",
            {name},
            {}};
}

LogCall entryCall(const std::wstring& format, const std::wstring& argument) {
    return {30, L"HalvetPanelUI", {L"", L"", L""}, format, {argument}, {}};
}

class EntryPointsTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(host.loaded()) << "HalvetPanelUI.dll did not load"; }
    FakeHost host;
};

class ProcessMessageExportTest : public EntryPointsTest {};
class InitializeExportTest : public EntryPointsTest {};
class FinalizeExportTest : public EntryPointsTest {};

}  // namespace

TEST_F(ProcessMessageExportTest, NullRequestGivesInvalidArgumentsAndLeavesReleaseAsItWas) {
    ASSERT_EQ(host.initialize(), 1);
    host.clearRecords();
    ReplyReleaseFunction release = kUntouched;
    const wchar_t* reply = host.exports().processMessage(nullptr, &release);
    ASSERT_NE(reply, nullptr);
    EXPECT_STREQ(reply, L"InvalidArguments");
    EXPECT_EQ(release, kUntouched);
    EXPECT_TRUE(host.logCalls().empty());
}

TEST_F(ProcessMessageExportTest, EachNullStringPointerGivesInvalidArgumentsAndRunsNoHandler) {
    ASSERT_EQ(host.initialize(), 1);
    host.clearRecords();
    Envelope message = host.messageToPanel(L"NoSuchMessage", L"<a/>");
    for (int field = 0; field < 9; ++field) {
        MessageRecord record = recordOf(message);
        const wchar_t** strings[] = {
            &record.targetType,       &record.targetAppletID, &record.targetAppletVersion,
            &record.targetInstanceID, &record.sourceAppletID, &record.sourceAppletVersion,
            &record.sourceInstanceID, &record.messageName,    &record.messageData};
        *strings[field] = nullptr;
        ReplyReleaseFunction release = kUntouched;
        const wchar_t* reply = host.exports().processMessage(&record, &release);
        EXPECT_STREQ(reply, L"InvalidArguments") << "null field " << field;
        EXPECT_EQ(release, kUntouched) << "null field " << field;
    }
    // A dispatched message would have logged MethodNotFound.
    EXPECT_TRUE(host.logCalls().empty());
    EXPECT_TRUE(host.envelopes().empty());
}

TEST_F(ProcessMessageExportTest, NullReleasePointerGivesInvalidArgumentsAndRunsNoHandler) {
    ASSERT_EQ(host.initialize(), 1);
    host.clearRecords();
    Envelope message = host.messageToPanel(L"NoSuchMessage");
    MessageRecord record = recordOf(message);
    EXPECT_STREQ(host.exports().processMessage(&record, nullptr), L"InvalidArguments");
    EXPECT_TRUE(host.logCalls().empty());
}

TEST_F(ProcessMessageExportTest, InvalidArgumentsAndEmptyRepliesAreStaticTextsOfTheModule) {
    ASSERT_EQ(host.initialize(), 1);
    ReplyReleaseFunction release = kUntouched;
    const wchar_t* first = host.exports().processMessage(nullptr, &release);
    const wchar_t* second = host.exports().processMessage(nullptr, &release);
    EXPECT_EQ(first, second);
    DllReply a = host.send(L"NoSuchMessage");
    DllReply b = host.send(L"OtherMessage");
    EXPECT_EQ(a.pointer, b.pointer);
    EXPECT_TRUE(a.releaseWritten);
    EXPECT_FALSE(a.owned());
}

TEST_F(ProcessMessageExportTest, UnknownNameGivesEmptyReplyAndTheMethodNotFoundWarning) {
    ASSERT_EQ(host.initialize(), 1);
    host.clearRecords();
    DllReply reply = host.send(L"NoSuchMessage", L"<data/>");
    EXPECT_EQ(reply.text, L"");
    EXPECT_TRUE(reply.releaseWritten);
    EXPECT_EQ(reply.release, nullptr);
    EXPECT_EQ(host.logCalls(), std::vector<LogCall>{methodNotFound(L"NoSuchMessage")});
    EXPECT_EQ(host.logCalls()[0].formatted, L"WARN: NoSuchMessage message is not defined");
    EXPECT_TRUE(host.envelopes().empty());
}

TEST_F(ProcessMessageExportTest, NamesDifferingOnlyInCaseAreDifferentMessages) {
    ASSERT_EQ(host.initialize(), 1);
    host.clearRecords();
    host.send(L"createview");
    host.send(L"CREATEVIEW");
    EXPECT_EQ(host.logCalls(),
              (std::vector<LogCall>{methodNotFound(L"createview"), methodNotFound(L"CREATEVIEW")}));
}

TEST_F(ProcessMessageExportTest, RecordOfEmptyStringsIsValidAndDispatched) {
    ASSERT_EQ(host.initialize(), 1);
    host.clearRecords();
    Envelope empty;
    empty.flagB = 0;
    DllReply reply = host.deliver(empty);
    EXPECT_EQ(reply.text, L"");
    EXPECT_FALSE(reply.owned());
    EXPECT_EQ(host.logCalls(), std::vector<LogCall>{methodNotFound(L"")});
}

TEST_F(ProcessMessageExportTest, HeaderFlagsAndPaddingAreNotExamined) {
    ASSERT_EQ(host.initialize(), 1);
    host.clearRecords();
    Envelope odd = host.messageToPanel(L"Odd");
    odd.header = 0xffffffffu;
    odd.flagA = odd.flagB = odd.flagC = odd.padding = 0xff;
    EXPECT_EQ(host.deliver(odd).text, L"");
    EXPECT_EQ(host.logCalls(), std::vector<LogCall>{methodNotFound(L"Odd")});
}

TEST_F(ProcessMessageExportTest, MessageBeforeInitializeGivesEmptyReplyAndLogsNothing) {
    DllReply reply = host.send(L"CreateView", L"<parentViewPtr>0x10</parentViewPtr>");
    EXPECT_EQ(reply.text, L"");
    EXPECT_TRUE(reply.releaseWritten);
    EXPECT_EQ(reply.release, nullptr);
    EXPECT_TRUE(host.logCalls().empty());
    EXPECT_TRUE(host.envelopes().empty());
}

TEST_F(ProcessMessageExportTest, HugeAndMalformedDataIsAnsweredWithoutHarm) {
    ASSERT_EQ(host.initialize(), 1);
    host.clearRecords();
    std::wstring huge(1 << 20, L'x');
    huge[0] = L'<';
    huge[huge.size() / 2] = L'&';
    EXPECT_EQ(host.send(L"NoSuchMessage", huge).text, L"");
    EXPECT_EQ(host.send(L"NoSuchMessage", L"<unclosed><a>&bogus;").text, L"");
    // The name reaches the log whole, however long.
    std::wstring longName(1 << 20, L'N');
    EXPECT_EQ(host.send(longName).text, L"");
    ASSERT_EQ(host.logCalls().size(), 3u);
    EXPECT_EQ(host.logCalls()[2], methodNotFound(longName));
}

TEST_F(InitializeExportTest, LogsTheDocumentAndReturns1) {
    std::wstring document = FakeHost::initDocument();
    EXPECT_EQ(host.initializeWith(document), 1);
    EXPECT_EQ(host.logCalls(), std::vector<LogCall>{entryCall(L"Initialize called: %s", document)});
    EXPECT_TRUE(host.envelopes().empty());
}

TEST_F(InitializeExportTest, NullArgumentsGive0AndLogNothing) {
    std::wstring document = FakeHost::initDocument();
    EXPECT_EQ(host.exports().initialize(nullptr, &host.context()), 0);
    EXPECT_EQ(host.exports().initialize(document.c_str(), nullptr), 0);
    EXPECT_TRUE(host.logCalls().empty());
    // Nothing was kept: the log function is still unknown to the module.
    host.send(L"NoSuchMessage");
    EXPECT_TRUE(host.logCalls().empty());
}

TEST_F(InitializeExportTest, NullHostKeepsTheEarlierLogFunction) {
    ASSERT_EQ(host.initialize(), 1);
    std::wstring document = FakeHost::initDocument();
    EXPECT_EQ(host.exports().initialize(document.c_str(), nullptr), 0);
    host.clearRecords();
    host.send(L"NoSuchMessage");
    EXPECT_EQ(host.logCalls(), std::vector<LogCall>{methodNotFound(L"NoSuchMessage")});
}

TEST_F(InitializeExportTest, LaterInitializeWithoutLogFunctionSilencesTheModule) {
    ASSERT_EQ(host.initialize(), 1);
    host.context().log = nullptr;
    EXPECT_EQ(host.initialize(), 1);
    host.clearRecords();
    EXPECT_EQ(host.send(L"NoSuchMessage").text, L"");
    EXPECT_EQ(host.finalize(), 1);
    EXPECT_TRUE(host.logCalls().empty());
}

TEST_F(InitializeExportTest, SecondInitializeIsLoggedAgain) {
    ASSERT_EQ(host.initialize(), 1);
    halvet::test::InitArguments second;
    second.appletInstanceID = L"2";
    ASSERT_EQ(host.initialize(second), 1);
    ASSERT_EQ(host.logCalls().size(), 2u);
    EXPECT_EQ(host.logCalls()[1],
              entryCall(L"Initialize called: %s", FakeHost::initDocument(second)));
}

TEST_F(InitializeExportTest, HostWithoutSendOrLogFunctionIsServed) {
    host.context().send = nullptr;
    host.context().log = nullptr;
    EXPECT_EQ(host.initialize(), 1);
    EXPECT_EQ(host.send(L"NoSuchMessage").text, L"");
    EXPECT_EQ(host.finalize(), 1);
    EXPECT_TRUE(host.logCalls().empty());
    EXPECT_TRUE(host.envelopes().empty());
}

TEST_F(InitializeExportTest, DocumentThatIsNotXmlIsAcceptedAndLogged) {
    const std::wstring notXml = L"this is <not> xml & never was";
    EXPECT_EQ(host.initializeWith(notXml), 1);
    EXPECT_EQ(host.initializeWith(L""), 1);
    std::wstring huge(1 << 20, L'<');
    EXPECT_EQ(host.initializeWith(huge), 1);
    // Each entry line is followed by the warning that the document was not read.
    ASSERT_EQ(host.logCalls().size(), 6u);
    EXPECT_EQ(host.logCalls()[0], entryCall(L"Initialize called: %s", notXml));
    EXPECT_EQ(host.logCalls()[2], entryCall(L"Initialize called: %s", L""));
    EXPECT_EQ(host.logCalls()[4].args, std::vector<std::wstring>{huge});
    for (size_t i : {1u, 3u, 5u}) {
        EXPECT_EQ(host.logCalls()[i].formatted,
                  L"WARN: the initialize document was not read: not XML");
    }
    // Still serving messages.
    host.clearRecords();
    host.send(L"NoSuchMessage");
    EXPECT_EQ(host.logCalls(), std::vector<LogCall>{methodNotFound(L"NoSuchMessage")});
}

TEST_F(FinalizeExportTest, LogsTheTextAndReturns1) {
    ASSERT_EQ(host.initialize(), 1);
    host.clearRecords();
    EXPECT_EQ(host.finalize(L"closing time"), 1);
    EXPECT_EQ(host.logCalls(),
              std::vector<LogCall>{entryCall(L"Finalize called: %s", L"closing time")});
}

TEST_F(FinalizeExportTest, NullTextGives0AndLogsNothing) {
    ASSERT_EQ(host.initialize(), 1);
    host.clearRecords();
    EXPECT_EQ(host.exports().finalize(nullptr), 0);
    EXPECT_TRUE(host.logCalls().empty());
    EXPECT_TRUE(host.envelopes().empty());
}

TEST_F(FinalizeExportTest, BeforeInitializeReturns1AndLogsNothing) {
    EXPECT_EQ(host.finalize(), 1);
    EXPECT_TRUE(host.logCalls().empty());
}

TEST_F(FinalizeExportTest, TwiceReturns1AndMessagesAreStillDispatchedAfterwards) {
    ASSERT_EQ(host.initialize(), 1);
    EXPECT_EQ(host.finalize(L"one"), 1);
    EXPECT_EQ(host.finalize(L"two"), 1);
    host.clearRecords();
    EXPECT_EQ(host.send(L"NoSuchMessage").text, L"");
    EXPECT_EQ(host.logCalls(), std::vector<LogCall>{methodNotFound(L"NoSuchMessage")});
}

TEST_F(ProcessMessageExportTest, ProxyCredentialsUpdatedWithNothingPendingRepliesTrueOnly) {
    ASSERT_EQ(host.initialize(), 1);
    host.clearRecords();
    DllReply reply = host.send(L"proxyCredentialsUpdated", L"<anything/>");
    EXPECT_EQ(reply.text, L"true");
    EXPECT_FALSE(reply.owned());
    EXPECT_TRUE(host.envelopes().empty());
}
