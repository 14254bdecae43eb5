#include "framework/CDC.h"

#include "framework/CBrush.h"

CDC::~CDC() {
    DeleteDC();
}

BOOL CDC::Attach(HDC dc) {
    DeleteDC();
    m_hDC = dc;
    owned_ = false;
    return dc != nullptr;
}

HDC CDC::Detach() {
    HDC dc = m_hDC;
    m_hDC = nullptr;
    owned_ = false;
    return dc;
}

BOOL CDC::CreateCompatibleDC(CDC* reference) {
    DeleteDC();
    m_hDC = ::CreateCompatibleDC(reference ? reference->m_hDC : nullptr);
    owned_ = m_hDC != nullptr;
    return m_hDC != nullptr;
}

BOOL CDC::DeleteDC() {
    if (!m_hDC) return FALSE;
    const bool owned = owned_;
    HDC dc = Detach();
    return owned ? ::DeleteDC(dc) : TRUE;
}

int CDC::FillRect(const RECT* rect, CBrush* brush) {
    return ::FillRect(m_hDC, rect, brush ? static_cast<HBRUSH>(*brush) : nullptr);
}

SIZE CDC::GetWindowExt() const {
    SIZE extent{};
    ::GetWindowExtEx(m_hDC, &extent);
    return extent;
}

SIZE CDC::SetWindowExt(SIZE extent) {
    SIZE previous{};
    ::SetWindowExtEx(m_hDC, extent.cx, extent.cy, &previous);
    return previous;
}

SIZE CDC::GetViewportExt() const {
    SIZE extent{};
    ::GetViewportExtEx(m_hDC, &extent);
    return extent;
}

SIZE CDC::SetViewportExt(SIZE extent) {
    SIZE previous{};
    ::SetViewportExtEx(m_hDC, extent.cx, extent.cy, &previous);
    return previous;
}

POINT CDC::SetWindowOrg(int x, int y) {
    POINT previous{};
    ::SetWindowOrgEx(m_hDC, x, y, &previous);
    return previous;
}
