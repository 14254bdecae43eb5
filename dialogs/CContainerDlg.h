#pragma once
#include <cstdint>
#include <vector>

#include "dialogs/CScrollDlg.h"
#include "dialogs/ContainerFlags.h"
#include "dialogs/GridMath.h"
#include "dialogs/GridTracks.h"
#include "dialogs/ViewData.h"

// Lays out an ordered list of child views in a grid of rows, each view at its
// own size, keeps the content size equal to what the grid needs, and, when it
// does not scroll, gives the spare space to one stretchable view. Every view
// is hooked, so that showing, hiding, sizing or destroying it lays out again.
// Nested containers announce themselves to their parent and ask each other
// for a layout after size changes, so that each lays out once.
class CContainerDlg : public CScrollDlg {
public:
    // No view named by relayout's viewIndex.
    static constexpr int kNoView = -2;
    // relayout mode bits.
    static constexpr int kAssumeVisible = 0x1;
    static constexpr int kHandshake = 0x2;

    explicit CContainerDlg(UINT templateId, CWnd* parent = nullptr)
        : CScrollDlg(templateId, parent) {}

    // Measures and places every view. Bit 0 of `mode` is the visibility of
    // the view at `viewIndex` (whose style may not say so yet); bit 1 is the
    // handshake with the views, without the children-first pass.
    void relayout(int mode, int viewIndex);
    SIZE computeGridSize(int viewIndex, bool assumedVisible, GridTracks* tracks);
    // Inserts the window at the end of the complete rows, or moves it there.
    void addView(HWND window);
    // Drops the entry (and its hook); no layout follows.
    void removeView(int index);
    // (row, column) of the view, (-1, -1) for a window that is not a view.
    POINT findGridPosition(HWND window) const;
    // The view's size; with `container`, with the view's margins, or as the
    // view reports it when it asks to be asked.
    SIZE measureView(const ViewData& view, CContainerDlg* container);
    // Makes `window`, a view of `container`, its child and hooks it. The
    // entry is looked up again after every message sent to the window: the
    // view may change the container's list while it answers.
    static void attachView(HWND window, CContainerDlg* container);

    BOOL OnInitDialog() override;

    int32_t gridRows = -1;
    int32_t gridColumns = 1;
    std::vector<ViewData> views;
    uint32_t containerFlags = 0;
    RECT gridMargins{};

protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnSize(UINT type, int cx, int cy);

private:
    static LRESULT CALLBACK viewHookProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR data);
    LRESULT onViewMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    int indexOf(HWND window) const;
    gridMath::GridShape shape() const;
    HWND viewAt(int index) const;
    // The view `assumed` counts as `assumedVisible`; any other by its style.
    static bool countsVisible(HWND window, HWND assumed, bool assumedVisible);
    RECT currentGridMargins();
    RECT currentViewMargins(const ViewData& view);
    void collectChildren();
    void childrenFirst(HWND assumed, bool assumedVisible);
    void updateContentSize(int mode, SIZE need);
    int findStretchView(HWND assumed, bool assumedVisible) const;
    void placeViews(int mode, HWND assumed, HWND stretchWindow, SIZE stretched);
    void placeView(int mode, HWND window, POINT at, SIZE size);
};
