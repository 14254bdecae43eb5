#pragma once
#include <map>
#include <string>

// A UI event as texts, e.g. {"componentID": "1001", "event": "click"}.
using EventMap = std::map<std::wstring, std::wstring>;
