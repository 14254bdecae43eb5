#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace halvet::test {

// The version resource of a module file, read the way installers and
// Explorer read it: GetFileVersionInfoW, then VerQueryValueW.
class VersionResource {
public:
    // False when the file has no version resource or cannot be read.
    bool load(const std::wstring& path);

    // The fixed part; null before a successful load.
    const VS_FIXEDFILEINFO* fixedInfo() const;
    // A string of the block of the given language and code page ("040904b0"),
    // or empty when there is none.
    std::wstring text(const std::wstring& block, const std::wstring& name) const;
    // The (language, code page) pairs the resource declares.
    std::vector<std::pair<WORD, WORD>> translations() const;

private:
    std::vector<BYTE> data_;
};

}  // namespace halvet::test
