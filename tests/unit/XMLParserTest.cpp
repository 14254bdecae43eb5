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

TEST(XMLParserTest, DeepAndHugeInputIsAnsweredWithoutCrash) {
    std::wstring deep;
    for (int i = 0; i < 10000; ++i) deep += L"<a>";
    for (int i = 0; i < 10000; ++i) deep += L"</a>";
    XMLParser parser;
    std::wstring value;
    if (parser.initWithXMLString(deep)) parser.stringValueForXQuery(L"//a", value);
    std::wstring huge = L"<a>" + std::wstring(1 << 20, L'x') + L"</a>";
    ASSERT_TRUE(parser.initWithXMLString(huge));
    ASSERT_TRUE(parser.stringValueForXQuery(L"/a", value));
    EXPECT_EQ(value.size(), size_t(1) << 20);
}
