#pragma once
#include <string>

// A fresh GUID in registry form: 38 characters, braces, upper-case digits;
// false (and `out` untouched) when the system gives none.
bool newGuidString(std::wstring& out);
