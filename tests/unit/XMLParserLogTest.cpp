// What XMLParser tells the module's log hook: the text and level of each
// failure, through the process-wide callback that a host of the code installs.
#include <gtest/gtest.h>

#include <cstdarg>
#include <string>
#include <thread>
#include <vector>

#include "xml/Logger.h"
#include "xml/XMLParser.h"

namespace {

struct Entry {
    int level;
    std::wstring format;
    bool operator==(const Entry& other) const {
        return level == other.level && format == other.format;
    }
};

void PrintTo(const Entry& entry, std::ostream* out) {
    *out << entry.level << " " << testing::PrintToString(entry.format);
}

std::vector<Entry> g_entries;
unsigned g_firstArgument = 0;

void record(int level, const wchar_t* module, const wchar_t* tag, const wchar_t* empty,
            const wchar_t* context, const wchar_t* format, va_list args) {
    EXPECT_STREQ(module, L"OOBEUtils");
    EXPECT_STREQ(tag, L"XMLParser");
    EXPECT_STREQ(empty, L"");
    EXPECT_STREQ(context, L"");
    g_entries.push_back({level, format});
    va_list copy;
    va_copy(copy, args);
    g_firstArgument = va_arg(copy, unsigned);
    va_end(copy);
}

// Installs the recorder for one test and removes it afterwards.
class XMLParserLogTest : public testing::Test {
protected:
    void SetUp() override {
        g_entries.clear();
        setLogCallback(record);
    }
    void TearDown() override { setLogCallback(nullptr); }
    // The entries since the last call.
    static std::vector<Entry> taken() {
        std::vector<Entry> out;
        out.swap(g_entries);
        return out;
    }
};

using Entries = std::vector<Entry>;

}  // namespace

TEST_F(XMLParserLogTest, MisuseIsLoggedAtLevel20AndLeavesOutputsAlone) {
    XMLParser empty;
    XMLParser other;
    ASSERT_TRUE(other.initWithXMLString(L"<r><c>1</c></r>"));
    XMLNode node;
    ASSERT_TRUE(other.getRootNode(node));
    const std::wstring notInitialized = L" ... XMLParser not Initialized ...";

    std::wstring value = L"kept";
    EXPECT_FALSE(empty.stringValueForXQuery(L"/r/c", value));
    EXPECT_EQ(value, L"kept");
    EXPECT_EQ(taken(), (Entries{{20, L"stringValueForXQuery" + notInitialized}}));

    EXPECT_TRUE(empty.getMapFromNode(XMLNode()).empty());
    EXPECT_TRUE(empty.getMapFromNode(node).empty());
    EXPECT_EQ(taken(), (Entries{{20, L"getMapFromNode ... Node is null."},
                                {20, L"getMapFromNode" + notInitialized}}));

    XMLNode root = node;
    EXPECT_FALSE(empty.getRootNode(root));
    EXPECT_EQ(root, node);
    EXPECT_EQ(taken(), (Entries{{20, L"getRootNode" + notInitialized}}));

    EXPECT_FALSE(other.addChildToNode(XMLNode(), node));
    EXPECT_FALSE(other.addChildToNode(node, XMLNode()));
    EXPECT_FALSE(other.addChildToNode(L"n", L"v", XMLNode()));
    EXPECT_FALSE(empty.addChildToNode(node, node));
    EXPECT_FALSE(empty.addChildToNode(L"n", L"v", node));
    EXPECT_EQ(taken(), (Entries{{20, L"addChildToNode ... newNode or node is null!"},
                                {20, L"addChildToNode ... newNode or node is null!"},
                                {20, L"addChildToNode ... node is null!"},
                                {20, L"addChildToNode" + notInitialized},
                                {20, L"addChildToNode" + notInitialized}}));

    std::wstring xml = L"kept";
    EXPECT_FALSE(empty.getXMLString(xml));
    EXPECT_EQ(xml, L"kept");
    EXPECT_EQ(taken(), (Entries{{20, L"getXMLString" + notInitialized}}));
    ASSERT_TRUE(other.getXMLString(xml));
    EXPECT_EQ(xml.find(L"<n>"), std::wstring::npos) << "a refused append changed the document";
}

TEST_F(XMLParserLogTest, RefusedTextAndEmptySelectionsAreSilent) {
    XMLParser parser;
    EXPECT_FALSE(parser.initWithXMLString(L""));
    EXPECT_FALSE(parser.initWithXMLString(L"<a>&B</a>"));
    ASSERT_TRUE(parser.initWithXMLString(L"<a><b/></a>"));
    std::wstring value;
    EXPECT_FALSE(parser.stringValueForXQuery(L"/a/c", value));
    EXPECT_FALSE(parser.nodeExistsXQuery(L"//c"));
    EXPECT_TRUE(taken().empty());
}

TEST_F(XMLParserLogTest, DomFailuresAreCaughtAndLoggedAtLevel40WithTheResultCode) {
    XMLParser parser;
    ASSERT_TRUE(parser.initWithXMLString(L"<a><b>1</b></a>"));
    XMLNode root;
    ASSERT_TRUE(parser.getRootNode(root));

    // A path that cannot be read is logged once, by the existence test.
    std::wstring value = L"kept";
    EXPECT_FALSE(parser.stringValueForXQuery(L"/a//b", value));
    EXPECT_EQ(value, L"kept");
    EXPECT_EQ(taken(), (Entries{{40, L"Caught exception in ... nodeExistsXQuery. com error:%x  "
                                     L"system error:%d"}}));
    EXPECT_GE(g_firstArgument, 0x80000000u) << "a failure code";

    // An element name the DOM refuses.
    EXPECT_FALSE(parser.addChildToNode(L"", L"v", root));
    EXPECT_EQ(taken(), (Entries{{40, L"Caught exception in ... addChildToNode. com error:%x  "
                                     L"system error:%d"}}));
    EXPECT_GE(g_firstArgument, 0x80000000u);
}

TEST_F(XMLParserLogTest, DocumentThatCannotBeMadeIsLoggedAndKeepsTheEarlierOne) {
    XMLParser parser;
    ASSERT_TRUE(parser.initWithXMLString(L"<a>1</a>"));
    // COM is not started on a thread of our own, so no document can be made there.
    bool loaded = true;
    std::thread([&] { loaded = parser.initWithXMLString(L"<b>2</b>"); }).join();
    EXPECT_FALSE(loaded);
    EXPECT_EQ(taken(), (Entries{{40, L"Failed in MSXML create instance error:%d"}}));
    std::wstring value;
    ASSERT_TRUE(parser.stringValueForXQuery(L"/a", value));
    EXPECT_EQ(value, L"1");
}
