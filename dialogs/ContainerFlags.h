#pragma once
#include <cstdint>

// Container flag bits (CContainerDlg::containerFlags; FWM_SETFLAGS and
// FWM_TESTFLAGS read and change them from outside).
constexpr uint32_t CF_NOREGISTER = 0x00000001;     // no FWM_ADDVIEW to the parent at initialisation
constexpr uint32_t CF_ADJUSTMARGINS = 0x00000004;  // FWM_ADJUSTMARGINS before gridMargins is used
constexpr uint32_t CF_COLLECTCHILDREN = 0x00000008;  // adopt direct children at the next layout
constexpr uint32_t CF_LAYOUTHIDDEN = 0x00000010;     // lay out also while hidden
constexpr uint32_t CF_GROWONLY = 0x10000000;       // content size only when larger than the client
constexpr uint32_t CF_LAYOUTPENDING = 0x40000000;  // a layout was asked for and has not run yet
constexpr uint32_t CF_LAYOUTBUSY = 0x80000000;     // laying out, or layout suspended

// View flag bits (ViewData::viewFlags).
constexpr uint32_t VF_HOOKED = 0x1;         // the container's hook is installed on the view
constexpr uint32_t VF_NOSTRETCH = 0x2;      // never the view that takes the spare space
constexpr uint32_t VF_ADJUSTMARGINS = 0x4;  // FWM_ADJUSTMARGINS before the view's margins are used
constexpr uint32_t VF_ASKSIZE = 0x8;  // measured by FWM_GETCONTENTSIZE (a grow-only container)

// FWM_SETOPTION options.
constexpr int kOptionLayoutHidden = 0;   // CF_LAYOUTHIDDEN
constexpr int kOptionSuspendLayout = 1;  // CF_LAYOUTBUSY
