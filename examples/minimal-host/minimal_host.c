/*
 * minimal_host.c: the smallest host of HalvetPanelUI.dll that does everything
 * the DLL needs. Copy it and replace the three stand-ins (the HTML container,
 * the container logic and the panel logic) with your own components.
 *
 * The road: COM apartment, LoadLibrary, initialize (before any window, so that
 * a missing apartment shows at once), the host window, "CreateView",
 * "ShowView", the container's "OnLoadEnd" event through the panel's callback,
 * "HideSpinner", a resize of the host window, finalize, FreeLibrary. Each step
 * runs from the message loop; nothing is called back into the DLL from inside
 * one of its sends. The program prints what happens and ends with
 * "result: passed" (exit 0) or "result: FAILED" (exit 1).
 *
 *   minimal_host.exe            the DLL beside the program
 */
#ifndef UNICODE
#define UNICODE
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <objbase.h>

#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "HalvetPanelUI.h"

/* The steps of the road, posted to the host window one after the other. */
enum { STEP_CREATE_VIEW = WM_APP + 1, STEP_SHOW_VIEW, STEP_PAGE_LOADED, STEP_HIDE_SPINNER,
       STEP_RESIZE, STEP_FINALIZE };
#define WATCHDOG_TIMER 1
#define TEXT_SIZE 1024

static struct {
    HMODULE dll;
    HalvetInitializeFunction initialize;
    HalvetProcessMessageFunction processMessage;
    HalvetFinalizeFunction finalize;
    HWND window;                      /* the host window that holds the panel */
    HWND panelDialog;                 /* named by "attachParentWindow" */
    HalvetContainerCallback callback; /* named by "attachParentWindow"; null after "signalUIClose" */
    wchar_t pageUrl[TEXT_SIZE];       /* named by "processURL" */
    int hostRepliesOutstanding;       /* owned replies of this host not yet released by the DLL */
    int panelRepliesOutstanding;      /* owned replies of the DLL not yet released by this host */
    int loadEndRelays;
    int closeSignals;
    int failures;
} host;

static void check(int condition, const char* what) {
    printf("%s: %s\n", condition ? "ok" : "FAILED", what);
    if (!condition) ++host.failures;
}

/* --- Small text helpers. ---------------------------------------------------- */

/* The text of the first <name> element of an XML text (no attributes, no
 * nesting: enough for the DLL's messages to the container). */
static int elementText(const wchar_t* xml, const wchar_t* name, wchar_t* out, size_t size) {
    wchar_t open[64], close[64];
    const wchar_t *start, *end;
    swprintf(open, 64, L"<%ls>", name);
    swprintf(close, 64, L"</%ls>", name);
    start = wcsstr(xml, open);
    if (!start) return 0;
    start += wcslen(open);
    end = wcsstr(start, close);
    if (!end || (size_t)(end - start) >= size) return 0;
    wmemcpy(out, start, end - start);
    out[end - start] = L'\0';
    return 1;
}

/* Handles and addresses travel as "0x" and hexadecimal digits. */
static uintptr_t pointerOf(const wchar_t* text) {
    return (uintptr_t)wcstoull(text, NULL, 16);
}

/* --- Reply ownership, this host's side. ------------------------------------ */

/* The release function this host hands the DLL with each owned reply. */
static HalvetBool __cdecl releaseHostReply(void* reply) {
    free(reply);
    --host.hostRepliesOutstanding;
    return 1;
}

/* An owned copy of a reply text: the DLL copies it and calls releaseHostReply
 * once. (A static text with *release left null is just as valid.) */
static const wchar_t* ownedReply(const wchar_t* text, ReplyReleaseFunction* release) {
    size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    wchar_t* copy = (wchar_t*)malloc(bytes);
    if (!copy) return L"";
    memcpy(copy, text, bytes);
    *release = releaseHostReply;
    ++host.hostRepliesOutstanding;
    return copy;
}

/* --- The three stand-ins behind the send function. -------------------------- */

/* The HTML container ("HEX_UIX"): keeps the dialog and the callback, "loads"
 * the page by posting its load event for later, lets go at "signalUIClose". */
static const wchar_t* htmlContainer(const MessageRecord* m, ReplyReleaseFunction* release) {
    wchar_t text[TEXT_SIZE];
    if (wcscmp(m->messageName, HALVETPANELUI_MSG_ATTACH_PARENT_WINDOW) == 0) {
        if (elementText(m->messageData, L"parentWindowPtr", text, TEXT_SIZE))
            host.panelDialog = (HWND)pointerOf(text);
        if (elementText(m->messageData, L"callbackFnPtr", text, TEXT_SIZE))
            host.callback = (HalvetContainerCallback)pointerOf(text);
    } else if (wcscmp(m->messageName, HALVETPANELUI_MSG_PROCESS_URL) == 0) {
        elementText(m->messageData, L"url", host.pageUrl, TEXT_SIZE);
        /* A real web view reports the load later, from the message loop. */
        PostMessageW(host.window, STEP_PAGE_LOADED, 0, 0);
    } else if (wcscmp(m->messageName, HALVETPANELUI_MSG_SIGNAL_UI_CLOSE) == 0) {
        /* No calls to the callback after this. */
        host.callback = NULL;
        host.panelDialog = NULL;
        ++host.closeSignals;
    }
    return ownedReply(HALVETPANELUI_REPLY_SUCCESS, release);
}

/* The container logic ("Q7Container_BL"): no stored proxy credentials. */
static const wchar_t* containerLogic(const MessageRecord* m, ReplyReleaseFunction* release) {
    (void)release;
    if (wcscmp(m->messageName, HALVETPANELUI_MSG_SHOW_PROXY_DIALOG) == 0)
        return HALVETPANELUI_REPLY_TRUE;
    return HALVETPANELUI_REPLY_EMPTY;
}

/* The panel logic ("HalvetPanel_BL"): once the page has loaded, the spinner
 * may stop. The host sends "HideSpinner" later, not from inside this send. */
static const wchar_t* panelLogic(const MessageRecord* m, ReplyReleaseFunction* release) {
    (void)release;
    if (wcscmp(m->messageName, HALVETPANELUI_EVENT_LOAD_END) == 0) {
        ++host.loadEndRelays;
        PostMessageW(host.window, STEP_HIDE_SPINNER, 0, 0);
    }
    return HALVETPANELUI_REPLY_EMPTY;
}

/* The host's send function: routes the DLL's envelope to its receiver. The
 * DLL has set *release to null; a receiver that hands over an owned copy puts
 * its release function there. */
static const wchar_t* __cdecl hostSend(MessageRecord* m, ReplyReleaseFunction* release) {
    printf("send: %ls to %ls %ls\n", m->messageName, m->targetType, m->targetAppletID);
    if (wcscmp(m->targetType, HALVETPANELUI_TARGET_APPLET) == 0) {
        if (wcscmp(m->targetAppletID, HALVETPANELUI_APPLET_CONTAINER) == 0)
            return htmlContainer(m, release);
        if (wcscmp(m->targetAppletID, HALVETPANELUI_APPLET_CONTAINER_LOGIC) == 0)
            return containerLogic(m, release);
        if (wcscmp(m->targetAppletID, HALVETPANELUI_APPLET_PANEL_LOGIC) == 0)
            return panelLogic(m, release);
    }
    return HALVETPANELUI_REPLY_EMPTY; /* "Core": "GetAppletRelation" is not needed here */
}

/* The host's log function. Two layouts: after level and module come either
 * three strings, the format and its argument (the 3rd argument is empty:
 * "Initialize called", "Finalize called"), or four strings, the format and its
 * argument (the 3rd argument names a class: warnings such as "MethodNotFound").
 * %s means a wide string. */
static void __cdecl hostLog(int level, const wchar_t* module, ...) {
    const wchar_t *strings[4], *format, *argument, *mark;
    int count, i;
    va_list args;
    va_start(args, module);
    strings[0] = va_arg(args, const wchar_t*);
    count = (strings[0] && strings[0][0]) ? 4 : 3;
    for (i = 1; i < count; ++i) strings[i] = va_arg(args, const wchar_t*);
    format = va_arg(args, const wchar_t*);
    argument = va_arg(args, const wchar_t*);
    va_end(args);
    if (!format) return;
    mark = wcsstr(format, L"%s");
    printf("log %d %ls%ls%ls: ", level, module, count == 4 ? L" " : L"", count == 4 ? strings[3] : L"");
    if (mark && argument) {
        printf("%.*ls%.60ls%ls%ls\n", (int)(mark - format), format, argument,
               wcslen(argument) > 60 ? L"..." : L"", mark + 2);
    } else {
        printf("%ls\n", format);
    }
}

/* --- Messages to the panel. ------------------------------------------------- */

/* Delivers one host message and returns a copy of the reply in out. An owned
 * reply is released at once, after the copy, and always before FreeLibrary.
 * *release is preset: the "InvalidArguments" reply leaves it unwritten. */
static void sendToPanel(const wchar_t* name, const wchar_t* data, wchar_t* out, size_t size) {
    MessageRecord m;
    ReplyReleaseFunction release = NULL;
    const wchar_t* reply;
    memset(&m, 0, sizeof m);
    m.header = 1;
    m.targetType = HALVETPANELUI_TARGET_APPLET;
    m.targetAppletID = L"HalvetPanel_UI";
    m.targetAppletVersion = L"1.0";
    m.targetInstanceID = L"1";
    m.sourceAppletID = HALVETPANELUI_TARGET_CORE;
    m.sourceAppletVersion = L"1.0";
    m.sourceInstanceID = L"0";
    m.messageName = name;
    m.messageData = data;
    m.flagB = 1;
    reply = host.processMessage(&m, &release);
    if (release) ++host.panelRepliesOutstanding;
    swprintf(out, size, L"%ls", reply);
    if (release) {
        release((void*)reply);
        --host.panelRepliesOutstanding;
    }
    printf("%ls -> \"%ls\"%s\n", name, out, release ? " (owned, released)" : "");
}

/* --- The host window and the road. ------------------------------------------ */

static LRESULT CALLBACK hostWindowProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    wchar_t reply[TEXT_SIZE], data[256];
    RECT client;
    switch (message) {
    case STEP_CREATE_VIEW:
        swprintf(data, 256, L"<xmlData><parentViewPtr>0x%llx</parentViewPtr></xmlData>",
                 (unsigned long long)(uintptr_t)window);
        sendToPanel(HALVETPANELUI_MSG_CREATE_VIEW, data, reply, TEXT_SIZE);
        check(pointerOf(reply) == (uintptr_t)window, "CreateView answers the host window's handle");
        check(host.panelDialog && GetParent(host.panelDialog) == window,
              "the panel's dialog is a child of the host window");
        check(host.callback != NULL, "the container got the panel's callback");
        PostMessageW(window, STEP_SHOW_VIEW, 0, 0);
        return 0;
    case STEP_SHOW_VIEW:
        sendToPanel(HALVETPANELUI_MSG_SHOW_VIEW, L"", reply, TEXT_SIZE);
        check(wcscmp(reply, HALVETPANELUI_REPLY_SUCCESS) == 0 && IsWindowVisible(host.panelDialog),
              "ShowView shows the panel");
        return 0;
    case STEP_PAGE_LOADED: /* the container's web view has loaded the page */
        printf("page: %ls (%s)\n", host.pageUrl,
               GetFileAttributesW(host.pageUrl) != INVALID_FILE_ATTRIBUTES ? "present" : "missing");
        if (host.callback) host.callback(HALVETPANELUI_EVENT_LOAD_END, host.pageUrl);
        check(host.loadEndRelays == 1, "the panel logic got the OnLoadEnd relay");
        return 0;
    case STEP_HIDE_SPINNER:
        sendToPanel(HALVETPANELUI_MSG_HIDE_SPINNER, L"", reply, TEXT_SIZE);
        check(wcscmp(reply, HALVETPANELUI_REPLY_SUCCESS) == 0, "HideSpinner");
        PostMessageW(window, STEP_RESIZE, 0, 0);
        return 0;
    case STEP_RESIZE:
        SetWindowPos(window, NULL, 0, 0, 900, 700, SWP_NOMOVE | SWP_NOZORDER);
        GetClientRect(host.panelDialog, &client);
        {
            RECT outer;
            GetClientRect(window, &outer);
            check(client.right == outer.right && client.bottom == outer.bottom,
                  "the panel's dialog follows the host window (the host sizes it)");
        }
        PostMessageW(window, STEP_FINALIZE, 0, 0);
        return 0;
    case STEP_FINALIZE:
        check(host.finalize(L"minimal host done") == 1, "finalize");
        check(host.closeSignals == 1 && host.callback == NULL, "signalUIClose came; callback dropped");
        DestroyWindow(window);
        return 0;
    case WM_SIZE: /* the panel's dialog does not follow the host window by itself */
        if (host.panelDialog)
            MoveWindow(host.panelDialog, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
        return 0;
    case WM_TIMER:
        if (wp == WATCHDOG_TIMER) {
            check(0, "the road ended in time");
            DestroyWindow(window);
        }
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wp, lp);
}

/* GetProcAddress gives a generic function pointer; going through
 * void (*)(void), which converts to any function pointer, keeps compilers'
 * cast warnings quiet. */
typedef void (*AnyFunction)(void);
#define EXPORT_OF(type, name) ((type)(AnyFunction)GetProcAddress(host.dll, name))

static int loadPanel(const wchar_t* folder) {
    wchar_t path[MAX_PATH];
    swprintf(path, MAX_PATH, L"%ls\\%hs", folder, HALVETPANELUI_DLL_NAME);
    host.dll = LoadLibraryW(path);
    if (!host.dll) {
        printf("cannot load %ls (error %lu)\n", path, GetLastError());
        return 0;
    }
    host.initialize = EXPORT_OF(HalvetInitializeFunction, HALVETPANELUI_EXPORT_INITIALIZE);
    host.processMessage = EXPORT_OF(HalvetProcessMessageFunction, HALVETPANELUI_EXPORT_PROCESS_MESSAGE);
    host.finalize = EXPORT_OF(HalvetFinalizeFunction, HALVETPANELUI_EXPORT_FINALIZE);
    return host.initialize && host.processMessage && host.finalize;
}

int main(void) {
    wchar_t folder[MAX_PATH], document[2 * MAX_PATH];
    HostContext context = {1, hostSend, hostLog, NULL, NULL};
    WNDCLASSW windowClass;
    MSG msg;
    HRESULT apartment;
    setvbuf(stdout, NULL, _IONBF, 0);

    /* 1. The thread that calls the DLL lives in a single-threaded apartment. */
    apartment = CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
    check(SUCCEEDED(apartment), "single-threaded COM apartment");

    /* 2. Load the DLL from this program's folder; initialize before any window. */
    GetModuleFileNameW(NULL, folder, MAX_PATH);
    *wcsrchr(folder, L'\\') = L'\0';
    if (!loadPanel(folder)) {
        printf("result: FAILED\n");
        return 1;
    }
    swprintf(document, 2 * MAX_PATH,
             L"<CommandLineArguments><appletID>HalvetPanel_UI</appletID>"
             L"<appletVersion>1.0</appletVersion><appletInstanceID>1</appletInstanceID>"
             L"<appletDIR>%ls</appletDIR><isHighDPI>0</isHighDPI></CommandLineArguments>",
             folder);
    check(host.initialize(document, &context) == 1, "initialize");

    /* 3. The host window, and the road through its message loop. */
    memset(&windowClass, 0, sizeof windowClass);
    windowClass.lpfnWndProc = hostWindowProc;
    windowClass.hInstance = GetModuleHandleW(NULL);
    windowClass.lpszClassName = L"MinimalHostWindow";
    windowClass.hCursor = LoadCursor(NULL, IDC_ARROW);
    RegisterClassW(&windowClass);
    host.window = CreateWindowExW(0, windowClass.lpszClassName, L"Minimal host",
                                  WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 640, 480, NULL, NULL, windowClass.hInstance, NULL);
    check(host.window != NULL, "host window");
    ShowWindow(host.window, SW_SHOW);
    SetTimer(host.window, WATCHDOG_TIMER, 30000, NULL);
    PostMessageW(host.window, STEP_CREATE_VIEW, 0, 0);
    while (GetMessageW(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }

    /* 4. Every owned reply is released before the DLL goes. */
    check(host.hostRepliesOutstanding == 0, "the DLL released every owned reply of the host");
    check(host.panelRepliesOutstanding == 0, "the host released every owned reply of the DLL");
    FreeLibrary(host.dll);
    if (SUCCEEDED(apartment)) CoUninitialize();
    printf("outstanding: %d host replies, %d panel replies\n", host.hostRepliesOutstanding,
           host.panelRepliesOutstanding);
    printf("result: %s\n", host.failures ? "FAILED" : "passed");
    return host.failures ? 1 : 0;
}
