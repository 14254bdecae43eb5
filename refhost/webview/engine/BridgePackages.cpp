#include "webview/engine/BridgePackages.h"

#include <windows.h>

#include "platform/Text.h"
#include "platform/UniqueHandle.h"

namespace refhost {

namespace {

struct FindCloser {
    void operator()(HANDLE file) const {
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
};

bool readAll(const std::wstring& path, std::string& out) {
    UniqueHandle<HANDLE, FindCloser> file(CreateFileW(path.c_str(), GENERIC_READ,
                                                      FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) return false;
    char chunk[16384];
    DWORD got = 0;
    while (ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr) && got > 0) {
        out.append(chunk, got);
        if (out.size() > (16u << 20)) return false;  // no lock file is that long
    }
    return true;
}

std::wstring withSeparator(const std::wstring& folder) {
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/') return folder + L"\\";
    return folder;
}

}  // namespace

std::vector<std::string> BridgePackages::named(const std::string& lockText) {
    // A key is a string followed by a colon; a value that merely mentions a
    // package folder is followed by a comma or a brace instead.
    static const std::string kPrefix = "\"node_modules/";
    std::vector<std::string> out;
    for (size_t at = lockText.find(kPrefix); at != std::string::npos;
         at = lockText.find(kPrefix, at + 1)) {
        size_t end = lockText.find('"', at + 1);
        if (end == std::string::npos) break;
        size_t next = lockText.find_first_not_of(" \t\r\n", end + 1);
        if (next != std::string::npos && lockText[next] == ':')
            out.push_back(lockText.substr(at + 1, end - at - 1));
    }
    return out;
}

bool BridgePackages::check(const std::wstring& folder, std::wstring& error) {
    std::wstring base = withSeparator(folder);
    std::string lock;
    if (!readAll(base + L"package-lock.json", lock)) {
        error = L"the bridge's package-lock.json cannot be read in " + folder;
        return false;
    }
    for (const std::string& package : named(lock)) {
        std::wstring path = base + text::fromUtf8(package) + L"/package.json";
        for (wchar_t& c : path) {
            if (c == L'/') c = L'\\';
        }
        if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
            std::string name = package.substr(package.rfind("node_modules/") + 13);
            error = L"the bridge's package \"" + text::fromUtf8(name) + L"\" is missing in " +
                    folder + L" (tools/setup.sh installs it)";
            return false;
        }
    }
    return true;
}

}  // namespace refhost
