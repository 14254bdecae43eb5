#include <gtest/gtest.h>

#include <string>

#include "xml/XMLParser.h"

TEST(XMLParserTest, RefusesDocumentTypeDeclarationAndKeepsEarlierDocument) {
    XMLParser parser;
    ASSERT_TRUE(parser.initWithXMLString(L"<a><b>1</b></a>"));
    EXPECT_FALSE(parser.initWithXMLString(
        L"<!DOCTYPE a [<!ENTITY x \"boom\">]><a><b>&x;</b></a>"));
    EXPECT_FALSE(parser.initWithXMLString(L"not xml"));
    std::wstring value;
    ASSERT_TRUE(parser.stringValueForXQuery(L"/a/b", value));
    EXPECT_EQ(value, L"1");
}

TEST(XMLParserTest, SelectsFirstMatchInDocumentOrderWithBothPathForms) {
    XMLParser parser;
    ASSERT_TRUE(parser.initWithXMLString(
        L"<r><x><CommandLineArguments><appletID> A1 </appletID></CommandLineArguments></x>"
        L"<CommandLineArguments><appletID>A2</appletID></CommandLineArguments></r>"));
    std::wstring value;
    ASSERT_TRUE(parser.stringValueForXQuery(L"//CommandLineArguments/appletID", value));
    EXPECT_EQ(value, L"A1");
    EXPECT_FALSE(parser.stringValueForXQuery(L"/CommandLineArguments/appletID", value));
    EXPECT_EQ(value, L"A1");
}

TEST(XMLParserTest, BuildsEscapedDocumentsAndNestsAnotherParsersRoot) {
    XMLParser outer, inner;
    ASSERT_TRUE(outer.initWithXMLString(L"<xmlData/>"));
    XMLNode root;
    ASSERT_TRUE(outer.getRootNode(root));
    ASSERT_TRUE(outer.addChildToNode(L"guid", L"{G}", root));
    ASSERT_TRUE(outer.addChildToNode(L"url", L"a&b<c", root));
    ASSERT_TRUE(inner.initWithXMLString(L"<m k=\"v\"><c>t</c></m>"));
    XMLNode innerRoot;
    ASSERT_TRUE(inner.getRootNode(innerRoot));
    ASSERT_TRUE(outer.addChildToNode(innerRoot, root));
    std::wstring xml;
    ASSERT_TRUE(outer.getXMLString(xml));
    EXPECT_NE(xml.find(L"a&amp;b&lt;c"), std::wstring::npos);
    XMLParser reread;
    ASSERT_TRUE(reread.initWithXMLString(xml));
    std::wstring value;
    ASSERT_TRUE(reread.stringValueForXQuery(L"/xmlData/m/c", value));
    EXPECT_EQ(value, L"t");
    XMLNode r;
    ASSERT_TRUE(reread.getRootNode(r));
    auto map = reread.getMapFromNode(r);
    EXPECT_EQ(map.size(), 3u);
    EXPECT_EQ(map[L"url"], L"a&b<c");
}

TEST(XMLParserTest, PathResultsComeInDocumentOrderWhenFirstStepsNest) {
    // The inner error's code stands first in the document, though its error
    // element is the second match of the first step.
    XMLParser parser;
    ASSERT_TRUE(parser.initWithXMLString(
        L"<error><error><errorCode>A</errorCode></error><errorCode>B</errorCode></error>"));
    std::wstring value;
    ASSERT_TRUE(parser.stringValueForXQuery(L"//error/errorCode", value));
    EXPECT_EQ(value, L"A");
    ASSERT_TRUE(parser.initWithXMLString(
        L"<r><a><b><a><b><c>1</c></b></a><c>2</c></b></a></r>"));
    ASSERT_TRUE(parser.stringValueForXQuery(L"//a/b/c", value));
    EXPECT_EQ(value, L"1");
    ASSERT_TRUE(parser.stringValueForXQuery(L"/r/a/b/c", value));
    EXPECT_EQ(value, L"2");
    EXPECT_FALSE(parser.stringValueForXQuery(L"/a/b/c", value));
    EXPECT_EQ(value, L"2");
}

TEST(XMLParserTest, MapTakesTheFirstChildOfANameAndSkipsEmptyTexts) {
    XMLParser parser;
    ASSERT_TRUE(parser.initWithXMLString(
        L"<r a=\"x\"><relative_name>B</relative_name><relative_version> 2 </relative_version>"
        L"<empty/><relative_name>C</relative_name><g><h>deep</h></g></r>"));
    XMLNode root;
    ASSERT_TRUE(parser.getRootNode(root));
    const XMLParser::TextMap expected = {
        {L"relative_name", L"B"}, {L"relative_version", L"2"}, {L"g", L"deep"}};
    EXPECT_EQ(parser.getMapFromNode(root), expected);
}

TEST(XMLParserTest, DeepAndHugeInputIsAnsweredWithoutCrash) {
    // Deep nesting within every parser's reach: text and paths are found
    // without recursion.
    std::wstring nested;
    for (int i = 0; i < 200; ++i) nested += L"<a>";
    nested += L"bottom";
    for (int i = 0; i < 200; ++i) nested += L"</a>";
    XMLParser parser;
    ASSERT_TRUE(parser.initWithXMLString(nested));
    std::wstring value;
    ASSERT_TRUE(parser.stringValueForXQuery(L"//a/a/a", value));
    EXPECT_EQ(value, L"bottom");

    // Beyond some parsers' limit: refused (the earlier document stays), or
    // taken and read like any other.
    std::wstring deep;
    for (int i = 0; i < 10000; ++i) deep += L"<d>";
    deep += L"x";
    for (int i = 0; i < 10000; ++i) deep += L"</d>";
    if (parser.initWithXMLString(deep)) {
        ASSERT_TRUE(parser.stringValueForXQuery(L"//d", value));
        EXPECT_EQ(value, L"x");
    } else {
        ASSERT_TRUE(parser.stringValueForXQuery(L"/a", value));
        EXPECT_EQ(value, L"bottom");
    }

    std::wstring huge = L"<a>" + std::wstring(1 << 20, L'x') + L"</a>";
    ASSERT_TRUE(parser.initWithXMLString(huge));
    ASSERT_TRUE(parser.stringValueForXQuery(L"/a", value));
    EXPECT_EQ(value.size(), size_t(1) << 20);
}
