#include "drawing/CStaticImageCtrl.h"

#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>
#include <oleacc.h>

#include "drawing/CMemDC2.h"
#include "drawing/PngResource.h"
#include "drawing/RotatedImage.h"
#include "drawing/SharedGdiplusSession.h"
#include "drawing/SpinnerAngle.h"
#include "drawing/accessibility/SpinnerAccessible.h"
#include "framework/CBrush.h"
#include "framework/CClientDC.h"
#include "framework/CPaintDC.h"
#include "util/ModuleHandle.h"

namespace {

// A shared system cursor: loaded once, never destroyed.
HCURSOR handCursor() {
    static const HCURSOR cursor = ::LoadCursorW(nullptr, IDC_HAND);
    return cursor;
}

}  // namespace

CStaticImageCtrl::CStaticImageCtrl() = default;

CStaticImageCtrl::~CStaticImageCtrl() {
    frames_.clear();
    parentSnapshot_.release();
    dropPicture();
}

void CStaticImageCtrl::dropPicture() {
    if (drawable_ == &image_) drawable_ = nullptr;
    image_.reset();
}

bool CStaticImageCtrl::SetImageResource(int id) {
    frames_.clear();
    parentSnapshot_.release();
    dropPicture();
    if (!gdiplus_) gdiplus_ = halvet::sharedGdiplusSession();
    if (gdiplus_ && gdiplus_->ok()) image_ = halvet::loadPngResource(halvet::thisModule(), id);
    applyImage();
    return image_ != nullptr;
}

void CStaticImageCtrl::applyImage() {
    if (image_ && m_hWnd) {
        SetWindowPos(nullptr, 0, 0, static_cast<int>(image_->GetWidth()),
                     static_cast<int>(image_->GetHeight()),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (drawable_ != &image_) {
        drawable_ = &image_;
        ResetBackground();
    }
}

void CStaticImageCtrl::ResetBackground() {
    snapshotWanted_ = false;
    parentSnapshot_.release();
    frames_.clear();
    // A control that cannot be seen, itself or through a hidden parent, is
    // painted whole when it is shown: there is nothing to mark yet. That is
    // the case while its dialog sets it up before showing, where each mark
    // would be a round trip to the window manager for nothing.
    if (!m_hWnd || !IsWindowVisible()) return;
    if (!backgroundColor) invalidateParentUnderControl();
    Invalidate(TRUE);
}

void CStaticImageCtrl::startTurning() {
    if (!m_hWnd) return;
    ::SetTimer(m_hWnd, kTimerId, kTimerPeriodMs, nullptr);
    setTurning(true);
}

void CStaticImageCtrl::stopTurning() {
    if (!m_hWnd) return;
    ::KillTimer(m_hWnd, kTimerId);
    angle = 0.0f;
    setTurning(false);
}

void CStaticImageCtrl::setTurning(bool turning) {
    if (turning_ == turning) return;
    turning_ = turning;
    if (accessible_) accessible_->setBusy(turning);
    // Announced whether or not a client asked for the object yet: a screen
    // reader that listens asks for it when it hears the event.
    ::NotifyWinEvent(EVENT_OBJECT_STATECHANGE, m_hWnd, OBJID_CLIENT, CHILDID_SELF);
}

LRESULT CStaticImageCtrl::accessibleObjectFor(WPARAM wParam) {
    if (!accessible_) accessible_.reset(SpinnerAccessible::create(m_hWnd, turning_));
    if (!accessible_) return 0;
    const LRESULT answer =
        ::LresultFromObject(IID_IAccessible, wParam, static_cast<IAccessible*>(accessible_.get()));
    // A failure comes back as a negative error code (COM not started on
    // this thread, for one): the standard object answers instead.
    return answer > 0 ? answer : 0;
}

void CStaticImageCtrl::DisconnectAccessible::operator()(SpinnerAccessible* object) const {
    object->disconnectAndRelease();
}

bool CStaticImageCtrl::rectInParent(RECT* rect) const {
    HWND parent = ::GetParent(m_hWnd);
    if (!parent) return false;
    GetWindowRect(rect);
    ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(rect), 2);
    return true;
}

bool CStaticImageCtrl::clientRectInParent(RECT* rect) const {
    HWND parent = ::GetParent(m_hWnd);
    if (!parent || !::GetClientRect(m_hWnd, rect)) return false;
    ::MapWindowPoints(m_hWnd, parent, reinterpret_cast<POINT*>(rect), 2);
    return true;
}

void CStaticImageCtrl::invalidateParentUnderControl() {
    RECT rect;
    if (rectInParent(&rect)) ::InvalidateRect(::GetParent(m_hWnd), &rect, TRUE);
}

BOOL CStaticImageCtrl::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (message) {
        case WM_PAINT:
            OnPaint();
            *result = 0;
            return TRUE;
        case WM_PRINTCLIENT:
            // PrintWindow and WM_PRINT reach the client area through this
            // message: without an answer the static class would print its
            // template frame instead of the ring.
            if (lParam & PRF_CLIENT) OnPrintClient(reinterpret_cast<HDC>(wParam));
            *result = 0;
            return TRUE;
        case WM_TIMER:
            if (wParam != kTimerId) return FALSE;
            OnTimer(wParam);
            *result = 0;
            return TRUE;
        case WM_NCHITTEST:
            // Without the notify style the default answer lets the mouse
            // through to the parent.
            if (!hasNotifyStyle()) return FALSE;
            *result = HTCLIENT;
            return TRUE;
        case WM_SETCURSOR:
            if (!hasNotifyStyle()) return FALSE;
            ::SetCursor(handCursor());
            *result = TRUE;
            return TRUE;
        case WM_GETOBJECT:
            if (static_cast<DWORD>(lParam) != static_cast<DWORD>(OBJID_CLIENT)) return FALSE;
            *result = accessibleObjectFor(wParam);
            return *result != 0;
        case WM_NCDESTROY:
            // The window goes; the control's object may outlive it in a client.
            accessible_.reset();
            turning_ = false;
            return CStatic::OnWndMsg(message, wParam, lParam, result);
        default:
            return CStatic::OnWndMsg(message, wParam, lParam, result);
    }
}

void CStaticImageCtrl::OnTimer(UINT_PTR id) {
    if (id != kTimerId || !IsWindowVisible()) return;
    angle = halvet::advanceSpinnerAngle(angle, step);
    Invalidate(TRUE);
    // Without a colour the parent repaints what lies under the control, so the
    // copy taken at the next full paint shows the parent's background, not an
    // old frame. With one, the control covers every pixel itself: a repaint of
    // the parent would only draw the parent's background over the ring before
    // the next frame (a parent that does not clip its children, like the
    // panel's dialog), a flash on every tick, and cost a second paint.
    if (!backgroundColor && parentSnapshot_.isEmpty()) invalidateParentUnderControl();
    snapshotWanted_ = true;
}

bool CStaticImageCtrl::clipCoversClient(const CDC& dc, const RECT& client) const {
    RECT clip{};
    if (dc.GetClipBox(&clip) == ERROR) return false;
    return clip.left <= 0 && clip.top <= 0 && clip.right >= client.right &&
           clip.bottom >= client.bottom;
}

void CStaticImageCtrl::captureParentSnapshot() {
    // The client rectangle, not the window's: the copy is painted at the
    // client's origin, and a border would shift the parent's pixels by its width.
    RECT rect;
    if (!clientRectInParent(&rect)) return;
    CClientDC parentDc(::GetParent(m_hWnd));
    if (!parentDc.GetSafeHdc()) return;
    frames_.clear();
    parentSnapshot_.captureFrom(&parentDc, &rect);
}

void CStaticImageCtrl::paintBackground(CDC& buffer, const RECT& client) {
    if (backgroundColor) {
        CBrush brush(*backgroundColor);
        buffer.FillRect(&client, &brush);
    } else if (!parentSnapshot_.isEmpty()) {
        const RECT& snap = parentSnapshot_.rect();
        buffer.BitBlt(0, 0, snap.right - snap.left, snap.bottom - snap.top, &parentSnapshot_, 0, 0,
                      SRCCOPY);
    }
}

void CStaticImageCtrl::OnPaint() {
    CPaintDC paint(this);
    if (!paint.GetSafeHdc()) return;
    RECT client{};
    GetClientRect(&client);
    if (!backgroundColor && snapshotWanted_ && parentSnapshot_.isEmpty() &&
        clipCoversClient(paint, client)) {
        captureParentSnapshot();
    }
    paintFrame(paint, client, true);
}

void CStaticImageCtrl::OnPrintClient(HDC dc) {
    if (!dc) return;
    CDC target(dc);
    RECT client{};
    GetClientRect(&client);
    // The frame the screen shows; a print never takes the parent's copy,
    // since the parent may be printing itself into another surface, and
    // keeps no new frame: the print surface need not be like the screen.
    paintFrame(target, client, false);
}

void CStaticImageCtrl::paintFrame(CDC& target, const RECT& client, bool keepNew) {
    if (paintKeptFrame(target, client, keepNew)) return;
    CMemDC2 buffer(&target, &client);
    if (!buffer.GetSafeHdc()) return;
    composeFrame(buffer, client);
}

bool CStaticImageCtrl::paintKeptFrame(CDC& target, const RECT& client, bool keepNew) {
    // Without a picture a frame is one fill, not worth keeping. Without a
    // colour or a copy of the parent a frame starts from whatever the screen
    // showed before, so no two are alike.
    if (!drawable_ || !*drawable_) return false;
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (width <= 0 || height <= 0) return false;
    if (!backgroundColor && !snapshotCovers(width, height)) return false;
    frames_.keepOnlyFor(SpinnerFrameLook{width, height, backgroundColor});
    if (frames_.copyTo(target, client.left, client.top, angle)) return true;
    if (!keepNew) return false;
    CDC* frame = frames_.addFrame(target, angle);
    if (!frame) return false;
    // The surface starts undefined; the colour or the copy of the parent
    // covers all of it.
    composeFrame(*frame, RECT{0, 0, width, height});
    return frames_.copyTo(target, client.left, client.top, angle);
}

bool CStaticImageCtrl::snapshotCovers(int width, int height) const {
    if (parentSnapshot_.isEmpty()) return false;
    const RECT& snap = parentSnapshot_.rect();
    return snap.right - snap.left >= width && snap.bottom - snap.top >= height;
}

void CStaticImageCtrl::composeFrame(CDC& dc, const RECT& client) {
    paintBackground(dc, client);
    // Without a picture there is nothing to turn (and the image library may
    // not be running).
    if (drawable_ && *drawable_) {
        Gdiplus::Graphics graphics(dc.GetSafeHdc());
        drawImage(graphics, client);
    }
}

void CStaticImageCtrl::drawImage(Gdiplus::Graphics& graphics, const RECT& rectangle) {
    halvet::drawRotatedImage(graphics, image_.get(), angle, rectangle);
}
