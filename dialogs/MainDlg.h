#pragma once
#include <string>

#include "dialogs/CContainerDlg.h"
#include "host/AppletMessage.h"
#include "drawing/CStaticImageCtrl.h"
#include "framework/CBrush.h"

// The panel's one window: a modeless child dialog inside a window of the host
// that covers its parent, shows the loading spinner over a light grey
// background, keeps the web view (the first child that is not the spinner)
// filling its client area, and gives that view the focus when shown. The
// panel controller owns it, names it by viewGuid and drives its spinner.
class MainDlg : public CContainerDlg {
public:
    static constexpr UINT kTemplateId = 101;
    static constexpr int kSpinnerId = 3038;
    static constexpr COLORREF kBackground = RGB(250, 250, 250);

    explicit MainDlg(CWnd* parent);
    ~MainDlg() override;

    BOOL OnInitDialog() override;

    CBrush backgroundBrush;
    std::wstring viewGuid;
    // Set when the container is first told of the view: only then does the
    // close tell it too.
    bool announced = false;
    // The container's "signalUIClose" for this view, made when it is
    // announced: the close is sent even when memory has run out by then.
    AppletMessage closeRequest;
    CStaticImageCtrl spinner;

protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    BOOL onEraseBackground(HDC dc);
    void fillWithContent(int cx, int cy);
    void focusContent();
    // The first child in z-order that is not the spinner: the web view.
    HWND contentWindow() const;

    // Set once initialisation is over. Before that nobody else has been given
    // the dialog's handle, so its only children are the template's controls
    // and a size change has no web view to fill with.
    bool initialised_ = false;
};
