#include <gtest/gtest.h>

#include <cstdint>

#include "dialogs/ScrollMath.h"

using namespace scrollMath;

// Content 1000 high in a 400 view: range 0..999, page 400, position kept.
TEST(ScrollMathTest, AxisOfTallContentHasRangeAndPage) {
    const AxisState axis = updateAxis(400, 1000, 0, 0);
    EXPECT_EQ(axis.maximum, 999);
    EXPECT_EQ(axis.page, 400);
    EXPECT_EQ(axis.position, 0);
}

// Growing the view from 400 to 500 at 300 keeps the position's share of the
// page (375); a position past the new end is clamped to content - avail - 1.
TEST(ScrollMathTest, AxisRescalesPositionToNewPageAndClamps) {
    EXPECT_EQ(updateAxis(500, 1000, 400, 300).position, 375);
    EXPECT_EQ(updateAxis(500, 1000, 400, 560).position, 499);  // 700 before the clamp
    EXPECT_EQ(updateAxis(400, 1000, 400, 600).position, 599);
    // Without an old page (first time) the position is only clamped.
    EXPECT_EQ(updateAxis(400, 1000, 0, 300).position, 300);
    // Truncation, not rounding: 301 * 500 / 400 = 376.25.
    EXPECT_EQ(updateAxis(500, 1000, 400, 301).position, 376);
}

// A rescaled position beyond 32 bits is clamped to the end, not wrapped.
TEST(ScrollMathTest, AxisRescaleOfHugeSizesStaysWithinTheContent) {
    EXPECT_EQ(updateAxis(200, 2000000000, 100, 1900000000).position, 1999999799);
    const int32_t sizes[] = {INT32_MIN, -1000000000, -300, -1, 0, 1, 2, 99, 100, 65535,
                             1000000000, 2000000000, INT32_MAX - 1, INT32_MAX};
    for (int32_t avail : sizes)
        for (int32_t content : sizes)
            for (int32_t page : sizes)
                for (int32_t position : sizes) {
                    const AxisState axis = updateAxis(avail, content, page, position);
                    if (avail >= content) {
                        EXPECT_EQ(axis.position, 0);
                        continue;
                    }
                    ASSERT_GE(axis.position, 0) << avail << " " << content << " " << page << " " << position;
                    ASSERT_LE(int64_t{axis.position}, int64_t{content} - avail)
                        << avail << " " << content << " " << page << " " << position;
                }
}

// Content that fits (or equals the view) gives an empty range.
TEST(ScrollMathTest, AxisOfFittingContentIsEmpty) {
    for (int content : {0, 200, 400}) {
        const AxisState axis = updateAxis(400, content, 400, 300);
        EXPECT_EQ(axis.maximum, 0) << content;
        EXPECT_EQ(axis.page, 0) << content;
        EXPECT_EQ(axis.position, 0) << content;
    }
}

// Steps stop at 0 and at content - page, also for huge requests.
TEST(ScrollMathTest, StepsStayWithinContent) {
    EXPECT_EQ(clampedStep(1000, 400, 0, 5000), 600);
    EXPECT_EQ(clampedStep(1000, 400, 600, 60), 0);
    EXPECT_EQ(clampedStep(1000, 400, 300, -5000), -300);
    EXPECT_EQ(clampedStep(1000, 400, 300, 60), 60);
    EXPECT_EQ(clampedStep(1000, 400, 0, INT32_MAX), 600);
    EXPECT_EQ(clampedStep(1000, 400, 300, INT32_MIN), -300);
    // A zero request pulls an out-of-range position back.
    EXPECT_EQ(clampedStep(1000, 500, 599, 0), -99);
    // An axis without content or page does not scroll.
    EXPECT_EQ(clampedStep(0, 400, 0, 60), 0);
    EXPECT_EQ(clampedStep(1000, 0, 0, 60), 0);
}

// Notification codes: lines of 60, pages, thumb to the tracking position.
TEST(ScrollMathTest, NotificationCodesGiveSteps) {
    int32_t step = 0;
    ASSERT_TRUE(stepForCode(SB_LINEUP, 400, 100, 0, &step));
    EXPECT_EQ(step, -60);
    ASSERT_TRUE(stepForCode(SB_LINEDOWN, 400, 100, 0, &step));
    EXPECT_EQ(step, 60);
    ASSERT_TRUE(stepForCode(SB_PAGEUP, 400, 100, 0, &step));
    EXPECT_EQ(step, -400);
    ASSERT_TRUE(stepForCode(SB_PAGEDOWN, 400, 100, 0, &step));
    EXPECT_EQ(step, 400);
    ASSERT_TRUE(stepForCode(SB_THUMBTRACK, 400, 100, 250, &step));
    EXPECT_EQ(step, 150);
    ASSERT_TRUE(stepForCode(SB_THUMBPOSITION, 400, 100, 40, &step));
    EXPECT_EQ(step, -60);
    step = 7;
    EXPECT_FALSE(stepForCode(SB_ENDSCROLL, 400, 100, 0, &step));
    EXPECT_FALSE(stepForCode(SB_TOP, 400, 100, 0, &step));
    EXPECT_EQ(step, 7);
}

// The wheel: a notch of 120 is 3 wheel lines, one 60-pixel line; less than a
// notch and a zero delta still scroll a line; -1 lines means a page.
TEST(ScrollMathTest, WheelTurnsIntoLinesOrPages) {
    WheelAction up = wheelAction(120, 3);
    EXPECT_TRUE(up.backwards);
    EXPECT_FALSE(up.byPage);
    EXPECT_EQ(up.lines, 1);

    WheelAction down = wheelAction(-240, 3);
    EXPECT_FALSE(down.backwards);
    EXPECT_EQ(down.lines, 2);

    EXPECT_EQ(wheelAction(60, 3).lines, 1);
    EXPECT_TRUE(wheelAction(60, 3).backwards);
    EXPECT_EQ(wheelAction(0, 3).lines, 1);
    EXPECT_FALSE(wheelAction(0, 3).backwards);
    EXPECT_EQ(wheelAction(120, 0).lines, 1);  // setting unavailable
    EXPECT_EQ(wheelAction(120, 9).lines, 3);
    EXPECT_EQ(wheelAction(-32768, 6).lines, 546);  // 273 notches * 6 / 3

    WheelAction page = wheelAction(120, kWheelPageScroll);
    EXPECT_TRUE(page.byPage);
    EXPECT_TRUE(page.backwards);
    EXPECT_FALSE(wheelAction(-120, kWheelPageScroll).backwards);
}

// The layout rectangle grows to the content on the axes where it is larger.
TEST(ScrollMathTest, LayoutRectCoversLargerContent) {
    const RECT client{0, 0, 400, 300};
    RECT r = layoutRect(client, SIZE{1000, 200}, true, false, SIZE{17, 0});
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, 1000);
    EXPECT_EQ(r.bottom, 300);

    r = layoutRect(client, SIZE{1000, 900}, true, true, SIZE{17, 16});
    EXPECT_EQ(r.right, 1000 - 17);
    EXPECT_EQ(r.bottom, 900 - 16);

    r = layoutRect(client, SIZE{1000, 900}, false, false, SIZE{});
    EXPECT_EQ(r.right, 400);
    EXPECT_EQ(r.bottom, 300);
}
