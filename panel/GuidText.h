#pragma once
#include <string>

// A fresh GUID in registry form: 38 characters, braces, upper-case digits.
bool newGuidString(std::wstring& out);
