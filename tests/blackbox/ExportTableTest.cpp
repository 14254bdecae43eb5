// Reads the built DLL's PE export and import tables.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "support/DllPath.h"

namespace {

struct LoadedImage {
    HMODULE module = nullptr;
    explicit LoadedImage(const std::wstring& path)
        : module(LoadLibraryExW(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES)) {}
    ~LoadedImage() {
        if (module) FreeLibrary(module);
    }
    const BYTE* base() const { return reinterpret_cast<const BYTE*>(module); }
    const IMAGE_NT_HEADERS* nt() const {
        auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base());
        return reinterpret_cast<const IMAGE_NT_HEADERS*>(base() + dos->e_lfanew);
    }
    const IMAGE_DATA_DIRECTORY& dir(int index) const {
        return nt()->OptionalHeader.DataDirectory[index];
    }
};

std::set<std::string> exportNames(const LoadedImage& image) {
    std::set<std::string> names;
    const auto& d = image.dir(IMAGE_DIRECTORY_ENTRY_EXPORT);
    auto exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(image.base() + d.VirtualAddress);
    auto nameRvas = reinterpret_cast<const DWORD*>(image.base() + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
        names.insert(reinterpret_cast<const char*>(image.base() + nameRvas[i]));
    return names;
}

std::set<std::string> importedDlls(const LoadedImage& image) {
    std::set<std::string> dlls;
    const auto& d = image.dir(IMAGE_DIRECTORY_ENTRY_IMPORT);
    auto desc = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(image.base() + d.VirtualAddress);
    for (; desc->Name != 0; ++desc) {
        std::string name = reinterpret_cast<const char*>(image.base() + desc->Name);
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        dlls.insert(name);
    }
    return dlls;
}

}  // namespace

TEST(ExportTableTest, ExportsExactlyTheHostEntryPointsForwarderAndClass) {
    LoadedImage image(halvet::test::dllPath());
    ASSERT_NE(image.module, nullptr);
#ifdef _WIN64
    const std::set<std::string> expected = {"initialize", "processMessage", "finalize",
                                            "CreateProcessWithTokenW",
                                            "??4CHalvetAppUI@@QEAAAEAV0@AEBV0@@Z"};
#else
    const std::set<std::string> expected = {"initialize", "processMessage", "finalize",
                                            "_CreateProcessWithTokenW@36",
                                            "??4CHalvetAppUI@@QAEAAV0@ABV0@@Z"};
#endif
    EXPECT_EQ(exportNames(image), expected);
}

TEST(ExportTableTest, ImportsOnlySystemLibraries) {
    LoadedImage image(halvet::test::dllPath());
    ASSERT_NE(image.module, nullptr);
    const std::set<std::string> system = {
        "kernel32.dll", "user32.dll",   "gdi32.dll",   "gdiplus.dll",        "ole32.dll",
        "oleaut32.dll", "comctl32.dll", "shell32.dll", "shlwapi.dll",        "msimg32.dll",
        "advapi32.dll", "msvcrt.dll",   "windowscodecs.dll", "uxtheme.dll", "oleacc.dll"};
    for (const auto& dll : importedDlls(image)) {
        bool ok = system.count(dll) || dll.rfind("api-ms-win-", 0) == 0;
        EXPECT_TRUE(ok) << "unexpected import: " << dll;
    }
}

TEST(ExportTableTest, HeaderAsksForAddressRandomisationAndNoExecuteData) {
    LoadedImage image(halvet::test::dllPath());
    ASSERT_NE(image.module, nullptr);
    WORD flags = image.nt()->OptionalHeader.DllCharacteristics;
    EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE);
    EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_NX_COMPAT);
    EXPECT_NE(image.dir(IMAGE_DIRECTORY_ENTRY_BASERELOC).Size, 0u);
#ifdef _WIN64
    EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA);
#endif
}
