#pragma once
#include <windows.h>

class CDC;

// Window wrapper. A wrapper is either attached to a window owned elsewhere
// (Attach: messages are not routed through it, and it never destroys the
// window) or subclassed (SubclassWindow, dialog creation: every message of the
// window goes through WindowProc). Both kinds are found from the handle; the
// entry leaves the map at WM_NCDESTROY, at Detach and in the destructor, so no
// handle ever leads to a deleted object.
//
// Windows the panel does not own (the host's window, the web view) run the
// host's code inside their window procedures, and most window calls reach
// them synchronously: creating or destroying a window, SendMessage to the
// parent, ShowWindow, SetFocus, SetForegroundWindow, BringWindowToTop,
// SetWindowPos, MoveWindow. The host may do anything there, even close the
// panel and destroy this very window. So after such a call no code may use
// its window, or any object the call could have freed, before checking that
// it is still there (m_hWnd is null once the window is gone). The object
// itself stays valid while one of the framework's messages is on the stack:
// a window object is freed through DeleteWhenIdle, which waits until the
// outermost message returns.
//
// Message handling: WindowProc hands a message to OnWndMsg, which each layer
// overrides to handle its own messages and to pass the rest to the layer
// below; what nobody handles goes to DefWindowProc, the window's previous
// procedure. The OnXxx handlers below are that default processing and are
// what a layer calls for "the standard handling" of a message.
class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // The object of `window`: its subclassed or attached wrapper, else a
    // temporary wrapper that lives as long as the window does. Null for null.
    static CWnd* FromHandle(HWND window);
    // The subclassed or attached wrapper only.
    static CWnd* FromHandlePermanent(HWND window);
    static CWnd* GetDesktopWindow() { return FromHandle(::GetDesktopWindow()); }

    BOOL Attach(HWND window);
    HWND Detach();
    // Routes the window's messages through this object.
    BOOL SubclassWindow(HWND window);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    // Gives the window its previous procedure back and detaches.
    HWND UnsubclassWindow();
    virtual BOOL DestroyWindow();

    // Thin forwarders.
    CWnd* GetDlgItem(int id) const { return FromHandle(::GetDlgItem(m_hWnd, id)); }
    CWnd* GetParent() const { return FromHandle(::GetParent(m_hWnd)); }
    void GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
    void GetWindowRect(RECT* rect) const { ::GetWindowRect(m_hWnd, rect); }
    void ScreenToClient(POINT* point) const { ::ScreenToClient(m_hWnd, point); }
    void ScreenToClient(RECT* rect) const;
    void ClientToScreen(POINT* point) const { ::ClientToScreen(m_hWnd, point); }
    void ClientToScreen(RECT* rect) const;
    BOOL SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags) {
        return ::SetWindowPos(m_hWnd, insertAfter ? insertAfter->m_hWnd : nullptr, x, y, cx, cy,
                              flags);
    }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageW(m_hWnd, message, wParam, lParam);
    }
    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongPtrW(m_hWnd, GWL_STYLE)); }
    BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL EnableWindow(BOOL enable) { return ::EnableWindow(m_hWnd, enable); }
    void InvalidateRect(const RECT* rect, BOOL erase = TRUE) {
        ::InvalidateRect(m_hWnd, rect, erase);
    }
    void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    void SetWindowText(const wchar_t* text) { ::SetWindowTextW(m_hWnd, text); }

    // Frees `window` (which must have been made with new) now, or, while a
    // message of any framework window is being handled, when the outermost one
    // returns: code still running on the object's behalf finds it intact.
    static void DeleteWhenIdle(CWnd* window);

    // Marks code that works on framework objects and calls out (a window
    // creation, a subclass procedure on a window of the host): objects are
    // not freed while one is alive.
    class DispatchScope {
    public:
        DispatchScope();
        ~DispatchScope();
        DispatchScope(const DispatchScope&) = delete;
        DispatchScope& operator=(const DispatchScope&) = delete;
    };

    // The window's message entry: OnWndMsg, else DefWindowProc.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd = nullptr;

protected:
    // Handles `message` and stores its result; false passes it on.
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // The window's previous procedure (the window class's for a dialog).
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Default processing of the message being handled.
    LRESULT Default();

    // The standard handling of the messages the framework layers handle.
    void OnSize(UINT type, int cx, int cy) { Default(); }
    void OnShowWindow(BOOL show, UINT status) { Default(); }
    void OnDestroy() { Default(); }
    BOOL OnEraseBkgnd(CDC* dc) { return static_cast<BOOL>(Default()); }
    HBRUSH OnCtlColor(CDC* dc, CWnd* control, UINT type) {
        return reinterpret_cast<HBRUSH>(Default());
    }

    // Runs one message through WindowProc as the window procedure does: keeps
    // it as the current message, stops every exception, and after
    // WM_NCDESTROY lets the window go.
    LRESULT routeMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    void forgetWindow();

    WNDPROC superProc_ = nullptr;
    MSG current_{};
};
