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

std::wstring xmlDataDocument(const std::wstring& viewGuid, const std::wstring* url) {
    XMLParser document;
    XMLNode root;
    std::wstring text;
    if (!document.initWithXMLString(L"<xmlData/>") || !document.getRootNode(root)) return text;
    document.addChildToNode(L"guid", viewGuid, root);
    if (url) document.addChildToNode(L"url", *url, root);
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
