#include <gtest/gtest.h>

#include "scenario/Expectation.h"

using refhost::EntryKind;
using refhost::Expectation;
using refhost::Step;
using refhost::TraceEntry;

namespace {

TraceEntry outbound(const std::wstring& name, const std::wstring& to, const std::wstring& data,
                    uint8_t flagA = 0) {
    TraceEntry e;
    e.kind = EntryKind::Outbound;
    e.envelope.targetType = to == L"Core" ? L"Core" : L"Applet";
    e.envelope.targetAppletID = to == L"Core" ? L"" : to;
    e.envelope.messageName = name;
    e.envelope.messageData = data;
    e.envelope.flagA = flagA;
    return e;
}

Step step(const std::wstring& kind, std::map<std::wstring, std::wstring> attributes) {
    Step s;
    s.kind = kind;
    s.line = 7;
    s.attributes = std::move(attributes);
    return s;
}

}  // namespace

TEST(ExpectationTest, MatchesByNameReceiverAndXPathText) {
    std::vector<TraceEntry> entries = {
        outbound(L"attachParentWindow", L"HEX_UIX", L"<xmlData><guid>{G}</guid></xmlData>"),
        outbound(L"OnLoadEnd", L"HalvetPanel_BL",
                 L"<HTMLMessage><loadUrl>file:///C:/x/index.html</loadUrl></HTMLMessage>", 1),
    };
    EXPECT_TRUE(Expectation::message(step(L"expect-message", {{L"name", L"attachParentWindow"},
                                                              {L"to", L"HEX_UIX"},
                                                              {L"xpath", L"/xmlData/guid"},
                                                              {L"equals", L"{G}"}}),
                                     entries, 0)
                    .met);
    EXPECT_TRUE(Expectation::message(step(L"expect-relay", {{L"name", L"OnLoadEnd"},
                                                            {L"flagA", L"1"},
                                                            {L"xpath", L"//loadUrl"},
                                                            {L"contains", L"index.html"}}),
                                     entries, 0)
                    .met);
    // The wrong receiver, flag or text does not match, and the verdict says what was sent.
    auto wrongTo = Expectation::message(
        step(L"expect-message", {{L"name", L"attachParentWindow"}, {L"to", L"Core"}}), entries, 0);
    EXPECT_FALSE(wrongTo.met);
    EXPECT_NE(wrongTo.why.find(L"attachParentWindow->HEX_UIX"), std::wstring::npos);
    EXPECT_FALSE(Expectation::message(
                     step(L"expect-relay", {{L"name", L"OnLoadEnd"}, {L"flagA", L"0"}}), entries, 0)
                     .met);
    EXPECT_FALSE(Expectation::message(
                     step(L"expect-relay", {{L"xpath", L"//loadUrl"}, {L"equals", L"index.html"}}),
                     entries, 0)
                     .met);
}

TEST(ExpectationTest, CountsWithinTheStepWindowOrTheRun) {
    std::vector<TraceEntry> entries = {outbound(L"GetProxyCredentials", L"Q7Container_BL", L""),
                                       outbound(L"ShowProxyDialog", L"Q7Container_BL", L""),
                                       outbound(L"ShowProxyDialog", L"Q7Container_BL", L"")};
    auto twice = step(L"expect-message", {{L"name", L"ShowProxyDialog"}, {L"count", L"2"}});
    EXPECT_TRUE(Expectation::message(twice, entries, 0).met);
    EXPECT_FALSE(Expectation::message(twice, entries, 2).met);
    auto none = step(L"expect-message", {{L"name", L"GetProxyCredentials"}, {L"count", L"0"}});
    EXPECT_TRUE(Expectation::message(none, entries, 1).met);
    none.attributes[L"scope"] = L"run";
    EXPECT_FALSE(Expectation::message(none, entries, 1).met);
}

TEST(ExpectationTest, DataThatIsNotXmlOrABadXPathNeverMatches) {
    std::vector<TraceEntry> entries = {outbound(L"raw", L"HalvetPanel_BL", L"<HTMLMessage>a < b")};
    auto verdict =
        Expectation::message(step(L"expect-relay", {{L"xpath", L"/HTMLMessage"}}), entries, 0);
    EXPECT_FALSE(verdict.met);
    EXPECT_NE(verdict.why.find(L"not XML"), std::wstring::npos);
    entries = {outbound(L"x", L"HEX_UIX", L"<a/>")};
    verdict = Expectation::message(step(L"expect-message", {{L"xpath", L"/a[["}}), entries, 0);
    EXPECT_FALSE(verdict.met);
    // Without an XPath, equals compares the whole data.
    EXPECT_TRUE(
        Expectation::message(step(L"expect-message", {{L"equals", L"<a/>"}}), entries, 0).met);
}

TEST(ExpectationTest, ReplyNeedsAnEarlierSendAndMatchesTextAndOwnership) {
    auto success = step(L"expect-reply", {{L"equals", L"Success"}, {L"owned", L"false"}});
    auto none = Expectation::reply(success, nullptr);
    EXPECT_FALSE(none.met);
    EXPECT_NE(none.why.find(L"no message was sent"), std::wstring::npos);
    refhost::PanelLibrary::Reply reply;
    reply.text = L"Success";
    EXPECT_TRUE(Expectation::reply(success, &reply).met);
    reply.owned = true;
    EXPECT_FALSE(Expectation::reply(success, &reply).met);
}

TEST(ExpectationTest, LogCallsByLevelAndText) {
    TraceEntry log;
    log.kind = EntryKind::Log;
    log.log.level = 20;
    log.log.text = L"WARN: X message is not defined";
    std::vector<TraceEntry> entries = {log};
    EXPECT_TRUE(
        Expectation::log(step(L"expect-log", {{L"level", L"20"}, {L"contains", L"X message"}}),
                         entries, 0)
            .met);
    EXPECT_FALSE(Expectation::log(step(L"expect-log", {{L"level", L"30"}}), entries, 0).met);
}
