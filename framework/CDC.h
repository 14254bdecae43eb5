#pragma once
#include <windows.h>

class CBrush;

// A drawing context. Attach wraps a context owned elsewhere (a paint or
// window context, the context of a message); CreateCompatibleDC makes one the
// wrapper owns and deletes. The drawing calls are thin forwarders.
class CDC {
public:
    CDC() = default;
    explicit CDC(HDC borrowed) { Attach(borrowed); }
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC GetSafeHdc() const { return m_hDC; }
    // Wraps `dc` without owning it.
    BOOL Attach(HDC dc);
    HDC Detach();
    // A memory context compatible with `reference` (the screen when null), owned.
    BOOL CreateCompatibleDC(CDC* reference);
    // Deletes an owned context; a borrowed one is only let go.
    BOOL DeleteDC();

    HGDIOBJ SelectObject(HGDIOBJ object) { return ::SelectObject(m_hDC, object); }
    BOOL BitBlt(int x, int y, int width, int height, CDC* source, int xSource, int ySource,
                DWORD rop) {
        return ::BitBlt(m_hDC, x, y, width, height, source ? source->m_hDC : nullptr, xSource,
                        ySource, rop);
    }
    int FillRect(const RECT* rect, CBrush* brush);
    BOOL Rectangle(const RECT* rect) {
        return ::Rectangle(m_hDC, rect->left, rect->top, rect->right, rect->bottom);
    }
    int SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
    int GetBkMode() const { return ::GetBkMode(m_hDC); }
    int SetMapMode(int mode) { return ::SetMapMode(m_hDC, mode); }
    int GetMapMode() const { return ::GetMapMode(m_hDC); }
    SIZE GetWindowExt() const;
    SIZE SetWindowExt(SIZE extent);
    SIZE GetViewportExt() const;
    SIZE SetViewportExt(SIZE extent);
    POINT SetWindowOrg(int x, int y);
    void LPtoDP(RECT* rect) const { ::LPtoDP(m_hDC, reinterpret_cast<POINT*>(rect), 2); }
    void DPtoLP(RECT* rect) const { ::DPtoLP(m_hDC, reinterpret_cast<POINT*>(rect), 2); }
    int GetClipBox(RECT* rect) const { return ::GetClipBox(m_hDC, rect); }

    HDC m_hDC = nullptr;

private:
    bool owned_ = false;
};
