#include "webview/engine/BridgeLine.h"

#include <gtest/gtest.h>

namespace refhost {
namespace {

TEST(BridgeLine, FieldsSurviveALineWhateverTheyHold) {
    std::vector<std::wstring> fields = {L"load", L"", L"a b", L"\x00fc \x20ac \xd834\xdd1e",
                                        L"x\ny\r\n", L"%41", L"<a href=\"1\">&amp;</a>"};
    std::string line = BridgeLine::encode(fields);
    ASSERT_EQ(line.back(), '\n');
    std::string body = line.substr(0, line.size() - 1);
    EXPECT_EQ(body.find('\n'), std::string::npos);
    EXPECT_EQ(body.find('\r'), std::string::npos);
    EXPECT_EQ(BridgeLine::decode(body), fields);
}

TEST(BridgeLine, ReadsWhatTheBridgeWrites) {
    // As the bridge's encodeURIComponent writes them, carriage return included.
    EXPECT_EQ(BridgeLine::decode("message %7BG%7D pageReady %3Ca%3E%C3%BC%3C%2Fa%3E\r"),
              (std::vector<std::wstring>{L"message", L"{G}", L"pageReady", L"<a>\x00fc</a>"}));
}

TEST(BridgeLine, KeepsABrokenEscapeAsItStands) {
    EXPECT_EQ(BridgeLine::decode("frame %ZZ 100% %4"),
              (std::vector<std::wstring>{L"frame", L"%ZZ", L"100%", L"%4"}));
}

TEST(BridgeLine, ReadableFormCutsLongFields) {
    std::wstring shown = BridgeLine::readable({L"frame", L"g", std::wstring(5000, L'A')}, 10);
    EXPECT_EQ(shown, L"frame g AAAAAAAAAA... (5000 characters)");
}

}  // namespace
}  // namespace refhost
