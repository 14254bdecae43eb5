// Content loading through the DLL: "changeURL", "ReloadHTML", "LoadBlank",
// "ContentForHTML" and "ProcessFonts" as a host and its container see them.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/FakeContainer.h"
#include "support/FakeHost.h"
#include "support/TestWindows.h"

using halvet::test::DllReply;
using halvet::test::elementText;
using halvet::test::Envelope;
using halvet::test::FakeContainer;
using halvet::test::FakeHost;

namespace {

std::wstring handleText(HWND window) {
    wchar_t text[32];
    swprintf(text, 32, L"0x%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
    return text;
}

std::string fileBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// "file:///C:/x/y" back to "C:\x\y".
std::wstring pathOfUrl(std::wstring url) {
    url = url.substr(8);
    for (wchar_t& c : url)
        if (c == L'/') c = L'\\';
    return url;
}

bool exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class ContentLoadingBlackboxTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.loaded());
        ASSERT_EQ(host.initialize(), 1);
    }
    void createView() {
        DllReply reply = host.send(L"CreateView", L"<v><parentViewPtr>" + handleText(window.hwnd()) +
                                                      L"</parentViewPtr></v>");
        ASSERT_EQ(reply.text, handleText(window.hwnd()));
        ASSERT_TRUE(IsWindow(container.dialog()));
        host.clearRecords();
    }
    // The spinner's own visibility (the dialog stays hidden until "ShowView").
    bool spinnerVisible() const {
        return (GetWindowLongPtrW(GetDlgItem(container.dialog(), 3038), GWL_STYLE) & WS_VISIBLE) != 0;
    }
    // The announcement's URL in the last "processMessageForJSON".
    std::wstring announcedUrl() {
        auto sent = host.envelopesNamed(L"processMessageForJSON");
        return sent.empty() ? L"" : elementText(sent.back().messageData, L"cleanPath");
    }

    FakeHost host;
    FakeContainer container{host};
    HostWindow window{WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640, 480};
};

}  // namespace

TEST_F(ContentLoadingBlackboxTest, WithoutAViewNothingIsSentAndTheReplyIsFailure) {
    for (const wchar_t* name : {L"ReloadHTML", L"LoadBlank", L"ContentForHTML", L"ProcessFonts"}) {
        DllReply reply = host.send(name, L"<htmlContent/>");
        EXPECT_EQ(reply.text, L"Failure") << name;
        EXPECT_FALSE(reply.owned()) << name;
    }
    EXPECT_TRUE(host.envelopes().empty());
}

TEST_F(ContentLoadingBlackboxTest, ChangeUrlIsCompleteAndItsReplyPassesThroughOwned) {
    createView();
    container.replies[L"changeURL"] = L"loading";
    DllReply reply = host.send(L"LoadBlank");
    EXPECT_EQ(reply.text, L"loading");
    EXPECT_TRUE(reply.owned());
    auto sent = host.envelopesNamed(L"changeURL");
    ASSERT_EQ(sent.size(), 1u);
    const Envelope& e = sent[0];
    EXPECT_EQ(e.targetType, L"Applet");
    EXPECT_EQ(e.targetAppletID, L"HEX_UIX");
    EXPECT_EQ(e.targetAppletVersion, L"1.0");
    EXPECT_EQ(e.targetInstanceID, L"1");
    EXPECT_EQ(e.sourceAppletID, L"HalvetPanel_UI");
    EXPECT_EQ(e.sourceAppletVersion, L"1.0");
    EXPECT_EQ(e.sourceInstanceID, L"1");
    EXPECT_EQ(e.flagA, 0);
    EXPECT_EQ(e.flagB, 1);
    EXPECT_EQ(e.flagC, 0);
    EXPECT_EQ(elementText(e.messageData, L"guid"), container.guid());
    EXPECT_EQ(elementText(e.messageData, L"url"), L"about:blank");
    EXPECT_LT(e.messageData.find(L"<guid>"), e.messageData.find(L"<url>"));

    container.replies[L"changeURL"] = L"";
    EXPECT_EQ(host.send(L"LoadBlank").text, L"");
}

TEST_F(ContentLoadingBlackboxTest, ReloadStartsTheSpinnerFirstAndRearmsErrorReporting) {
    createView();
    host.send(L"HideSpinner");
    ASSERT_FALSE(spinnerVisible());
    // Blank pages leave the spinner alone.
    host.send(L"LoadBlank");
    EXPECT_FALSE(spinnerVisible());

    // One network error silences later ones until the page is loaded again.
    const std::wstring error = L"<error><errReason>ERR_CONNECTION_RESET</errReason></error>";
    container.fire(L"CEF_ERROR", error);
    host.clearRecords();
    container.fire(L"CEF_ERROR", error);
    EXPECT_TRUE(host.envelopes().empty());

    bool visibleWhenSent = false;
    container.during[L"changeURL"] = [&] { visibleWhenSent = spinnerVisible(); };
    host.send(L"ReloadHTML");
    EXPECT_TRUE(visibleWhenSent);
    ASSERT_EQ(container.urls().size(), 3u);  // processURL, about:blank, the page again
    EXPECT_EQ(container.urls().back(), container.urls().front());

    host.clearRecords();
    container.fire(L"CEF_ERROR", error);
    EXPECT_EQ(host.envelopesNamed(L"HEX_NETWORK_ERROR").size(), 1u);
}

TEST_F(ContentLoadingBlackboxTest, ReloadWhileTheProxyDialogIsOpenKeepsWaitingForCredentials) {
    createView();
    // No stored credentials: the container shows its proxy dialog.
    const std::wstring proxyError = L"<error><errReason>ERR_TUNNEL_CONNECTION_FAILED</errReason></error>";
    container.fire(L"CEF_ERROR", proxyError);
    ASSERT_EQ(host.envelopesNamed(L"ShowProxyDialog").size(), 1u);

    host.send(L"ReloadHTML");
    host.clearRecords();
    container.fire(L"CEF_ERROR", proxyError);
    EXPECT_TRUE(host.envelopes().empty()) << "a second dialog was asked for";
    EXPECT_EQ(host.send(L"proxyCredentialsUpdated").text, L"true");
    EXPECT_EQ(host.envelopesNamed(L"HEX_NETWORK_ERROR_RETRY").size(), 1u);
}

TEST_F(ContentLoadingBlackboxTest, ContentGoesToThePageWrappedWithTheGuid) {
    createView();
    EXPECT_EQ(host.send(L"ContentForHTML", L"<htmlContent/>").text, L"Success");
    EXPECT_EQ(host.send(L"ContentForHTML", L"not xml & <").text, L"Success");
    auto sent = host.envelopesNamed(L"processMessageForJSON");
    ASSERT_EQ(sent.size(), 2u);
    for (const Envelope& e : sent) {
        EXPECT_EQ(e.targetAppletID, L"HEX_UIX");
        EXPECT_EQ(e.messageData.rfind(L"<ContentForHTML><guid>" + container.guid() + L"</guid><message", 0), 0u)
            << testing::PrintToString(e.messageData);
    }
    EXPECT_NE(sent[0].messageData.find(L"<message><htmlContent/></message>"), std::wstring::npos);
    EXPECT_NE(sent[1].messageData.find(L"<message/>"), std::wstring::npos);
}

TEST_F(ContentLoadingBlackboxTest, FontsReplaceTheirFileAndFinalizeRemovesIt) {
    createView();
    EXPECT_EQ(host.send(L"ProcessFonts").text, L"Success");
    const std::wstring first = announcedUrl();
    EXPECT_EQ(host.send(L"ProcessFonts").text, L"Success");
    const std::wstring second = announcedUrl();
    ASSERT_EQ(first.rfind(L"file:///", 0), 0u) << first;
    EXPECT_NE(first, second);
    EXPECT_TRUE(iswalpha(second[8]) && second[9] == L':') << second;
    EXPECT_EQ(second.find(L'\\'), std::wstring::npos);
    EXPECT_FALSE(exists(pathOfUrl(first)));
    ASSERT_TRUE(exists(pathOfUrl(second)));

    // The file is the stylesheet: four rules in order, CRLF kept as it is.
    const std::string css = fileBytes(pathOfUrl(second));
    EXPECT_EQ(css.find("\r\r\n"), std::string::npos);
    size_t at = 0;
    for (const char* rule : {"font-style:italic;font-weight:400;", "font-style:normal;font-weight:300;",
                             "font-style:normal;font-weight:400;", "font-style:normal;font-weight:700;"}) {
        const size_t found = css.find(rule, at);
        ASSERT_NE(found, std::string::npos) << rule;
        at = found + 1;
    }
    EXPECT_NE(css.find("src:url(data:font/opentype;base64,d09GR"), std::string::npos);  // "wOFF"

    EXPECT_EQ(host.finalize(), 1);
    EXPECT_FALSE(exists(pathOfUrl(second)));
}

TEST_F(ContentLoadingBlackboxTest, TemporaryFolderWithAnAmpersandStillReachesThePage) {
    wchar_t temp[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    const std::wstring folder = std::wstring(temp) + L"Halvet A&B";
    CreateDirectoryW(folder.c_str(), nullptr);
    wchar_t saved[MAX_PATH] = L"";
    GetEnvironmentVariableW(L"TMP", saved, MAX_PATH);
    SetEnvironmentVariableW(L"TMP", folder.c_str());
    createView();
    EXPECT_EQ(host.send(L"ProcessFonts").text, L"Success");
    SetEnvironmentVariableW(L"TMP", saved[0] ? saved : nullptr);

    auto sent = host.envelopesNamed(L"processMessageForJSON");
    ASSERT_EQ(sent.size(), 1u);
    const std::wstring& data = sent[0].messageData;
    EXPECT_NE(data.find(L"<messageName>INIT_CLEAN</messageName>"), std::wstring::npos) << data;
    const std::wstring url = elementText(data, L"cleanPath");
    EXPECT_NE(url.find(L"Halvet A&amp;B/{"), std::wstring::npos) << url;
    host.finalize();
    RemoveDirectoryW(folder.c_str());
}

namespace {

// Extended-length form of an absolute path, for files past the classic limit.
std::wstring longForm(const std::wstring& path) {
    return L"\\\\?\\" + path;
}

}  // namespace

TEST_F(ContentLoadingBlackboxTest, LongTemporaryFolderStillGetsTheStylesheetAndAnnouncesIt) {
    // A temporary folder of about 230 characters: with the GUID name the file's
    // path is past MAX_PATH.
    wchar_t temp[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    std::wstring folder = std::wstring(temp) + L"HalvetLong";
    CreateDirectoryW(folder.c_str(), nullptr);
    std::vector<std::wstring> made{folder};
    while (folder.size() < 230) {
        folder += L"\\" + std::wstring(std::min<size_t>(40, 230 - folder.size()), L'd');
        ASSERT_TRUE(CreateDirectoryW(longForm(folder).c_str(), nullptr) ||
                    GetLastError() == ERROR_ALREADY_EXISTS);
        made.push_back(folder);
    }
    ASSERT_GE(folder.size(), 229u);
    wchar_t saved[MAX_PATH] = L"";
    GetEnvironmentVariableW(L"TMP", saved, MAX_PATH);
    SetEnvironmentVariableW(L"TMP", folder.c_str());
    createView();
    EXPECT_EQ(host.send(L"ProcessFonts").text, L"Success");
    SetEnvironmentVariableW(L"TMP", saved[0] ? saved : nullptr);

    const std::wstring url = announcedUrl();
    ASSERT_FALSE(url.empty()) << "nothing announced";
    const std::wstring file = pathOfUrl(url);
    EXPECT_GT(file.size(), static_cast<size_t>(MAX_PATH));
    EXPECT_EQ(file.rfind(folder + L"\\{", 0), 0u) << file;
    const std::string written = fileBytes(longForm(file));
    EXPECT_NE(written.find("@font-face"), std::string::npos);

    host.finalize();
    EXPECT_FALSE(exists(longForm(file)));
    for (auto it = made.rbegin(); it != made.rend(); ++it) RemoveDirectoryW(longForm(*it).c_str());
}
