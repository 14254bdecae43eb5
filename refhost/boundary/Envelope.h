#pragma once
#include <cstdint>
#include <string>

#include "host/MessageRecord.h"

namespace refhost {

// One message envelope, copied out of a MessageRecord or to be lent as one.
// A null string pointer in a record the DLL sends is kept as "(null)" and
// counted in nullFields, so the trace shows it and a check can flag it.
struct Envelope {
    uint32_t header = 1;
    std::wstring targetType;
    std::wstring targetAppletID;
    std::wstring targetAppletVersion;
    std::wstring targetInstanceID;
    std::wstring sourceAppletID;
    std::wstring sourceAppletVersion;
    std::wstring sourceInstanceID;
    std::wstring messageName;
    std::wstring messageData;
    uint8_t flagA = 0;
    uint8_t flagB = 1;
    uint8_t flagC = 0;
    int nullFields = 0;

    // "Core" for messages to the host itself, else the target applet ID.
    std::wstring receiver() const;
    static Envelope fromRecord(const MessageRecord& record);
    // A record that borrows this envelope's strings: keep the envelope alive
    // and unchanged while the record is in use.
    MessageRecord toRecord() const;
};

}  // namespace refhost
