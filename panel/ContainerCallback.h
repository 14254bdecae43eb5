#pragma once

// The function through which the host's HTML container reports what happens in
// the panel's web view and passes on the page's messages. Plain C linkage and
// the caller-cleans convention, so that the container can call it through the
// address text that "attachParentWindow" carries. Every event is relayed to
// "HalvetPanel_BL" inside an HTMLMessage document; network errors are looked
// at first. Always returns 0; null arguments relay nothing.
extern "C" int __cdecl containerCallback(const wchar_t* eventName, const wchar_t* payload);

using ContainerCallbackFunction = int(__cdecl*)(const wchar_t* eventName, const wchar_t* payload);
