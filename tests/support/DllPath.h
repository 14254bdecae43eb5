#pragma once
#include <string>

namespace halvet::test {
// Full path of the built HalvetPanelUI.dll: beside the test program,
// unless HALVET_DLL names another one.
std::wstring dllPath();
// Folder of the running test program, with a trailing backslash.
std::wstring programFolder();
}  // namespace halvet::test
