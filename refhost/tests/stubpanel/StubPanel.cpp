// A stand-in panel DLL for the reference host's own tests: just enough of the
// panel's side (CreateView, ShowView, HideSpinner, the container callback,
// finalize) to drive the host's container, pictures and relays while the
// real handlers are elsewhere. It is not the panel: no XML, no proxy logic.
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <string>

#include "host/MessageRecord.h"

namespace {

HostContext g_host{};
HWND g_dialog = nullptr;
HWND g_spinner = nullptr;
std::wstring g_guid = L"{00000000-0000-0000-0000-0000000000AB}";

// Handles and addresses as the panel writes them, as wide as a pointer: a
// code address of a 64-bit DLL lies above 4 GB, which a 32-bit format
// argument (`unsigned long` is 32 bits on 64-bit Windows) would cut off.
std::wstring hex(uintptr_t value) {
    static const wchar_t digits[] = L"0123456789abcdef";
    std::wstring out;
    do {
        out.insert(out.begin(), digits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    return L"0x" + out;
}

std::wstring escaped(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        if (c == L'&')
            out += L"&amp;";
        else if (c == L'<')
            out += L"&lt;";
        else if (c == L'>')
            out += L"&gt;";
        else
            out += c;
    }
    return out;
}

std::wstring send(const wchar_t* to, const std::wstring& name, const std::wstring& data,
                  uint8_t flagA = 0) {
    if (!g_host.send) return L"";
    MessageRecord r{};
    r.header = 1;
    r.targetType = L"Applet";
    r.targetAppletID = to;
    r.targetAppletVersion = L"1.0";
    r.targetInstanceID = L"1";
    r.sourceAppletID = L"HalvetPanel_UI";
    r.sourceAppletVersion = L"1.0";
    r.sourceInstanceID = L"1";
    r.messageName = name.c_str();
    r.messageData = data.c_str();
    r.flagA = flagA;
    r.flagB = 1;
    ReplyReleaseFunction release = nullptr;
    const wchar_t* reply = g_host.send(&r, &release);
    std::wstring text = reply ? reply : L"";
    if (release) release(const_cast<wchar_t*>(reply));
    return text;
}

int __cdecl callback(const wchar_t* name, const wchar_t* payload) {
    std::wstring data =
        std::wcscmp(name, L"OnLoadEnd") == 0
            ? L"<HTMLMessage><loadUrl>" + escaped(payload) + L"</loadUrl></HTMLMessage>"
            : L"<HTMLMessage>" + std::wstring(payload) + L"</HTMLMessage>";
    send(L"HalvetPanel_BL", name, data, 1);
    return 0;
}

LRESULT CALLBACK dialogProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_ERASEBKGND) {
        RECT r;
        GetClientRect(w, &r);
        HBRUSH grey = CreateSolidBrush(RGB(250, 250, 250));
        FillRect(reinterpret_cast<HDC>(wp), &r, grey);
        DeleteObject(grey);
        return 1;
    }
    return DefWindowProcW(w, m, wp, lp);
}

const wchar_t* createView(HWND parent) {
    WNDCLASSW c{};
    c.lpfnWndProc = dialogProc;
    c.hInstance = GetModuleHandleW(L"stub_panel.dll");
    c.lpszClassName = L"StubPanelDialog";
    RegisterClassW(&c);
    RECT r;
    GetClientRect(parent, &r);
    g_dialog = CreateWindowExW(0, L"StubPanelDialog", L"", WS_CHILD | WS_CLIPCHILDREN, 0, 0,
                               r.right, r.bottom, parent, nullptr, c.hInstance, nullptr);
    g_spinner = CreateWindowExW(0, L"Static", L"", WS_CHILD | WS_VISIBLE | SS_BLACKFRAME,
                                r.right / 2 - 18, r.bottom / 2 - 18, 37, 37, g_dialog,
                                reinterpret_cast<HMENU>(3038), c.hInstance, nullptr);
    send(L"HEX_UIX", L"attachParentWindow",
         L"<xmlData><guid>" + g_guid + L"</guid><parentWindowPtr>" +
             hex(reinterpret_cast<uintptr_t>(g_dialog)) + L"</parentWindowPtr><callbackFnPtr>" +
             hex(reinterpret_cast<uintptr_t>(&callback)) + L"</callbackFnPtr></xmlData>");
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(GetModuleHandleW(L"stub_panel.dll"), path, MAX_PATH);
    std::wstring page = path;
    page = page.substr(0, page.find_last_of(L'\\')) + L"\\index.html";
    send(L"HEX_UIX", L"processURL",
         L"<xmlData><guid>" + g_guid + L"</guid><url>" + escaped(page) + L"</url></xmlData>");
    return L"Success";
}

}  // namespace

extern "C" __declspec(dllexport) int __cdecl initialize(const wchar_t* xml, HostContext* host) {
    if (!xml || !host) return 0;
    g_host = *host;
    return 1;
}

extern "C" __declspec(dllexport) const wchar_t* __cdecl processMessage(
    MessageRecord* m, ReplyReleaseFunction* release) {
    if (!m || !m->messageName) return L"InvalidArguments";
    *release = nullptr;
    std::wstring name = m->messageName;
    std::wstring data = m->messageData ? m->messageData : L"";
    if (name == L"CreateView") {
        size_t at = data.find(L"<parentViewPtr>");
        if (at == std::wstring::npos) return L"Failure";
        auto parent = static_cast<uintptr_t>(std::wcstoull(data.c_str() + at + 15, nullptr, 0));
        return createView(reinterpret_cast<HWND>(parent));
    }
    if (name == L"ShowView" && g_dialog) {
        ShowWindow(g_dialog, SW_SHOW);
        send(L"HEX_UIX", L"RefreshView", L"<xmlData><guid>" + g_guid + L"</guid></xmlData>");
        return L"Success";
    }
    if (name == L"Crash") {
        // A panel that crashes, for the host's own crash report.
        volatile int* nowhere = nullptr;
        *nowhere = 1;
    }
    if (name == L"HideSpinner" && g_spinner) {
        ShowWindow(g_spinner, SW_HIDE);
        return L"Success";
    }
    return L"";
}

extern "C" __declspec(dllexport) int __cdecl finalize(const wchar_t* text) {
    if (!text) return 0;
    if (g_dialog) {
        send(L"HEX_UIX", L"signalUIClose", L"<data><guid>" + g_guid + L"</guid></data>");
        DestroyWindow(g_dialog);
        g_dialog = nullptr;
    }
    return 1;
}
