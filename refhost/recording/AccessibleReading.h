#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace refhost {

// What assistive technology reads of one window through the platform's
// accessibility interface: the object of its client area, as a screen reader
// asks for it (AccessibleObjectFromWindow).
struct AccessibleReading {
    std::wstring window;  // window class, and the control identifier when it has one
    long role = 0;
    std::wstring roleText;  // the platform's words for the role
    bool named = false;     // false: the object has no name
    std::wstring name;
    long state = 0;
    std::wstring stateText;  // the platform's words for each state bit, joined by ", "

    // One line for people: window, role, name, state.
    std::wstring line() const;
};

// Every window below `holder` (the panel's dialog and all of its descendants,
// in the order the platform lists them) that has an accessible object. The
// holder itself is the host's and not read.
std::vector<AccessibleReading> readAccessibleWindows(HWND holder);

}  // namespace refhost
