#include "util/FileUtils.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "xml/Logger.h"

namespace halvet {
namespace {

const wchar_t kTag[] = L"FileUtils";
constexpr size_t kPathBuffer = MAX_PATH;  // 260: the shell's fixed path buffers

struct ItemIdListFree {
    void operator()(ITEMIDLIST* list) const { CoTaskMemFree(list); }
};
using ItemIdList = std::unique_ptr<ITEMIDLIST, ItemIdListFree>;

void dropOneTrailingBackslash(std::wstring& path) {
    if (!path.empty() && path.back() == L'\\') path.pop_back();
}

// Kinds 0 to 13: the shell's folder identifier first, the folder's default
// path as the fallback. The trailing-backslash rule applies in every case.
bool knownFolder(int csidl, std::wstring& path) {
    bool found = false;
    ITEMIDLIST* raw = nullptr;
    if (SUCCEEDED(SHGetFolderLocation(nullptr, csidl, nullptr, 0, &raw))) {
        ItemIdList list(raw);
        wchar_t buffer[kPathBuffer] = {};
        if (SHGetPathFromIDListW(list.get(), buffer)) {
            path = buffer;
            found = true;
        }
    } else {
        wchar_t buffer[kPathBuffer] = {};
        if (SUCCEEDED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_DEFAULT, buffer))) {
            path = buffer;
            found = true;
        }
    }
    dropOneTrailingBackslash(path);
    return found;
}

// Kind 14: the system's temporary path, trailing backslash included.
bool temporaryFolder(std::wstring& path) {
    const DWORD needed = GetTempPathW(0, nullptr);  // length including the NUL
    if (needed == 0) return false;
    std::vector<wchar_t> buffer(size_t(needed) + 1, L'\0');
    const DWORD length = GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
    // A result as large as the buffer means the path grew between the calls.
    if (length == 0 || length >= buffer.size()) return false;
    path.assign(buffer.data(), length);
    return true;
}

// Kinds 15 and 16: the process's main module, i.e. the host program.
bool executablePath(bool folderOnly, std::wstring& path) {
    wchar_t buffer[kPathBuffer] = {};
    const DWORD length = GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(kPathBuffer));
    // A full buffer means the name was truncated: that is a failure, not a path.
    if (length == 0 || length >= kPathBuffer) return false;
    if (folderOnly && !PathRemoveFileSpecW(buffer)) return false;
    path = buffer;
    return true;
}

// Kinds 17 to 25: a special folder (never created) and a fixed sub-path. The
// sub-path is appended to a string, not to the fixed buffer, so a long folder
// path cannot overrun it.
bool specialFolder(int csidl, const wchar_t* subPath, std::wstring& path) {
    wchar_t buffer[kPathBuffer] = {};
    if (!SHGetSpecialFolderPathW(nullptr, buffer, csidl, FALSE)) return false;
    std::wstring result(buffer);
    result += subPath;
    path.swap(result);
    return true;
}

bool derivedFolder(int baseKind, const wchar_t* subPath, std::wstring& path) {
    std::wstring base;
    if (!getFolderLocation(baseKind, base)) return false;
    path = base + subPath;
    return true;
}

int knownFolderId(int kind) {
    static const int ids[14] = {CSIDL_PROGRAM_FILES,
                                CSIDL_PROGRAM_FILESX86,
                                CSIDL_PROGRAM_FILES_COMMON,
                                CSIDL_PROGRAM_FILES_COMMONX86,
                                CSIDL_SYSTEM,
                                CSIDL_SYSTEMX86,
                                CSIDL_FONTS,
                                CSIDL_COMMON_PROGRAMS,
                                CSIDL_PROFILE,
                                CSIDL_PERSONAL,
                                CSIDL_APPDATA,
                                CSIDL_LOCAL_APPDATA,
                                CSIDL_COMMON_APPDATA,
                                CSIDL_COMMON_DOCUMENTS};
    return ids[kind];
}

// Length of what the platform join makes of `base` and `more` before it resolves
// "." and ".." (which only shortens it): leading backslashes of `more` go unless
// it is a UNC path, and one backslash separates the parts.
size_t plainJoinLength(const std::wstring& base, const std::wstring& more) {
    size_t skip = 0;
    if (more.compare(0, 2, L"\\\\") != 0) {
        while (skip < more.size() && more[skip] == L'\\') ++skip;
    }
    const size_t separator = base.back() == L'\\' ? 0 : 1;
    return base.size() + separator + (more.size() - skip);
}

}  // namespace

bool getFolderLocation(int kind, std::wstring& path) {
    try {
        if (kind >= kProgramFiles && kind <= kCommonDocuments) {
            return knownFolder(knownFolderId(kind), path);
        }
        switch (kind) {
            case kTemporary:
                return temporaryFolder(path);
            case kExecutablePath:
                return executablePath(false, path);
            case kExecutableFolder:
                return executablePath(true, path);
            case kCommonOrvane:
                return specialFolder(CSIDL_PROGRAM_FILES_COMMON, L"\\Orvane", path);
            case kLocalOrvane:
                return specialFolder(CSIDL_LOCAL_APPDATA, L"\\Orvane", path);
            case kCommonOobe:
                return derivedFolder(kCommonOrvane, L"\\OOBE", path);
            case kLocalOobe:
                return derivedFolder(kLocalOrvane, L"\\OOBE", path);
            case kCommonKadrim:
            case kCommonKadrimAlias:
                return derivedFolder(kCommonOrvane, L"\\OOBE\\Kadrim", path);
            case kLocalKadrim:
                return derivedFolder(kLocalOrvane, L"\\OOBE\\Kadrim", path);
            case kCommonZumRefs:
                return derivedFolder(kCommonOrvane, L"\\OrvaneApplicationManager\\ZumRefs", path);
            case kProgramsFernwave:
                return specialFolder(CSIDL_PROGRAM_FILES, L"\\Orvane\\Orvane Fernwave", path);
            default:
                return false;  // not a kind of the table
        }
    } catch (...) {
        return false;  // out of memory: path keeps its earlier text
    }
}

bool appendPath(std::wstring& base, const std::wstring& more) {
    if (base.empty() || more.empty()) return false;
    // The platform join works in a MAX_PATH buffer and may write anywhere in it;
    // a result that cannot fit is refused here rather than handed to it.
    if (base.size() >= kPathBuffer || more.size() >= kPathBuffer ||
        plainJoinLength(base, more) >= kPathBuffer) {
        return false;
    }
    try {
        std::vector<wchar_t> buffer(std::max(kPathBuffer, base.size() + more.size() + 10 + 1),
                                    L'\0');
        std::copy(base.begin(), base.end(), buffer.begin());
        if (!PathAppendW(buffer.data(), more.c_str())) return false;
        buffer.back() = L'\0';
        base.assign(buffer.data());
        return true;
    } catch (...) {
        return false;  // no memory for the buffer: base unchanged
    }
}

void replaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to) {
    if (from.empty()) return;
    try {
        std::wstring result;
        size_t start = 0;
        for (size_t found = text.find(from); found != std::wstring::npos;
             found = text.find(from, start)) {
            result.append(text, start, found - start);
            result += to;
            start = found + from.size();
        }
        if (start == 0) return;  // nothing found
        result.append(text, start, std::wstring::npos);
        text.swap(result);
    } catch (...) {
        // Out of memory: text stays as it was.
    }
}

bool appendFileName(std::wstring& folder, const std::wstring& name) {
    if (folder.empty() || name.empty()) return false;
    try {
        std::wstring joined = folder;
        if (joined.back() != L'\\') joined += L'\\';
        joined.append(name, name.front() == L'\\' ? 1 : 0, std::wstring::npos);
        folder.swap(joined);
        return true;
    } catch (...) {
        return false;
    }
}

std::wstring extendedLengthPath(const std::wstring& path) {
    if (path.rfind(L"\\\\?\\", 0) == 0 || path.rfind(L"\\\\.\\", 0) == 0) return path;
    const bool drive = path.size() >= 3 && path[1] == L':' && path[2] == L'\\';
    if (drive) return L"\\\\?\\" + path;
    if (path.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + path.substr(2);
    return path;
}

namespace {

class OwnedHandle {
public:
    explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
    ~OwnedHandle() {
        if (valid()) CloseHandle(handle_);
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

std::wstring finalPathOf(HANDLE handle) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length = GetFinalPathNameByHandleW(handle, buffer.data(),
                                                       static_cast<DWORD>(buffer.size()), 0);
        if (length == 0) return {};
        if (length < buffer.size()) return std::wstring(buffer.data(), length);
        buffer.resize(length + 1);
    }
    return {};
}

// Whether `object`, opened at `path` without following a link, is the entry
// of that name in the folder of the path, and not something the path leads
// to. Where the system opens a link's target even so, the two differ.
bool isObjectAtPath(HANDLE object, const std::wstring& path) {
    const size_t cut = path.find_last_of(L'\\');
    if (cut == std::wstring::npos || cut + 1 >= path.size()) return false;
    const std::wstring folderPath = path.substr(0, cut + 1);
    OwnedHandle folder(CreateFileW(folderPath.c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder.valid()) return false;
    std::wstring expected = finalPathOf(folder.get());
    const std::wstring actual = finalPathOf(object);
    if (expected.empty() || actual.empty()) return false;
    if (expected.back() != L'\\') expected += L'\\';
    expected += path.substr(cut + 1);
    return CompareStringOrdinal(expected.c_str(), static_cast<int>(expected.size()), actual.c_str(),
                                static_cast<int>(actual.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

bool deleteFile(const std::wstring& path) {
    const wchar_t* name = path.c_str();
    if (path.empty()) return true;
    // Every call goes through the extended-length form: a path past MAX_PATH
    // is as much a file as any other.
    const std::wstring target = extendedLengthPath(path);
    if (GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
    if (DeleteFileW(target.c_str())) return true;

    DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED) {
        // The object itself, not what a link at the path leads to: its
        // attributes are read, cleared and the object deleted through one handle.
        OwnedHandle object(CreateFileW(target.c_str(),
                                       DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING,
                                       FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                                       nullptr));
        BY_HANDLE_FILE_INFORMATION information{};
        const bool readOnlyFile = object.valid() && isObjectAtPath(object.get(), target) &&
                                  GetFileInformationByHandle(object.get(), &information) &&
                                  (information.dwFileAttributes & FILE_ATTRIBUTE_READONLY) &&
                                  !(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        if (readOnlyFile) {
            const DWORD attributes = information.dwFileAttributes;
            writeLog(nullptr, 20, kTag, L"",
                     L"File '%s' is with read-only. Its attribute is: '%d'. UnSetting its "
                     L"read-only attr and retry deleting",
                     name, static_cast<int>(attributes));
            FILE_BASIC_INFO basic{};  // times of 0 stay as they are
            basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
            FILE_DISPOSITION_INFO disposition{};
            disposition.DeleteFile = TRUE;
            if (SetFileInformationByHandle(object.get(), FileBasicInfo, &basic, sizeof basic) &&
                SetFileInformationByHandle(object.get(), FileDispositionInfo, &disposition,
                                           sizeof disposition))
                return true;  // gone when the handle closes
            error = GetLastError();
        }
    }
    SetLastError(error);  // the queries above may have changed it
    const int lastError = static_cast<int>(GetLastError());
    writeLog(nullptr, 50, kTag, L"", L"Failed to delete file: '%s' LastError:%d", name, lastError);
    return false;
}

}  // namespace halvet
