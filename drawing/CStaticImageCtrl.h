#pragma once
#include <windows.h>

#include <memory>
#include <optional>

#include "drawing/CMemDCEx2.h"
#include "drawing/GdiplusSession.h"
#include "drawing/SpinnerFrameCache.h"
#include "framework/CStatic.h"

namespace Gdiplus {
class Graphics;
class Image;
}  // namespace Gdiplus

class CDC;
class SpinnerAccessible;

// The panel's loading animation: a static control that shows one PNG picture
// and turns it by `step` degrees on every tick of window timer 1022. It
// paints everything itself, over a solid colour or, without one, over a copy
// of the parent's pixels under it. Each composed frame is kept the first time
// it is drawn, so a tick costs one copy to the screen; frames that cannot be
// kept are composed in an off-screen buffer per paint.
//
// The control neither starts nor stops itself: its owner sets the colour and
// the picture, starts and stops it turning, and shows and hides the window.
//
// To assistive technology it is a busy indicator: it answers WM_GETOBJECT for
// its client area with an object of its own (SpinnerAccessible), busy while
// it turns, and announces each start and stop as a state change.
class CStaticImageCtrl : public CStatic {
public:
    static constexpr UINT_PTR kTimerId = 1022;
    static constexpr UINT kTimerPeriodMs = 100;

    CStaticImageCtrl();
    ~CStaticImageCtrl() override;

    // Drops the current picture and the parent snapshot, loads PNG resource
    // `id` of this module, sizes the window to it and repaints. True when a
    // picture was loaded.
    bool SetImageResource(int id);
    // Discards the parent snapshot and repaints the control (and, without a
    // background colour, the parent under it) so a fresh one is taken.
    void ResetBackground();
    // Timer 1022 at 100 ms (restarted if it runs). A control that was not
    // turning reports itself busy.
    void startTurning();
    // Timer killed and `angle` back to 0; no longer busy.
    void stopTurning();
    bool turning() const { return turning_; }

    // Written by owners.
    float angle = 0.0f;  // degrees, clockwise
    float step = 30.0f;  // degrees added per tick
    std::optional<COLORREF> backgroundColor;

    Gdiplus::Image* picture() const { return image_.get(); }
    bool hasParentSnapshot() const { return !parentSnapshot_.isEmpty(); }
    bool snapshotWanted() const { return snapshotWanted_; }
    // The composed frames kept for the current picture, size and background.
    const SpinnerFrameCache& frameCache() const { return frames_; }

protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnPaint();
    // The current frame into a context the caller owns (WM_PRINTCLIENT).
    void OnPrintClient(HDC dc);
    void OnTimer(UINT_PTR id);
    void applyImage();
    void drawImage(Gdiplus::Graphics& graphics, const RECT& rectangle);

private:
    bool hasNotifyStyle() const { return (GetStyle() & SS_NOTIFY) != 0; }
    // The control's window rectangle in its parent's client coordinates.
    bool rectInParent(RECT* rect) const;
    // The control's client rectangle in its parent's client coordinates.
    bool clientRectInParent(RECT* rect) const;
    void invalidateParentUnderControl();
    void dropPicture();
    bool clipCoversClient(const CDC& dc, const RECT& client) const;
    void captureParentSnapshot();
    void paintBackground(CDC& buffer, const RECT& client);
    // The frame of the current angle onto `target`: a kept one when it can
    // be kept, else background and picture through an off-screen buffer.
    // Frames are kept only when `keepNew` (painting to the screen).
    void paintFrame(CDC& target, const RECT& client, bool keepNew);
    // Copies the kept frame of the current angle, composing and keeping it
    // first if needed; false when this frame is not one that can be kept.
    bool paintKeptFrame(CDC& target, const RECT& client, bool keepNew);
    // Whether the copy of the parent fills a client area of this size.
    bool snapshotCovers(int width, int height) const;
    // Background and picture into `dc` over `client`.
    void composeFrame(CDC& dc, const RECT& client);
    // The answer to WM_GETOBJECT for the client area; 0 leaves it to the
    // standard handling.
    LRESULT accessibleObjectFor(WPARAM wParam);
    void setTurning(bool turning);

    // Declared first so that it is released last: the picture and every
    // drawing surface are gone before the image library may stop.
    std::shared_ptr<GdiplusSession> gdiplus_;
    std::unique_ptr<Gdiplus::Image> image_;
    // What painting draws: the picture member, once applyImage has taken it on.
    const std::unique_ptr<Gdiplus::Image>* drawable_ = nullptr;
    bool snapshotWanted_ = false;
    CMemDCEx2 parentSnapshot_;
    SpinnerFrameCache frames_;
    bool turning_ = false;
    // Lets go of the control's reference, leaving clients a disconnected object.
    struct DisconnectAccessible {
        void operator()(SpinnerAccessible* object) const;
    };
    // Made at the first request; held until the window goes.
    std::unique_ptr<SpinnerAccessible, DisconnectAccessible> accessible_;
};
