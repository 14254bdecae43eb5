#include "boundary/Envelope.h"

namespace refhost {

namespace {

std::wstring copied(const wchar_t* text, int& nulls) {
    if (text) return text;
    ++nulls;
    return L"(null)";
}

}  // namespace

std::wstring Envelope::receiver() const {
    return targetType == L"Core" ? L"Core" : targetAppletID;
}

Envelope Envelope::fromRecord(const MessageRecord& r) {
    Envelope e;
    e.header = r.header;
    e.targetType = copied(r.targetType, e.nullFields);
    e.targetAppletID = copied(r.targetAppletID, e.nullFields);
    e.targetAppletVersion = copied(r.targetAppletVersion, e.nullFields);
    e.targetInstanceID = copied(r.targetInstanceID, e.nullFields);
    e.sourceAppletID = copied(r.sourceAppletID, e.nullFields);
    e.sourceAppletVersion = copied(r.sourceAppletVersion, e.nullFields);
    e.sourceInstanceID = copied(r.sourceInstanceID, e.nullFields);
    e.messageName = copied(r.messageName, e.nullFields);
    e.messageData = copied(r.messageData, e.nullFields);
    e.flagA = r.flagA;
    e.flagB = r.flagB;
    e.flagC = r.flagC;
    return e;
}

MessageRecord Envelope::toRecord() const {
    MessageRecord r{};
    r.header = header;
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
    return r;
}

}  // namespace refhost
