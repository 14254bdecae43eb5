#pragma once
#include <string>
#include <utility>
#include <vector>

namespace refhost {

// How Wine names the same file on both sides: the Linux programs beside the
// host (Node.js, the bridge, the browser) take Unix paths, while Windows
// calls take DOS ones. Wine's kernel32 exports the conversions; on another
// system they are missing and the answers below are empty or unchanged.
namespace winepath {

// The Unix path Wine gives a DOS path; a path that is not one ("/usr/...")
// stays as it is.
std::wstring unixName(const std::wstring& path);

// The DOS name Wine gives a Unix path ("Z:\usr\bin\node"); empty when there
// is none.
std::wstring dosName(const std::wstring& unixPath);

// The Unix folder each drive letter of this Wine prefix stands for, as
// (lower-case letter, folder) pairs.
std::vector<std::pair<wchar_t, std::wstring>> driveRoots();

}  // namespace winepath
}  // namespace refhost
