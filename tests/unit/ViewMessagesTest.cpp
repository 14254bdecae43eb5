#include <gtest/gtest.h>

#include <string>

#include "panel/ViewMessages.h"
#include "xml/XMLParser.h"

namespace {

std::wstring valueAt(const std::wstring& xml, const wchar_t* path) {
    XMLParser parser;
    std::wstring value;
    if (!parser.initWithXMLString(xml) || !parser.stringValueForXQuery(path, value)) return L"?";
    return value;
}

}  // namespace

TEST(ViewMessagesTest, RefreshDataMadeWithTheURLDataIsTheSameTextAsOneMadeAlone) {
    const std::wstring guid = L"{A&B<C}";
    const std::wstring alone = halvet::refreshViewData(guid);
    ASSERT_FALSE(alone.empty());
    EXPECT_EQ(valueAt(alone, L"/xmlData/guid"), guid);
    EXPECT_EQ(alone.find(L"<url"), std::wstring::npos);

    const std::wstring url = halvet::processURLData(guid, L"C:\\a&b\\index.html");
    EXPECT_EQ(valueAt(url, L"/xmlData/guid"), guid);
    EXPECT_EQ(valueAt(url, L"/xmlData/url"), L"C:\\a&b\\index.html");
    EXPECT_EQ(halvet::refreshViewData(guid), alone);

    // Another view's data is never the remembered one.
    const std::wstring other = halvet::refreshViewData(L"{other}");
    EXPECT_EQ(valueAt(other, L"/xmlData/guid"), L"{other}");
    halvet::processURLData(L"{third}", L"p");
    EXPECT_EQ(halvet::refreshViewData(guid), alone);
    EXPECT_EQ(valueAt(halvet::refreshViewData(L"{third}"), L"/xmlData/guid"), L"{third}");
}
