#pragma once
#include <windows.h>

// Private window messages of the dialog framework. A window that is not a
// framework dialog answers each of them 0, which every sender reads as "no".

// wParam: RECT* to fill with the layout rectangle. Answer 1.
constexpr UINT FWM_GETLAYOUTRECT = 0x14B0;
// Answer: the window object (CWnd*) of the dialog's parent.
constexpr UINT FWM_GETPARENTWND = 0x14B1;
// Answer: 1 when the dialog scrolls or fits itself to its content.
constexpr UINT FWM_ISSTRETCHABLE = 0x17ED;
// wParam: option, lParam: on/off.
constexpr UINT FWM_SETOPTION = 0x17A6;
// Container handshake and views.
constexpr UINT FWM_RELAYOUT = 0x1BD5;
constexpr UINT FWM_ADDVIEW = 0x1BD6;
constexpr UINT FWM_SETFLAGS = 0x1BD7;
constexpr UINT FWM_TESTFLAGS = 0x1BD8;
constexpr UINT FWM_ADJUSTMARGINS = 0x1BD9;
constexpr UINT FWM_GETCONTENTSIZE = 0x1BDA;
// Give the dialog's content the focus. Answer 1.
constexpr UINT FWM_FOCUSCONTENT = 0x08EF;
