#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include "platform/CommandLine.h"

namespace refhost {
namespace {

// Each argument comes back alone and whole from the system's own splitting,
// whatever characters it holds.
TEST(CommandLine, EveryArgumentComesBackAloneAndWhole) {
    const std::wstring arguments[] = {
        L"plain", L"", L"a b", L"q\"uote", L"\"", L"end\\", L"two\\\\", L"back\\\"quote",
        L"\\\\\"\\", L"tab\there", L"--port 1", L"x\" --engine \"y", L"pct%PATH%", L"\x00fc\x20ac"};
    std::wstring line = L"program.exe";
    for (const std::wstring& a : arguments) line += L" " + quoteArgument(a);
    int count = 0;
    LPWSTR* split = CommandLineToArgvW(line.c_str(), &count);
    ASSERT_NE(split, nullptr);
    ASSERT_EQ(count, 1 + static_cast<int>(std::size(arguments)));
    for (int i = 1; i < count; ++i) EXPECT_EQ(std::wstring(split[i]), arguments[i - 1]) << i;
    LocalFree(split);
}

}  // namespace
}  // namespace refhost
