#include "host/AppletMessage.h"

namespace {

const wchar_t* textOrEmpty(const wchar_t* text) {
    return text ? text : L"";
}

std::unique_ptr<MessageRecord> freshRecord() {
    auto record = std::make_unique<MessageRecord>();  // value-initialised: all zero
    record->header = 1;
    return record;
}

}  // namespace

AppletMessage::AppletMessage() : targetType(L"Invalid"), record_(freshRecord()) {}

AppletMessage::AppletMessage(const MessageRecord& record)
    : targetType(textOrEmpty(record.targetType)),
      targetAppletID(textOrEmpty(record.targetAppletID)),
      targetAppletVersion(textOrEmpty(record.targetAppletVersion)),
      targetInstanceID(textOrEmpty(record.targetInstanceID)),
      sourceAppletID(textOrEmpty(record.sourceAppletID)),
      sourceAppletVersion(textOrEmpty(record.sourceAppletVersion)),
      sourceInstanceID(textOrEmpty(record.sourceInstanceID)),
      messageName(textOrEmpty(record.messageName)),
      messageData(textOrEmpty(record.messageData)),
      flagA(record.flagA),
      flagB(record.flagB),
      flagC(record.flagC),
      record_(freshRecord()) {}

AppletMessage::AppletMessage(const AppletMessage& other)
    : targetType(other.targetType),
      targetAppletID(other.targetAppletID),
      targetAppletVersion(other.targetAppletVersion),
      targetInstanceID(other.targetInstanceID),
      sourceAppletID(other.sourceAppletID),
      sourceAppletVersion(other.sourceAppletVersion),
      sourceInstanceID(other.sourceInstanceID),
      messageName(other.messageName),
      messageData(other.messageData),
      flagA(other.flagA),
      flagB(other.flagB),
      flagC(other.flagC),
      record_(freshRecord()) {}

AppletMessage& AppletMessage::operator=(const AppletMessage& other) {
    if (this == &other) return *this;
    targetType = other.targetType;
    targetAppletID = other.targetAppletID;
    targetAppletVersion = other.targetAppletVersion;
    targetInstanceID = other.targetInstanceID;
    sourceAppletID = other.sourceAppletID;
    sourceAppletVersion = other.sourceAppletVersion;
    sourceInstanceID = other.sourceInstanceID;
    messageName = other.messageName;
    messageData = other.messageData;
    flagA = other.flagA;
    flagB = other.flagB;
    flagC = other.flagC;
    return *this;
}

AppletMessage::~AppletMessage() = default;

MessageRecord* AppletMessage::toRecord() {
    MessageRecord& r = *record_;
    r.header = 1;
    r.targetType = targetType.c_str();
    r.targetAppletID = targetAppletID.c_str();
    r.targetAppletVersion = targetAppletVersion.c_str();
    r.targetInstanceID = targetInstanceID.c_str();
    r.sourceAppletID = sourceAppletID.c_str();
    r.sourceAppletVersion = sourceAppletVersion.c_str();
    r.sourceInstanceID = sourceInstanceID.c_str();
    r.messageName = messageName.c_str();
    r.messageData = messageData.c_str();
    r.flagA = flagA;
    r.flagB = flagB;
    r.flagC = flagC;
    r.padding = 0;
    return &r;
}
