#include "support/TestWindows.h"

#include <cstdlib>
#include <cwchar>


DialogTemplate::DialogTemplate(DWORD style, short cx, short cy) {
    DLGTEMPLATE header{};
    header.style = style;
    header.cx = cx;
    header.cy = cy;
    const WORD* p = reinterpret_cast<const WORD*>(&header);
    words_.assign(p, p + sizeof header / sizeof(WORD));
    words_.push_back(0);  // no menu
    words_.push_back(0);  // standard dialog class
    words_.push_back(0);  // no title
}

DialogTemplate& DialogTemplate::add(const wchar_t* className, WORD id, DWORD style, short x,
                                    short y, short cx, short cy, const wchar_t* title) {
    alignToDword();
    DLGITEMTEMPLATE item{};
    item.style = style | WS_CHILD;
    item.x = x;
    item.y = y;
    item.cx = cx;
    item.cy = cy;
    item.id = id;
    const WORD* p = reinterpret_cast<const WORD*>(&item);
    words_.insert(words_.end(), p, p + sizeof item / sizeof(WORD));
    text(className);
    text(title);
    words_.push_back(0);  // no creation data
    reinterpret_cast<DLGTEMPLATE*>(words_.data())->cdit++;
    return *this;
}

void DialogTemplate::text(const wchar_t* s) {
    for (; *s; ++s) words_.push_back(static_cast<WORD>(*s));
    words_.push_back(0);
}

void DialogTemplate::alignToDword() {
    if (words_.size() % 2) words_.push_back(0);
}

namespace {

const wchar_t* hostClass() {
    static const wchar_t* name = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"HalvetTestHost";
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        RegisterClassW(&wc);
        return L"HalvetTestHost";
    }();
    return name;
}

}  // namespace

HostWindow::HostWindow(DWORD style, int x, int y, int cx, int cy, HWND parent)
    : hwnd_(CreateWindowExW(0, hostClass(), L"host", style, x, y, cx, cy, parent, nullptr,
                            GetModuleHandleW(nullptr), nullptr)) {}

HostWindow::~HostWindow() {
    if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

PixelSurface::PixelSurface(int width, int height, COLORREF fillColor) : width_(width) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
    old_ = SelectObject(dc_, bitmap_);
    fill(RECT{0, 0, width, height}, fillColor);
}

PixelSurface::~PixelSurface() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
}

COLORREF PixelSurface::pixel(int x, int y) const {
    GdiFlush();
    const DWORD value = static_cast<const DWORD*>(bits_)[y * width_ + x];
    return RGB((value >> 16) & 0xff, (value >> 8) & 0xff, value & 0xff);
}

int PixelSurface::brightness(int x, int y) const {
    const COLORREF c = pixel(x, y);
    return GetRValue(c) + GetGValue(c) + GetBValue(c);
}

void PixelSurface::fill(const RECT& rect, COLORREF color) {
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc_, &rect, brush);
    DeleteObject(brush);
}

void pumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

size_t liveGdiObjects() {
    // The system's colour brushes are made on first use and kept for the
    // life of the process. A first use between two counts (a caption painted
    // inactive because another program took the foreground) is not ours:
    // make them all now.
    for (int index = 0; index <= COLOR_MENUBAR; ++index) GetSysColorBrush(index);
    // The handle table's location in the process environment block is not
    // filled in by this Wine; its free room is measurable instead: make
    // brushes until GDI refuses, then delete them again.
    std::vector<HBRUSH> probes;
    probes.reserve(0x10000);
    while (HBRUSH probe = CreateSolidBrush(RGB(1, 2, 3))) probes.push_back(probe);
    for (HBRUSH probe : probes) DeleteObject(probe);
    return 0x10000 - probes.size();
}

namespace {

BOOL CALLBACK countChild(HWND, LPARAM count) {
    ++*reinterpret_cast<size_t*>(count);
    return TRUE;
}

BOOL CALLBACK countTopLevel(HWND window, LPARAM count) {
    ++*reinterpret_cast<size_t*>(count);
    EnumChildWindows(window, countChild, count);
    return TRUE;
}

}  // namespace

size_t liveThreadWindows() {
    size_t count = 0;
    EnumThreadWindows(GetCurrentThreadId(), countTopLevel, reinterpret_cast<LPARAM>(&count));
    return count;
}

bool closeColour(COLORREF a, COLORREF b, int tolerance) {
    return std::abs(int(GetRValue(a)) - int(GetRValue(b))) <= tolerance &&
           std::abs(int(GetGValue(a)) - int(GetGValue(b))) <= tolerance &&
           std::abs(int(GetBValue(a)) - int(GetBValue(b))) <= tolerance;
}
