#include "host/HalvetAppUIMessageProcessor.h"

#include <gtest/gtest.h>

#include <map>

#include "host/Exports.h"
#include "panel/ContainerCallback.h"

#include "support/FakeHost.h"
#include "unit/ModuleStateGuard.h"

using halvet::test::EntryPoints;
using halvet::test::Envelope;
using halvet::test::FakeHost;
using halvet::test::HostReply;

namespace {

// The processor's constructor is for instance() only; tests derive to get
// instances of their own.
class TestPanelProcessor : public HalvetAppUIMessageProcessor {};

class CountedProcessor : public ProcessMessageManager {
public:
    explicit CountedProcessor(int& destroyed) : destroyed_(destroyed) {}
    ~CountedProcessor() override { ++destroyed_; }

private:
    int& destroyed_;
};

class HalvetAppUIMessageProcessorTest : public testing::Test, public ModuleStateGuard {
protected:
    void SetUp() override {
        ASSERT_EQ(panel.initialize(FakeHost::initDocument().c_str(), &host.context()), 1);
    }
    FakeHost host{EntryPoints{}};
    TestPanelProcessor panel;
};

}  // namespace

TEST(HalvetAppUIMessageProcessorInstanceTest, ExportsAndTheContainerCallbackShareOneProcessor) {
    // What initialize gives the processor is what the callback, called as a
    // plain function, relays with; a message through processMessage changes
    // the state both see.
    ModuleStateGuard guard;
    FakeHost host{EntryPoints{&initialize, &processMessage, &finalize}};
    halvet::test::InitArguments arguments;
    arguments.appletID = L"SharedPanel";
    arguments.appletInstanceID = L"42";
    ASSERT_EQ(host.initialize(arguments), 1);
    HalvetAppUIMessageProcessor& panel = *HalvetAppUIMessageProcessor::instance();
    EXPECT_EQ(panel.appletID, L"SharedPanel");
    host.clearRecords();

    EXPECT_EQ(containerCallback(L"pageMessage", L"<m/>"), 0);
    ASSERT_EQ(host.envelopes().size(), 1u);
    EXPECT_EQ(host.envelopes()[0].sourceAppletID, L"SharedPanel");
    EXPECT_EQ(host.envelopes()[0].sourceInstanceID, L"42");

    panel.networkErrorState = 1;
    host.clearRecords();
    EXPECT_EQ(host.send(L"proxyCredentialsUpdated").text, L"true");
    EXPECT_EQ(panel.networkErrorState, 0);
    EXPECT_EQ(host.envelopesNamed(L"HEX_NETWORK_ERROR_RETRY").size(), 1u);
    host.clearRecords();
    EXPECT_EQ(containerCallback(L"CEF_ERROR", L"<error><errReason>ERR_FAILED</errReason></error>"), 0);
    EXPECT_EQ(panel.networkErrorState, 2);
    panel.networkErrorState = 0;
}

TEST_F(HalvetAppUIMessageProcessorTest, InitializeAddsTheNineHandlersOnce) {
    // Without a view: each message answers as its own handler does.
    const std::map<std::wstring, std::wstring> replies = {
        {L"CreateView", L"Failure"},     {L"ShowView", L"Success"},
        {L"HideView", L"Success"},       {L"HideSpinner", L"Success"},
        {L"ContentForHTML", L"Failure"}, {L"ReloadHTML", L"Failure"},
        {L"LoadBlank", L"Failure"},      {L"ProcessFonts", L"Failure"},
        {L"proxyCredentialsUpdated", L"true"}};
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(payloadHandlers.size(), replies.size());
        for (const auto& [name, reply] : replies) {
            ASSERT_EQ(payloadHandlers.count(name), 1u) << testing::PrintToString(name);
            EXPECT_EQ(payloadHandlers.at(name).boundObject, nullptr);
            HandlerReply answer;
            AppletMessage message;
            ASSERT_TRUE(panel.dispatch(name, L"", answer, message));
            EXPECT_EQ(answer.staticText ? answer.staticText : answer.text, reply)
                << testing::PrintToString(name);
        }
        EXPECT_TRUE(host.envelopes().empty());
        // A repeated initialize replaces the rows rather than adding more.
        ASSERT_EQ(panel.initialize(FakeHost::initDocument().c_str(), &host.context()), 1);
    }
}

TEST_F(HalvetAppUIMessageProcessorTest, AddressesTheContainerAndThePanelLogic) {
    host.setDefaultResponder(
        [](const Envelope& e) { return HostReply::owned(e.receiver() + L":" + e.messageName); });
    EXPECT_EQ(panel.sendToUIX(L"RefreshView", L"<v/>"), L"HEX_UIX:RefreshView");
    EXPECT_EQ(panel.sendToPanelBL(L"OnLoadEnd", L"<m/>"), L"HalvetPanel_BL:OnLoadEnd");
    EXPECT_EQ(panel.sendToPanelBLFlagged(L"Retry", L""), L"HalvetPanel_BL:Retry");
    ASSERT_EQ(host.envelopes().size(), 3u);
    struct Want {
        const wchar_t* applet;
        const wchar_t* name;
        const wchar_t* data;
        uint8_t flagA;
    } want[] = {{L"HEX_UIX", L"RefreshView", L"<v/>", 0},
                {L"HalvetPanel_BL", L"OnLoadEnd", L"<m/>", 0},
                {L"HalvetPanel_BL", L"Retry", L"", 1}};
    for (size_t i = 0; i < 3; ++i) {
        const Envelope& e = host.envelopes()[i];
        EXPECT_EQ(e.targetType, L"Applet");
        EXPECT_EQ(e.targetAppletID, want[i].applet);
        EXPECT_EQ(e.targetAppletVersion, L"1.0");
        EXPECT_EQ(e.targetInstanceID, L"1");
        EXPECT_EQ(e.sourceAppletID, L"HalvetPanel_UI");
        EXPECT_EQ(e.messageName, want[i].name);
        EXPECT_EQ(e.messageData, want[i].data);
        EXPECT_EQ(e.flagA, want[i].flagA);
        EXPECT_EQ(e.flagB, 1);
        EXPECT_EQ(e.flagC, 0);
    }
    EXPECT_EQ(host.releasesCalled(), 3);
}

TEST_F(HalvetAppUIMessageProcessorTest, FinalizeReturns1EveryTimeAndLeavesTheRegistryAlone) {
    int destroyed = 0;
    processorRegistry[L"7"] = std::make_unique<CountedProcessor>(destroyed);
    EXPECT_EQ(panel.finalize(L"bye"), 1);
    EXPECT_EQ(panel.finalize(L"bye again"), 1);
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(processorRegistry.size(), 1u);
    EXPECT_TRUE(host.envelopes().empty());
}
