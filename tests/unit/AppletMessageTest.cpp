#include "host/AppletMessage.h"

#include <cstring>

#include <gtest/gtest.h>

namespace {

const uint8_t* bytesOf(const MessageRecord* record) {
    return reinterpret_cast<const uint8_t*>(record);
}

MessageRecord recordWith(const wchar_t* text, uint8_t a, uint8_t b, uint8_t c) {
    MessageRecord r{};
    r.header = 7;
    r.targetType = r.targetAppletID = r.targetAppletVersion = r.targetInstanceID = text;
    r.sourceAppletID = r.sourceAppletVersion = r.sourceInstanceID = text;
    r.messageName = r.messageData = text;
    r.flagA = a;
    r.flagB = b;
    r.flagC = c;
    r.padding = 9;
    return r;
}

}  // namespace

TEST(AppletMessageTest, DefaultMessageGivesInvalidTargetEightEmptyTextsAndFlags010) {
    AppletMessage message;
    const MessageRecord* r = message.toRecord();
    EXPECT_EQ(r->header, 1u);
    EXPECT_STREQ(r->targetType, L"Invalid");
    for (const wchar_t* s :
         {r->targetAppletID, r->targetAppletVersion, r->targetInstanceID, r->sourceAppletID,
          r->sourceAppletVersion, r->sourceInstanceID, r->messageName, r->messageData}) {
        ASSERT_NE(s, nullptr);
        EXPECT_STREQ(s, L"");
    }
    EXPECT_EQ(bytesOf(r)[offsetof(MessageRecord, flagA)], 0);
    EXPECT_EQ(bytesOf(r)[offsetof(MessageRecord, flagB)], 1);
    EXPECT_EQ(bytesOf(r)[offsetof(MessageRecord, flagC)], 0);
    EXPECT_EQ(bytesOf(r)[offsetof(MessageRecord, padding)], 0);
}

TEST(AppletMessageTest, RecordOfEmptyTextsKeepsItsFlagsButNotItsHeader) {
    MessageRecord source = recordWith(L"", 1, 0, 1);
    AppletMessage message(source);
    EXPECT_EQ(message.targetType, L"");
    EXPECT_EQ(message.messageData, L"");
    EXPECT_EQ(message.flagA, 1);
    EXPECT_EQ(message.flagB, 0);
    EXPECT_EQ(message.flagC, 1);
    const MessageRecord* r = message.toRecord();
    EXPECT_EQ(r->header, 1u);
    EXPECT_STREQ(r->targetType, L"");
    EXPECT_STREQ(r->messageName, L"");
    const uint8_t* bytes = bytesOf(r);
    EXPECT_EQ(bytes[offsetof(MessageRecord, flagA)], 1);
    EXPECT_EQ(bytes[offsetof(MessageRecord, flagB)], 0);
    EXPECT_EQ(bytes[offsetof(MessageRecord, flagC)], 1);
    EXPECT_EQ(bytes[offsetof(MessageRecord, padding)], 0);
}

TEST(AppletMessageTest, CopiesTheNineStringsInFieldOrder) {
    MessageRecord source{};
    source.targetType = L"Applet";
    source.targetAppletID = L"A";
    source.targetAppletVersion = L"2.0";
    source.targetInstanceID = L"3";
    source.sourceAppletID = L"S";
    source.sourceAppletVersion = L"5.0";
    source.sourceInstanceID = L"6";
    source.messageName = L"Name";
    source.messageData = L"<d/>";
    AppletMessage message(source);
    const MessageRecord* r = message.toRecord();
    const wchar_t* const* got = &r->targetType;
    const wchar_t* expected[] = {L"Applet", L"A", L"2.0",  L"3",   L"S",
                                 L"5.0",    L"6", L"Name", L"<d/>"};
    for (int i = 0; i < 9; ++i) EXPECT_STREQ(got[i], expected[i]) << "field " << i;
}

TEST(AppletMessageTest, HoldsCopiesNotTheRecordsPointers) {
    wchar_t name[] = L"Original";
    MessageRecord source = recordWith(L"x", 0, 1, 0);
    source.messageName = name;
    AppletMessage message(source);
    name[0] = L'#';
    EXPECT_EQ(message.messageName, L"Original");
    EXPECT_NE(message.toRecord()->messageName, name);
}

TEST(AppletMessageTest, NullPointerInARecordReadsAsEmpty) {
    MessageRecord source = recordWith(nullptr, 0, 0, 0);
    AppletMessage message(source);
    EXPECT_EQ(message.targetType, L"");
    EXPECT_STREQ(message.toRecord()->messageData, L"");
}

TEST(AppletMessageTest, CopiesHaveTheirOwnRecordBuffers) {
    AppletMessage first;
    first.messageName = L"One";
    AppletMessage second(first);
    MessageRecord* a = first.toRecord();
    MessageRecord* b = second.toRecord();
    EXPECT_NE(a, b);
    first.messageName = L"Changed";
    first.toRecord();
    EXPECT_STREQ(second.toRecord()->messageName, L"One");
    EXPECT_STREQ(first.toRecord()->messageName, L"Changed");

    AppletMessage third;
    MessageRecord* c = third.toRecord();
    third = first;
    EXPECT_EQ(third.toRecord(), c);
    EXPECT_STREQ(c->messageName, L"Changed");
    EXPECT_NE(c->messageName, first.toRecord()->messageName);
}
