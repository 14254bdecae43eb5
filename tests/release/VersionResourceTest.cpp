// The DLL's version resource, read back as a host's installer reads it, must
// carry the project's version (HALVET_TEST_VERSION_*, from CMake) and name the
// product. HALVET_DLL may name another DLL (the package test points it at the
// packaged one).
#include <gtest/gtest.h>

#include "release/VersionResource.h"
#include "support/DllPath.h"

namespace halvet::test {
namespace {

constexpr wchar_t kEnglishUnicode[] = L"040904b0";

std::wstring projectVersionText() {
    const char* text = HALVET_TEST_VERSION_TEXT;
    return std::wstring(text, text + strlen(text));
}

class VersionResourceTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(resource.load(dllPath())) << "no version resource"; }
    VersionResource resource;
};

TEST_F(VersionResourceTest, FixedPartCarriesProjectVersion) {
    const VS_FIXEDFILEINFO* info = resource.fixedInfo();
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->dwSignature, 0xFEEF04BDu);
    const DWORD high = MAKELONG(HALVET_TEST_VERSION_MINOR, HALVET_TEST_VERSION_MAJOR);
    const DWORD low = MAKELONG(0, HALVET_TEST_VERSION_PATCH);
    EXPECT_EQ(info->dwFileVersionMS, high);
    EXPECT_EQ(info->dwFileVersionLS, low);
    EXPECT_EQ(info->dwProductVersionMS, high);
    EXPECT_EQ(info->dwProductVersionLS, low);
    EXPECT_EQ(info->dwFileType, static_cast<DWORD>(VFT_DLL));
    // A release is neither a debug nor a pre-release build.
    EXPECT_EQ(info->dwFileFlags & info->dwFileFlagsMask, 0u);
}

TEST_F(VersionResourceTest, StringsNameProductAndVersion) {
    EXPECT_EQ(resource.text(kEnglishUnicode, L"FileVersion"), projectVersionText());
    EXPECT_EQ(resource.text(kEnglishUnicode, L"ProductVersion"), projectVersionText());
    EXPECT_EQ(resource.text(kEnglishUnicode, L"ProductName"), L"HalvetPanelUI");
    EXPECT_EQ(resource.text(kEnglishUnicode, L"OriginalFilename"), L"HalvetPanelUI.dll");
    EXPECT_EQ(resource.text(kEnglishUnicode, L"LegalCopyright"),
              L"Copyright (C) the HalvetPanelUI authors");
    EXPECT_FALSE(resource.text(kEnglishUnicode, L"FileDescription").empty());
}

// Readers pick the string block through the translation list: it must name
// the block the strings are in, or Explorer shows none of them.
TEST_F(VersionResourceTest, TranslationNamesTheStringBlock) {
    const auto pairs = resource.translations();
    ASSERT_EQ(pairs.size(), 1u);
    EXPECT_EQ(pairs[0].first, 0x0409);
    EXPECT_EQ(pairs[0].second, 1200);
}

}  // namespace
}  // namespace halvet::test
