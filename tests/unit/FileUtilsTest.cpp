// Folder locations, path joining, replace-all and file deletion, on the real
// shell and file system that Wine provides.
#include <windows.h>
#include <shlwapi.h>

#include <cstdarg>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "util/FileUtils.h"
#include "xml/Logger.h"

using halvet::appendPath;
using halvet::deleteFile;
using halvet::getFolderLocation;
using halvet::replaceAll;

namespace {

struct LoggedMessage {
    int level;
    std::wstring module, tag, empty, context, text;
};

std::vector<LoggedMessage>* g_messages = nullptr;

// Expands the three placeholders writeLog documents, independently of the CRT.
std::wstring expand(const wchar_t* format, va_list args) {
    std::wstring out;
    for (const wchar_t* p = format; *p; ++p) {
        if (*p != L'%' || !p[1]) {
            out += *p;
            continue;
        }
        switch (*++p) {
            case L's':
                out += va_arg(args, const wchar_t*);
                break;
            case L'd':
                out += std::to_wstring(va_arg(args, int));
                break;
            case L'x': {
                wchar_t hex[16];
                wsprintfW(hex, L"%x", va_arg(args, unsigned));
                out += hex;
                break;
            }
            default:
                out += L'%';
                out += *p;
        }
    }
    return out;
}

void recordLog(int level, const wchar_t* module, const wchar_t* tag, const wchar_t* empty,
               const wchar_t* context, const wchar_t* format, va_list args) {
    if (g_messages) {
        g_messages->push_back({level, module, tag, empty, context, expand(format, args)});
    }
}

std::wstring folder(int kind) {
    std::wstring path;
    EXPECT_TRUE(getFolderLocation(kind, path)) << "kind " << kind;
    return path;
}

bool endsWith(const std::wstring& text, const std::wstring& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A fresh scratch folder in the temporary folder, with the log hook installed.
class FileUtilsTest : public testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
        dir_ = std::wstring(temp) + L"FileUtilsTest-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(dir_.c_str(), nullptr);
        ASSERT_TRUE(exists(dir_));
        g_messages = &messages_;
        setLogCallback(recordLog);
    }
    void TearDown() override {
        setLogCallback(nullptr);
        g_messages = nullptr;
        for (const std::wstring& file : created_) {
            SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(file.c_str());
        }
        RemoveDirectoryW((dir_ + L"\\sub").c_str());
        RemoveDirectoryW(dir_.c_str());
    }
    std::wstring makeFile(const wchar_t* name, DWORD attributes) {
        std::wstring path = dir_ + L"\\" + name;
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  attributes, nullptr);
        EXPECT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, "x", 1, &written, nullptr);
        CloseHandle(file);
        created_.push_back(path);
        return path;
    }

    std::wstring dir_;
    std::vector<std::wstring> created_;
    std::vector<LoggedMessage> messages_;
};

}  // namespace

TEST(FileUtilsFolderTest, ShellFoldersAnswerWithoutTrailingBackslash) {
    for (int kind = 0; kind <= 13; ++kind) {
        const std::wstring path = folder(kind);
        EXPECT_GT(path.size(), 2u) << "kind " << kind;
        EXPECT_FALSE(endsWith(path, L"\\")) << "kind " << kind << ": " << path;
        EXPECT_TRUE(exists(path)) << "kind " << kind << ": " << path;
    }
}

TEST(FileUtilsFolderTest, TemporaryFolderKeepsItsTrailingBackslash) {
    const std::wstring path = folder(halvet::kTemporary);
    ASSERT_TRUE(endsWith(path, L"\\")) << path;
    wchar_t expected[MAX_PATH + 1];
    ASSERT_NE(GetTempPathW(MAX_PATH + 1, expected), 0u);
    EXPECT_EQ(path, expected);
}

TEST(FileUtilsFolderTest, ExecutableKindsNameTheProgramNotThisLibrary) {
    wchar_t program[MAX_PATH];
    ASSERT_NE(GetModuleFileNameW(nullptr, program, MAX_PATH), 0u);
    const std::wstring path = folder(halvet::kExecutablePath);
    EXPECT_EQ(path, program);
    const std::wstring dir = folder(halvet::kExecutableFolder);
    EXPECT_FALSE(endsWith(dir, L"\\"));
    EXPECT_EQ(dir + L"\\" + PathFindFileNameW(program), path);
}

TEST(FileUtilsFolderTest, FixedSubPathsBuildOnTheirBaseKinds) {
    const std::wstring common = folder(halvet::kCommonOrvane);
    const std::wstring local = folder(halvet::kLocalOrvane);
    EXPECT_TRUE(endsWith(common, L"\\Orvane")) << common;
    EXPECT_TRUE(endsWith(local, L"\\Orvane")) << local;
    EXPECT_EQ(common.substr(0, common.size() - 7), folder(halvet::kCommonFiles));
    EXPECT_EQ(local.substr(0, local.size() - 7), folder(halvet::kLocalAppData));

    EXPECT_EQ(folder(19), common + L"\\OOBE");
    EXPECT_EQ(folder(20), local + L"\\OOBE");
    EXPECT_EQ(folder(21), common + L"\\OOBE\\Kadrim");
    EXPECT_EQ(folder(22), folder(21));
    EXPECT_EQ(folder(23), local + L"\\OOBE\\Kadrim");
    EXPECT_EQ(folder(24), common + L"\\OrvaneApplicationManager\\ZumRefs");
    EXPECT_EQ(folder(25), folder(halvet::kProgramFiles) + L"\\Orvane\\Orvane Fernwave");

    // Asking for a location creates nothing.
    EXPECT_FALSE(exists(common));
    EXPECT_FALSE(exists(local));
}

TEST(FileUtilsFolderTest, KindOutsideTheTableFailsAndKeepsPath) {
    std::wstring path = L"C:\\before\\";
    EXPECT_FALSE(getFolderLocation(-1, path));
    EXPECT_FALSE(getFolderLocation(26, path));
    EXPECT_EQ(path, L"C:\\before\\");
}

TEST(FileUtilsPathTest, AppendPathPutsOneBackslashBetweenTheParts) {
    std::wstring withSlash = L"C:\\Temp\\";
    std::wstring withoutSlash = L"C:\\Temp";
    EXPECT_TRUE(appendPath(withSlash, L"{0B5E}"));
    EXPECT_TRUE(appendPath(withoutSlash, L"{0B5E}"));
    EXPECT_EQ(withSlash, L"C:\\Temp\\{0B5E}");
    EXPECT_EQ(withoutSlash, L"C:\\Temp\\{0B5E}");

    std::wstring leading = L"C:\\Temp";
    EXPECT_TRUE(appendPath(leading, L"\\name.txt"));
    EXPECT_EQ(leading, L"C:\\Temp\\name.txt");
}

TEST(FileUtilsPathTest, AppendPathRefusesEmptyParts) {
    std::wstring base = L"C:\\Temp\\";
    EXPECT_FALSE(appendPath(base, L""));
    EXPECT_EQ(base, L"C:\\Temp\\");
    std::wstring empty;
    EXPECT_FALSE(appendPath(empty, L"name"));
    EXPECT_EQ(empty, L"");
}

TEST(FileUtilsPathTest, AppendPathRefusesResultsLongerThan259AndKeepsBase) {
    // Base of 250 characters and a backslash: an 8-character name gives 259
    // (fits), 9 gives 260. The platform join empties its buffer on failure;
    // base must keep its text.
    const std::wstring base = L"C:\\" + std::wstring(247, L'a');
    ASSERT_EQ(base.size(), 250u);
    std::wstring fits = base;
    EXPECT_TRUE(appendPath(fits, L"12345678"));
    EXPECT_EQ(fits, base + L"\\12345678");
    EXPECT_EQ(fits.size(), 259u);

    std::wstring tooLong = base;
    EXPECT_FALSE(appendPath(tooLong, L"123456789"));
    EXPECT_EQ(tooLong, base);
    std::wstring tooLongWithSlash = base + L"\\";
    EXPECT_FALSE(appendPath(tooLongWithSlash, L"123456789"));
    EXPECT_EQ(tooLongWithSlash, base + L"\\");

    // Parts that alone exceed the platform's buffer never reach it.
    std::wstring huge = L"C:\\" + std::wstring(400, L'b');
    const std::wstring hugeBefore = huge;
    EXPECT_FALSE(appendPath(huge, L"x"));
    EXPECT_EQ(huge, hugeBefore);
    std::wstring small = L"C:\\Temp";
    EXPECT_FALSE(appendPath(small, std::wstring(300, L'c')));
    EXPECT_EQ(small, L"C:\\Temp");
}

TEST(FileUtilsPathTest, ReplaceAllTurnsBackslashesIntoSlashes) {
    std::wstring url = L"file:///C:\\users\\me\\Temp\\{A}";
    replaceAll(url, L"\\", L"/");
    EXPECT_EQ(url, L"file:///C:/users/me/Temp/{A}");
}

TEST(FileUtilsPathTest, ReplaceAllDoesNotSearchInsertedTextOrOverlap) {
    std::wstring doubled = L"banana";
    replaceAll(doubled, L"a", L"aa");
    EXPECT_EQ(doubled, L"baanaanaa");

    std::wstring runs = L"aaaaa";
    replaceAll(runs, L"aa", L"b");
    EXPECT_EQ(runs, L"bba");

    std::wstring removed = L"-a-b-";
    replaceAll(removed, L"-", L"");
    EXPECT_EQ(removed, L"ab");

    std::wstring untouched = L"abc";
    replaceAll(untouched, L"x", L"y");
    replaceAll(untouched, L"", L"y");  // an empty pattern changes nothing
    EXPECT_EQ(untouched, L"abc");
}

TEST_F(FileUtilsTest, DeleteFileOfNothingSucceedsSilently) {
    EXPECT_TRUE(deleteFile(dir_ + L"\\missing"));
    EXPECT_TRUE(deleteFile(L""));
    EXPECT_TRUE(messages_.empty());
}

TEST_F(FileUtilsTest, DeleteFileRemovesAPlainFileSilently) {
    const std::wstring path = makeFile(L"plain", FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(deleteFile(path));
    EXPECT_FALSE(exists(path));
    EXPECT_TRUE(messages_.empty());
}

TEST_F(FileUtilsTest, DeleteFileClearsReadOnlyAndRetries) {
    const std::wstring path = makeFile(L"readonly", FILE_ATTRIBUTE_READONLY);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    ASSERT_TRUE(attributes & FILE_ATTRIBUTE_READONLY);
    ASSERT_FALSE(DeleteFileW(path.c_str())) << "the platform deletes read-only files";

    EXPECT_TRUE(deleteFile(path));
    EXPECT_FALSE(exists(path));
    ASSERT_EQ(messages_.size(), 1u);
    const LoggedMessage& m = messages_[0];
    EXPECT_EQ(m.level, 20);
    EXPECT_EQ(m.module, L"OOBEUtils");
    EXPECT_EQ(m.tag, L"FileUtils");
    EXPECT_EQ(m.empty, L"");
    EXPECT_EQ(m.context, L"");
    EXPECT_EQ(m.text, L"File '" + path + L"' is with read-only. Its attribute is: '" +
                          std::to_wstring(attributes) +
                          L"'. UnSetting its read-only attr and retry deleting");
}

TEST_F(FileUtilsTest, DeleteFileOfADirectoryFailsAndLogs) {
    const std::wstring sub = dir_ + L"\\sub";
    ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
    EXPECT_FALSE(deleteFile(sub));
    EXPECT_TRUE(exists(sub));
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].level, 50);
    EXPECT_EQ(messages_[0].tag, L"FileUtils");
    EXPECT_EQ(messages_[0].text, L"Failed to delete file: '" + sub + L"' LastError:" +
                                     std::to_wstring(ERROR_ACCESS_DENIED));
}

TEST_F(FileUtilsTest, DeleteFileOfAFileInUseFailsWithTheSystemError) {
    const std::wstring path = makeFile(L"busy", FILE_ATTRIBUTE_NORMAL);
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ASSERT_FALSE(DeleteFileW(path.c_str()));
    const DWORD error = GetLastError();

    EXPECT_FALSE(deleteFile(path));
    CloseHandle(held);
    EXPECT_TRUE(exists(path));
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].level, 50);
    EXPECT_EQ(messages_[0].text,
              L"Failed to delete file: '" + path + L"' LastError:" + std::to_wstring(error));
}

TEST_F(FileUtilsTest, DeleteFileRetriesOnlyWhenAccessIsDenied) {
    // A read-only file held open fails with a sharing violation: no retry, so
    // no level-20 message and the attribute stays.
    const std::wstring path = makeFile(L"busyreadonly", FILE_ATTRIBUTE_READONLY);
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ASSERT_FALSE(DeleteFileW(path.c_str()));
    const DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED) {
        CloseHandle(held);
        GTEST_SKIP() << "this system reports read-only before sharing";
    }

    EXPECT_FALSE(deleteFile(path));
    CloseHandle(held);
    EXPECT_TRUE(exists(path));
    EXPECT_TRUE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_READONLY);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].level, 50);
    EXPECT_EQ(messages_[0].text,
              L"Failed to delete file: '" + path + L"' LastError:" + std::to_wstring(error));
}

namespace {

// A symbolic link at `link` to the file `target`: through the system where it
// makes them, else (Wine's call makes none) with the Unix tool beneath it.
bool makeSymbolicLink(const std::wstring& link, const std::wstring& target) {
    CreateSymbolicLinkW(link.c_str(), target.c_str(), 0);
    if (exists(link)) return true;
    using UnixName = char*(CDECL*)(const wchar_t*);
    const auto unixName = reinterpret_cast<UnixName>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name"));
    if (!unixName) return false;
    char* linkName = unixName(link.c_str());
    char* targetName = unixName(target.c_str());
    std::string command = "/bin/ln -s \"" + std::string(targetName ? targetName : "") + "\" \"" +
                          std::string(linkName ? linkName : "") + "\"";
    HeapFree(GetProcessHeap(), 0, linkName);
    HeapFree(GetProcessHeap(), 0, targetName);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return false;
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return exists(link);
}

}  // namespace

TEST_F(FileUtilsTest, DeleteFileOfALinkLeavesItsTargetAlone) {
    // The target lives outside the folder of the link, read-only.
    const std::wstring outside = dir_ + L"-outside";
    CreateDirectoryW(outside.c_str(), nullptr);
    const std::wstring target = outside + L"\\target";
    HANDLE file = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_READONLY, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    const std::wstring link = dir_ + L"\\link";
    if (!makeSymbolicLink(link, target)) {
        SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(target.c_str());
        RemoveDirectoryW(outside.c_str());
        GTEST_SKIP() << "no symbolic links here";
    }

    const bool deleted = deleteFile(link);
    // Whatever became of the link, its target is as it was.
    EXPECT_TRUE(exists(target));
    EXPECT_TRUE(GetFileAttributesW(target.c_str()) & FILE_ATTRIBUTE_READONLY);
    // A link that stays is reported.
    EXPECT_EQ(deleted, !exists(link));
    if (!deleted) {
        ASSERT_FALSE(messages_.empty());
        EXPECT_EQ(messages_.back().level, 50);
    }

    DeleteFileW(link.c_str());
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(target.c_str());
    RemoveDirectoryW(outside.c_str());
}
