#include <gtest/gtest.h>

#include "dialogs/GridCursor.h"
#include "dialogs/GridMath.h"

using namespace gridMath;

namespace {

std::optional<SIZE> view(LONG cx, LONG cy) {
    return SIZE{cx, cy};
}

}  // namespace

// Rows derive from the views per row, or views per row from the rows; an
// incomplete last row is not among the complete views; no division by 0.
TEST(GridMathTest, ShapeFromRowsOrColumns) {
    GridShape s = gridShape(-1, 1, 3);
    EXPECT_EQ(s.rows, 3);
    EXPECT_EQ(s.perRow, 1);

    s = gridShape(-1, 2, 5);
    EXPECT_EQ(s.rows, 2);
    EXPECT_EQ(s.completeViews(), 4);

    s = gridShape(2, 1, 5);
    EXPECT_EQ(s.perRow, 2);
    EXPECT_EQ(s.completeViews(), 4);

    s = gridShape(3, 1, 2);  // fewer views than rows
    EXPECT_EQ(s.perRow, 0);
    EXPECT_EQ(s.stride(), 1);
    EXPECT_EQ(s.completeViews(), 0);

    s = gridShape(-1, 0, 4);  // no columns
    EXPECT_EQ(s.completeViews(), 0);
    s = gridShape(0, 1, 4);  // no rows
    EXPECT_EQ(s.completeViews(), 0);
}

TEST(GridMathTest, PositionsOfViews) {
    const GridShape s = gridShape(-1, 3, 7);
    EXPECT_EQ(gridPosition(4, s).x, 1);
    EXPECT_EQ(gridPosition(4, s).y, 1);
    EXPECT_EQ(gridPosition(6, s).x, 2);  // the trailing view
    EXPECT_EQ(gridPosition(6, s).y, 0);
    EXPECT_EQ(gridPosition(-1, s).x, -1);
    EXPECT_EQ(gridPosition(-1, s).y, -1);
    EXPECT_EQ(gridPosition(1, gridShape(3, 1, 2)).x, 1);  // stride 1 when per row is 0
}

// Three views of heights 100, 50, 80 in one column: widest view by 230.
TEST(GridMathTest, SingleColumnSizeSumsHeights) {
    const std::vector<std::optional<SIZE>> views{view(200, 100), view(250, 50), view(120, 80)};
    const SIZE need = gridSize(views, gridShape(-1, 1, 3), RECT{}, nullptr);
    EXPECT_EQ(need.cx, 250);
    EXPECT_EQ(need.cy, 230);
}

// Hidden views add nothing; the grid margins are added once; the tracks hold
// every row's width and every column's height with the margins.
TEST(GridMathTest, SizeWithMarginsHiddenViewsAndTracks) {
    const std::vector<std::optional<SIZE>> views{view(100, 40), view(50, 60), std::nullopt,
                                                 view(30, 10)};
    GridTracks tracks;
    const RECT margins{1, 2, 3, 4};
    const SIZE need = gridSize(views, gridShape(-1, 2, 4), margins, &tracks);
    EXPECT_EQ(need.cx, 150 + 4);
    EXPECT_EQ(need.cy, 60 + 10 + 6);
    ASSERT_EQ(tracks.rowWidths.size(), 2u);
    EXPECT_EQ(tracks.rowWidths[0], 154);
    EXPECT_EQ(tracks.rowWidths[1], 34);
    ASSERT_EQ(tracks.columnHeights.size(), 2u);
    EXPECT_EQ(tracks.columnHeights[0], 6 + 40);
    EXPECT_EQ(tracks.columnHeights[1], 6 + 60 + 6 + 10);
}

// The trailing view of an incomplete row is not measured, cannot stretch,
// and no track is read for it.
TEST(GridMathTest, IncompleteLastRowIsNotMeasuredNorStretched) {
    const std::vector<std::optional<SIZE>> views{view(100, 40), view(50, 60), view(500, 500)};
    const GridShape s = gridShape(-1, 2, 3);
    GridTracks tracks;
    const SIZE need = gridSize(views, s, RECT{}, &tracks);
    EXPECT_EQ(need.cx, 150);
    EXPECT_EQ(need.cy, 60);
    EXPECT_FALSE(canStretch(2, s));
    EXPECT_FALSE(stretchedSize(2, SIZE{500, 500}, SIZE{400, 400}, s, tracks).has_value());
    EXPECT_TRUE(canStretch(1, s));
    // A column whose views were all hidden has no track: no stretch either.
    GridTracks none;
    EXPECT_FALSE(stretchedSize(0, SIZE{10, 10}, SIZE{400, 400}, s, none).has_value());
}

// The stretch case: heights 100 and 50 in a 400-high client, second view
// stretches to 300 and to the client width; excess is given up, never below 0.
TEST(GridMathTest, StretchTakesSpareSpaceOfRowAndColumn) {
    const std::vector<std::optional<SIZE>> views{view(200, 100), view(120, 50)};
    const GridShape s = gridShape(-1, 1, 2);
    GridTracks tracks;
    gridSize(views, s, RECT{}, &tracks);
    std::optional<SIZE> stretched = stretchedSize(1, SIZE{120, 50}, SIZE{380, 400}, s, tracks);
    ASSERT_TRUE(stretched);
    EXPECT_EQ(stretched->cx, 380);
    EXPECT_EQ(stretched->cy, 300);

    stretched = stretchedSize(1, SIZE{120, 50}, SIZE{50, 60}, s, tracks);
    ASSERT_TRUE(stretched);
    EXPECT_EQ(stretched->cx, 50);  // 120 + 50 - 120: gives up the row's excess
    EXPECT_EQ(stretched->cy, 0);   // 50 + 60 - 150 < 0
}

// addView: a new window goes to the end of the complete rows; the last view
// again changes nothing; the first of three moves to the end.
TEST(GridMathTest, InsertionAtEndOfCompleteRows) {
    const GridShape column = gridShape(-1, 1, 3);
    Insertion in = insertionFor(-1, 3, column);
    EXPECT_TRUE(in.changes);
    EXPECT_EQ(in.index, 3);

    EXPECT_FALSE(insertionFor(2, 3, column).changes);

    in = insertionFor(0, 3, column);
    EXPECT_TRUE(in.changes);
    EXPECT_EQ(in.index, 2);  // the end of the list without its old entry

    // Two per row, three views: a new one goes before the trailing view.
    const GridShape pairs = gridShape(-1, 2, 3);
    in = insertionFor(-1, 3, pairs);
    EXPECT_EQ(in.index, 2);
    EXPECT_FALSE(insertionFor(1, 3, pairs).changes);  // just before the end of the rows
    EXPECT_FALSE(insertionFor(2, 3, pairs).changes);  // at it

    EXPECT_EQ(insertionFor(-1, 0, gridShape(-1, 1, 0)).index, 0);
}

// Placement walks rows with the view margins; hidden views are skipped by the
// caller and so take no place.
TEST(GridCursorTest, PlacesRowsWithMargins) {
    GridCursor cursor(RECT{5, 7, 0, 0}, 2);
    const RECT none{};
    const RECT m{1, 2, 3, 4};
    POINT p = cursor.next(m);
    EXPECT_EQ(p.x, 6);
    EXPECT_EQ(p.y, 9);
    cursor.advance(SIZE{100, 20}, m);  // takes 1 + 100 + 3 across, 2 + 20 + 4 down
    p = cursor.next(none);
    EXPECT_EQ(p.x, 5 + 104);
    EXPECT_EQ(p.y, 7);
    cursor.advance(SIZE{10, 50}, none);
    p = cursor.next(none);  // second row: below the tallest of the first
    EXPECT_EQ(p.x, 5);
    EXPECT_EQ(p.y, 7 + 50);
}

TEST(GridCursorTest, SingleColumnStacksViews) {
    GridCursor cursor(RECT{}, 1);
    const RECT none{};
    cursor.advance(SIZE{10, 100}, none);
    EXPECT_EQ(cursor.next(none).y, 100);
    cursor.advance(SIZE{10, 50}, none);
    EXPECT_EQ(cursor.next(none).y, 150);
    GridCursor zero(RECT{}, 0);  // no views per row: one per row
    zero.advance(SIZE{10, 30}, none);
    EXPECT_EQ(zero.next(none).y, 30);
}
