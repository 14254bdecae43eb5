#include "dialogs/CContainerDlg.h"

#include <optional>

#include "dialogs/FrameworkMessages.h"
#include "dialogs/GridCursor.h"

namespace {

bool hasVisibleStyle(HWND window) {
    return (::GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE) != 0;
}

void addControlParent(HWND window) {
    const LONG_PTR exStyle = ::GetWindowLongPtrW(window, GWL_EXSTYLE);
    if (!(exStyle & WS_EX_CONTROLPARENT))
        ::SetWindowLongPtrW(window, GWL_EXSTYLE, exStyle | WS_EX_CONTROLPARENT);
}

SIZE windowSize(HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

// Holds CF_LAYOUTBUSY for one scope and gives back what was there before.
class BusyScope {
public:
    explicit BusyScope(uint32_t& flags) : flags_(flags), wasBusy_(flags & CF_LAYOUTBUSY) {
        flags_ |= CF_LAYOUTBUSY;
    }
    ~BusyScope() {
        if (!wasBusy_) flags_ &= ~CF_LAYOUTBUSY;
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    uint32_t& flags_;
    bool wasBusy_;
};

BOOL CALLBACK collectChild(HWND child, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
    return TRUE;
}

}  // namespace

int CContainerDlg::indexOf(HWND window) const {
    if (!window) return -1;
    for (size_t i = 0; i < views.size(); ++i)
        if (views[i].hwnd == window) return static_cast<int>(i);
    return -1;
}

gridMath::GridShape CContainerDlg::shape() const {
    return gridMath::gridShape(gridRows, gridColumns, static_cast<int32_t>(views.size()));
}

HWND CContainerDlg::viewAt(int index) const {
    return index >= 0 && index < static_cast<int>(views.size()) ? views[index].hwnd : nullptr;
}

bool CContainerDlg::countsVisible(HWND window, HWND assumed, bool assumedVisible) {
    if (window == assumed) return assumedVisible;
    return hasVisibleStyle(window);
}

RECT CContainerDlg::currentGridMargins() {
    // A copy: a derived container adjusts what this layout uses, and the
    // next layout starts again from the stored margins.
    RECT margins = gridMargins;
    if ((containerFlags & CF_ADJUSTMARGINS) && m_hWnd)
        SendMessage(FWM_ADJUSTMARGINS, reinterpret_cast<WPARAM>(&margins), 0);
    return margins;
}

RECT CContainerDlg::currentViewMargins(const ViewData& view) {
    RECT margins = view.margins;
    if ((view.viewFlags & VF_ADJUSTMARGINS) && m_hWnd)
        SendMessage(FWM_ADJUSTMARGINS, reinterpret_cast<WPARAM>(&margins),
                    reinterpret_cast<LPARAM>(view.hwnd));
    return margins;
}

SIZE CContainerDlg::measureView(const ViewData& view, CContainerDlg* container) {
    if (container && (view.viewFlags & VF_ASKSIZE)) {
        SIZE reported{0, 0};
        if (::SendMessageW(view.hwnd, FWM_GETCONTENTSIZE, reinterpret_cast<WPARAM>(&reported), 0))
            return reported;
    }
    SIZE size = windowSize(view.hwnd);
    if (!container) return size;
    const RECT m = container->currentViewMargins(view);
    size.cx += m.left + m.right;
    size.cy += m.top + m.bottom;
    return size;
}

SIZE CContainerDlg::computeGridSize(int viewIndex, bool assumedVisible, GridTracks* tracks) {
    const gridMath::GridShape grid = shape();
    const RECT margins = currentGridMargins();
    const HWND assumed = viewAt(viewIndex);
    // Only complete rows are measured. Measuring sends messages to the views,
    // which may change the list: every index is checked again.
    std::vector<std::optional<SIZE>> measured;
    for (int i = 0; i < grid.completeViews() && i < static_cast<int>(views.size()); ++i) {
        if (countsVisible(views[i].hwnd, assumed, assumedVisible)) {
            measured.emplace_back(measureView(views[i], this));
        } else {
            measured.emplace_back(std::nullopt);
        }
    }
    return gridMath::gridSize(measured, grid, margins, tracks);
}

POINT CContainerDlg::findGridPosition(HWND window) const {
    return gridMath::gridPosition(indexOf(window), shape());
}

void CContainerDlg::addView(HWND window) {
    // A container is neither its own view nor the view of its descendant.
    if (!window || !::IsWindow(window) || window == m_hWnd || (m_hWnd && ::IsChild(window, m_hWnd)))
        return;
    const int current = indexOf(window);
    const gridMath::Insertion insertion =
        gridMath::insertionFor(current, static_cast<int32_t>(views.size()), shape());
    if (!insertion.changes) return;

    ViewData record(window);
    if (current >= 0) {
        record.viewFlags = views[current].viewFlags & ~VF_HOOKED;
        record.margins = views[current].margins;
        views.erase(views.begin() + current);  // removes its hook
    }
    const size_t at = std::min<size_t>(static_cast<size_t>(insertion.index), views.size());
    ViewData& entry =
        *views.insert(views.begin() + static_cast<std::ptrdiff_t>(at), std::move(record));
    if (current < 0) {
        // Sends messages to the view: `entry` may not survive them.
        attachView(window, this);
    } else {
        // The old entry took its hook along: a moved view is hooked again, so
        // that it still tells the container when it changes.
        entry.hook(&viewHookProc, reinterpret_cast<DWORD_PTR>(this));
    }
    containerFlags |= CF_LAYOUTPENDING;
    if (hasVisibleStyle(window)) relayout(kAssumeVisible, kNoView);
}

void CContainerDlg::removeView(int index) {
    if (index < 0 || index >= static_cast<int>(views.size())) return;
    views.erase(views.begin() + index);
}

void CContainerDlg::attachView(HWND window, CContainerDlg* container) {
    if (!container || !window) return;
    if (::GetParent(window) != container->m_hWnd) ::SetParent(window, container->m_hWnd);
    addControlParent(window);
    int index = container->indexOf(window);
    if (index < 0) return;
    container->views[index].hook(&viewHookProc, reinterpret_cast<DWORD_PTR>(container));
    const bool asksSize = ::SendMessageW(window, FWM_TESTFLAGS, CF_GROWONLY, 0) != 0;
    index = container->indexOf(window);
    if (index < 0) return;
    ViewData& view = container->views[index];
    view.viewFlags = asksSize ? (view.viewFlags | VF_ASKSIZE) : (view.viewFlags & ~VF_ASKSIZE);
}

void CContainerDlg::collectChildren() {
    std::vector<HWND> children;
    ::EnumChildWindows(m_hWnd, &collectChild, reinterpret_cast<LPARAM>(&children));
    {
        // Adopting a visible child would lay out once per child: the layout
        // that follows places them all.
        BusyScope busy(containerFlags);
        for (HWND child : children)
            if (::GetParent(child) == m_hWnd && indexOf(child) < 0) addView(child);
    }
    if (views.empty()) {
        containerFlags |= CF_COLLECTCHILDREN;
    } else {
        containerFlags &= ~CF_COLLECTCHILDREN;
    }
}

void CContainerDlg::childrenFirst(HWND assumed, bool assumedVisible) {
    // Collected first: a view that lays out may change the list.
    std::vector<HWND> visible;
    for (const ViewData& view : views)
        if (countsVisible(view.hwnd, assumed, assumedVisible)) visible.push_back(view.hwnd);
    for (HWND window : visible) ::SendMessageW(window, FWM_RELAYOUT, 0, 0);
}

void CContainerDlg::updateContentSize(int mode, SIZE need) {
    if (!scrollEnabled && !(autoFit && !(mode & kHandshake))) return;
    if (containerFlags & CF_GROWONLY) {
        const SIZE client = clientSize();
        if (need.cx <= client.cx && need.cy <= client.cy) return;
    }
    setContentSize(need.cx, need.cy);
}

int CContainerDlg::findStretchView(HWND assumed, bool assumedVisible) const {
    const gridMath::GridShape grid = shape();
    for (int i = 0; i < static_cast<int>(views.size()); ++i) {
        // Views of an incomplete last row are not measured: none of them can
        // take the spare space of its row and column.
        if (!gridMath::canStretch(i, grid)) break;
        if (!countsVisible(views[i].hwnd, assumed, assumedVisible)) continue;
        if (views[i].viewFlags & VF_NOSTRETCH) continue;
        if (::SendMessageW(views[i].hwnd, FWM_ISSTRETCHABLE, 0, 0)) return i;
    }
    return -1;
}

void CContainerDlg::relayout(int mode, int viewIndex) {
    if ((containerFlags & CF_COLLECTCHILDREN) && m_hWnd) collectChildren();
    if (views.empty() || (containerFlags & CF_LAYOUTBUSY) || !m_hWnd) return;
    if (!IsWindowVisible() && !(containerFlags & CF_LAYOUTHIDDEN)) return;

    const bool assumedVisible = (mode & kAssumeVisible) != 0;
    // Messages sent while laying out may change the list: the view named by
    // its index is held by its window.
    const HWND assumed = viewAt(viewIndex);
    {
        BusyScope busy(containerFlags);
        if (!(mode & kHandshake)) childrenFirst(assumed, assumedVisible);

        GridTracks tracks;
        const SIZE need =
            computeGridSize(viewIndex, assumedVisible, scrollEnabled ? nullptr : &tracks);
        updateContentSize(mode, need);

        HWND stretchWindow = nullptr;
        SIZE stretched{};
        if (!scrollEnabled) {
            const int stretchIndex = findStretchView(assumed, assumedVisible);
            std::optional<SIZE> size;
            if (stretchIndex >= 0)
                size =
                    gridMath::stretchedSize(stretchIndex, measureView(views[stretchIndex], nullptr),
                                            clientSize(), shape(), tracks);
            if (size) {
                stretchWindow = views[stretchIndex].hwnd;
                stretched = *size;
            }
        }
        placeViews(mode, assumed, stretchWindow, stretched);
    }
    containerFlags &= ~(CF_LAYOUTBUSY | CF_LAYOUTPENDING);
}

void CContainerDlg::placeViews(int mode, HWND assumed, HWND stretchWindow, SIZE stretched) {
    const bool assumedVisible = (mode & kAssumeVisible) != 0;
    const RECT margins = currentGridMargins();
    GridCursor cursor(margins, shape().stride());
    // A view may go away while the others are placed (moving one sends it
    // messages): the list is read afresh at every step.
    for (int i = 0; i < static_cast<int>(views.size()); ++i) {
        const HWND window = views[i].hwnd;
        if (!countsVisible(window, assumed, assumedVisible)) continue;
        const SIZE size = window == stretchWindow ? stretched : measureView(views[i], nullptr);
        const RECT m = currentViewMargins(views[i]);
        POINT at = cursor.next(m);
        at.x -= scrollX;
        at.y -= scrollY;
        placeView(mode, window, at, size);
        cursor.advance(size, m);
        const int now = indexOf(window);
        i = now >= 0 ? now : i - 1;  // gone: the next view now has its index
    }
}

void CContainerDlg::placeView(int mode, HWND window, POINT at, SIZE size) {
    const bool handshake = (mode & kHandshake) != 0;
    if (handshake) ::SendMessageW(window, FWM_SETFLAGS, CF_LAYOUTPENDING, 1);
    ::SetWindowPos(window, nullptr, at.x, at.y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    if (handshake && ::SendMessageW(window, FWM_TESTFLAGS, CF_LAYOUTPENDING, 0))
        ::SendMessageW(window, FWM_RELAYOUT, 0, 0);
    ::InvalidateRect(window, nullptr, TRUE);
}

BOOL CContainerDlg::OnInitDialog() {
    addControlParent(m_hWnd);
    const BOOL result = CScrollDlg::OnInitDialog();
    if (!(containerFlags & CF_NOREGISTER) && m_hWnd && m_pParentWnd && m_pParentWnd->m_hWnd)
        m_pParentWnd->SendMessage(FWM_ADDVIEW, reinterpret_cast<WPARAM>(m_hWnd), 0);
    return result;
}

BOOL CContainerDlg::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (message) {
        case WM_SIZE:
            OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
            *result = 0;
            return TRUE;
        case FWM_RELAYOUT:
            relayout(kAssumeVisible, kNoView);
            *result = 0;
            return TRUE;
        case FWM_ADDVIEW:
            addView(reinterpret_cast<HWND>(wParam));
            *result = 0;
            return TRUE;
        case FWM_SETFLAGS: {
            const auto bits = static_cast<uint32_t>(wParam);
            if (lParam == 1) {
                containerFlags |= bits;
            } else {
                containerFlags &= ~bits;
            }
            *result = static_cast<LRESULT>(containerFlags);
            return TRUE;
        }
        case FWM_TESTFLAGS:
            *result = (containerFlags & static_cast<uint32_t>(wParam)) ? 1 : 0;
            return TRUE;
        case FWM_GETCONTENTSIZE:
            if (wParam) *reinterpret_cast<SIZE*>(wParam) = computeGridSize(kNoView, true, nullptr);
            *result = 1;
            return TRUE;
        case FWM_SETOPTION: {
            const uint32_t bit = wParam == kOptionLayoutHidden    ? CF_LAYOUTHIDDEN
                                 : wParam == kOptionSuspendLayout ? CF_LAYOUTBUSY
                                                                  : 0;
            if (lParam) {
                containerFlags |= bit;
            } else {
                containerFlags &= ~bit;
            }
            *result = 1;
            return TRUE;
        }
        default:
            return CScrollDlg::OnWndMsg(message, wParam, lParam, result);
    }
}

void CContainerDlg::OnSize(UINT type, int cx, int cy) {
    CScrollDlg::OnSize(type, cx, cy);
    if (type == SIZE_MINIMIZED) return;
    HWND parent = nullptr;
    if (!scrollEnabled) {
        parent = ::GetParent(m_hWnd);
        if (parent) ::SendMessageW(parent, FWM_SETFLAGS, CF_LAYOUTPENDING, 1);
    }
    // The parent may be the host's window, which may destroy this dialog.
    if (!m_hWnd) return;
    relayout(kAssumeVisible | kHandshake, kNoView);
    if (!m_hWnd) return;
    if (parent && ::SendMessageW(parent, FWM_TESTFLAGS, CF_LAYOUTPENDING, 0))
        ::SendMessageW(parent, FWM_RELAYOUT, 0, 0);
}

LRESULT CALLBACK CContainerDlg::viewHookProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam, UINT_PTR id, DWORD_PTR data) {
    try {
        // The view is another's window: the container stays allocated while
        // code that reaches the host runs on its behalf.
        CWnd::DispatchScope dispatching;
        auto* container = reinterpret_cast<CContainerDlg*>(data);
        if (container) return container->onViewMessage(window, message, wParam, lParam);
    } catch (...) {
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
}

LRESULT CContainerDlg::onViewMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const int index = indexOf(window);
    if (index < 0) return ::DefSubclassProc(window, message, wParam, lParam);
    switch (message) {
        case WM_DESTROY:
            removeView(index);
            break;
        case WM_SIZE:
            // The view's own style tells whether it is shown: a hidden view
            // that is resized must not take a place in the grid.
            relayout(hasVisibleStyle(window) ? kAssumeVisible : 0, index);
            break;
        case WM_SHOWWINDOW:
            if (lParam == 0) {
                const LRESULT kept = ::DefSubclassProc(window, message, wParam, lParam);
                relayout(wParam ? kAssumeVisible : 0, indexOf(window));
                return kept;
            }
            break;
        default:
            break;
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
}
