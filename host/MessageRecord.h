#pragma once
#include <cstddef>
#include <cstdint>

// The records and function types that cross the boundary between the host and
// the plug-in. All text is NUL-terminated UTF-16. Every function takes its
// arguments right to left and the caller removes them (cdecl), as the variadic
// log function requires.

struct MessageRecord;

// Releases a reply text that its callee handed over as owned. The result is a
// one-byte boolean; callers ignore it.
using ReplyReleaseFunction = bool(__cdecl*)(void* reply);

// The host's message entry: delivers the record and returns the receiver's reply
// text (or null). The caller sets *release to null before the call; when the
// callee leaves a function there, the caller calls it exactly once, after
// copying the text.
using HostSendFunction = const wchar_t*(__cdecl*)(MessageRecord* message,
                                                  ReplyReleaseFunction* release);

// The host's log function: level, module name, then further wide strings, a
// printf-style format and its arguments, all pointer-sized.
using HostLogFunction = void(__cdecl*)(int level, const wchar_t* module, ...);

// The message envelope as it crosses the boundary (44 bytes on 32-bit). The
// strings are borrowed: valid only for the call that carries the record.
struct MessageRecord {
    uint32_t header;            // 1 in every record the plug-in fills; not examined on delivery
    const wchar_t* targetType;  // "Core" (the host itself) or "Applet"
    const wchar_t* targetAppletID;
    const wchar_t* targetAppletVersion;
    const wchar_t* targetInstanceID;
    const wchar_t* sourceAppletID;
    const wchar_t* sourceAppletVersion;
    const wchar_t* sourceInstanceID;
    const wchar_t* messageName;
    const wchar_t* messageData;  // XML text, or empty
    uint8_t flagA;
    uint8_t flagB;
    uint8_t flagC;
    uint8_t padding;  // 0 in records the plug-in fills
};

// What the host passes to initialize. The plug-in copies the four words after
// the header and keeps no pointer to the record.
struct HostContext {
    uint32_t header;  // not read
    HostSendFunction send;
    HostLogFunction log;
    void* reserved1;  // kept, never read
    void* reserved2;  // kept, never read
};

namespace halvet::layout {
// Offset of the first pointer: the 32-bit header rounded up to pointer alignment.
constexpr size_t firstPointer =
    (sizeof(uint32_t) + alignof(void*) - 1) / alignof(void*) * alignof(void*);
constexpr size_t pointerField(size_t index) {
    return firstPointer + index * sizeof(void*);
}
}  // namespace halvet::layout

static_assert(offsetof(MessageRecord, header) == 0);
static_assert(offsetof(MessageRecord, targetType) == halvet::layout::pointerField(0));
static_assert(offsetof(MessageRecord, targetAppletID) == halvet::layout::pointerField(1));
static_assert(offsetof(MessageRecord, targetAppletVersion) == halvet::layout::pointerField(2));
static_assert(offsetof(MessageRecord, targetInstanceID) == halvet::layout::pointerField(3));
static_assert(offsetof(MessageRecord, sourceAppletID) == halvet::layout::pointerField(4));
static_assert(offsetof(MessageRecord, sourceAppletVersion) == halvet::layout::pointerField(5));
static_assert(offsetof(MessageRecord, sourceInstanceID) == halvet::layout::pointerField(6));
static_assert(offsetof(MessageRecord, messageName) == halvet::layout::pointerField(7));
static_assert(offsetof(MessageRecord, messageData) == halvet::layout::pointerField(8));
static_assert(offsetof(MessageRecord, flagA) == halvet::layout::pointerField(9));
static_assert(offsetof(MessageRecord, flagB) == halvet::layout::pointerField(9) + 1);
static_assert(offsetof(MessageRecord, flagC) == halvet::layout::pointerField(9) + 2);
static_assert(offsetof(MessageRecord, padding) == halvet::layout::pointerField(9) + 3);

static_assert(offsetof(HostContext, header) == 0);
static_assert(offsetof(HostContext, send) == halvet::layout::pointerField(0));
static_assert(offsetof(HostContext, log) == halvet::layout::pointerField(1));
static_assert(offsetof(HostContext, reserved1) == halvet::layout::pointerField(2));
static_assert(offsetof(HostContext, reserved2) == halvet::layout::pointerField(3));

#if !defined(_WIN64)
static_assert(sizeof(void*) == 4);
static_assert(sizeof(MessageRecord) == 44);
static_assert(offsetof(MessageRecord, targetType) == 4);
static_assert(offsetof(MessageRecord, messageData) == 36);
static_assert(offsetof(MessageRecord, flagA) == 40);
static_assert(sizeof(HostContext) == 20);
static_assert(offsetof(HostContext, log) == 8);
#endif
