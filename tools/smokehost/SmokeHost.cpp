// Loads HalvetPanelUI.dll from this program's folder and plays a short session
// against it: initialize, a few host messages, finalize. Prints every call it
// makes, every reply, every envelope the DLL sends and every log call.
// Exit code 0 when the session ran, 1 when the DLL or an export is missing.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <string>

#include "host/MessageRecord.h"

namespace {

using InitializeFunction = int(__cdecl*)(const wchar_t*, HostContext*);
using ProcessMessageFunction = const wchar_t*(__cdecl*)(MessageRecord*, ReplyReleaseFunction*);
using FinalizeFunction = int(__cdecl*)(const wchar_t*);

void print(const wchar_t* format, ...) {
    wchar_t buffer[4096];
    va_list args;
    va_start(args, format);
    _vsnwprintf(buffer, 4095, format, args);
    va_end(args);
    buffer[4095] = L'\0';
    // UTF-8 on standard output.
    char utf8[4096 * 3];
    int n = WideCharToMultiByte(CP_UTF8, 0, buffer, -1, utf8, sizeof utf8, nullptr, nullptr);
    if (n > 0) std::fputs(utf8, stdout);
    std::fflush(stdout);
}

const wchar_t* shown(const wchar_t* text) {
    return text ? text : L"(null)";
}

void printEnvelope(const wchar_t* direction, const MessageRecord& r) {
    print(L"%ls %ls/%ls/%ls/%ls from %ls/%ls/%ls name=\"%ls\" flags=%d,%d,%d\n", direction,
          shown(r.targetType), shown(r.targetAppletID), shown(r.targetAppletVersion),
          shown(r.targetInstanceID), shown(r.sourceAppletID), shown(r.sourceAppletVersion),
          shown(r.sourceInstanceID), shown(r.messageName), r.flagA, r.flagB, r.flagC);
    print(L"    data: %ls\n", shown(r.messageData));
}

// The plug-in's messages: printed, and answered with an empty text except the
// relation question, which names a related applet.
const wchar_t* __cdecl hostSend(MessageRecord* message, ReplyReleaseFunction* release) {
    if (!message) return nullptr;
    printEnvelope(L"<- DLL sends", *message);
    if (release) *release = nullptr;
    if (message->messageName && std::wcscmp(message->messageName, L"GetAppletRelation") == 0)
        return L"<relation><relative_name>HalvetPanel_BL</relative_name>"
               L"<relative_version>1.0</relative_version></relation>";
    return L"";
}

// Reads the two known shapes: three strings then the format, or four strings
// (the fourth an event name) then the format; one wide string per %s.
void __cdecl hostLog(int level, const wchar_t* module, ...) {
    va_list args;
    va_start(args, module);
    std::wstring strings;
    for (int i = 0; i < 3; ++i) {
        strings += L" \"";
        strings += shown(va_arg(args, const wchar_t*));
        strings += L"\"";
    }
    const wchar_t* format = va_arg(args, const wchar_t*);
    if (format && !std::wcschr(format, L'%')) {
        strings += L" \"";
        strings += format;
        strings += L"\"";
        format = va_arg(args, const wchar_t*);
    }
    std::wstring text;
    for (const wchar_t* p = shown(format); *p; ++p) {
        if (p[0] == L'%' && p[1] == L's') {
            text += shown(va_arg(args, const wchar_t*));
            ++p;
        } else {
            text += *p;
        }
    }
    va_end(args);
    print(L"<- DLL logs  level=%d module=\"%ls\"%ls: %ls\n", level, shown(module), strings.c_str(),
          text.c_str());
}

std::wstring programFolder() {
    wchar_t path[MAX_PATH * 4] = {};
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    std::wstring folder(path, n);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

void sendMessage(ProcessMessageFunction processMessage, const wchar_t* name, const wchar_t* data) {
    MessageRecord record{};
    record.header = 1;
    record.targetType = L"Applet";
    record.targetAppletID = L"HalvetPanel_UI";
    record.targetAppletVersion = L"1.0";
    record.targetInstanceID = L"1";
    record.sourceAppletID = L"Core";
    record.sourceAppletVersion = L"1.0";
    record.sourceInstanceID = L"0";
    record.messageName = name;
    record.messageData = data;
    record.flagB = 1;
    printEnvelope(L"-> host sends", record);
    ReplyReleaseFunction release = nullptr;
    const wchar_t* reply = processMessage(&record, &release);
    print(L"   reply \"%ls\" (%ls)\n", shown(reply), release ? L"owned" : L"static");
    if (release) release(const_cast<wchar_t*>(reply));
}

}  // namespace

int main() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::wstring folder = programFolder();
    std::wstring dll = folder + L"HalvetPanelUI.dll";
    HMODULE module = LoadLibraryW(dll.c_str());
    if (!module) {
        print(L"cannot load %ls (error %lu)\n", dll.c_str(), GetLastError());
        return 1;
    }
    auto initialize = reinterpret_cast<InitializeFunction>(GetProcAddress(module, "initialize"));
    auto processMessage =
        reinterpret_cast<ProcessMessageFunction>(GetProcAddress(module, "processMessage"));
    auto finalize = reinterpret_cast<FinalizeFunction>(GetProcAddress(module, "finalize"));
    if (!initialize || !processMessage || !finalize) {
        print(L"%ls lacks an entry point\n", dll.c_str());
        FreeLibrary(module);
        return 1;
    }

    HostContext host{};
    host.header = 1;
    host.send = hostSend;
    host.log = hostLog;
    std::wstring document =
        L"<CommandLineArguments><appletID>HalvetPanel_UI</appletID>"
        L"<appletVersion>1.0</appletVersion><appletInstanceID>1</appletInstanceID>"
        L"<appletDIR>" +
        folder + L"</appletDIR><isHighDPI>0</isHighDPI></CommandLineArguments>";
    print(L"-> initialize\n");
    print(L"   result %d\n", initialize(document.c_str(), &host));

    sendMessage(processMessage, L"HideSpinner", L"");
    sendMessage(processMessage, L"ContentForHTML", L"<content>hello</content>");
    sendMessage(processMessage, L"NoSuchMessage", L"");

    print(L"-> finalize\n");
    print(L"   result %d\n", finalize(L"session over"));
    FreeLibrary(module);
    CoUninitialize();
    return 0;
}
