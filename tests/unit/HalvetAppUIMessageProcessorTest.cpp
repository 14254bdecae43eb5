#include "host/HalvetAppUIMessageProcessor.h"

#include <gtest/gtest.h>

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

TEST_F(HalvetAppUIMessageProcessorTest, InstanceIsOneObjectForTheWholeModule) {
    HalvetAppUIMessageProcessor* first = HalvetAppUIMessageProcessor::instance();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(HalvetAppUIMessageProcessor::instance(), first);
}

TEST_F(HalvetAppUIMessageProcessorTest, InitializeAddsEveryRowOfTheHandlerTableOnce) {
    const auto& table = HalvetAppUIMessageProcessor::handlerTable();
    EXPECT_EQ(payloadHandlers.size(), table.size());
    for (const auto& row : table) EXPECT_EQ(payloadHandlers.count(row.name), 1u) << row.name;
    ASSERT_EQ(panel.initialize(FakeHost::initDocument().c_str(), &host.context()), 1);
    EXPECT_EQ(payloadHandlers.size(), table.size());
    for (const auto& row : table) EXPECT_EQ(payloadHandlers.at(row.name).boundObject, nullptr);
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
