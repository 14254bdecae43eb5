#pragma once
#include <string>

// Folder locations, path joining, text replacement and robust file deletion.
// Free functions without state; they run on the caller's thread and never throw.
namespace halvet {

// Arguments of getFolderLocation. Kinds 0 to 13 are shell folders and never end
// in a backslash; kind 14 ends in one; kinds 17 to 25 are fixed sub-paths below
// shell folders (nothing is created).
enum FolderKind : int {
    kProgramFiles = 0,        // CSIDL_PROGRAM_FILES
    kProgramFilesX86 = 1,     // CSIDL_PROGRAM_FILESX86
    kCommonFiles = 2,         // CSIDL_PROGRAM_FILES_COMMON
    kCommonFilesX86 = 3,      // CSIDL_PROGRAM_FILES_COMMONX86
    kSystem = 4,              // CSIDL_SYSTEM
    kSystemX86 = 5,           // CSIDL_SYSTEMX86
    kFonts = 6,               // CSIDL_FONTS
    kCommonPrograms = 7,      // CSIDL_COMMON_PROGRAMS
    kProfile = 8,             // CSIDL_PROFILE
    kDocuments = 9,           // CSIDL_PERSONAL
    kRoamingAppData = 10,     // CSIDL_APPDATA
    kLocalAppData = 11,       // CSIDL_LOCAL_APPDATA
    kCommonAppData = 12,      // CSIDL_COMMON_APPDATA
    kCommonDocuments = 13,    // CSIDL_COMMON_DOCUMENTS
    kTemporary = 14,          // GetTempPathW, trailing backslash kept
    kExecutablePath = 15,     // the process's main module (the host), full path
    kExecutableFolder = 16,   // kind 15 without its last element
    kCommonOrvane = 17,       // common files + "\Orvane"
    kLocalOrvane = 18,        // local application data + "\Orvane"
    kCommonOobe = 19,         // kind 17 + "\OOBE"
    kLocalOobe = 20,          // kind 18 + "\OOBE"
    kCommonKadrim = 21,       // kind 17 + "\OOBE\Kadrim"
    kCommonKadrimAlias = 22,  // the same as 21
    kLocalKadrim = 23,        // kind 18 + "\OOBE\Kadrim"
    kCommonZumRefs = 24,      // kind 17 + "\OrvaneApplicationManager\ZumRefs"
    kProgramsFernwave = 25,   // programs folder + "\Orvane\Orvane Fernwave"
};

// Sets `path` to the location `kind` (0 to 25) and returns true. On failure, or
// for a kind outside the table, returns false and leaves `path` unchanged
// (kinds 0 to 13 still drop one trailing backslash from the earlier text).
bool getFolderLocation(int kind, std::wstring& path);

// Joins `more` onto `base` with exactly one backslash between them, as the
// platform path join does (it also strips leading backslashes of `more` and
// resolves "." and ".." elements). Returns false and leaves `base` unchanged
// when either is empty or when the result would not fit in MAX_PATH - 1
// characters.
bool appendPath(std::wstring& base, const std::wstring& more);

// Joins the file name `name` onto `folder` with exactly one backslash between
// them, at any length (the result may be longer than MAX_PATH). Returns false
// and leaves `folder` unchanged when either is empty.
bool appendFileName(std::wstring& folder, const std::wstring& name);

// The extended-length form ("\\?\C:\..." or "\\?\UNC\server\...") of an
// absolute path, through which the file calls take paths past MAX_PATH. Other
// paths, and paths already in that form, come back as they are.
std::wstring extendedLengthPath(const std::wstring& path);

// Replaces every occurrence of `from` in `text` with `to`, left to right,
// without overlaps and without searching inserted text again. An empty `from`
// changes nothing.
void replaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to);

// Returns true when no file is left at `path`, of any length. A read-only file
// gets its attribute cleared and one more attempt (logged at level 20); a
// failure is logged at level 50 with the system's error code. Directories are
// never removed. Only the object at the path is touched: the retry is not made
// when the path leads elsewhere (a link: its target is left alone).
bool deleteFile(const std::wstring& path);

}  // namespace halvet
