// The spinner control on a real static child of a real window.
#include <windows.h>
#include <oleacc.h>
#include <wrl/client.h>

#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "support/ReferenceSpinnerFrame.h"
#include "support/TestWindows.h"
#include "drawing/CStaticImageCtrl.h"
#include "drawing/SharedGdiplusSession.h"
#include "util/ModuleHandle.h"
#include "resources/resource.h"

using halvet::test::shownPixels;
using halvet::test::surfacePixels;

namespace {

const COLORREF kPanelGrey = RGB(250, 250, 250);
const COLORREF kHostWhite = RGB(255, 255, 255);

COLORREF windowPixel(HWND window, int x, int y) {
    HDC dc = GetDC(window);
    const COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return colour;
}

int brightness(COLORREF c) {
    return GetRValue(c) + GetGValue(c) + GetBValue(c);
}

// Waits `ms` milliseconds while dispatching this thread's messages.
void pumpFor(DWORD ms) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        pumpMessages();
    }
}

bool updatePending(HWND window) {
    return GetUpdateRect(window, nullptr, FALSE) != FALSE;
}

// The ring of the normal picture turned by `angle` over the panel grey,
// computed by the tests' own sampling.
halvet::test::ReferenceFrame expectedRing(float angle) {
    halvet::test::RgbaPicture picture;
    if (!halvet::test::loadRgbaPicture(halvet::thisModule(), IDB_SPINNER_NORMAL, &picture))
        return {};
    return halvet::test::referenceSpinnerFrame(picture, angle, kPanelGrey);
}

class CStaticImageCtrlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(host.hwnd(), nullptr);
        control = CreateWindowExW(0, L"Static", L"", WS_CHILD | WS_VISIBLE | SS_BLACKFRAME, 20, 30,
                                  30, 30, host.hwnd(), reinterpret_cast<HMENU>(IDC_SPINNER),
                                  halvet::thisModule(), nullptr);
        ASSERT_NE(control, nullptr);
        spinner = std::make_unique<CStaticImageCtrl>();
        ASSERT_TRUE(spinner->SubclassWindow(control));
    }

    void paintNow() {
        UpdateWindow(host.hwnd());
        UpdateWindow(control);
    }
    // Everything painted and nothing pending, so the next step's invalidation shows.
    void settle() {
        paintNow();
        ValidateRect(host.hwnd(), nullptr);
        ValidateRect(control, nullptr);
    }
    void tick() { SendMessageW(control, WM_TIMER, CStaticImageCtrl::kTimerId, 0); }
    POINT controlOrigin() const {
        RECT rect;
        GetWindowRect(control, &rect);
        MapWindowPoints(HWND_DESKTOP, host.hwnd(), reinterpret_cast<POINT*>(&rect), 2);
        return POINT{rect.left, rect.top};
    }

    HostWindow host{WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 200, 160};
    HWND control = nullptr;
    std::unique_ptr<CStaticImageCtrl> spinner;
};

}  // namespace

TEST_F(CStaticImageCtrlTest, SetImageResourceSizesTheWindowToThePictureInPlace) {
    EXPECT_TRUE(spinner->SetImageResource(IDB_SPINNER_NORMAL));
    RECT client;
    GetClientRect(control, &client);
    EXPECT_EQ(client.right, 37);
    EXPECT_EQ(client.bottom, 37);
    EXPECT_EQ(controlOrigin().x, 20);
    EXPECT_EQ(controlOrigin().y, 30);

    EXPECT_TRUE(spinner->SetImageResource(IDB_SPINNER_HIGHDPI));
    GetClientRect(control, &client);
    EXPECT_EQ(client.right, 74);
    EXPECT_EQ(client.bottom, 74);
    ASSERT_NE(spinner->picture(), nullptr);

    // A missing picture drops the old one and leaves the size alone.
    EXPECT_FALSE(spinner->SetImageResource(4242));
    EXPECT_EQ(spinner->picture(), nullptr);
    GetClientRect(control, &client);
    EXPECT_EQ(client.right, 74);
}

TEST_F(CStaticImageCtrlTest, UprightFramePaintsTheRingOverTheBackgroundColour) {
    spinner->backgroundColor = kPanelGrey;
    ASSERT_TRUE(spinner->SetImageResource(IDB_SPINNER_NORMAL));
    paintNow();
    for (POINT corner : {POINT{0, 0}, POINT{36, 0}, POINT{0, 36}, POINT{36, 36}})
        EXPECT_EQ(windowPixel(control, corner.x, corner.y), kPanelGrey);
    // The opaque dash at 12 o'clock, fainter ones going counter-clockwise.
    const int twelve = brightness(windowPixel(control, 18, 5));
    const int three = brightness(windowPixel(control, 31, 18));
    EXPECT_LT(twelve, 400);
    EXPECT_LT(twelve, three);
    EXPECT_LT(three, brightness(kPanelGrey));
}

// The frame on the screen is the ring turned by 60 degrees over the colour,
// as the tests' own sampling of the picture computes it.
TEST_F(CStaticImageCtrlTest, TwoTicksTurnTheRingBy60Degrees) {
    spinner->backgroundColor = kPanelGrey;
    ASSERT_TRUE(spinner->SetImageResource(IDB_SPINNER_NORMAL));
    tick();
    tick();
    EXPECT_FLOAT_EQ(spinner->angle, 60.0f);
    paintNow();

    const halvet::test::ReferenceFrame expected = expectedRing(60.0f);
    ASSERT_EQ(expected.pixels.size(), 37u * 37u);
    const std::vector<COLORREF> shown = shownPixels(control);
    EXPECT_EQ(halvet::test::pixelsOffReference(shown, expected), 0);
    // The comparison tells one position of the ring from the next.
    EXPECT_GT(halvet::test::pixelsOffReference(shown, expectedRing(30.0f)), 20);
    // The leading dash now points to 2 o'clock.
    EXPECT_LT(brightness(windowPixel(control, 29, 12)), brightness(windowPixel(control, 18, 5)));
}

// Changes made while the parent is hidden mark nothing for repaint, yet still
// drop what the old look kept; showing the parent paints the control whole,
// with the new look, not a kept frame.
TEST_F(CStaticImageCtrlTest, ChangesWhileHiddenShowWhenTheParentIsShown) {
    ASSERT_TRUE(spinner->SetImageResource(IDB_SPINNER_NORMAL));
    settle();
    tick();
    paintNow();
    ASSERT_TRUE(spinner->hasParentSnapshot());
    ASSERT_EQ(windowPixel(control, 0, 0), kHostWhite);

    ShowWindow(host.hwnd(), SW_HIDE);
    spinner->backgroundColor = kPanelGrey;
    spinner->angle = 0.0f;
    spinner->ResetBackground();
    EXPECT_FALSE(spinner->hasParentSnapshot());
    EXPECT_FALSE(spinner->snapshotWanted());
    ShowWindow(host.hwnd(), SW_SHOW);
    paintNow();
    EXPECT_EQ(halvet::test::pixelsOffReference(shownPixels(control), expectedRing(0.0f)), 0);
}

// Pictures of the window (PrintWindow, WM_PRINT, WM_PRINTCLIENT) show the
// frame the screen shows, not the static class's template frame.
TEST_F(CStaticImageCtrlTest, PrintingTheControlDrawsTheCurrentFrame) {
    spinner->backgroundColor = kPanelGrey;
    ASSERT_TRUE(spinner->SetImageResource(IDB_SPINNER_NORMAL));
    tick();
    tick();
    const halvet::test::ReferenceFrame expected = expectedRing(60.0f);
    ASSERT_EQ(expected.pixels.size(), 37u * 37u);
    auto differing = [&](const PixelSurface& printed) {
        return halvet::test::pixelsOffReference(surfacePixels(printed, 37, 37), expected);
    };

    PixelSurface client(37, 37, RGB(255, 0, 0));
    SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(client.dc()), PRF_CLIENT);
    EXPECT_EQ(differing(client), 0);

    PixelSurface window(37, 37, RGB(255, 0, 0));
    ASSERT_TRUE(PrintWindow(control, window.dc(), PW_CLIENTONLY));
    EXPECT_EQ(differing(window), 0);
    EXPECT_FALSE(spinner->hasParentSnapshot()) << "printing takes no copy of the parent";

    // Asked for anything but the client area, it draws nothing.
    PixelSurface none(37, 37, RGB(255, 0, 0));
    SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(none.dc()), PRF_NONCLIENT);
    EXPECT_EQ(none.pixel(18, 18), RGB(255, 0, 0));
}

TEST_F(CStaticImageCtrlTest, TicksTurnOnlyForTimer1022WhileVisibleAndWrapAfterAFullTurn) {
    ASSERT_TRUE(spinner->SetImageResource(IDB_SPINNER_NORMAL));
    SendMessageW(control, WM_TIMER, 7, 0);
    EXPECT_EQ(spinner->angle, 0.0f);
    ShowWindow(control, SW_HIDE);
    tick();
    EXPECT_EQ(spinner->angle, 0.0f);
    EXPECT_FALSE(spinner->snapshotWanted());
    ShowWindow(control, SW_SHOW);
    // A hidden parent hides the control too.
    ShowWindow(host.hwnd(), SW_HIDE);
    tick();
    EXPECT_EQ(spinner->angle, 0.0f);
    ShowWindow(host.hwnd(), SW_SHOW);
    for (int i = 0; i < 12; ++i) tick();
    EXPECT_FLOAT_EQ(spinner->angle, 360.0f);
    tick();
    EXPECT_FLOAT_EQ(spinner->angle, 30.0f);
    spinner->step = 45.0f;
    tick();
    EXPECT_FLOAT_EQ(spinner->angle, 75.0f);
}

TEST_F(CStaticImageCtrlTest, WindowTimerAdvancesTheAngleOnlyWhileShown) {
    spinner->backgroundColor = kPanelGrey;
    ASSERT_TRUE(spinner->SetImageResource(IDB_SPINNER_NORMAL));
    ASSERT_TRUE(
        SetTimer(control, CStaticImageCtrl::kTimerId, CStaticImageCtrl::kTimerPeriodMs, nullptr));
    const COLORREF before = windowPixel(control, 18, 5);
    pumpFor(650);
    const float shown = spinner->angle;
    EXPECT_GE(shown, 4 * 30.0f) << "100 ms ticks for 650 ms";
    EXPECT_LE(shown, 7 * 30.0f);
    EXPECT_EQ(std::fmod(shown, 30.0f), 0.0f);
    EXPECT_NE(windowPixel(control, 18, 5), before) << "the frame on the screen moved";

    ShowWindow(control, SW_HIDE);
    pumpFor(350);
    EXPECT_EQ(spinner->angle, shown);
    KillTimer(control, CStaticImageCtrl::kTimerId);
}

TEST_F(CStaticImageCtrlTest, WithoutAPictureOnlyTheColourIsPainted) {
    spinner->backgroundColor = kPanelGrey;
    EXPECT_FALSE(spinner->SetImageResource(4242));
    spinner->angle = 90.0f;
    paintNow();
    for (int y = 0; y < 30; y += 3)
        for (int x = 0; x < 30; x += 3) ASSERT_EQ(windowPixel(control, x, y), kPanelGrey);
}

TEST_F(CStaticImageCtrlTest, ResetBackgroundRepaintsTheParentUnderTheControlOnlyWithoutColour) {
    ASSERT_TRUE(spinner->SetImageResource(IDB_SPINNER_NORMAL));
    settle();
    spinner->ResetBackground();
    EXPECT_TRUE(updatePending(control));
    RECT parentUpdate{};
    GetUpdateRect(host.hwnd(), &parentUpdate, FALSE);
    EXPECT_EQ(parentUpdate.left, 20);
    EXPECT_EQ(parentUpdate.top, 30);
    EXPECT_EQ(parentUpdate.right, 57);
    EXPECT_EQ(parentUpdate.bottom, 67);

    spinner->backgroundColor = kPanelGrey;
    settle();
    spinner->ResetBackground();
    EXPECT_TRUE(updatePending(control));
    EXPECT_FALSE(updatePending(host.hwnd()));
}

// Without a colour the control takes a copy of the parent's pixels under it
// at the first full paint after a tick, and paints every later frame over
// that copy: what was on the screen before does not shine through.
TEST_F(CStaticImageCtrlTest, WithoutColourFramesArePaintedOverACopyOfTheParent) {
    ASSERT_TRUE(spinner->SetImageResource(IDB_SPINNER_NORMAL));
    settle();
    EXPECT_FALSE(spinner->hasParentSnapshot());

    // A tick without a copy repaints the parent under the control as well.
    tick();
    EXPECT_TRUE(spinner->snapshotWanted());
    EXPECT_TRUE(updatePending(host.hwnd()));
    paintNow();
    ASSERT_TRUE(spinner->hasParentSnapshot());
    EXPECT_EQ(windowPixel(control, 0, 0), kHostWhite);
    EXPECT_EQ(windowPixel(control, 36, 36), kHostWhite);

    // Junk on the control's pixels is covered by the copy on the next frame,
    // and with a copy in hand ticks leave the parent alone.
    HDC dc = GetDC(control);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    RECT all{0, 0, 37, 37};
    FillRect(dc, &all, red);
    DeleteObject(red);
    ReleaseDC(control, dc);
    settle();
    tick();
    EXPECT_FALSE(updatePending(host.hwnd()));
    paintNow();
    EXPECT_EQ(windowPixel(control, 0, 0), kHostWhite);
    EXPECT_EQ(windowPixel(control, 36, 0), kHostWhite);

    spinner->ResetBackground();
    EXPECT_FALSE(spinner->hasParentSnapshot());
    EXPECT_FALSE(spinner->snapshotWanted());
}

namespace {

// A parent whose every pixel has its own colour (red the column, green the
// row), so a copy taken from the wrong place shows.
COLORREF gradient(int x, int y) {
    return RGB(x, y, 90);
}

LRESULT CALLBACK gradientParent(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ERASEBKGND) {
        RECT client{};
        GetClientRect(window, &client);
        PixelSurface surface(client.right, client.bottom, RGB(0, 0, 0));
        for (int y = 0; y < client.bottom; ++y)
            for (int x = 0; x < client.right; ++x) SetPixelV(surface.dc(), x, y, gradient(x, y));
        BitBlt(reinterpret_cast<HDC>(wParam), 0, 0, client.right, client.bottom, surface.dc(), 0, 0,
               SRCCOPY);
        return 1;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

// With a border the client area starts inside the window: the copy of the
// parent is taken under the client area, where the frame is painted.
TEST(CStaticImageCtrlBorderTest, CopyOfTheParentIsTakenUnderTheClientAreaOfABorderedControl) {
    WNDCLASSW type{};
    type.lpfnWndProc = gradientParent;
    type.hInstance = GetModuleHandleW(nullptr);
    type.lpszClassName = L"HalvetGradientParent";
    RegisterClassW(&type);
    HWND parent =
        CreateWindowExW(0, type.lpszClassName, L"", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                        200, 160, nullptr, nullptr, type.hInstance, nullptr);
    ASSERT_NE(parent, nullptr);
    HWND control = CreateWindowExW(0, L"Static", L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 20, 30, 30,
                                   30, parent, nullptr, halvet::thisModule(), nullptr);
    {
        CStaticImageCtrl spinner;
        ASSERT_TRUE(spinner.SubclassWindow(control));
        ASSERT_TRUE(spinner.SetImageResource(IDB_SPINNER_NORMAL));
        UpdateWindow(parent);
        UpdateWindow(control);
        SendMessageW(control, WM_TIMER, CStaticImageCtrl::kTimerId, 0);
        UpdateWindow(parent);
        UpdateWindow(control);
        ASSERT_TRUE(spinner.hasParentSnapshot());

        RECT client{};
        GetClientRect(control, &client);
        POINT origin{0, 0};
        MapWindowPoints(control, parent, &origin, 1);
        ASSERT_EQ(origin.x, 21) << "a one-pixel border";
        // The ring leaves the corners of the picture clear.
        for (POINT corner : {POINT{0, 0}, POINT{client.right - 1, 0}, POINT{0, client.bottom - 1},
                             POINT{client.right - 1, client.bottom - 1}})
            EXPECT_EQ(windowPixel(control, corner.x, corner.y),
                      gradient(origin.x + corner.x, origin.y + corner.y))
                << corner.x << "," << corner.y;
        spinner.UnsubclassWindow();
    }
    DestroyWindow(parent);
}

TEST_F(CStaticImageCtrlTest, CopyOfTheParentNeedsAFullPaint) {
    ASSERT_TRUE(spinner->SetImageResource(IDB_SPINNER_NORMAL));
    settle();
    tick();
    // Drop the tick's own invalidation unpainted: a copy is wanted now.
    ValidateRect(host.hwnd(), nullptr);
    ValidateRect(control, nullptr);
    ASSERT_TRUE(spinner->snapshotWanted());
    RECT corner{0, 0, 5, 5};
    InvalidateRect(control, &corner, TRUE);
    UpdateWindow(control);
    EXPECT_FALSE(spinner->hasParentSnapshot());
    InvalidateRect(control, nullptr, TRUE);
    UpdateWindow(control);
    EXPECT_TRUE(spinner->hasParentSnapshot());
}

// With a colour the control covers all its pixels: a tick repaints it alone,
// and the parent never paints its own background over the ring.
TEST_F(CStaticImageCtrlTest, WithAColourTicksRepaintOnlyTheControlAndTakeNoCopy) {
    spinner->backgroundColor = kPanelGrey;
    ASSERT_TRUE(spinner->SetImageResource(IDB_SPINNER_NORMAL));
    settle();
    tick();
    EXPECT_TRUE(spinner->snapshotWanted());
    EXPECT_TRUE(updatePending(control));
    EXPECT_FALSE(updatePending(host.hwnd()));
    paintNow();
    EXPECT_FALSE(spinner->hasParentSnapshot());
}

TEST_F(CStaticImageCtrlTest, MouseFallsThroughUnlessTheControlHasTheNotifyStyle) {
    RECT rect;
    GetWindowRect(control, &rect);
    const LPARAM inside = MAKELPARAM(rect.left + 5, rect.top + 5);
    EXPECT_EQ(SendMessageW(control, WM_NCHITTEST, 0, inside), HTTRANSPARENT);
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    SendMessageW(control, WM_SETCURSOR, reinterpret_cast<WPARAM>(control),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_NE(GetCursor(), LoadCursorW(nullptr, IDC_HAND));

    SetWindowLongPtrW(control, GWL_STYLE, GetWindowLongPtrW(control, GWL_STYLE) | SS_NOTIFY);
    EXPECT_EQ(SendMessageW(control, WM_NCHITTEST, 0, inside), HTCLIENT);
    EXPECT_EQ(SendMessageW(control, WM_SETCURSOR, reinterpret_cast<WPARAM>(control),
                           MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              TRUE);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
}

// Counted with the same frames kept each time: a copy of the parent and the
// twelve frames of one turn over it.
TEST_F(CStaticImageCtrlTest, PaintingManyFramesLeaksNoGdiObjects) {
    ASSERT_TRUE(spinner->SetImageResource(IDB_SPINNER_NORMAL));
    for (int i = 0; i < 12; ++i) {
        tick();
        paintNow();
    }
    ASSERT_EQ(spinner->frameCache().frameCount(), 12u);
    const size_t before = liveGdiObjects();
    for (int frame = 0; frame < 300; ++frame) {
        // Alternate the two backgrounds; drop the copy now and then.
        if (frame % 100 == 50) spinner->backgroundColor = kPanelGrey;
        if (frame % 100 == 0) spinner->backgroundColor.reset();
        if (frame % 37 == 0) spinner->ResetBackground();
        tick();
        paintNow();
    }
    spinner->backgroundColor.reset();
    spinner->ResetBackground();
    for (int i = 0; i < 12; ++i) {
        tick();
        paintNow();
    }
    EXPECT_TRUE(spinner->hasParentSnapshot());
    ASSERT_EQ(spinner->frameCache().frameCount(), 12u);
    EXPECT_EQ(liveGdiObjects(), before);
}

TEST_F(CStaticImageCtrlTest, ReloadingThePictureManyTimesLeaksNothing) {
    ASSERT_TRUE(spinner->SetImageResource(IDB_SPINNER_NORMAL));
    tick();
    paintNow();
    const size_t before = liveGdiObjects();
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(spinner->SetImageResource(i % 2 ? IDB_SPINNER_NORMAL : IDB_SPINNER_HIGHDPI));
        tick();
        paintNow();
    }
    ASSERT_TRUE(spinner->SetImageResource(IDB_SPINNER_NORMAL));
    tick();
    paintNow();
    EXPECT_EQ(liveGdiObjects(), before);
}

// The owner may delete the control while its window lives on (the window is
// given its own procedure back) or after the window has gone.
TEST_F(CStaticImageCtrlTest, ControlCanGoBeforeOrAfterItsWindow) {
    ASSERT_TRUE(spinner->SetImageResource(IDB_SPINNER_NORMAL));
    tick();
    paintNow();
    spinner.reset();
    EXPECT_EQ(CWnd::FromHandlePermanent(control), nullptr);
    ASSERT_TRUE(IsWindow(control));
    tick();
    InvalidateRect(control, nullptr, TRUE);
    paintNow();

    auto second = std::make_unique<CStaticImageCtrl>();
    ASSERT_TRUE(second->SubclassWindow(control));
    ASSERT_TRUE(second->SetImageResource(IDB_SPINNER_NORMAL));
    tick();
    paintNow();
    DestroyWindow(control);
    EXPECT_EQ(second->m_hWnd, nullptr);
    // Without a window the operations only change the control's own state.
    second->ResetBackground();
    EXPECT_TRUE(second->SetImageResource(IDB_SPINNER_HIGHDPI));
    second.reset();
}

// Before it has a window the control keeps its picture and draws nothing.
TEST(CStaticImageCtrlWindowlessTest, PictureLoadsWithoutAWindow) {
    CStaticImageCtrl spinner;
    EXPECT_TRUE(spinner.SetImageResource(IDB_SPINNER_HIGHDPI));
    ASSERT_NE(spinner.picture(), nullptr);
    EXPECT_EQ(spinner.picture()->GetWidth(), 74u);
    spinner.ResetBackground();
    EXPECT_FALSE(spinner.hasParentSnapshot());
}

namespace {

IAccessible* clientObject(HWND window) {
    IAccessible* object = nullptr;
    AccessibleObjectFromWindow(window, OBJID_CLIENT, IID_IAccessible,
                               reinterpret_cast<void**>(&object));
    return object;
}

LONG accessibleValue(IAccessible* object,
                     HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*),
                     HRESULT* result = nullptr) {
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    VARIANT value{};
    const HRESULT hr = (object->*get)(self, &value);
    if (result) *result = hr;
    return hr == S_OK && value.vt == VT_I4 ? value.lVal : -1;
}

}  // namespace

// Turning is the timer and the busy state together; stopping puts the ring upright.
TEST_F(CStaticImageCtrlTest, StartAndStopTurningDriveTheTimerAndTheBusyState) {
    ASSERT_TRUE(spinner->SetImageResource(IDB_SPINNER_NORMAL));
    Microsoft::WRL::ComPtr<IAccessible> object;
    object.Attach(clientObject(control));
    ASSERT_TRUE(object);
    EXPECT_FALSE(spinner->turning());
    EXPECT_FALSE(accessibleValue(object.Get(), &IAccessible::get_accState) & STATE_SYSTEM_BUSY);

    spinner->startTurning();
    EXPECT_TRUE(spinner->turning());
    pumpFor(350);
    EXPECT_GT(spinner->angle, 0.0f);
    EXPECT_TRUE(accessibleValue(object.Get(), &IAccessible::get_accState) & STATE_SYSTEM_BUSY);

    spinner->stopTurning();
    EXPECT_FALSE(spinner->turning());
    EXPECT_EQ(spinner->angle, 0.0f);
    pumpFor(250);
    EXPECT_EQ(spinner->angle, 0.0f);
    EXPECT_FALSE(accessibleValue(object.Get(), &IAccessible::get_accState) & STATE_SYSTEM_BUSY);
    EXPECT_EQ(accessibleValue(object.Get(), &IAccessible::get_accRole), ROLE_SYSTEM_PROGRESSBAR);
}

// The name is the string table's, so a translated table renames the spinner.
TEST_F(CStaticImageCtrlTest, AccessibleNameComesFromTheStringTable) {
    const wchar_t* text = nullptr;
    const int length =
        LoadStringW(halvet::thisModule(), IDS_SPINNER_NAME, reinterpret_cast<wchar_t*>(&text), 0);
    ASSERT_GT(length, 0);
    Microsoft::WRL::ComPtr<IAccessible> object;
    object.Attach(clientObject(control));
    ASSERT_TRUE(object);
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    ASSERT_EQ(object->get_accName(self, &name), S_OK);
    EXPECT_EQ(std::wstring(name), std::wstring(text, length));
    SysFreeString(name);
}

// Only the client area is the spinner's own; the window's frame object and
// the rest stay the system's.
TEST_F(CStaticImageCtrlTest, OnlyTheClientObjectIsAnswered) {
    EXPECT_EQ(SendMessageW(control, WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_WINDOW)), 0);
    EXPECT_EQ(SendMessageW(control, WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_VSCROLL)), 0);
    const LRESULT answer =
        SendMessageW(control, WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_CLIENT));
    ASSERT_GT(answer, 0);
    // An answer must be taken, or the platform keeps what it marshalled.
    IAccessible* object = nullptr;
    ASSERT_EQ(ObjectFromLresult(answer, IID_IAccessible, 0, reinterpret_cast<void**>(&object)),
              S_OK);
    object->Release();
}

// A control that goes before its window leaves its clients a disconnected
// object, and the window's next client the system's standard one.
TEST_F(CStaticImageCtrlTest, ObjectOfAControlThatGoesBeforeItsWindowIsDisconnected) {
    Microsoft::WRL::ComPtr<IAccessible> held;
    held.Attach(clientObject(control));
    ASSERT_TRUE(held);
    spinner->startTurning();
    spinner.reset();
    ASSERT_TRUE(IsWindow(control));
    HRESULT result = S_OK;
    accessibleValue(held.Get(), &IAccessible::get_accRole, &result);
    EXPECT_EQ(result, CO_E_OBJNOTCONNECTED);
    accessibleValue(held.Get(), &IAccessible::get_accState, &result);
    EXPECT_EQ(result, CO_E_OBJNOTCONNECTED);
    Microsoft::WRL::ComPtr<IAccessible> now;
    now.Attach(clientObject(control));
    ASSERT_TRUE(now);
    EXPECT_NE(accessibleValue(now.Get(), &IAccessible::get_accRole), ROLE_SYSTEM_PROGRESSBAR);
}
