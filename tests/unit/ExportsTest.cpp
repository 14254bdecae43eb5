// The exports as linked into the test program: what becomes of each kind of
// handler answer, and which processor a message reaches.
#include "host/Exports.h"

#include <malloc.h>

#include <cwchar>
#include <stdexcept>

#include <gtest/gtest.h>

#include "host/HalvetAppUIMessageProcessor.h"
#include "support/FakeHost.h"
#include "unit/ModuleStateGuard.h"

using halvet::test::DllReply;
using halvet::test::EntryPoints;
using halvet::test::FakeHost;

namespace {

const wchar_t kSuccess[] = L"Success";

// Handlers with the answers a panel handler can give, bound to this object.
class AnsweringProcessor : public ProcessMessageManager {
public:
    HandlerReply computed(const std::wstring& data) { return HandlerReply::computed(L"abc"); }
    HandlerReply fixed(const std::wstring&) { return HandlerReply::fixed(kSuccess); }
    HandlerReply both(const std::wstring&) {
        HandlerReply reply = HandlerReply::computed(L"ignored");
        reply.staticText = kSuccess;
        return reply;
    }
    HandlerReply empty(const std::wstring&) { return {}; }
    HandlerReply throws(const std::wstring&) { throw std::runtime_error("handler failed"); }
    HandlerReply echo(const std::wstring& data) { return HandlerReply::computed(data); }
};

class ExportsTest : public testing::Test, public ModuleStateGuard {
protected:
    void SetUp() override {
        ASSERT_EQ(host.initialize(), 1);
        using Handler = HandlerReply (AnsweringProcessor::*)(const std::wstring&);
        const std::pair<const wchar_t*, Handler> handlers[] = {
            {L"Computed", &AnsweringProcessor::computed}, {L"Fixed", &AnsweringProcessor::fixed},
            {L"Both", &AnsweringProcessor::both},         {L"Empty", &AnsweringProcessor::empty},
            {L"Throws", &AnsweringProcessor::throws},     {L"Echo", &AnsweringProcessor::echo}};
        for (const auto& [name, handler] : handlers)
            ProcessMessageManager::addPayloadHandler(name, handler, &answers);
    }
    FakeHost host{EntryPoints{&initialize, &processMessage, &finalize}};
    AnsweringProcessor answers;
};

void* failingAllocator(size_t) {
    return nullptr;
}

size_t requestedBytes = 0;
void* recordingAllocator(size_t bytes) {
    requestedBytes = bytes;
    return std::malloc(bytes);
}

}  // namespace

TEST_F(ExportsTest, ComputedAnswerIsAHeapCopyWithReleaseReply) {
    halvet::test::Envelope message = host.messageToPanel(L"Computed");
    MessageRecord record = halvet::test::recordOf(message);
    ReplyReleaseFunction release = nullptr;
    const wchar_t* reply = processMessage(&record, &release);
    ASSERT_NE(reply, nullptr);
    EXPECT_STREQ(reply, L"abc");
    EXPECT_EQ(release, &releaseReply);
    EXPECT_EQ(_msize(const_cast<wchar_t*>(reply)), 4 * sizeof(wchar_t));
    const wchar_t* again = processMessage(&record, &release);
    EXPECT_NE(again, reply);
    EXPECT_TRUE(release(const_cast<wchar_t*>(reply)));
    EXPECT_TRUE(release(const_cast<wchar_t*>(again)));
    // A host may hand the release function a null reply too.
    EXPECT_TRUE(release(nullptr));
}

TEST_F(ExportsTest, FixedAnswerIsReturnedAsItsOwnStaticText) {
    for (const wchar_t* name : {L"Fixed", L"Both"}) {
        DllReply reply = host.send(name);
        EXPECT_EQ(reply.pointer, kSuccess) << name;
        EXPECT_TRUE(reply.releaseWritten);
        EXPECT_EQ(reply.release, nullptr);
    }
}

TEST_F(ExportsTest, EmptyAnswerIsTheModulesEmptyText) {
    DllReply empty = host.send(L"Empty");
    DllReply unknown = host.send(L"Unknown");
    EXPECT_EQ(empty.text, L"");
    EXPECT_EQ(empty.release, nullptr);
    EXPECT_EQ(empty.pointer, unknown.pointer);
}

// A handler that runs out of memory (or throws anything else) answers with the
// protocol's failure reply, not the empty text of a message without handler.
TEST_F(ExportsTest, HandlerThatThrowsGivesTheFailureReplyAndNoRelease) {
    DllReply reply = host.send(L"Throws");
    EXPECT_EQ(reply.text, L"Failure");
    EXPECT_TRUE(reply.releaseWritten);
    EXPECT_EQ(reply.release, nullptr);
}

TEST_F(ExportsTest, OneMegabyteAnswerIsCopiedWhole) {
    std::wstring big(1 << 20, L'z');
    DllReply reply = host.send(L"Echo", big);
    EXPECT_TRUE(reply.owned());
    EXPECT_TRUE(reply.releaseResult);
    EXPECT_EQ(reply.text, big);
}

TEST_F(ExportsTest, ReplyCopyEndsAtTheFirstNul) {
    HandlerReply answer = HandlerReply::computed(std::wstring(L"ab\0cd", 5));
    ReplyReleaseFunction release = nullptr;
    const wchar_t* copy = halvet::replyForHost(answer, &release, recordingAllocator);
    EXPECT_EQ(requestedBytes, 6 * sizeof(wchar_t));
    EXPECT_STREQ(copy, L"ab");
    ASSERT_EQ(release, &releaseReply);
    release(const_cast<wchar_t*>(copy));
}

// A short reply (a view's handle) still reaches the host from the module's
// own buffer; a long one becomes the failure reply, never the empty text.
TEST_F(ExportsTest, FailedCopyGivesTheTextOrFailureWithoutRelease) {
    ReplyReleaseFunction release = &releaseReply;
    const wchar_t* reply =
        halvet::replyForHost(HandlerReply::computed(L"0x1a2b"), &release, failingAllocator);
    ASSERT_NE(reply, nullptr);
    EXPECT_STREQ(reply, L"0x1a2b");
    EXPECT_EQ(release, nullptr);
    release = &releaseReply;
    reply = halvet::replyForHost(HandlerReply::computed(std::wstring(200, L'z')), &release,
                                 failingAllocator);
    EXPECT_STREQ(reply, L"Failure");
    EXPECT_EQ(release, nullptr);
}

TEST_F(ExportsTest, RegisteredProcessorReceivesTheMessagesOfItsInstance) {
    ProcessMessageManager* ranOn = nullptr;
    payloadHandlers[L"Who"] = {[&](ProcessMessageManager& processor, const std::wstring&) {
                                   ranOn = &processor;
                                   return HandlerReply{};
                               },
                               nullptr};
    auto registered = std::make_unique<AnsweringProcessor>();
    ProcessMessageManager* filed = registered.get();
    processorRegistry[L"1"] = std::move(registered);
    host.send(L"Who");
    EXPECT_EQ(ranOn, filed);

    processorRegistry[L"1"] = nullptr;
    host.send(L"Who");
    EXPECT_EQ(ranOn, HalvetAppUIMessageProcessor::instance());

    // Keys are exact: instance "1 " is not instance "1".
    processorRegistry[L"1 "] = std::make_unique<AnsweringProcessor>();
    host.send(L"Who");
    EXPECT_EQ(ranOn, HalvetAppUIMessageProcessor::instance());
}

TEST_F(ExportsTest, HandlerMayCallBackIntoTheModule) {
    // A handler whose send reaches a host that delivers another message first.
    payloadHandlers[L"Outer"] = {
        [](ProcessMessageManager& processor, const std::wstring&) {
            return HandlerReply::computed(L"outer saw " +
                                          processor.sendToApplet(L"Peer", L"1.0", L"Ping", L""));
        },
        nullptr};
    host.respond(L"Peer", [&](const halvet::test::Envelope&) {
        return halvet::test::HostReply::ofText(host.send(L"Echo", L"inner").text);
    });
    EXPECT_EQ(host.send(L"Outer").text, L"outer saw inner");
}
