#include "panel/GuidText.h"

#include <windows.h>
#include <objbase.h>

bool newGuidString(std::wstring& out) {
    GUID guid = {};
    CoCreateGuid(&guid);
    wchar_t text[40] = {};
    int n = StringFromGUID2(guid, text, 40);
    out.assign(text, n > 0 ? static_cast<size_t>(n - 1) : 0);
    return true;
}
