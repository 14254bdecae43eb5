#include "panel/ViewMessages.h"

#include <shlwapi.h>

#include <vector>

#include "util/ModuleHandle.h"
#include "panel/PointerText.h"
#include "xml/XMLParser.h"

namespace halvet {
namespace {

constexpr wchar_t kPageBelowModule[] =
    L"\\resource\\HalvetPanelHTML\\HalvetPanel\\src\\www\\halvet\\index.html";

// The "RefreshView" data of the newest view, made with its "processURL" data
// from the same document: the host shows a view right after creating it, and
// a document of its own would cost more than everything else in that message.
// Like the rest of the panel it is touched only on the host's UI thread.
struct RememberedRefresh {
    std::wstring guid;
    std::wstring text;
};
RememberedRefresh& rememberedRefresh() {
    static RememberedRefresh remembered;
    return remembered;
}

void rememberRefresh(const std::wstring& viewGuid, const std::wstring& text) {
    RememberedRefresh& remembered = rememberedRefresh();
    try {
        remembered.guid = viewGuid;
        remembered.text = text;
    } catch (...) {
        remembered.guid.clear();  // without room it is made afresh next time
    }
}

bool rememberedRefreshFor(const std::wstring& viewGuid, std::wstring& text) {
    const RememberedRefresh& remembered = rememberedRefresh();
    if (remembered.text.empty() || remembered.guid != viewGuid) return false;
    try {
        text = remembered.text;
    } catch (...) {
        return false;
    }
    return true;
}

// <xmlData><guid/>[<url/>]</xmlData>; with a url, the text without it is
// remembered for the view's "RefreshView".
std::wstring xmlDataDocument(const std::wstring& viewGuid, const std::wstring* url) {
    XMLParser document;
    XMLNode root;
    std::wstring text;
    if (!document.initWithXMLString(L"<xmlData/>") || !document.getRootNode(root)) return text;
    // A document that lacks a part is not written at all: a request without
    // its view or its page is no request.
    if (!document.addChildToNode(L"guid", viewGuid, root)) return text;
    if (url) {
        std::wstring refresh;
        if (document.getXMLString(refresh)) rememberRefresh(viewGuid, refresh);
        if (!document.addChildToNode(L"url", *url, root)) return text;
    }
    document.getXMLString(text);
    return text;
}

std::wstring moduleFileName() {
    // Grown until the name fits, so a module below a long folder still gives
    // its whole path rather than a cut one.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(thisModule(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) return std::wstring(buffer.data(), length);
        if (buffer.size() >= 32768) return {};
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace

std::wstring attachParentWindowData(const std::wstring& viewGuid, HWND dialog,
                                    uintptr_t callbackAddress) {
    return L"<xmlData><guid>" + viewGuid + L"</guid><parentWindowPtr>" +
           pointerToText(reinterpret_cast<uintptr_t>(dialog)) + L"</parentWindowPtr><callbackFnPtr>" +
           pointerToText(callbackAddress) + L"</callbackFnPtr></xmlData>";
}

std::wstring processURLData(const std::wstring& viewGuid, const std::wstring& path) {
    return xmlDataDocument(viewGuid, &path);
}

std::wstring refreshViewData(const std::wstring& viewGuid) {
    std::wstring text;
    if (rememberedRefreshFor(viewGuid, text)) return text;
    return xmlDataDocument(viewGuid, nullptr);
}

std::wstring signalUICloseData(const std::wstring& viewGuid) {
    return L"<data><guid>" + viewGuid + L"</guid></data>";
}

std::wstring panelPagePath() {
    std::wstring path = moduleFileName();
    // The folder: everything before the last backslash (what removing the
    // last path element leaves).
    std::vector<wchar_t> folder(path.begin(), path.end());
    folder.push_back(L'\0');
    PathRemoveFileSpecW(folder.data());
    return std::wstring(folder.data()) + kPageBelowModule;
}

}  // namespace halvet
