// Off-screen buffers over real drawing contexts.
#include <windows.h>

#include <gtest/gtest.h>

#include "support/TestWindows.h"
#include "drawing/CMemDC2.h"
#include "drawing/CMemDCEx2.h"
#include "framework/CBrush.h"

namespace {
const COLORREF kOld = RGB(10, 20, 30);
const COLORREF kNew = RGB(200, 100, 50);
}  // namespace

TEST(CMemDC2Test, DrawingNothingKeepsTheTargetsPixels) {
    PixelSurface surface(60, 40, kOld);
    surface.fill(RECT{20, 10, 30, 20}, kNew);
    CDC target(surface.dc());
    { CMemDC2 buffer(&target, nullptr); }
    EXPECT_EQ(surface.pixel(5, 5), kOld);
    EXPECT_EQ(surface.pixel(25, 15), kNew);
}

TEST(CMemDC2Test, HalfFilledBufferShowsNewHalfAndOldHalf) {
    PixelSurface surface(60, 40, kOld);
    CDC target(surface.dc());
    RECT whole{0, 0, 60, 40};
    {
        CMemDC2 buffer(&target, &whole);
        CBrush brush(kNew);
        RECT left{0, 0, 30, 40};
        buffer.FillRect(&left, &brush);
        // Nothing reaches the target before the buffer goes.
        EXPECT_EQ(surface.pixel(10, 10), kOld);
    }
    EXPECT_EQ(surface.pixel(10, 10), kNew);
    EXPECT_EQ(surface.pixel(29, 39), kNew);
    EXPECT_EQ(surface.pixel(30, 0), kOld);
    EXPECT_EQ(surface.pixel(59, 39), kOld);
}

TEST(CMemDC2Test, OffsetRectangleGivesItsSizeAndTargetCoordinates) {
    PixelSurface surface(60, 50, kOld);
    CDC target(surface.dc());
    RECT area{10, 10, 50, 40};
    {
        CMemDC2 buffer(&target, &area);
        BITMAP info{};
        GetObjectW(GetCurrentObject(buffer.m_hDC, OBJ_BITMAP), sizeof info, &info);
        EXPECT_EQ(info.bmWidth, 40);
        EXPECT_EQ(info.bmHeight, 30);
        SetPixelV(buffer.m_hDC, 10, 10, kNew);
        MoveToEx(buffer.m_hDC, 10, 20, nullptr);
        LineTo(buffer.m_hDC, 20, 20);
        // Drawing beyond the rectangle does not reach the target.
        CBrush brush(RGB(0, 255, 0));
        RECT outside{0, 0, 9, 9};
        buffer.FillRect(&outside, &brush);
    }
    EXPECT_EQ(surface.pixel(10, 10), kNew);
    EXPECT_EQ(surface.pixel(15, 20), RGB(0, 0, 0));
    EXPECT_EQ(surface.pixel(11, 11), kOld);
    EXPECT_EQ(surface.pixel(5, 5), kOld);
}

TEST(CMemDC2Test, BufferOnWindowContextReachesTheWindow) {
    HostWindow window(WS_POPUP | WS_VISIBLE, 0, 0, 50, 50);
    HDC dc = GetDC(window.hwnd());
    {
        CDC target(dc);
        RECT area{0, 0, 50, 50};
        CMemDC2 buffer(&target, &area);
        CBrush brush(kNew);
        RECT square{5, 5, 15, 15};
        buffer.FillRect(&square, &brush);
    }
    EXPECT_EQ(GetPixel(dc, 10, 10), kNew);
    ReleaseDC(window.hwnd(), dc);
}

TEST(CMemDCEx2Test, SecondCaptureReplacesTheFirst) {
    PixelSurface first(30, 30, kOld);
    PixelSurface second(30, 30, kNew);
    CDC firstDc(first.dc());
    CDC secondDc(second.dc());
    CMemDCEx2 snapshot;
    EXPECT_TRUE(snapshot.isEmpty());
    RECT area{5, 5, 25, 15};
    snapshot.captureFrom(&firstDc, &area);
    ASSERT_FALSE(snapshot.isEmpty());
    EXPECT_EQ(GetPixel(snapshot.m_hDC, 0, 0), kOld);
    snapshot.captureFrom(&secondDc, &area);
    EXPECT_EQ(GetPixel(snapshot.m_hDC, 0, 0), kNew);
    EXPECT_EQ(snapshot.rect().right, 25);
    snapshot.release();
    EXPECT_TRUE(snapshot.isEmpty());
}

TEST(CMemDC2Test, BuffersAndSnapshotsLeaveNoGdiObjects) {
    PixelSurface surface(40, 40, kOld);
    CDC target(surface.dc());
    const size_t before = liveGdiObjects();
    for (int i = 0; i < 200; ++i) {
        CMemDC2 buffer(&target, nullptr);
        CMemDCEx2 snapshot;
        snapshot.captureFrom(&target);
        snapshot.captureFrom(&target);
    }
    EXPECT_EQ(liveGdiObjects(), before);
}

TEST(GdiCountTest, HandleTableCountSeesCreationAndDeletion) {
    const size_t before = liveGdiObjects();
    HBRUSH brushes[10];
    for (auto& b : brushes) b = CreateSolidBrush(RGB(1, 2, 3));
    EXPECT_EQ(liveGdiObjects(), before + 10);
    for (auto& b : brushes) DeleteObject(b);
    EXPECT_EQ(liveGdiObjects(), before);
}
