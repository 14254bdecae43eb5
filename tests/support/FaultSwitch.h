#pragma once
// A test-only failure switch for the platform calls of a loaded module. Its
// import address table is patched so that each listed function counts the
// module's calls and can be told to fail one of them (or every call from one
// on), the way the platform fails: the documented failure value, out-values
// cleared, and a plausible last error (errno for the C runtime).
//
// Use:
//   FaultSwitch& faults = FaultSwitch::instance();
//   faults.install(host.module());
//   faults.startCounting();                 // counts from 0
//   faults.failCall(Faulty::SetTimer, 2);   // the second counted call fails
//   ... drive the module ...
//   faults.stopCounting();
//   faults.uninstall();                     // before the module is freed
#include <windows.h>

#include <array>
#include <cstdint>
#include <string>

namespace halvet::test {

// Every hooked function: identifier, importing DLL, group in reports.
#define HALVET_FAULTY_FUNCTIONS(X)                                   \
    X(CreateDialogIndirectParamW, "USER32.dll", "windows")           \
    X(SetTimer, "USER32.dll", "windows")                             \
    X(SetWindowSubclass, "COMCTL32.DLL", "windows")                  \
    X(SetPropW, "USER32.dll", "windows")                             \
    X(GetDC, "USER32.dll", "drawing")                                \
    X(BeginPaint, "USER32.dll", "drawing")                           \
    X(CreateCompatibleDC, "GDI32.dll", "drawing")                    \
    X(CreateCompatibleBitmap, "GDI32.dll", "drawing")                \
    X(CreateDIBSection, "GDI32.dll", "drawing")                      \
    X(SelectObject, "GDI32.dll", "drawing")                          \
    X(CreateSolidBrush, "GDI32.dll", "drawing")                      \
    X(GdiplusStartup, "gdiplus.dll", "GDI+")                         \
    X(GdipCreateBitmapFromStream, "gdiplus.dll", "GDI+")             \
    X(GdipCreateBitmapFromScan0, "gdiplus.dll", "GDI+")              \
    X(GdipCloneBitmapAreaI, "gdiplus.dll", "GDI+")                   \
    X(GdipCloneImage, "gdiplus.dll", "GDI+")                         \
    X(GdipBitmapLockBits, "gdiplus.dll", "GDI+")                     \
    X(GdipCreateFromHDC, "gdiplus.dll", "GDI+")                      \
    X(GdipCreateLineBrushI, "gdiplus.dll", "GDI+")                   \
    X(GdipCloneBrush, "gdiplus.dll", "GDI+")                         \
    X(GdipFillRectangleI, "gdiplus.dll", "GDI+")                     \
    X(GdipDrawImageRectRect, "gdiplus.dll", "GDI+")                  \
    X(GdipDrawImageRectRectI, "gdiplus.dll", "GDI+")                 \
    X(GdipRotateWorldTransform, "gdiplus.dll", "GDI+")               \
    X(GdipTranslateWorldTransform, "gdiplus.dll", "GDI+")            \
    X(GdipSaveGraphics, "gdiplus.dll", "GDI+")                       \
    X(GdipGetImageWidth, "gdiplus.dll", "GDI+")                      \
    X(GdipGetImageHeight, "gdiplus.dll", "GDI+")                     \
    X(GdipAlloc, "gdiplus.dll", "GDI+")                              \
    X(CoCreateInstance, "ole32.dll", "COM")                          \
    X(CoGetClassObject, "ole32.dll", "COM")                          \
    X(CLSIDFromProgID, "ole32.dll", "COM")                           \
    X(CoCreateGuid, "ole32.dll", "COM")                              \
    X(SysAllocStringLen, "OLEAUT32.dll", "COM")                      \
    X(FindResourceW, "KERNEL32.dll", "resources")                    \
    X(LoadResource, "KERNEL32.dll", "resources")                     \
    X(LockResource, "KERNEL32.dll", "resources")                     \
    X(SHCreateMemStream, "SHLWAPI.dll", "resources")                 \
    X(GetTempPathW, "KERNEL32.dll", "folders")                       \
    X(SHGetFolderPathW, "SHELL32.dll", "folders")                    \
    X(SHGetFolderLocation, "SHELL32.dll", "folders")                 \
    X(SHGetSpecialFolderPathW, "SHELL32.dll", "folders")             \
    X(SHGetPathFromIDListW, "SHELL32.dll", "folders")                \
    X(PathAppendW, "SHLWAPI.dll", "folders")                         \
    X(CreateFileW, "KERNEL32.dll", "files")                          \
    X(WriteFile, "KERNEL32.dll", "files")                            \
    X(DeleteFileW, "KERNEL32.dll", "files")                          \
    X(SetFileAttributesW, "KERNEL32.dll", "files")                   \
    X(malloc, "msvcrt.dll", "memory")                                \
    X(calloc, "msvcrt.dll", "memory")                                \
    X(realloc, "msvcrt.dll", "memory")

enum class Faulty : int {
#define HALVET_FAULTY_ENUM(name, dll, group) name,
    HALVET_FAULTY_FUNCTIONS(HALVET_FAULTY_ENUM)
#undef HALVET_FAULTY_ENUM
    Count
};

constexpr int kFaultyCount = static_cast<int>(Faulty::Count);

struct FaultyInfo {
    const char* name;
    const char* dll;
    const char* group;
};
const FaultyInfo& faultyInfo(Faulty function);

class FaultSwitch {
public:
    static FaultSwitch& instance();

    // Patches the module's imports of every listed function it imports;
    // returns how many were patched.
    int install(HMODULE module);
    // Restores the table; call it while the module is still loaded.
    void uninstall();
    bool hooked(Faulty function) const;

    // Counting starts from zero for every function; calls outside counting
    // neither count nor fail.
    void startCounting();
    void stopCounting();
    // The n-th counted call (from 1) of the function fails; with `onward`
    // every later call fails too. 0 clears.
    void failCall(Faulty function, uint32_t n, bool onward = false);
    void clearFailure();

    uint32_t calls(Faulty function) const;
    std::array<uint32_t, kFaultyCount> allCalls() const;
    // Failures handed out since the last failCall.
    uint32_t failuresGiven() const;

private:
    FaultSwitch() = default;
};

}  // namespace halvet::test
