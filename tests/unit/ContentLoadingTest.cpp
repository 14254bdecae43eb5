// The documents of content loading and the font stylesheet file.
#include "panel/ContentLoading.h"

#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>

#include "unit/PanelFixture.h"
#include "util/FileUtils.h"

namespace {

const std::wstring kGuid = L"{0A1B2C3D-0000-1111-2222-333344445555}";

std::string fileBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class ContentLoadingTest : public PanelFixture {
protected:
    void TearDown() override {
        panel().deleteFontFile();
        PanelFixture::TearDown();
    }
};

}  // namespace

TEST_F(ContentLoadingTest, ChangeUrlIsACompleteMessageWithItsFixedAddress) {
    AppletMessage message = halvet::changeURLMessage(kGuid, L"C:\\a&b\\index.html");
    EXPECT_EQ(message.targetType, L"Applet");
    EXPECT_EQ(message.targetAppletID, L"HEX_UIX");
    EXPECT_EQ(message.targetAppletVersion, L"1.0");
    EXPECT_EQ(message.targetInstanceID, L"1");
    EXPECT_EQ(message.sourceAppletID, L"HalvetPanel_UI");
    EXPECT_EQ(message.sourceAppletVersion, L"1.0");
    EXPECT_EQ(message.sourceInstanceID, L"1");
    EXPECT_EQ(message.messageName, L"changeURL");
    EXPECT_EQ(message.flagA, 0);
    EXPECT_EQ(message.flagB, 1);
    EXPECT_EQ(message.flagC, 0);
    EXPECT_EQ(canonical(message.messageData),
              canonical(L"<xmlData><guid>" + kGuid + L"</guid><url>C:\\a&amp;b\\index.html</url></xmlData>"));
}

TEST_F(ContentLoadingTest, ContentGoesInsideMessageAfterTheGuid) {
    EXPECT_EQ(canonical(halvet::contentForHTMLDocument(kGuid, L"<htmlContent/>")),
              canonical(L"<ContentForHTML><guid>" + kGuid +
                        L"</guid><message><htmlContent/></message></ContentForHTML>"));
    const std::wstring nested = L"<?xml version=\"1.0\"?><a x=\"1\"><b>t &lt; u</b><c/></a>";
    EXPECT_EQ(canonical(halvet::contentForHTMLDocument(kGuid, nested)),
              canonical(L"<ContentForHTML><guid>" + kGuid +
                        L"</guid><message><a x=\"1\"><b>t &lt; u</b><c/></a></message></ContentForHTML>"));
    for (const wchar_t* notXml : {L"", L"plain", L"<a>", L"<a/><b/>"})
        EXPECT_EQ(canonical(halvet::contentForHTMLDocument(kGuid, notXml)),
                  canonical(L"<ContentForHTML><guid>" + kGuid + L"</guid><message/></ContentForHTML>"))
            << notXml;
}

TEST_F(ContentLoadingTest, AnnouncementStaysWellFormedForAnyFolderName) {
    const std::wstring url = halvet::fileUrl(L"C:\\users\\A&B <x>\\Temp\\{G}");
    EXPECT_EQ(url, L"file:///C:/users/A&B <x>/Temp/{G}");
    const std::wstring announcement = halvet::fontAnnouncement(url);
    EXPECT_EQ(textAt(announcement, L"/htmlContent/messageName"), L"INIT_CLEAN");
    EXPECT_EQ(textAt(announcement, L"/htmlContent/htmlData/cleanPath"), url);
    // The plain case is exactly the concatenation the page expects.
    EXPECT_EQ(halvet::fontAnnouncement(L"file:///C:/t/{G}"),
              L"<htmlContent><messageName>INIT_CLEAN</messageName><htmlData><cleanPath>"
              L"file:///C:/t/{G}</cleanPath></htmlData></htmlContent>");
}

TEST_F(ContentLoadingTest, FontFileHoldsTheStylesheetByteForByte) {
    std::wstring url;
    ASSERT_TRUE(panel().writeFontFile(url));
    const std::string_view stylesheet = halvet::fontStylesheet();
    ASSERT_GT(stylesheet.size(), 100000u);
    const std::string written = fileBytes(panel().fontFilePath);
    EXPECT_EQ(written.size(), stylesheet.size());
    EXPECT_TRUE(written == stylesheet) << "the file differs from the resource";
    EXPECT_EQ(written.find("\r\r\n"), std::string::npos);
}

TEST_F(ContentLoadingTest, EachFontFileReplacesTheLastAndFinalizeRemovesIt) {
    std::wstring temp;
    ASSERT_TRUE(halvet::getFolderLocation(halvet::kTemporary, temp));
    std::wstring firstUrl, secondUrl;
    ASSERT_TRUE(panel().writeFontFile(firstUrl));
    const std::wstring first = panel().fontFilePath;
    ASSERT_TRUE(panel().writeFontFile(secondUrl));
    const std::wstring second = panel().fontFilePath;
    EXPECT_FALSE(exists(first));
    EXPECT_TRUE(exists(second));
    EXPECT_NE(firstUrl, secondUrl);

    // Named by a GUID in braces, directly in the temporary folder, no extension.
    ASSERT_EQ(second.size(), temp.size() + 38);
    EXPECT_EQ(second.compare(0, temp.size(), temp), 0);
    EXPECT_EQ(second[temp.size()], L'{');
    EXPECT_EQ(second.back(), L'}');
    EXPECT_EQ(secondUrl.rfind(L"file:///", 0), 0u);
    EXPECT_TRUE(iswalpha(secondUrl[8]) && secondUrl[9] == L':') << secondUrl;
    EXPECT_EQ(secondUrl.find(L'\\'), std::wstring::npos);

    // Read-only files go too (one retry after clearing the attribute).
    SetFileAttributesW(second.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(panel().finalize(L"bye"), 1);
    EXPECT_FALSE(exists(second));
    EXPECT_EQ(panel().fontFilePath, second);
    EXPECT_EQ(panel().finalize(L"again"), 1);
}
