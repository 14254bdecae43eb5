#include "panel/ContentLoading.h"

#include <windows.h>

#include <algorithm>

#include "util/ModuleHandle.h"
#include "resources/resource.h"
#include "util/FileUtils.h"
#include "xml/XMLParser.h"
#include "xml/XMLText.h"

namespace halvet {
namespace {

// <xmlData> with guid and url, in that order.
std::wstring urlDocument(const std::wstring& viewGuid, const std::wstring& url) {
    XMLParser document;
    XMLNode root;
    std::wstring text;
    if (!document.initWithXMLString(L"<xmlData/>") || !document.getRootNode(root)) return text;
    // Without either part the request is not written.
    if (!document.addChildToNode(L"guid", viewGuid, root) ||
        !document.addChildToNode(L"url", url, root))
        return text;
    document.getXMLString(text);
    return text;
}

struct FileHandle {
    HANDLE handle;
    explicit FileHandle(HANDLE h) : handle(h) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
};

}  // namespace

AppletMessage changeURLMessage(const std::wstring& viewGuid, const std::wstring& url) {
    AppletMessage message;
    message.targetType = L"Applet";
    message.targetAppletID = L"HEX_UIX";
    message.targetAppletVersion = L"1.0";
    message.targetInstanceID = L"1";
    message.sourceAppletID = L"HalvetPanel_UI";
    message.sourceAppletVersion = L"1.0";
    message.sourceInstanceID = L"1";
    message.messageName = L"changeURL";
    message.messageData = urlDocument(viewGuid, url);
    message.flagA = 0;
    message.flagB = 1;
    message.flagC = 0;
    return message;
}

std::wstring contentForHTMLDocument(const std::wstring& viewGuid, const std::wstring& content) {
    // Written around the content root's own text: one document instead of
    // three, and the same result as appending the root to a built wrapper.
    std::wstring message = L"<message/>";
    XMLParser contentDocument;
    std::wstring root;
    if (contentDocument.initWithXMLString(content) && contentDocument.getRootXMLString(root))
        message = L"<message>" + root + L"</message>";
    return L"<ContentForHTML><guid>" + escapeXMLText(viewGuid) + L"</guid>" + message +
           L"</ContentForHTML>";
}

std::string_view fontStylesheet() {
    const HMODULE module = thisModule();
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(IDR_FONT_STYLESHEET), L"CSS");
    if (!found) return {};
    HGLOBAL loaded = LoadResource(module, found);
    const DWORD size = SizeofResource(module, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes || size == 0) return {};
    return {static_cast<const char*>(bytes), size};
}

bool writeFileBytes(const std::wstring& path, std::string_view bytes) {
    FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.handle == INVALID_HANDLE_VALUE) return false;
    size_t written = 0;
    while (written < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - written, 1u << 30));
        DWORD done = 0;
        if (!WriteFile(file.handle, bytes.data() + written, chunk, &done, nullptr) || done == 0)
            return false;
        written += done;
    }
    return true;
}

std::wstring fileUrl(const std::wstring& path) {
    std::wstring url = L"file:///" + path;
    replaceAll(url, L"\\", L"/");
    return url;
}

std::wstring fontAnnouncement(const std::wstring& url) {
    return L"<htmlContent><messageName>INIT_CLEAN</messageName><htmlData><cleanPath>" +
           escapeXMLText(url) + L"</cleanPath></htmlData></htmlContent>";
}

}  // namespace halvet
