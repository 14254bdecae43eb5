/*
 * HalvetPanelUI.h: what a host needs to load and drive HalvetPanelUI.dll.
 *
 * C89 and C++, 32-bit and 64-bit Windows. The layout part needs nothing but
 * the compiler's own <stddef.h>; every record size and field offset is checked
 * at compile time, so a compiler that lays the records out differently stops
 * here instead of in the host's first call.
 *
 * All text that crosses the boundary is NUL-terminated UTF-16 (wchar_t is
 * 16 bits on Windows). Every function on either side uses the caller-cleans
 * convention (__cdecl), which the variadic log function requires.
 *
 * The guide that comes with this header (HalvetPanelUI-guide.md / .html)
 * explains each message, reply and rule; the comments here are the short form.
 */
#ifndef HALVETPANELUI_H
#define HALVETPANELUI_H

#include <stddef.h>

/* --- Version of the DLL this header describes. -------------------------- */
#define HALVETPANELUI_VERSION_MAJOR 1
#define HALVETPANELUI_VERSION_MINOR 0
#define HALVETPANELUI_VERSION_PATCH 0
#define HALVETPANELUI_VERSION_TEXT "1.0.0"

/* --- Calling convention and linkage. ------------------------------------ */
#if defined(_WIN32)
#define HALVETPANELUI_CALL __cdecl
#else
#define HALVETPANELUI_CALL
#endif

/* Define HALVETPANELUI_API as __declspec(dllimport) before the include when
 * linking with an import library and wanting direct import calls; empty by
 * default, which works with the import libraries and with the DLL's own build. */
#ifndef HALVETPANELUI_API
#define HALVETPANELUI_API
#endif

#ifdef __cplusplus
extern "C" {
/* The one-byte boolean of ReplyReleaseFunction: bool in C++, a byte in C
 * (returned in the same register either way). */
typedef bool HalvetBool;
#else
typedef unsigned char HalvetBool;
#endif

/* --- Export names, for GetProcAddress. ---------------------------------- */
/* The three entry points have undecorated names at both widths. */
#define HALVETPANELUI_EXPORT_INITIALIZE "initialize"
#define HALVETPANELUI_EXPORT_PROCESS_MESSAGE "processMessage"
#define HALVETPANELUI_EXPORT_FINALIZE "finalize"
/* The process-launch forwarder is named as each width's system DLL names it. */
#if defined(_WIN64)
#define HALVETPANELUI_EXPORT_CREATE_PROCESS_WITH_TOKEN "CreateProcessWithTokenW"
#else
#define HALVETPANELUI_EXPORT_CREATE_PROCESS_WITH_TOKEN "_CreateProcessWithTokenW@36"
#endif
#define HALVETPANELUI_DLL_NAME "HalvetPanelUI.dll"

/* --- Records and function types. ---------------------------------------- */
/* The records use the platform's natural alignment, whatever packing the
 * including code has set. */
#pragma pack(push, 8)

typedef struct MessageRecord MessageRecord;

/* Releases a reply text that its callee handed over as owned. Called exactly
 * once per owned reply, after the text was copied; the result is ignored. */
typedef HalvetBool(HALVETPANELUI_CALL* ReplyReleaseFunction)(void* reply);

/* The host's message entry, the mirror of processMessage: delivers the record
 * and returns the receiver's reply text (null counts as empty). The DLL sets
 * *release to null before the call; a function the host leaves there is
 * called exactly once with the returned text, after the DLL copied it. */
typedef const wchar_t*(HALVETPANELUI_CALL* HostSendFunction)(MessageRecord* message,
                                                           ReplyReleaseFunction* release);

/* The host's log function. Two argument layouts reach it, told apart by the
 * level and the 3rd argument:
 *   level 30, module, "", "", "", format, text
 *       (format in the 6th place: "Initialize called: %s", "Finalize called: %s")
 *   level 20, module, class name, "", "", event name, format, text
 *       (format in the 7th place: "MethodNotFound", "InitializeDocumentUnread")
 * Every argument after the level is a wide string; %s in a format means a
 * wide string. */
typedef void(HALVETPANELUI_CALL* HostLogFunction)(int level, const wchar_t* module, ...);

/* The function through which the host's HTML container reports its events;
 * its address comes as text in "attachParentWindow" (callbackFnPtr). Always
 * returns 0. */
typedef int(HALVETPANELUI_CALL* HalvetContainerCallback)(const wchar_t* eventName,
                                                       const wchar_t* payload);

/* The message envelope, in both directions. The strings are borrowed: they
 * belong to the side that made the record and are valid only for the call
 * that carries it. 44 bytes at 32 bits, 88 at 64 bits. */
struct MessageRecord {
    unsigned int header;        /* 1 in records the DLL fills; not examined on delivery */
    const wchar_t* targetType;  /* "Core" (the host itself) or "Applet" */
    const wchar_t* targetAppletID;
    const wchar_t* targetAppletVersion;
    const wchar_t* targetInstanceID;
    const wchar_t* sourceAppletID;
    const wchar_t* sourceAppletVersion;
    const wchar_t* sourceInstanceID;
    const wchar_t* messageName;
    const wchar_t* messageData; /* XML text, or empty; never null */
    unsigned char flagA;
    unsigned char flagB;
    unsigned char flagC;
    unsigned char padding;      /* 0 in records the DLL fills */
};

/* What the host passes to initialize. The DLL copies the four words after the
 * header and keeps no pointer to the record. 20 bytes at 32 bits, 40 at 64. */
typedef struct HostContext {
    unsigned int header; /* not read */
    HostSendFunction send;
    HostLogFunction log;
    void* reserved1; /* kept, never read */
    void* reserved2; /* kept, never read */
} HostContext;

#pragma pack(pop)

/* --- The exports and their pointer types. -------------------------------- */
/* Call everything on one thread that is in a single-threaded COM apartment
 * (CoInitializeEx(NULL, COINIT_APARTMENTTHREADED)) and runs a message loop. */

/* Once, first. 1 on success, 0 when an argument is null. */
typedef int(HALVETPANELUI_CALL* HalvetInitializeFunction)(const wchar_t* initXml, HostContext* host);
/* Once per message. Never null. Preset *release to null: on "InvalidArguments"
 * the DLL leaves it unwritten. When it comes back non-null, call it once with
 * the reply when done, and before FreeLibrary. */
typedef const wchar_t*(HALVETPANELUI_CALL* HalvetProcessMessageFunction)(
    MessageRecord* request, ReplyReleaseFunction* release);
/* Once, last, before FreeLibrary. 0 when finalText is null, else 1. */
typedef int(HALVETPANELUI_CALL* HalvetFinalizeFunction)(const wchar_t* finalText);

#ifndef HALVETPANELUI_NO_PROTOTYPES
HALVETPANELUI_API int HALVETPANELUI_CALL initialize(const wchar_t* initXml, HostContext* host);
HALVETPANELUI_API const wchar_t* HALVETPANELUI_CALL processMessage(MessageRecord* request,
                                                                  ReplyReleaseFunction* release);
HALVETPANELUI_API int HALVETPANELUI_CALL finalize(const wchar_t* finalText);
#endif

/* --- Names that cross the boundary. ------------------------------------- */
#define HALVETPANELUI_MODULE_NAME L"HalvetPanelUI"

/* Target types. */
#define HALVETPANELUI_TARGET_CORE L"Core"
#define HALVETPANELUI_TARGET_APPLET L"Applet"

/* The applets the panel talks to. */
#define HALVETPANELUI_APPLET_CONTAINER L"HEX_UIX"
#define HALVETPANELUI_APPLET_CONTAINER_LOGIC L"Q7Container_BL"
#define HALVETPANELUI_APPLET_PANEL_LOGIC L"HalvetPanel_BL"

/* Messages the DLL accepts (host -> DLL). */
#define HALVETPANELUI_MSG_CREATE_VIEW L"CreateView"
#define HALVETPANELUI_MSG_SHOW_VIEW L"ShowView"
#define HALVETPANELUI_MSG_HIDE_VIEW L"HideView"
#define HALVETPANELUI_MSG_HIDE_SPINNER L"HideSpinner"
#define HALVETPANELUI_MSG_RELOAD_HTML L"ReloadHTML"
#define HALVETPANELUI_MSG_LOAD_BLANK L"LoadBlank"
#define HALVETPANELUI_MSG_CONTENT_FOR_HTML L"ContentForHTML"
#define HALVETPANELUI_MSG_PROCESS_FONTS L"ProcessFonts"
#define HALVETPANELUI_MSG_PROXY_CREDENTIALS_UPDATED L"proxyCredentialsUpdated"

/* Messages the DLL sends (DLL -> host, container or logic applets). */
#define HALVETPANELUI_MSG_ATTACH_PARENT_WINDOW L"attachParentWindow"
#define HALVETPANELUI_MSG_PROCESS_URL L"processURL"
#define HALVETPANELUI_MSG_REFRESH_VIEW L"RefreshView"
#define HALVETPANELUI_MSG_SIGNAL_UI_CLOSE L"signalUIClose"
#define HALVETPANELUI_MSG_CHANGE_URL L"changeURL"
#define HALVETPANELUI_MSG_PROCESS_MESSAGE_FOR_JSON L"processMessageForJSON"
#define HALVETPANELUI_MSG_SET_PROXY_CREDENTIALS L"setProxyCredentials"
#define HALVETPANELUI_MSG_GET_PROXY_CREDENTIALS L"GetProxyCredentials"
#define HALVETPANELUI_MSG_SHOW_PROXY_DIALOG L"ShowProxyDialog"
#define HALVETPANELUI_MSG_NETWORK_ERROR L"HEX_NETWORK_ERROR"
#define HALVETPANELUI_MSG_NETWORK_ERROR_RETRY L"HEX_NETWORK_ERROR_RETRY"
#define HALVETPANELUI_MSG_GET_APPLET_RELATION L"GetAppletRelation"

/* Container events (containerCallback). A name that contains
 * HALVETPANELUI_EVENT_NETWORK_ERROR_MARK is a network error. */
#define HALVETPANELUI_EVENT_LOAD_END L"OnLoadEnd"
#define HALVETPANELUI_EVENT_RENDER_PROCESS_TERMINATED L"OnRenderProcessTerminated"
#define HALVETPANELUI_EVENT_NETWORK_ERROR_MARK L"CEF_ERROR"

/* Fixed replies: static texts of the DLL, handed back with *release null. */
#define HALVETPANELUI_REPLY_SUCCESS L"Success"
#define HALVETPANELUI_REPLY_FAILURE L"Failure"
#define HALVETPANELUI_REPLY_TRUE L"true"
#define HALVETPANELUI_REPLY_INVALID_ARGUMENTS L"InvalidArguments"
#define HALVETPANELUI_REPLY_EMPTY L""

/* Log levels of the DLL's calls to HostLogFunction. */
#define HALVETPANELUI_LOG_WARNING 20
#define HALVETPANELUI_LOG_ENTRY 30

#ifdef __cplusplus
}
#endif

/* --- Layout checks: C89 has no static assertion, a negative array size
 * stands in for one. ------------------------------------------------------ */
#define HALVETPANELUI_CHECK(name, condition) \
    typedef char halvetpanelui_check_##name[(condition) ? 1 : -1]

#if defined(_WIN64)
#define HALVETPANELUI_P 8 /* pointer size */
#else
#define HALVETPANELUI_P 4
#endif

HALVETPANELUI_CHECK(pointer_size, sizeof(void*) == HALVETPANELUI_P);
HALVETPANELUI_CHECK(wide_char_is_16_bits, sizeof(wchar_t) == 2);
HALVETPANELUI_CHECK(unsigned_int_is_32_bits, sizeof(unsigned int) == 4);
HALVETPANELUI_CHECK(bool_is_one_byte, sizeof(HalvetBool) == 1);

HALVETPANELUI_CHECK(record_header, offsetof(MessageRecord, header) == 0);
HALVETPANELUI_CHECK(record_targetType, offsetof(MessageRecord, targetType) == 1 * HALVETPANELUI_P);
HALVETPANELUI_CHECK(record_targetAppletID, offsetof(MessageRecord, targetAppletID) == 2 * HALVETPANELUI_P);
HALVETPANELUI_CHECK(record_targetAppletVersion,
                    offsetof(MessageRecord, targetAppletVersion) == 3 * HALVETPANELUI_P);
HALVETPANELUI_CHECK(record_targetInstanceID,
                    offsetof(MessageRecord, targetInstanceID) == 4 * HALVETPANELUI_P);
HALVETPANELUI_CHECK(record_sourceAppletID, offsetof(MessageRecord, sourceAppletID) == 5 * HALVETPANELUI_P);
HALVETPANELUI_CHECK(record_sourceAppletVersion,
                    offsetof(MessageRecord, sourceAppletVersion) == 6 * HALVETPANELUI_P);
HALVETPANELUI_CHECK(record_sourceInstanceID,
                    offsetof(MessageRecord, sourceInstanceID) == 7 * HALVETPANELUI_P);
HALVETPANELUI_CHECK(record_messageName, offsetof(MessageRecord, messageName) == 8 * HALVETPANELUI_P);
HALVETPANELUI_CHECK(record_messageData, offsetof(MessageRecord, messageData) == 9 * HALVETPANELUI_P);
HALVETPANELUI_CHECK(record_flagA, offsetof(MessageRecord, flagA) == 10 * HALVETPANELUI_P);
HALVETPANELUI_CHECK(record_flagB, offsetof(MessageRecord, flagB) == 10 * HALVETPANELUI_P + 1);
HALVETPANELUI_CHECK(record_flagC, offsetof(MessageRecord, flagC) == 10 * HALVETPANELUI_P + 2);
HALVETPANELUI_CHECK(record_padding, offsetof(MessageRecord, padding) == 10 * HALVETPANELUI_P + 3);
HALVETPANELUI_CHECK(record_size, sizeof(MessageRecord) == 11 * HALVETPANELUI_P);

HALVETPANELUI_CHECK(context_header, offsetof(HostContext, header) == 0);
HALVETPANELUI_CHECK(context_send, offsetof(HostContext, send) == 1 * HALVETPANELUI_P);
HALVETPANELUI_CHECK(context_log, offsetof(HostContext, log) == 2 * HALVETPANELUI_P);
HALVETPANELUI_CHECK(context_reserved1, offsetof(HostContext, reserved1) == 3 * HALVETPANELUI_P);
HALVETPANELUI_CHECK(context_reserved2, offsetof(HostContext, reserved2) == 4 * HALVETPANELUI_P);
HALVETPANELUI_CHECK(context_size, sizeof(HostContext) == 5 * HALVETPANELUI_P);

#if !defined(_WIN64)
/* The sizes as the guide states them. */
HALVETPANELUI_CHECK(record_size_32, sizeof(MessageRecord) == 44);
HALVETPANELUI_CHECK(context_size_32, sizeof(HostContext) == 20);
#else
HALVETPANELUI_CHECK(record_size_64, sizeof(MessageRecord) == 88);
HALVETPANELUI_CHECK(context_size_64, sizeof(HostContext) == 40);
#endif

#undef HALVETPANELUI_P

#endif /* HALVETPANELUI_H */
