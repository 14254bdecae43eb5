#include "dialogs/CImageDlg.h"

#include <algorithm>
using std::max;
using std::min;
#include <commctrl.h>
#include <gdiplus.h>

#include <cwchar>
#include <utility>

#include "dialogs/WindowMetrics.h"
#include "drawing/CMemDC2.h"
#include "drawing/SharedGdiplusSession.h"
#include "framework/CPen.h"
#include "framework/SelectGuard.h"

namespace {

Gdiplus::Color argb(COLORREF color, uint8_t transparency) {
    return Gdiplus::Color(static_cast<BYTE>(255 - transparency), GetRValue(color), GetGValue(color),
                          GetBValue(color));
}

// Static texts, buttons and links draw their text over the parent's
// background when given a hollow brush; other controls paint their own.
bool drawsOverBackground(const CWnd* control) {
    if (!control || !control->m_hWnd) return false;
    wchar_t name[256] = {};
    ::GetClassNameW(control->m_hWnd, name, 255);
    return std::wcscmp(name, L"Button") == 0 || std::wcscmp(name, L"Static") == 0 ||
           std::wcscmp(name, L"SysLink") == 0;
}

// A 32-bit device-independent picture with at least one alpha byte that is
// not zero. Pictures without alpha leave those bytes zero, and blending them
// by alpha would make them vanish.
bool carriesAlpha(HBITMAP bitmap) {
    DIBSECTION section{};
    if (::GetObjectW(bitmap, sizeof section, &section) != sizeof section) return false;
    const BITMAP& bits = section.dsBm;
    if (bits.bmBitsPixel != 32 || !bits.bmBits) return false;
    const auto* bytes = static_cast<const BYTE*>(bits.bmBits);
    const size_t rows = static_cast<size_t>(bits.bmHeight < 0 ? -bits.bmHeight : bits.bmHeight);
    const size_t total = rows * static_cast<size_t>(bits.bmWidthBytes);
    for (size_t alpha = 3; alpha < total; alpha += 4)
        if (bytes[alpha]) return true;
    return false;
}

}  // namespace

CImageDlg::~CImageDlg() {
    // The window, if still there, is destroyed by a layer below, where this
    // layer's WM_DESTROY handling no longer runs: unhook here.
    stopFollowing();
    releaseBackground();
}

void CImageDlg::setBackgroundImage(Gdiplus::Image* image, bool owned) {
    if ((imageFlags & kOwnsImage) && backgroundImage && backgroundImage != image)
        delete backgroundImage;
    backgroundImage = image;
    imageFlags = owned ? (imageFlags | kOwnsImage) : (imageFlags & ~kOwnsImage);
    if (image) holdImageLibrary();
    repaint();
}

void CImageDlg::setBackgroundGradient(const GradientSettings& gradient) {
    backgroundGradient = std::make_unique<GradientSettings>(gradient);
    holdImageLibrary();
    repaint();
}

void CImageDlg::setBorder(COLORREF color, int width) {
    borderColor = color;
    borderWidth = width;
    repaint();
}

bool CImageDlg::setSavedBackground(HWND key, const RECT& rect, HBITMAP bitmap,
                                   COLORREF transparent) {
    CImage image;
    if (!image.Attach(bitmap)) return false;
    image.SetHasAlphaChannel(carriesAlpha(bitmap));
    image.SetTransparentColor(transparent);
    SavedBackgroundData& entry = savedBackgrounds[key];
    entry.rect = rect;
    entry.bitmap = std::move(image);
    repaint();
    return true;
}

bool CImageDlg::holdImageLibrary() {
    if (!gdiplus_) gdiplus_ = halvet::sharedGdiplusSession();
    return gdiplus_ && gdiplus_->ok();
}

void CImageDlg::repaint() {
    if (m_hWnd) InvalidateRect(nullptr, TRUE);
}

void CImageDlg::releaseBackground() {
    if ((imageFlags & kOwnsImage) && backgroundImage) delete backgroundImage;
    imageFlags |= kOwnsImage;
    backgroundImage = nullptr;
    backgroundGradient.reset();
    if (hollowBrush) {
        ::DeleteObject(hollowBrush);  // a stock object: GDI ignores this
        hollowBrush = nullptr;
    }
}

bool CImageDlg::startFollowing() {
    if (!m_hWnd || !m_pParentWnd || !m_pParentWnd->m_hWnd) return false;
    HWND root = ::GetAncestor(m_pParentWnd->m_hWnd, GA_ROOT);
    if (!root || root == m_hWnd) return false;
    stopFollowing();
    const UINT id = followSubclassId();
    if (!::SetWindowSubclass(root, &followSubclassProc, id, reinterpret_cast<DWORD_PTR>(this)))
        return false;
    followedWindow_ = root;
    followId_ = id;
    imageFlags |= kFollowing;
    return true;
}

void CImageDlg::stopFollowing() {
    if (!(imageFlags & kFollowing)) return;
    imageFlags &= ~kFollowing;
    if (followedWindow_ && followedWindow_ != m_hWnd)
        ::RemoveWindowSubclass(followedWindow_, &followSubclassProc, followId_);
    followedWindow_ = nullptr;
}

LRESULT CALLBACK CImageDlg::followSubclassProc(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam, UINT_PTR id, DWORD_PTR data) {
    // The followed window may be the host's: the dialog stays allocated while
    // the host's code runs below.
    CWnd::DispatchScope dispatching;
    const LRESULT result = ::DefSubclassProc(window, message, wParam, lParam);
    try {
        auto* dialog = reinterpret_cast<CImageDlg*>(data);
        switch (message) {
            case WM_MOVE:
            case WM_SIZE:
                dialog->followOwner(FALSE);
                break;
            case WM_SHOWWINDOW:
                dialog->ShowWindow(wParam ? SW_SHOW : SW_HIDE);
                break;
            case WM_NCDESTROY:
                if (dialog->followedWindow_ == window) dialog->stopFollowing();
                break;
            default:
                break;
        }
    } catch (...) {
    }
    return result;
}

void CImageDlg::getFollowParameters(FollowParameters* parameters) {
    if (parameters && parameters->reference)
        parameters->insets = windowMetrics::frameInsets(parameters->reference->m_hWnd);
}

void CImageDlg::followOwner(BOOL force) {
    if (!(imageFlags & kFollowing) || !m_hWnd || (!force && !IsWindowVisible())) return;
    if (!m_pParentWnd || !m_pParentWnd->m_hWnd) return;
    HWND root = ::GetAncestor(m_pParentWnd->m_hWnd, GA_ROOT);
    if (!root || root == m_hWnd) return;
    FollowParameters parameters;
    parameters.reference = CWnd::FromHandle(root);
    getFollowParameters(&parameters);
    const RECT& insets = parameters.insets;

    // All rectangles on the screen: the desktop is the owner.
    Resizer screen(CWnd::GetDesktopWindow());
    ResizeProp reference{-1, parameters.reference, 0, insets.right, insets.bottom, -1, nullptr};
    ResizeProp target{-1, this, parameters.targetFlags, insets.left, insets.top, -1, nullptr};
    screen.placeRelative(reference, target, parameters.placeFlags, parameters.alignFlags);
}

BOOL CImageDlg::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message == WM_ERASEBKGND) {
        CDC dc(reinterpret_cast<HDC>(wParam));
        *result = OnEraseBkgnd(&dc);
        return TRUE;
    }
    if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) {
        CDC dc(reinterpret_cast<HDC>(wParam));
        *result = reinterpret_cast<LRESULT>(OnCtlColor(
            &dc, CWnd::FromHandle(reinterpret_cast<HWND>(lParam)), message - WM_CTLCOLORMSGBOX));
        return TRUE;
    }
    if (message == WM_SIZE) {
        OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
        *result = 0;
        return TRUE;
    }
    return CBaseDlg::OnWndMsg(message, wParam, lParam, result);
}

BOOL CImageDlg::OnEraseBkgnd(CDC* dc) {
    BOOL result;
    // Without the image library the picture or gradient cannot be painted:
    // the standard erase then keeps the background defined.
    if ((!backgroundImage && !backgroundGradient) || !holdImageLibrary()) {
        result = CBaseDlg::OnEraseBkgnd(dc);
    } else {
        RECT layout{};
        getLayoutRect(&layout);
        CMemDC2 buffer(dc, &layout);
        Gdiplus::Graphics graphics(buffer.m_hDC);
        if (backgroundImage) {
            paintImage(graphics, layout);
        } else {
            paintGradient(graphics, layout);
        }
        result = TRUE;
    }
    if (borderColor != kNoBorder && borderWidth > 0) paintBorder(dc);
    if (!savedBackgrounds.empty()) {
        paintSavedBackgrounds(dc);
        result = TRUE;
    }
    return result;
}

void CImageDlg::paintImage(Gdiplus::Graphics& graphics, const RECT& layout) {
    const int w = static_cast<int>(backgroundImage->GetWidth());
    const int h = static_cast<int>(backgroundImage->GetHeight());
    const int layoutWidth = layout.right - layout.left;
    const int layoutHeight = layout.bottom - layout.top;
    if (stretchesImage()) {
        graphics.DrawImage(backgroundImage, Gdiplus::Rect(0, 0, layoutWidth, layoutHeight), 0, 0, w,
                           h, Gdiplus::UnitPixel);
        return;
    }
    // An empty picture has nothing to tile (and would never step on).
    if (w <= 0 || h <= 0) return;
    for (int x = layout.left; x < layoutWidth; x += w) {
        for (int y = layout.top; y < layoutHeight; y += h) {
            graphics.DrawImage(backgroundImage, Gdiplus::Rect(x, y, w, h), 0, 0, w, h,
                               Gdiplus::UnitPixel);
        }
    }
}

void CImageDlg::paintGradient(Gdiplus::Graphics& graphics, const RECT& layout) {
    const GradientSettings& g = *backgroundGradient;
    Gdiplus::Point from(0, 0);
    Gdiplus::Point to(layout.right, 0);
    switch (g.direction) {
        case 1:
            to = Gdiplus::Point(0, layout.bottom);
            break;
        case 2:
            to = Gdiplus::Point(layout.right, layout.bottom);
            break;
        case 3:
            from = Gdiplus::Point(0, layout.bottom);
            to = Gdiplus::Point(layout.right, 0);
            break;
        default:
            break;
    }
    Gdiplus::LinearGradientBrush brush(from, to, argb(g.colorFrom, g.transparency),
                                       argb(g.colorTo, g.transparency));
    brush.SetWrapMode(Gdiplus::WrapModeTile);
    graphics.FillRectangle(&brush, static_cast<INT>(layout.left), static_cast<INT>(layout.top),
                           static_cast<INT>(layout.right - layout.left),
                           static_cast<INT>(layout.bottom - layout.top));
}

void CImageDlg::paintBorder(CDC* dc) {
    RECT layout{};
    getLayoutRect(&layout);
    CMemDC2 buffer(dc, &layout);
    CPen pen(PS_SOLID, borderWidth, borderColor);
    SelectGuard brush(buffer.m_hDC, ::GetStockObject(NULL_BRUSH));
    SelectGuard selectedPen(buffer.m_hDC, pen.m_hObject);
    buffer.Rectangle(&layout);
}

void CImageDlg::paintSavedBackgrounds(CDC* dc) {
    RECT layout{};
    getLayoutRect(&layout);
    CMemDC2 buffer(dc, &layout);
    for (const auto& entry : savedBackgrounds)
        entry.second.bitmap.Draw(buffer.m_hDC, entry.second.rect);
}

HBRUSH CImageDlg::OnCtlColor(CDC* dc, CWnd* control, UINT type) {
    if ((backgroundImage || backgroundGradient) && type == CTLCOLOR_STATIC &&
        drawsOverBackground(control)) {
        dc->SetBkMode(TRANSPARENT);
        if (!hollowBrush) hollowBrush = static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
        return hollowBrush;
    }
    return CBaseDlg::OnCtlColor(dc, control, type);
}

void CImageDlg::OnSize(UINT type, int cx, int cy) {
    CBaseDlg::OnSize(type, cx, cy);
    if (backgroundGradient || (backgroundImage && stretchesImage()) || borderColor != kNoBorder)
        InvalidateRect(nullptr, TRUE);
}
