#include "panel/GuidText.h"

#include <windows.h>
#include <objbase.h>

bool newGuidString(std::wstring& out) {
    GUID guid = {};
    // Without a fresh GUID nothing is named: two views, or two font files,
    // must never share the null one.
    if (FAILED(CoCreateGuid(&guid))) return false;
    wchar_t text[40] = {};
    const int n = StringFromGUID2(guid, text, 40);
    if (n <= 1) return false;
    out.assign(text, static_cast<size_t>(n - 1));
    return true;
}
