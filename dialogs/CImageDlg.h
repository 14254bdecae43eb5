#pragma once
#include <cstdint>
#include <map>
#include <memory>

#include "dialogs/CBaseDlg.h"
#include "dialogs/FollowParameters.h"
#include "dialogs/GradientSettings.h"
#include "dialogs/SavedBackgroundData.h"
#include "drawing/GdiplusSession.h"

namespace Gdiplus {
class Image;
class Graphics;
}  // namespace Gdiplus

// Painted background (a stretched or tiled picture, else a gradient), a
// border, saved pictures at given places, transparent static texts, buttons
// and links over it; and, when switched on, following the owner's top-level
// window. Everything starts switched off.
class CImageDlg : public CBaseDlg {
public:
    static constexpr uint32_t kOwnsImage = 0x1;
    static constexpr uint32_t kFollowing = 0x2;
    static constexpr COLORREF kNoBorder = static_cast<COLORREF>(-1);

    explicit CImageDlg(UINT templateId, CWnd* parent = nullptr) : CBaseDlg(templateId, parent) {}
    ~CImageDlg() override;

    // Sets `insets` to the reference window's frame insets.
    virtual void getFollowParameters(FollowParameters* parameters);
    // Covers the owner's top-level window's client area (when following is on
    // and the dialog is visible, or `force`).
    virtual void followOwner(BOOL force);
    virtual UINT followSubclassId() { return 101; }

    // Switches on: the picture (owned when `owned`; a later call or the
    // destructor deletes it), the gradient, the border. Each repaints. The
    // picture and the gradient are painted through the image library, which
    // the dialog then holds until it goes.
    void setBackgroundImage(Gdiplus::Image* image, bool owned);
    void setBackgroundGradient(const GradientSettings& gradient);
    void setBorder(COLORREF color, int width);
    // Paints `bitmap` (taken over) into `rect` under `key`, replacing what
    // was there: alpha-blended when it is a 32-bit picture whose alpha bytes
    // are not all zero (premultiplied colours), else keyed on `transparent`
    // when that is a colour, else stretched. False, taking nothing, when
    // `bitmap` is no bitmap.
    bool setSavedBackground(HWND key, const RECT& rect, HBITMAP bitmap,
                            COLORREF transparent = CLR_INVALID);
    // Hooks the owner's top-level window so that the dialog moves, sizes,
    // shows and hides with it. False without an owner, or when the dialog is
    // itself the top-level window.
    bool startFollowing();

    void releaseBackground();
    void stopFollowing();

    void onDestroying() override { stopFollowing(); }
    void onShowChanged(BOOL show, UINT status) override {
        if (show) followOwner(show);
    }

    Gdiplus::Image* backgroundImage = nullptr;
    std::unique_ptr<GradientSettings> backgroundGradient;
    uint32_t imageFlags = 0;
    HBRUSH hollowBrush = nullptr;
    COLORREF borderColor = kNoBorder;
    int32_t borderWidth = 0;
    std::map<HWND, SavedBackgroundData> savedBackgrounds;

protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    BOOL OnEraseBkgnd(CDC* dc);
    HBRUSH OnCtlColor(CDC* dc, CWnd* control, UINT type);
    void OnSize(UINT type, int cx, int cy);

private:
    static LRESULT CALLBACK followSubclassProc(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam, UINT_PTR id, DWORD_PTR data);
    bool stretchesImage() const { return m_BkgrLocation != BACKGR_TILE; }
    // The image library for the background, taken on first need; false
    // when it cannot be started.
    bool holdImageLibrary();
    void paintImage(Gdiplus::Graphics& graphics, const RECT& layout);
    void paintGradient(Gdiplus::Graphics& graphics, const RECT& layout);
    void paintBorder(CDC* dc);
    void paintSavedBackgrounds(CDC* dc);
    void repaint();

    // The window the follow hook sits on: the hook is removed from exactly
    // that window, even when the owner has moved elsewhere since.
    HWND followedWindow_ = nullptr;
    UINT followId_ = 0;
    // Outlives every image object of the dialog: the destructor releases the
    // picture first.
    std::shared_ptr<GdiplusSession> gdiplus_;
};
