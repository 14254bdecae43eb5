#include "host/ProcessMessageManager.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/FakeHost.h"
#include "unit/ModuleStateGuard.h"

using halvet::test::EntryPoints;
using halvet::test::Envelope;
using halvet::test::FakeHost;
using halvet::test::HostReply;
using halvet::test::InitArguments;
using halvet::test::LogCall;

namespace {

// A processor with handlers that record what reached them.
class RecordingProcessor : public ProcessMessageManager {
public:
    HandlerReply echo(const std::wstring& data) {
        calls.push_back(data);
        return HandlerReply::computed(L"echo:" + data);
    }
    HandlerReply answerFixed(const std::wstring& data) {
        calls.push_back(data);
        return HandlerReply::fixed(L"Success");
    }
    std::vector<std::wstring> calls;
};

class OtherProcessor : public ProcessMessageManager {
public:
    HandlerReply handle(const std::wstring&) { return HandlerReply::computed(L"other"); }
};

class CountedProcessor : public ProcessMessageManager {
public:
    explicit CountedProcessor(int& destroyed) : destroyed_(destroyed) {}
    ~CountedProcessor() override { ++destroyed_; }

private:
    int& destroyed_;
};

class ProcessMessageManagerTest : public testing::Test, public ModuleStateGuard {
protected:
    void initialize(const InitArguments& arguments = {}) {
        ASSERT_EQ(processor.initialize(FakeHost::initDocument(arguments).c_str(), &host.context()),
                  1);
    }
    std::wstring highDpiFor(const std::wstring& element) {
        std::wstring document =
            L"<CommandLineArguments><appletID>A</appletID>" + element + L"</CommandLineArguments>";
        processor.isHighDPI = !processor.isHighDPI;  // must be recomputed, not kept
        processor.initialize(document.c_str(), &host.context());
        return processor.isHighDPI ? L"true" : L"false";
    }

    FakeHost host{EntryPoints{}};
    RecordingProcessor processor;
};

LogCall methodNotFound(const std::wstring& name) {
    return {20,
            L"HalvetPanelUI",
            {L"ProcessMessageManager", L"", L"", L"MethodNotFound"},
            L"WARN: %s message is not defined",
            {name},
            {}};
}

Envelope expected(const std::wstring& type, const std::wstring& applet, const std::wstring& version,
                  const std::wstring& instance, const std::wstring& name, const std::wstring& data,
                  uint8_t flagA) {
    Envelope e;
    e.targetType = type;
    e.targetAppletID = applet;
    e.targetAppletVersion = version;
    e.targetInstanceID = instance;
    e.sourceAppletID = L"HalvetPanel_UI";
    e.sourceAppletVersion = L"1.0";
    e.sourceInstanceID = L"1";
    e.messageName = name;
    e.messageData = data;
    e.flagA = flagA;
    return e;
}

}  // namespace

TEST_F(ProcessMessageManagerTest, InitializeReadsTheAppletArgumentsAtAnyDepth) {
    std::wstring document =
        L"<outer><CommandLineArguments><appletID>Id</appletID><appletVersion>2.5</appletVersion>"
        L"<appletInstanceID>7</appletInstanceID><appletDIR>C:\\applets\\panel\\</appletDIR>"
        L"<isHighDPI>1</isHighDPI></CommandLineArguments></outer>";
    EXPECT_EQ(processor.initialize(document.c_str(), &host.context()), 1);
    EXPECT_EQ(processor.appletID, L"Id");
    EXPECT_EQ(processor.appletVersion, L"2.5");
    EXPECT_EQ(processor.appletInstanceID, L"7");
    EXPECT_EQ(processor.appletDIR, L"C:\\applets\\panel\\");
    EXPECT_TRUE(processor.isHighDPI);
}

// The comparison is exact on the element's text, which the XML layer gives
// without leading and trailing white space.
TEST_F(ProcessMessageManagerTest, IsHighDpiOnlyForTheText1) {
    EXPECT_EQ(highDpiFor(L"<isHighDPI>1</isHighDPI>"), L"true");
    EXPECT_EQ(highDpiFor(L"<isHighDPI> 1 </isHighDPI>"), L"true");
    EXPECT_EQ(highDpiFor(L"<isHighDPI>true</isHighDPI>"), L"false");
    EXPECT_EQ(highDpiFor(L"<isHighDPI>01</isHighDPI>"), L"false");
    EXPECT_EQ(highDpiFor(L"<isHighDPI>1.0</isHighDPI>"), L"false");
    EXPECT_EQ(highDpiFor(L"<isHighDPI>&#160;1</isHighDPI>"), L"false");  // not XML white space
    EXPECT_EQ(highDpiFor(L"<isHighDPI></isHighDPI>"), L"false");
    EXPECT_EQ(highDpiFor(L""), L"false");
}

TEST_F(ProcessMessageManagerTest, UnreadableDocumentKeepsTheMembersAndStillReturns1) {
    initialize();
    for (const wchar_t* bad : {L"", L"not xml", L"<CommandLineArguments><appletID>X",
                               L"<CommandLineArguments/><second/>"}) {
        EXPECT_EQ(processor.initialize(bad, &host.context()), 1) << testing::PrintToString(bad);
        EXPECT_EQ(processor.appletID, L"HalvetPanel_UI");
        EXPECT_EQ(processor.appletInstanceID, L"1");
    }
}

TEST_F(ProcessMessageManagerTest, DocumentTypeDeclarationIsNotRead) {
    std::wstring document =
        L"<!DOCTYPE CommandLineArguments [<!ENTITY id \"Injected\">]>"
        L"<CommandLineArguments><appletID>&id;</appletID></CommandLineArguments>";
    EXPECT_EQ(processor.initialize(document.c_str(), &host.context()), 1);
    EXPECT_EQ(processor.appletID, L"");
}

TEST_F(ProcessMessageManagerTest, LaterDocumentOverwritesOnlyWhatItCarries) {
    initialize();
    std::wstring partial =
        L"<CommandLineArguments><appletVersion>9.9</appletVersion></CommandLineArguments>";
    processor.initialize(partial.c_str(), &host.context());
    EXPECT_EQ(processor.appletVersion, L"9.9");
    EXPECT_EQ(processor.appletID, L"HalvetPanel_UI");
    EXPECT_EQ(processor.appletInstanceID, L"1");
}

TEST_F(ProcessMessageManagerTest, KeepsTheFourHostWordsAndANullHostKeepsThem) {
    int a = 0, b = 0;
    host.context().reserved1 = &a;
    host.context().reserved2 = &b;
    initialize();
    HostFunctions* words = processor.hostFunctions();
    ASSERT_EQ(words, processor.hostFunctions());
    EXPECT_EQ(words->sendFunction, host.context().send);
    EXPECT_EQ(words->logFunction, host.context().log);
    EXPECT_EQ(words->reserved1, &a);
    EXPECT_EQ(words->reserved2, &b);
    processor.initialize(FakeHost::initDocument().c_str(), nullptr);
    EXPECT_EQ(words->sendFunction, host.context().send);
}

TEST_F(ProcessMessageManagerTest, DispatchFindsTheHandlerByExactName) {
    ProcessMessageManager::addPayloadHandler(L"CreateView", &RecordingProcessor::echo);
    HandlerReply reply;
    AppletMessage message;
    EXPECT_TRUE(processor.dispatch(L"CreateView", L"<d/>", reply, message));
    EXPECT_EQ(reply.text, L"echo:<d/>");
    EXPECT_EQ(reply.staticText, nullptr);
    EXPECT_EQ(processor.calls, std::vector<std::wstring>{L"<d/>"});
}

TEST_F(ProcessMessageManagerTest, NameDifferingInCaseFindsNoHandlerAndWarns) {
    hostLog = host.context().log;
    ProcessMessageManager::addPayloadHandler(L"CreateView", &RecordingProcessor::echo);
    HandlerReply reply;
    reply.text = L"untouched";
    AppletMessage message;
    for (const wchar_t* name : {L"createview", L"CreateView ", L"CreateVie", L""})
        EXPECT_FALSE(processor.dispatch(name, L"", reply, message));
    EXPECT_EQ(reply.text, L"untouched");
    EXPECT_TRUE(processor.calls.empty());
    EXPECT_EQ(host.logCalls(),
              (std::vector<LogCall>{methodNotFound(L"createview"), methodNotFound(L"CreateView "),
                                    methodNotFound(L"CreateVie"), methodNotFound(L"")}));
}

TEST_F(ProcessMessageManagerTest, AddingAgainReplacesTheHandler) {
    ProcessMessageManager::addPayloadHandler(L"Name", &RecordingProcessor::echo);
    ProcessMessageManager::addPayloadHandler(L"Name", &RecordingProcessor::answerFixed);
    EXPECT_EQ(payloadHandlers.size(), 1u);
    HandlerReply reply;
    processor.dispatch(L"Name", L"", reply, AppletMessage());
    EXPECT_STREQ(reply.staticText, L"Success");
}

TEST_F(ProcessMessageManagerTest, BoundHandlerRunsOnItsObject) {
    RecordingProcessor bound;
    ProcessMessageManager::addPayloadHandler(L"Bound", &RecordingProcessor::echo, &bound);
    OtherProcessor dispatcher;
    HandlerReply reply;
    EXPECT_TRUE(dispatcher.dispatch(L"Bound", L"x", reply, AppletMessage()));
    EXPECT_EQ(reply.text, L"echo:x");
    EXPECT_EQ(bound.calls, std::vector<std::wstring>{L"x"});
}

TEST_F(ProcessMessageManagerTest, UnboundHandlerOfAnotherProcessorClassIsNotRunOnAStranger) {
    ProcessMessageManager::addPayloadHandler(L"Other", &OtherProcessor::handle);
    HandlerReply reply;
    EXPECT_TRUE(processor.dispatch(L"Other", L"", reply, AppletMessage()));
    EXPECT_EQ(reply.text, L"");
    EXPECT_EQ(reply.staticText, nullptr);
}

TEST_F(ProcessMessageManagerTest, WholeMessageHandlersComeAfterPayloadHandlers) {
    hostLog = host.context().log;
    std::wstring seenSource;
    messageHandlers[L"Whole"] = {[&](ProcessMessageManager&, const AppletMessage& m) {
                                     seenSource = m.sourceAppletID;
                                     return HandlerReply::computed(L"whole");
                                 },
                                 nullptr};
    RecordingProcessor other;
    messageHandlers[L"BoundWhole"] = {[](ProcessMessageManager&, const AppletMessage&) {
                                          return HandlerReply::computed(L"must not run");
                                      },
                                      &other};
    AppletMessage message;
    message.sourceAppletID = L"Sender";
    HandlerReply reply;
    EXPECT_TRUE(processor.dispatch(L"Whole", L"", reply, message));
    EXPECT_EQ(reply.text, L"whole");
    EXPECT_EQ(seenSource, L"Sender");

    HandlerReply untouched;
    EXPECT_FALSE(processor.dispatch(L"BoundWhole", L"", untouched, message));
    EXPECT_EQ(untouched.text, L"");
    EXPECT_EQ(host.logCalls(), std::vector<LogCall>{methodNotFound(L"BoundWhole")});

    ProcessMessageManager::addPayloadHandler(L"Whole", &RecordingProcessor::echo);
    processor.dispatch(L"Whole", L"p", reply, message);
    EXPECT_EQ(reply.text, L"echo:p");
}

TEST_F(ProcessMessageManagerTest, SendMessageFillsOnlyTheEmptySourceFields) {
    initialize();
    AppletMessage message;
    message.targetType = L"Applet";
    message.sourceAppletID = L"X";
    processor.sendMessage(message);
    EXPECT_EQ(message.sourceAppletID, L"X");
    EXPECT_EQ(message.sourceAppletVersion, L"1.0");
    EXPECT_EQ(message.sourceInstanceID, L"1");
    ASSERT_EQ(host.envelopes().size(), 1u);
    EXPECT_EQ(host.envelopes()[0].sourceAppletID, L"X");
    EXPECT_EQ(host.envelopes()[0].sourceInstanceID, L"1");

    AppletMessage preset;
    preset.sourceAppletVersion = L"3.0";
    preset.sourceInstanceID = L"9";
    processor.sendMessage(preset);
    EXPECT_EQ(host.envelopes()[1].sourceAppletID, L"HalvetPanel_UI");
    EXPECT_EQ(host.envelopes()[1].sourceAppletVersion, L"3.0");
    EXPECT_EQ(host.envelopes()[1].sourceInstanceID, L"9");
}

TEST_F(ProcessMessageManagerTest, ComposedMessagesCarryTheirEnvelopes) {
    initialize();
    host.setDefaultResponder([](const Envelope& e) { return HostReply::ofText(e.messageName); });
    EXPECT_EQ(processor.sendToApplet(L"A", L"1.0", L"N", L"D"), L"N");
    EXPECT_EQ(processor.sendToAppletFlagged(L"B", L"2.0", L"M", L"E"), L"M");
    EXPECT_EQ(processor.sendToCore(L"Ask", L"<q/>"), L"Ask");
    EXPECT_EQ(processor.sendToCoreFlagged(L"AskFlagged", L""), L"AskFlagged");
    std::vector<Envelope> want = {
        expected(L"Applet", L"A", L"1.0", L"1", L"N", L"D", 0),
        expected(L"Applet", L"B", L"2.0", L"1", L"M", L"E", 1),
        expected(L"Core", L"", L"", L"", L"Ask", L"<q/>", 0),
        expected(L"Core", L"", L"", L"", L"AskFlagged", L"", 1),
    };
    EXPECT_EQ(host.envelopes(), want);
    for (const Envelope& e : host.envelopes()) EXPECT_TRUE(e.releaseWasNull);
}

TEST_F(ProcessMessageManagerTest, WithoutSendFunctionEverySendIsEmptyAndTheHostUntouched) {
    host.setDefaultResponder([](const Envelope&) { return HostReply::ofText(L"answer"); });
    host.context().send = nullptr;
    initialize();
    AppletMessage message;
    EXPECT_EQ(processor.sendMessage(message), L"");
    EXPECT_EQ(processor.sendToCore(L"N", L""), L"");
    EXPECT_EQ(processor.sendToCoreFlagged(L"N", L""), L"");
    EXPECT_EQ(processor.sendToApplet(L"A", L"1.0", L"N", L""), L"");
    EXPECT_EQ(processor.sendToAppletFlagged(L"A", L"1.0", L"N", L""), L"");
    EXPECT_EQ(processor.sendToRelative(L"N", L"", 1), L"");
    EXPECT_EQ(processor.sendMessageToRelative(message), L"");
    EXPECT_TRUE(host.envelopes().empty());
}

TEST_F(ProcessMessageManagerTest, HostRepliesAreCopiedThenReleasedOnce) {
    initialize();
    host.respond(L"Owned", [](const Envelope&) { return HostReply::owned(L"owned text"); });
    host.respond(L"Null", [](const Envelope&) { return HostReply::null(); });
    host.respond(L"Static", [](const Envelope&) { return HostReply::ofText(L"static text"); });
    // The fake overwrites an owned text when it is released: the copy must come first.
    EXPECT_EQ(processor.sendToApplet(L"Owned", L"1.0", L"N", L""), L"owned text");
    EXPECT_EQ(host.ownedRepliesGiven(), 1);
    EXPECT_EQ(host.releasesCalled(), 1);
    EXPECT_EQ(host.outstandingReplies(), 0);
    EXPECT_EQ(processor.sendToApplet(L"Null", L"1.0", L"N", L""), L"");
    EXPECT_EQ(processor.sendToApplet(L"Static", L"1.0", L"N", L""), L"static text");
    EXPECT_EQ(host.releasesCalled(), 1);
    EXPECT_EQ(host.unknownReleases(), 0);
}

TEST_F(ProcessMessageManagerTest, FirstRelativeSendAsksTheHostForTheRelationThenCaches) {
    initialize();
    host.respondToMessage(L"GetAppletRelation", [](const Envelope&) {
        return HostReply::owned(
            L"<relation><relative_name>B</relative_name><relative_version>2.0</relative_version>"
            L"</relation>");
    });
    processor.sendToRelative(L"First", L"<a/>", 1);
    processor.sendToRelative(L"Second", L"", 0);
    std::vector<Envelope> want = {
        expected(L"Core", L"", L"", L"", L"GetAppletRelation", L"", 0),
        expected(L"Applet", L"B", L"2.0", L"1", L"First", L"<a/>", 1),
        expected(L"Applet", L"B", L"2.0", L"1", L"Second", L"", 0),
    };
    EXPECT_EQ(host.envelopes(), want);
    EXPECT_EQ(processor.relativeName, L"B");
    EXPECT_EQ(processor.relativeVersion, L"2.0");
    EXPECT_EQ(host.releasesCalled(), 1);
}

TEST_F(ProcessMessageManagerTest, RelativeMessageIsACopyAddressedToTheRelative) {
    initialize();
    host.respondToMessage(L"GetAppletRelation", [](const Envelope&) {
        return HostReply::ofText(L"<r><relative_name>B</relative_name></r>");
    });
    AppletMessage message;
    message.targetType = L"Applet";
    message.targetAppletID = L"Original";
    message.messageName = L"N";
    message.sourceAppletID = L"Me";
    message.flagC = 1;
    processor.sendMessageToRelative(message);
    EXPECT_EQ(message.targetAppletID, L"Original");
    EXPECT_EQ(message.sourceAppletVersion, L"");
    ASSERT_EQ(host.envelopes().size(), 2u);
    const Envelope& sent = host.envelopes()[1];
    EXPECT_EQ(sent.targetAppletID, L"B");
    EXPECT_EQ(sent.targetAppletVersion, L"");
    EXPECT_EQ(sent.sourceAppletID, L"Me");
    EXPECT_EQ(sent.sourceAppletVersion, L"1.0");
    EXPECT_EQ(sent.flagC, 1);
    // A name without a version is cached as it is: the question is not repeated.
    processor.sendMessageToRelative(message);
    EXPECT_EQ(host.envelopesNamed(L"GetAppletRelation").size(), 1u);
}

TEST_F(ProcessMessageManagerTest, RelationWithoutANameIsAskedForAgain) {
    initialize();
    int asked = 0;
    host.respondToMessage(L"GetAppletRelation", [&](const Envelope&) {
        ++asked;
        if (asked == 1) return HostReply::ofText(L"not xml at all");
        if (asked == 2)
            return HostReply::ofText(
                L"<r><relative_name></relative_name><relative_version>"
                L"2.0</relative_version></r>");
        return HostReply::null();
    });
    for (int i = 0; i < 3; ++i) processor.sendToRelative(L"N", L"", 0);
    EXPECT_EQ(asked, 3);
    std::vector<Envelope> sent = host.envelopesNamed(L"N");
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].targetAppletID, L"");
    EXPECT_EQ(sent[1].targetAppletID, L"");
    EXPECT_EQ(sent[1].targetAppletVersion, L"2.0");
    EXPECT_EQ(sent[2].targetAppletVersion, L"");
}

TEST_F(ProcessMessageManagerTest, BaseFinalizeDestroysTheRegisteredProcessors) {
    int destroyed = 0;
    processorRegistry[L"b"] = std::make_unique<CountedProcessor>(destroyed);
    processorRegistry[L"a"] = std::make_unique<CountedProcessor>(destroyed);
    processorRegistry[L"empty"] = nullptr;
    EXPECT_EQ(processor.finalize(L"done"), 0);
    EXPECT_EQ(destroyed, 2);
    EXPECT_TRUE(processorRegistry.empty());
}
