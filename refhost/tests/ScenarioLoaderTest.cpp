#include <gtest/gtest.h>

#include "scenario/BuiltInScenario.h"
#include "scenario/ScenarioLoader.h"

using refhost::Scenario;
using refhost::ScenarioLoader;

namespace {

bool parse(const std::wstring& text, Scenario& scenario, std::wstring& error) {
    return ScenarioLoader::parse(text, L"s.xml", scenario, error);
}

}  // namespace

TEST(ScenarioLoaderTest, ReadsStepsWithTheirLinesAttributesAndBodies) {
    Scenario s;
    std::wstring error;
    ASSERT_TRUE(
        parse(L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              L"<scenario name=\"road\">\n"
              L"  <!-- a <comment> -->\n"
              L"  <send name=\"CreateView\"><xmlData><p>{hostWindow}</p></xmlData></send>\n"
              L"  <event name=\"OnLoadEnd\">file:///a?x=1&amp;y=2</event>\n"
              L"  <event name=\"raw\"><![CDATA[a < b]]></event>\n"
              L"  <pump ms=\"10\"/>\n"
              L"</scenario>\n",
              s, error))
        << std::string(error.begin(), error.end());
    EXPECT_EQ(s.name, L"road");
    ASSERT_EQ(s.steps.size(), 4u);
    EXPECT_EQ(s.steps[0].kind, L"send");
    EXPECT_EQ(s.steps[0].line, 4);
    EXPECT_EQ(s.steps[0].attr(L"name"), L"CreateView");
    // Markup is passed on as written; text is decoded.
    EXPECT_EQ(s.steps[0].body, L"<xmlData><p>{hostWindow}</p></xmlData>");
    EXPECT_EQ(s.steps[1].body, L"file:///a?x=1&y=2");
    EXPECT_EQ(s.steps[2].body, L"a < b");
    EXPECT_EQ(s.steps[3].line, 7);
}

TEST(ScenarioLoaderTest, RefusesTextThatIsNotXmlWithItsLine) {
    Scenario s;
    std::wstring error;
    EXPECT_FALSE(parse(L"<scenario>\n  <send name=\"a\">\n</scenario>\n", s, error));
    EXPECT_NE(error.find(L"s.xml:"), std::wstring::npos);
    EXPECT_NE(error.find(L"not well-formed XML"), std::wstring::npos);
    EXPECT_EQ(error.find(L"s.xml:0:"), std::wstring::npos) << "the parser gave no line";
}

TEST(ScenarioLoaderTest, RefusesUnknownStepsAttributesAndValuesWithTheirLines) {
    Scenario s;
    std::wstring error;
    EXPECT_FALSE(parse(L"<scenario>\n<initialize/>\n\n<sned name=\"x\"/>\n</scenario>", s, error));
    EXPECT_NE(error.find(L"s.xml:4: unknown step 'sned'"), std::wstring::npos);

    EXPECT_FALSE(parse(L"<scenario>\n<pump ms=\"10\" msec=\"3\"/>\n</scenario>", s, error));
    EXPECT_NE(error.find(L"s.xml:2: step 'pump' has no attribute 'msec'"), std::wstring::npos);

    EXPECT_FALSE(parse(L"<scenario>\n<pump/>\n</scenario>", s, error));
    EXPECT_NE(error.find(L"s.xml:2: step 'pump' needs the attribute 'ms'"), std::wstring::npos);

    EXPECT_FALSE(parse(L"<scenario>\n<pump ms=\"soon\"/>\n</scenario>", s, error));
    EXPECT_NE(error.find(L"whole number"), std::wstring::npos);

    EXPECT_FALSE(parse(L"<scenario>\n\n<network mode=\"flaky\"/>\n</scenario>", s, error));
    EXPECT_NE(error.find(L"s.xml:3:"), std::wstring::npos);
    EXPECT_NE(error.find(L"ok offline proxy"), std::wstring::npos);

    EXPECT_FALSE(parse(L"<scenario>\n<hide>now</hide>\n</scenario>", s, error));
    EXPECT_NE(error.find(L"s.xml:2: step 'hide' takes no content"), std::wstring::npos);
}

TEST(ScenarioLoaderTest, RefusesAnotherRootAndDocumentTypes) {
    Scenario s;
    std::wstring error;
    EXPECT_FALSE(parse(L"<steps><pump ms=\"1\"/></steps>", s, error));
    EXPECT_NE(error.find(L"root element must be 'scenario'"), std::wstring::npos);
    EXPECT_FALSE(parse(L"<!DOCTYPE scenario [<!ENTITY a \"b\">]>\n<scenario/>", s, error));
    EXPECT_NE(error.find(L"document type"), std::wstring::npos);
}

TEST(ScenarioLoaderTest, BuiltInScenarioIsValid) {
    Scenario s;
    std::wstring error;
    std::wstring text = refhost::BuiltInScenario::text();
    ASSERT_FALSE(text.empty());
    ASSERT_TRUE(parse(text, s, error)) << std::string(error.begin(), error.end());
    EXPECT_EQ(s.name, L"panel-road");
    EXPECT_TRUE(s.hasStep(L"spinner-strip"));
    EXPECT_TRUE(s.hasStep(L"finalize"));

    Scenario standIn;
    ASSERT_TRUE(parse(refhost::BuiltInScenario::text(true), standIn, error))
        << std::string(error.begin(), error.end());
    EXPECT_EQ(standIn.name, L"stand-in-road");
    EXPECT_TRUE(standIn.hasStep(L"spinner-strip"));
}
