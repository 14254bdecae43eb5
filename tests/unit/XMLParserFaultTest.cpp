// The rows XMLParser logs when the platform fails it: no document object, no
// automation string, no memory. The failures are injected through this
// program's own import table, for the length of one call of the wrapper.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdarg>
#include <set>
#include <string>

#include "support/FaultSwitch.h"
#include "xml/Logger.h"
#include "xml/XMLParser.h"

using halvet::test::FaultSwitch;
using halvet::test::Faulty;

namespace {

std::set<std::pair<int, std::wstring>> g_rows;

void record(int level, const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*,
            const wchar_t* format, va_list) {
    g_rows.insert({level, format});
}

class XMLParserFaultTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_GT(faults.install(GetModuleHandleW(nullptr)), 0);
        ASSERT_TRUE(faults.hooked(Faulty::CoCreateInstance));
        ASSERT_TRUE(faults.hooked(Faulty::malloc));
        g_rows.clear();
        setLogCallback(record);
    }
    void TearDown() override {
        setLogCallback(nullptr);
        faults.clearFailure();
        faults.uninstall();
    }

    // Runs the operation once with each of its calls of `function` failing
    // in turn; the results, one per run.
    template <typename Operation>
    std::vector<bool> eachFailing(Faulty function, Operation operation) {
        faults.startCounting();
        operation();
        faults.stopCounting();
        const uint32_t count = faults.calls(function);
        std::vector<bool> results;
        for (uint32_t n = 1; n <= count; ++n) {
            faults.startCounting();
            faults.failCall(function, n);
            bool result = false;
            try {
                result = operation();
            } catch (const std::exception& e) {
                ADD_FAILURE() << "an exception left the wrapper at call " << n << ": " << e.what();
            }
            faults.stopCounting();
            faults.clearFailure();
            results.push_back(result);
        }
        return results;
    }

    static bool logged(int level, const wchar_t* format) { return g_rows.count({level, format}) > 0; }

    FaultSwitch& faults = FaultSwitch::instance();
};

TEST_F(XMLParserFaultTest, NoDocumentObjectIsLoggedAndLoadsNothing) {
    faults.startCounting();
    faults.failCall(Faulty::CoCreateInstance, 1, true);
    XMLParser parser;
    const bool loaded = parser.initWithXMLString(L"<a>1</a>");
    faults.stopCounting();
    faults.clearFailure();
    EXPECT_FALSE(loaded);
    EXPECT_TRUE(logged(40, L"Failed in MSXML create instance error:%d"));
    std::wstring value;
    EXPECT_FALSE(parser.stringValueForXQuery(L"/a", value));
    EXPECT_TRUE(logged(20, L"stringValueForXQuery ... XMLParser not Initialized ..."));
}

TEST_F(XMLParserFaultTest, MemoryRunningOutInEachOperationIsCaughtAndLogged) {
    XMLParser parser;
    ASSERT_TRUE(parser.initWithXMLString(L"<a><b>1</b><c>2</c></a>"));
    XMLNode root;
    ASSERT_TRUE(parser.getRootNode(root));

    for (bool ok : eachFailing(Faulty::malloc, [&] {
             std::wstring value;
             return parser.stringValueForXQuery(L"/a/b", value) && value == L"1";
         }))
        (void)ok;
    EXPECT_TRUE(logged(40, L"Caught exception in ... nodeExistsXQuery. error:%d"));
    EXPECT_TRUE(logged(40, L"Caught exception in ... stringValueForXQuery. error:%d"));

    // The text is made before: only the wrapper's own allocations fail.
    const std::wstring text = L"<z><y/></z>";
    const auto loads = eachFailing(Faulty::malloc, [&] {
        XMLParser other;
        return other.initWithXMLString(text);
    });
    EXPECT_NE(std::count(loads.begin(), loads.end(), false), 0);
    EXPECT_TRUE(logged(40, L"Caught exception in ... initWithXMLString. error:%d"));

    const auto maps = eachFailing(Faulty::malloc, [&] { return parser.getMapFromNode(root).size() == 2; });
    EXPECT_NE(std::count(maps.begin(), maps.end(), false), 0);
    EXPECT_TRUE(logged(40, L"Caught exception in ... getMapFromNode. error:%d"));

    const auto written = eachFailing(Faulty::malloc, [&] {
        std::wstring xml;
        return parser.getXMLString(xml);
    });
    EXPECT_NE(std::count(written.begin(), written.end(), false), 0);
    EXPECT_TRUE(logged(40, L"Caught exception in ... getXMLString. error:%d"));

    // Afterwards the document works as before.
    std::wstring value;
    EXPECT_TRUE(parser.stringValueForXQuery(L"/a/c", value));
    EXPECT_EQ(value, L"2");
}

// An automation string that cannot be made reaches the DOM as a null string:
// the call fails with a result code, logged as such.
TEST_F(XMLParserFaultTest, NoAutomationStringFailsWithTheResultCodeRow) {
    XMLParser parser;
    ASSERT_TRUE(parser.initWithXMLString(L"<a/>"));
    XMLNode root;
    ASSERT_TRUE(parser.getRootNode(root));
    const auto added = eachFailing(Faulty::SysAllocStringLen, [&] { return parser.addChildToNode(L"d", L"4", root); });
    // The name's string and the text's: without either nothing is added, so
    // that no element goes out nameless or empty.
    ASSERT_EQ(added.size(), 2u);
    EXPECT_FALSE(added[0]);
    EXPECT_FALSE(added[1]);
    std::wstring xml;
    ASSERT_TRUE(parser.getXMLString(xml));
    // Only the element of the run with nothing failing is there.
    const size_t first = xml.find(L"<d");
    ASSERT_NE(first, std::wstring::npos);
    EXPECT_EQ(xml.compare(first, 8, L"<d>4</d>"), 0) << testing::PrintToString(xml);
    EXPECT_EQ(xml.find(L"<d", first + 1), std::wstring::npos) << testing::PrintToString(xml);
    EXPECT_TRUE(logged(40, L"Caught exception in ... addChildToNode. com error:%x  system error:%d"));
    const auto loads = eachFailing(Faulty::SysAllocStringLen, [&] {
        XMLParser other;
        return other.initWithXMLString(L"<z/>");
    });
    // A refused property is never fatal; the document's own text is.
    EXPECT_NE(std::count(loads.begin(), loads.end(), false), 0);
}

}  // namespace
