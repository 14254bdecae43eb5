// Anchoring and placement arithmetic, without windows.
#include <windows.h>

#include <gtest/gtest.h>

#include "dialogs/LayoutFlags.h"
#include "dialogs/LayoutMath.h"

namespace {

PlacementRequest request(RECT reference, RECT target, uint32_t place, uint32_t align) {
    PlacementRequest q;
    q.reference = reference;
    q.target = target;
    q.place = place;
    q.align = align;
    return q;
}

bool same(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

TEST(LayoutMathTest, RightEdgeKeepsMarginAndKeepWidthMovesInstead) {
    RECT stretched{20, 10, 70, 30};
    EXPECT_TRUE(layout::anchorEdges(RF_RIGHT, 10, -1, 300, 200, stretched));
    EXPECT_TRUE(same(stretched, RECT{20, 10, 290, 30}));
    RECT moved{20, 10, 70, 30};
    EXPECT_TRUE(layout::anchorEdges(RF_RIGHT | RF_KEEPWIDTH, 10, -1, 300, 200, moved));
    EXPECT_TRUE(same(moved, RECT{240, 10, 290, 30}));
}

TEST(LayoutMathTest, BottomEdgeWithKeepHeightMovesAndUnchangedReportsFalse) {
    RECT rect{0, 20, 10, 50};
    EXPECT_TRUE(layout::anchorEdges(RF_BOTTOM | RF_KEEPHEIGHT, -1, 5, 0, 100, rect));
    EXPECT_TRUE(same(rect, RECT{0, 65, 10, 95}));
    EXPECT_FALSE(layout::anchorEdges(RF_BOTTOM | RF_KEEPHEIGHT, -1, 5, 0, 100, rect));
    // Default margins of -1 put the edge one pixel beyond the reference.
    RECT both{0, 0, 10, 10};
    EXPECT_TRUE(layout::anchorEdges(RF_RIGHT | RF_BOTTOM, -1, -1, 50, 40, both));
    EXPECT_TRUE(same(both, RECT{0, 0, 51, 41}));
}

TEST(LayoutMathTest, SidesOfTheReference) {
    const RECT r{100, 100, 200, 150};
    const RECT t{0, 0, 40, 20};
    PlacementRequest below = request(r, t, PL_BELOW, AL_LEFT);
    below.gapX = 0;
    below.gapY = 5;
    Placement p = layout::computePlacement(below);
    EXPECT_EQ(p.x, 100);
    EXPECT_EQ(p.y, 155);
    EXPECT_TRUE(p.move);

    p = layout::computePlacement(request(r, t, PL_ABOVE, AL_RIGHT));
    EXPECT_EQ(p.x, 160);
    EXPECT_EQ(p.y, 80);

    PlacementRequest left = request(r, t, PL_LEFT, AL_TOP);
    left.gapX = 3;
    left.gapY = 2;
    p = layout::computePlacement(left);
    EXPECT_EQ(p.x, 100 - 40 - 3);
    EXPECT_EQ(p.y, 102);

    p = layout::computePlacement(request(r, t, PL_RIGHT, AL_BOTTOM));
    EXPECT_EQ(p.x, 200);
    EXPECT_EQ(p.y, 130);

    // Without alignment the target keeps its own other coordinate.
    p = layout::computePlacement(request(r, RECT{7, 9, 47, 29}, PL_RIGHT, 0));
    EXPECT_EQ(p.y, 9);
}

TEST(LayoutMathTest, CentringRoundsOddDifferencesTowardsMinusInfinity) {
    PlacementRequest q =
        request(RECT{0, 0, 101, 51}, RECT{0, 0, 50, 20}, PL_CENTERV | PL_CENTERH, AL_INSIDE);
    q.referenceIsOwner = true;
    Placement p = layout::computePlacement(q);
    EXPECT_EQ(p.x, 25);  // 51 / 2
    EXPECT_EQ(p.y, 15);  // 31 / 2
    // A target larger than the owner: -51 >> 1 is -26, not -25.
    q.target = RECT{0, 0, 101, 20};
    q.reference = RECT{0, 0, 50, 20};
    EXPECT_EQ(layout::computePlacement(q).x, -26);
    // Centring applies only when the reference is the owner.
    q.referenceIsOwner = false;
    EXPECT_EQ(layout::computePlacement(q).x, 0);
    // Centring on a reference side.
    p = layout::computePlacement(
        request(RECT{10, 10, 111, 30}, RECT{0, 0, 50, 8}, PL_BELOW, AL_CENTERH));
    EXPECT_EQ(p.x, 10 + 25);
}

TEST(LayoutMathTest, InsidePlacementAndItsZeroGapFallback) {
    PlacementRequest q =
        request(RECT{0, 0, 300, 200}, RECT{0, 0, 40, 20}, PL_BELOW, AL_RIGHT | AL_INSIDE);
    q.gapX = 4;
    q.gapY = 6;
    Placement p = layout::computePlacement(q);
    EXPECT_EQ(p.y, 200 - 20 - 6);
    EXPECT_EQ(p.x, 300 - 40 - 4);
    // Height + gap of 0: the inside gap would be 0 and falls back to the gap.
    q.target = RECT{0, 0, 40, 0};
    q.gapY = 0;
    EXPECT_EQ(layout::computePlacement(q).y, 200);
}

TEST(LayoutMathTest, LimitsRefuseAndHorizontalVerdictReplacesVertical) {
    PlacementRequest q = request(RECT{0, 40, 100, 60}, RECT{0, 0, 30, 21}, PL_ABOVE, AL_LEFT);
    q.limitBottom = 20;
    Placement p = layout::computePlacement(q);
    EXPECT_EQ(p.y, 19);
    EXPECT_TRUE(p.refused);
    EXPECT_FALSE(p.move);
    q.target = RECT{0, 0, 30, 20};
    EXPECT_FALSE(layout::computePlacement(q).refused);

    PlacementRequest below = request(RECT{0, 0, 100, 60}, RECT{0, 0, 30, 20}, PL_BELOW, 0);
    below.limitBottom = 79;
    EXPECT_TRUE(layout::computePlacement(below).refused);
    below.limitBottom = 80;
    EXPECT_FALSE(layout::computePlacement(below).refused);

    // A vertical refusal is replaced by the horizontal verdict.
    PlacementRequest corner =
        request(RECT{0, 40, 100, 60}, RECT{0, 0, 30, 30}, PL_ABOVE | PL_RIGHT, 0);
    corner.limitBottom = 20;
    corner.limitRight = 1000;
    EXPECT_FALSE(layout::computePlacement(corner).refused);
    corner.limitRight = 129;
    EXPECT_TRUE(layout::computePlacement(corner).refused);

    // No limits against the owner or when growing it.
    q.target = RECT{0, 0, 30, 21};
    q.referenceIsOwner = true;
    EXPECT_FALSE(layout::computePlacement(q).refused);
    q.referenceIsOwner = false;
    q.place |= PL_GROWOWNER;
    EXPECT_FALSE(layout::computePlacement(q).refused);
}

TEST(LayoutMathTest, GapsScaleWithScreenResolution) {
    PlacementRequest q =
        request(RECT{0, 0, 100, 50}, RECT{0, 0, 10, 10}, PL_BELOW | PL_SCALEDPI, AL_LEFT);
    q.gapX = 10;
    q.gapY = 4;
    q.dpiX = 144;
    q.dpiY = 192;
    Placement p = layout::computePlacement(q);
    EXPECT_EQ(p.x, 15);
    EXPECT_EQ(p.y, 58);
    // A reference without height has no vertical gap.
    q.reference = RECT{0, 0, 100, 0};
    EXPECT_EQ(layout::computePlacement(q).y, 0);
}

TEST(LayoutMathTest, AnchorInsideReferenceSizesTheTarget) {
    // Sitting over a window's client area: insets 8, 31, 8, 8.
    PlacementRequest q = request(RECT{100, 100, 500, 400}, RECT{0, 0, 50, 50}, PL_ABOVE | PL_ANCHOR,
                                 AL_LEFT | AL_INSIDE);
    q.gapX = 8;
    q.gapY = 31;
    q.limitRight = 8;
    q.limitBottom = 8;
    q.targetFlags = RF_RIGHT | RF_BOTTOM;
    q.anchorRight = 500;
    q.anchorBottom = 400;
    Placement p = layout::computePlacement(q);
    EXPECT_FALSE(p.refused);
    EXPECT_TRUE(p.resized);
    EXPECT_EQ(p.x, 108);
    EXPECT_EQ(p.y, 131);
    EXPECT_EQ(p.width, 500 - 8 - 108);
    EXPECT_EQ(p.height, 400 - 8 - 131);
    // Already there: nothing to move.
    q.target = RECT{108, 131, 492, 392};
    p = layout::computePlacement(q);
    EXPECT_FALSE(p.resized);
    EXPECT_FALSE(p.move);
}
