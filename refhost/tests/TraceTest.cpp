#include <windows.h>

#include <cstdio>

#include <gtest/gtest.h>

#include "scenario/ElementLocator.h"
#include "boundary/LogCall.h"
#include "platform/Text.h"
#include "recording/Trace.h"

using refhost::EntryKind;
using refhost::Trace;
using refhost::TraceEntry;

TEST(TraceTest, JsonLinesEscapeTextAndKeepOneObjectALine) {
    TraceEntry e;
    e.kind = EntryKind::Outbound;
    e.envelope.messageName = L"say \"hi\"";
    e.envelope.messageData = L"<a>\r\n\t\\ \x01 \x00e9</a>";
    std::string line = Trace::jsonLine(e);
    EXPECT_EQ(line.find('\n'), line.size() - 1);
    EXPECT_NE(line.find("\"messageName\":\"say \\\"hi\\\"\""), std::string::npos);
    EXPECT_NE(line.find("<a>\\r\\n\\t\\\\ \\u0001 \xC3\xA9</a>"), std::string::npos);
    EXPECT_NE(line.find("\"kind\":\"outbound\""), std::string::npos);
}

TEST(TraceTest, EntriesAreNumberedInOrderWithRisingTimesAndTheirStep) {
    Trace trace;
    trace.setStep(3);
    TraceEntry a, b;
    a.kind = EntryKind::Inbound;
    b.kind = EntryKind::InboundReply;
    EXPECT_EQ(trace.add(a), 1);
    trace.setStep(4);
    EXPECT_EQ(trace.add(b), 2);
    ASSERT_EQ(trace.entries().size(), 2u);
    EXPECT_EQ(trace.entries()[0].step, 3);
    EXPECT_EQ(trace.entries()[1].step, 4);
    EXPECT_LE(trace.entries()[0].ms, trace.entries()[1].ms);
}

TEST(TraceTest, PointerTextRoundTripsAndRefusesJunk) {
    using refhost::text::parsePointer;
    using refhost::text::pointerText;
    EXPECT_EQ(pointerText(0), L"0x0");
    EXPECT_EQ(pointerText(0x1A2B), L"0x1a2b");
    uintptr_t v = 0;
    EXPECT_TRUE(parsePointer(L"0X1A2B", v));
    EXPECT_EQ(v, 0x1A2Bu);
    EXPECT_TRUE(parsePointer(L"6699", v));
    EXPECT_EQ(v, 6699u);
    EXPECT_FALSE(parsePointer(L"0x", v));
    EXPECT_FALSE(parsePointer(L"12ab", v));
    EXPECT_FALSE(parsePointer(L"0x1234567890abcdef1", v));
}

namespace {

refhost::LogCall readLog(int level, const wchar_t* module, ...) {
    va_list args;
    va_start(args, module);
    refhost::LogCall call = refhost::LogCall::read(level, module, args);
    va_end(args);
    return call;
}

}  // namespace

TEST(TraceTest, LogCallsOfBothShapesAreRead) {
    auto three = readLog(30, L"HalvetPanelUI", L"", L"", L"", L"Initialize called: %s", L"<a/>");
    EXPECT_EQ(three.text, L"Initialize called: <a/>");
    EXPECT_EQ(three.strings.size(), 3u);
    auto four = readLog(20, L"HalvetPanelUI", L"ProcessMessageManager", L"", L"", L"MethodNotFound",
                        L"WARN: %s message is not defined", L"X");
    EXPECT_EQ(four.strings.back(), L"MethodNotFound");
    EXPECT_EQ(four.text, L"WARN: X message is not defined");
}

TEST(ElementLocatorTest, FindsTheRootsChildrenPastCommentsCdataAndQuotedBrackets) {
    std::wstring text =
        L"<?xml version=\"1.0\"?>\n<s>\n<!-- <x> -->\n<a v=\"1>2\">t</a>\n<b><![CDATA[</b>]]></b>\n"
        L"<c/></s>";
    std::vector<refhost::ElementLocator::Place> places;
    ASSERT_TRUE(refhost::ElementLocator::locate(text, places));
    ASSERT_EQ(places.size(), 3u);
    EXPECT_EQ(places[0].line, 4);
    EXPECT_EQ(text.substr(places[0].innerBegin, places[0].innerEnd - places[0].innerBegin), L"t");
    EXPECT_EQ(places[1].line, 5);
    EXPECT_EQ(text.substr(places[1].innerBegin, places[1].innerEnd - places[1].innerBegin),
              L"<![CDATA[</b>]]>");
    EXPECT_EQ(places[2].line, 6);
    EXPECT_EQ(places[2].innerBegin, places[2].innerEnd);
}

TEST(ElementLocatorTest, NamesTheLineOfTheFirstFault) {
    using refhost::ElementLocator;
    int line = 0;
    std::wstring reason;
    ASSERT_TRUE(ElementLocator::firstFault(L"<s>\n<a>\n</s>", line, reason));
    EXPECT_EQ(line, 3);
    EXPECT_NE(reason.find(L"<a> of line 2"), std::wstring::npos);
    ASSERT_TRUE(ElementLocator::firstFault(L"<s>\n\n<a>x &y</a></s>", line, reason));
    EXPECT_EQ(line, 3);
    ASSERT_TRUE(ElementLocator::firstFault(L"<s>\n<!-- open\n</s>", line, reason));
    EXPECT_EQ(line, 2);
    ASSERT_TRUE(ElementLocator::firstFault(L"<s>\n<a>\n<b/>", line, reason));
    EXPECT_EQ(line, 2);
    EXPECT_NE(reason.find(L"never closed"), std::wstring::npos);
    EXPECT_FALSE(ElementLocator::firstFault(L"<s a=\"<&amp;>\"><![CDATA[<&]]></s>", line, reason));
}

// Passwords stay out of what is written, wherever they stand (as given, as
// XML writes them, learnt from an envelope), while the entries in memory,
// which the expectations judge, keep them; --show-secrets writes them.
TEST(TraceTest, SecretsAreMaskedInWhatIsWrittenButKeptForTheExpectations) {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    for (bool show : {false, true}) {
        std::wstring out = std::wstring(folder) + L"refhost-secrets-" + (show ? L"shown" : L"masked");
        CreateDirectoryW(out.c_str(), nullptr);
        std::string text, json;
        {
            Trace trace;
            std::wstring error;
            ASSERT_TRUE(trace.open(out, error)) << refhost::text::toUtf8(error);
            trace.setShowSecrets(show);
            trace.addSecret(L"p&w<1");
            TraceEntry given;
            given.kind = EntryKind::Outbound;
            given.envelope.messageName = L"setProxyCredentials";
            given.envelope.messageData =
                L"<data><user>bob</user><password>p&amp;w&lt;1</password></data>";
            trace.add(given);
            TraceEntry learnt;
            learnt.kind = EntryKind::OutboundReply;
            learnt.text = L"<proxy-preferences><proxy-Password>hunter2</proxy-Password>"
                          L"</proxy-preferences>";
            trace.add(learnt);
            TraceEntry line;
            line.kind = EntryKind::Bridge;
            line.text = L"credentials bob p&w<1 then hunter2";
            trace.add(line);
            EXPECT_EQ(trace.entries()[0].envelope.messageData, given.envelope.messageData);
            EXPECT_EQ(trace.entries()[2].text, line.text);
        }
        auto read = [&](const wchar_t* name, std::string& into) {
            FILE* f = _wfopen((out + L"\\" + name).c_str(), L"rb");
            ASSERT_NE(f, nullptr);
            char chunk[4096];
            for (size_t n; (n = fread(chunk, 1, sizeof chunk, f)) > 0;) into.append(chunk, n);
            fclose(f);
        };
        read(L"trace.txt", text);
        read(L"trace.jsonl", json);
        for (const std::string& written : {text, json}) {
            EXPECT_EQ(written.find("******") != std::string::npos, !show) << written;
            EXPECT_EQ(written.find("hunter2") != std::string::npos, show) << written;
            if (show) continue;
            for (const char* secret : {"p&amp;w&lt;1", "p&w<1", "p&w\\u003c1"})
                EXPECT_EQ(written.find(secret), std::string::npos) << secret << " in " << written;
        }
    }
}
