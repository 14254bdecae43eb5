#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "host/MessageRecord.h"

// The owning form of a message envelope: copies of the nine strings and the
// three flag bytes, plus a record buffer of its own through which the message
// is handed to the host (toRecord). Buffers are never shared between copies.
class AppletMessage {
public:
    // "Invalid" target type, eight empty strings, flags 0, 1, 0.
    AppletMessage();
    // Copies the strings (up to their NUL; a null pointer reads as empty) and
    // the flags; the record's header is not copied.
    explicit AppletMessage(const MessageRecord& record);
    AppletMessage(const AppletMessage& other);
    // Copies strings and flags; each object keeps its own record buffer.
    AppletMessage& operator=(const AppletMessage& other);
    ~AppletMessage();

    // Fills this object's record buffer (header 1, pointers into the current
    // strings, flags, padding 0) and returns it. Valid until this object or
    // one of its strings changes; use it at once for a single host call.
    MessageRecord* toRecord();

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

private:
    std::unique_ptr<MessageRecord> record_;
};
