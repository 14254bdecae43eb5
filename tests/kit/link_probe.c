/* Calls the three entry points through an import library: linked by MinGW
 * (with its C runtime, main) and by lld-link in the Visual C++ format (no C
 * runtime at all, probeEntry). The exit status says what went wrong: 0 when
 * everything did what the header says. */
#include "HalvetPanelUI.h"

static int logCalls;

static void HALVETPANELUI_CALL countLog(int level, const wchar_t* module, ...) {
    (void)level;
    (void)module;
    ++logCalls;
}

static int probe(void) {
    HostContext host;
    MessageRecord message;
    ReplyReleaseFunction release = 0;
    const wchar_t* reply;
    int status = 0;
    host.header = 1;
    host.send = 0;
    host.log = countLog;
    host.reserved1 = 0;
    host.reserved2 = 0;
    /* No COM apartment here: initialize still gives 1, and says why it could
     * not read the document. */
    if (initialize(L"<CommandLineArguments/>", &host) != 1) status |= 1;
    message.header = 1;
    message.targetType = HALVETPANELUI_TARGET_APPLET;
    message.targetAppletID = L"HalvetPanel_UI";
    message.targetAppletVersion = L"1.0";
    message.targetInstanceID = L"1";
    message.sourceAppletID = HALVETPANELUI_TARGET_CORE;
    message.sourceAppletVersion = L"";
    message.sourceInstanceID = L"0";
    message.messageName = L"NoSuchMessage";
    message.messageData = L"";
    message.flagA = 0;
    message.flagB = 1;
    message.flagC = 0;
    message.padding = 0;
    reply = processMessage(&message, &release);
    if (!reply || reply[0] != 0 || release) status |= 2;
    if (finalize(L"probe") != 1) status |= 4;
    /* Initialize called, the unread document, MethodNotFound, Finalize called. */
    if (logCalls != 4) status |= 8;
    return status;
}

#ifdef HALVET_PROBE_NO_CRT
__declspec(dllimport) void __stdcall ExitProcess(unsigned int status);
void __cdecl probeEntry(void) {
    ExitProcess((unsigned int)probe());
}
#else
int main(void) {
    return probe();
}
#endif
