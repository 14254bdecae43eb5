#include "scenario/BuiltInScenario.h"

#include <windows.h>

#include "platform/Text.h"

namespace refhost {

std::wstring BuiltInScenario::text(bool standIn) {
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(self, MAKEINTRESOURCEW(standIn ? kStandInResourceId : kResourceId),
                                MAKEINTRESOURCEW(10));
    HGLOBAL loaded = found ? LoadResource(self, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes) return L"";
    std::string utf8(static_cast<const char*>(bytes), SizeofResource(self, found));
    if (utf8.compare(0, 3, "\xEF\xBB\xBF") == 0) utf8.erase(0, 3);
    return text::fromUtf8(utf8);
}

}  // namespace refhost
