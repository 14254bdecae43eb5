#pragma once
#include <windows.h>

#include <string>

// The data of the panel's messages to the HTML container about its view.
namespace halvet {

// Plain concatenation, as the container reads it: guid, the dialog's window
// handle and the callback's address, the numbers in "0x" lower-case form.
std::wstring attachParentWindowData(const std::wstring& viewGuid, HWND dialog,
                                    uintptr_t callbackAddress);
// <xmlData><guid/><url/></xmlData>, texts escaped.
std::wstring processURLData(const std::wstring& viewGuid, const std::wstring& path);
// <xmlData><guid/></xmlData>.
std::wstring refreshViewData(const std::wstring& viewGuid);
// <data><guid>…</guid></data>, plain concatenation.
std::wstring signalUICloseData(const std::wstring& viewGuid);

// Full path of the panel page below the folder of this module.
std::wstring panelPagePath();

}  // namespace halvet
