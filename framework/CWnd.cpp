#include "framework/CWnd.h"

#include <memory>
#include <unordered_map>
#include <vector>

namespace {

// Where a subclassed window keeps its previous procedure, so that a message
// still reaching our procedure after the wrapper has gone (another subclass
// was installed over ours) can be passed on.
const wchar_t kSuperProcProperty[] = L"HalvetFrameworkSuperProc";

// All windows live on the host's single user-interface thread: no locking.
std::unordered_map<HWND, CWnd*>& permanentMap() {
    static std::unordered_map<HWND, CWnd*> map;
    return map;
}

std::unordered_map<HWND, std::unique_ptr<CWnd>>& temporaryMap() {
    static std::unordered_map<HWND, std::unique_ptr<CWnd>> map;
    return map;
}

// How many framework messages (and busy scopes) are on the stack, and the
// objects whose freeing waits for them to end.
int& busyDepth() {
    static int depth = 0;
    return depth;
}

std::vector<CWnd*>& pendingDeletions() {
    static std::vector<CWnd*> pending;
    return pending;
}

void deletePending() {
    // Freeing one may destroy its window and so run messages of its own:
    // the list is taken whole first.
    std::vector<CWnd*> pending;
    pending.swap(pendingDeletions());
    for (CWnd* window : pending) delete window;
}

void sweepDeadTemporaries() {
    // A temporary wrapper may be held by a caller further up the stack.
    if (busyDepth() > 0) return;
    auto& map = temporaryMap();
    for (auto it = map.begin(); it != map.end();) {
        if (::IsWindow(it->first)) {
            ++it;
        } else {
            it->second->m_hWnd = nullptr;
            it = map.erase(it);
        }
    }
}

}  // namespace

CWnd::~CWnd() {
    if (!m_hWnd) return;
    if (superProc_) {
        UnsubclassWindow();
    } else {
        Detach();
    }
}

CWnd::DispatchScope::DispatchScope() {
    ++busyDepth();
}

CWnd::DispatchScope::~DispatchScope() {
    if (--busyDepth() == 0 && !pendingDeletions().empty()) deletePending();
}

void CWnd::DeleteWhenIdle(CWnd* window) {
    if (!window) return;
    if (busyDepth() == 0) {
        delete window;
        return;
    }
    try {
        pendingDeletions().push_back(window);
    } catch (...) {
        // Without room to wait, the object is let go rather than freed under
        // code that may still use it.
    }
}

CWnd* CWnd::FromHandlePermanent(HWND window) {
    auto& map = permanentMap();
    auto it = map.find(window);
    return it == map.end() ? nullptr : it->second;
}

CWnd* CWnd::FromHandle(HWND window) {
    if (!window) return nullptr;
    if (CWnd* permanent = FromHandlePermanent(window)) return permanent;
    auto& map = temporaryMap();
    auto it = map.find(window);
    if (it != map.end()) return it->second.get();
    sweepDeadTemporaries();
    auto temporary = std::make_unique<CWnd>();
    temporary->m_hWnd = window;
    CWnd* result = temporary.get();
    map.emplace(window, std::move(temporary));
    return result;
}

BOOL CWnd::Attach(HWND window) {
    if (!window || m_hWnd || FromHandlePermanent(window)) return FALSE;
    permanentMap()[window] = this;
    m_hWnd = window;
    return TRUE;
}

HWND CWnd::Detach() {
    HWND window = m_hWnd;
    if (window) {
        auto it = permanentMap().find(window);
        if (it != permanentMap().end() && it->second == this) permanentMap().erase(it);
    }
    m_hWnd = nullptr;
    return window;
}

BOOL CWnd::SubclassWindow(HWND window) {
    if (!Attach(window)) return FALSE;
    auto previous = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&windowProcedure)));
    if (!previous) {
        Detach();
        return FALSE;
    }
    superProc_ = previous;
    ::SetPropW(window, kSuperProcProperty, reinterpret_cast<HANDLE>(previous));
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
    if (!parent || !parent->m_hWnd) return FALSE;
    return SubclassWindow(::GetDlgItem(parent->m_hWnd, static_cast<int>(id)));
}

HWND CWnd::UnsubclassWindow() {
    if (!m_hWnd || !superProc_) return nullptr;
    // When another subclass sits above ours, its chain keeps calling our
    // procedure; the property then leads it on to the previous procedure.
    if (::GetWindowLongPtrW(m_hWnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&windowProcedure)) {
        ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(superProc_));
        ::RemovePropW(m_hWnd, kSuperProcProperty);
    }
    superProc_ = nullptr;
    return Detach();
}

BOOL CWnd::DestroyWindow() {
    if (!m_hWnd) return FALSE;
    HWND window = m_hWnd;
    // A subclassed wrapper lets the window go at WM_NCDESTROY; an attached
    // one is detached here so that the map holds no dead handle.
    const BOOL destroyed = ::DestroyWindow(window);
    if (destroyed && m_hWnd == window) Detach();
    return destroyed;
}

void CWnd::ScreenToClient(RECT* rect) const {
    ::MapWindowPoints(HWND_DESKTOP, m_hWnd, reinterpret_cast<POINT*>(rect), 2);
}

void CWnd::ClientToScreen(RECT* rect) const {
    ::MapWindowPoints(m_hWnd, HWND_DESKTOP, reinterpret_cast<POINT*>(rect), 2);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result))
        result = DefWindowProc(message, wParam, lParam);
    return result;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    return FALSE;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (superProc_) return ::CallWindowProcW(superProc_, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
    return DefWindowProc(current_.message, current_.wParam, current_.lParam);
}

LRESULT CWnd::routeMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    // Ends after the last use of this object below: an object deleted while
    // the message ran is freed then, when this was the outermost one.
    DispatchScope dispatching;
    const MSG outer = current_;
    current_.hwnd = m_hWnd;
    current_.message = message;
    current_.wParam = wParam;
    current_.lParam = lParam;
    LRESULT result = 0;
    try {
        result = WindowProc(message, wParam, lParam);
    } catch (...) {
        result = 0;
    }
    current_ = outer;
    if (message == WM_NCDESTROY) forgetWindow();
    return result;
}

void CWnd::forgetWindow() {
    if (!m_hWnd) return;
    ::RemovePropW(m_hWnd, kSuperProcProperty);
    if (::GetWindowLongPtrW(m_hWnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&windowProcedure))
        ::SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(superProc_));
    superProc_ = nullptr;
    Detach();
}

LRESULT CALLBACK CWnd::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* wnd = FromHandlePermanent(window);
    if (wnd && wnd->superProc_) return wnd->routeMessage(message, wParam, lParam);
    auto previous = reinterpret_cast<WNDPROC>(::GetPropW(window, kSuperProcProperty));
    if (previous) return ::CallWindowProcW(previous, window, message, wParam, lParam);
    return ::DefWindowProcW(window, message, wParam, lParam);
}
