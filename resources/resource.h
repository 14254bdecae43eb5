#pragma once
// Resource identifiers of the panel library.

#define IDD_MAIN_PANEL 101        // main panel dialog with the spinner placeholder
#define IDD_MAIN_PANEL_PLAIN 102  // same size, no controls (kept, not used)
#define IDC_SPINNER 3038          // spinner placeholder static in IDD_MAIN_PANEL
#define IDB_SPINNER_NORMAL 3032   // 37 x 37 PNG ring
#define IDB_SPINNER_HIGHDPI 3034  // 74 x 74 PNG ring
#define IDR_FONT_STYLESHEET 103   // web-font stylesheet, resource type "CSS"
#define IDS_SPINNER_NAME 3040     // what screen readers call the spinner
