// Regions as Win32 defines them: exact pixel sets, rectangles exclusive of
// their right and bottom edges, the five combine modes and their result types.
#include <gtest/gtest.h>

#include <functional>

#include "vdesktop.h"
#include "windows.h"

namespace {

class GdiRegion : public ::testing::Test {
 protected:
  void SetUp() override { vd::Reset(); }
};

// Every pixel of the 0..20 square agrees with `inside`.
::testing::AssertionResult HasPixels(HRGN rgn, const std::function<bool(int, int)> &inside) {
  for (int y = -1; y < 21; ++y)
    for (int x = -1; x < 21; ++x)
      if ((PtInRegion(rgn, x, y) != 0) != inside(x, y))
        return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is "
                                             << (inside(x, y) ? "missing" : "extra");
  return ::testing::AssertionSuccess();
}

bool InRect(int x, int y, int l, int t, int r, int b) { return x >= l && x < r && y >= t && y < b; }

TEST_F(GdiRegion, RectangleExcludesItsRightAndBottomEdges) {
  HRGN r = CreateRectRgn(2, 3, 6, 8);
  EXPECT_TRUE(PtInRegion(r, 2, 3));
  EXPECT_TRUE(PtInRegion(r, 5, 7));
  EXPECT_FALSE(PtInRegion(r, 6, 5));  // right edge
  EXPECT_FALSE(PtInRegion(r, 4, 8));  // bottom edge
  EXPECT_FALSE(PtInRegion(r, 1, 3));
  EXPECT_TRUE(HasPixels(r, [](int x, int y) { return InRect(x, y, 2, 3, 6, 8); }));
  DeleteObject(r);
}

TEST_F(GdiRegion, ReversedCoordinatesAreSwapped) {
  HRGN r = CreateRectRgn(10, 10, 0, 0);
  RECT box;
  EXPECT_EQ(GetRgnBox(r, &box), SIMPLEREGION);
  EXPECT_EQ(box.left, 0);
  EXPECT_EQ(box.top, 0);
  EXPECT_EQ(box.right, 10);
  EXPECT_EQ(box.bottom, 10);
  EXPECT_TRUE(SetRectRgn(r, 5, 1, 3, 4));
  EXPECT_TRUE(HasPixels(r, [](int x, int y) { return InRect(x, y, 3, 1, 5, 4); }));
  RECT indirect{8, 9, 4, 2};
  HRGN i = CreateRectRgnIndirect(&indirect);
  EXPECT_TRUE(HasPixels(i, [](int x, int y) { return InRect(x, y, 4, 2, 8, 9); }));
  DeleteObject(r);
  DeleteObject(i);
}

TEST_F(GdiRegion, EmptyRegionHasNullTypeAndZeroBox) {
  HRGN r = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(r, nullptr);
  RECT box{1, 2, 3, 4};
  EXPECT_EQ(GetRgnBox(r, &box), NULLREGION);
  EXPECT_EQ(box.left, 0);
  EXPECT_EQ(box.top, 0);
  EXPECT_EQ(box.right, 0);
  EXPECT_EQ(box.bottom, 0);
  // A rectangle with no width or no height is empty too.
  HRGN flat = CreateRectRgn(5, 5, 9, 5);
  EXPECT_EQ(GetRgnBox(flat, &box), NULLREGION);
  EXPECT_TRUE(EqualRgn(r, flat));
  SetRectRgn(flat, 1, 1, 4, 4);
  EXPECT_EQ(GetRgnBox(flat, &box), SIMPLEREGION);
  SetRectRgn(flat, 0, 0, 0, 0);
  EXPECT_EQ(GetRgnBox(flat, &box), NULLREGION);
  DeleteObject(r);
  DeleteObject(flat);
}

// Two overlapping squares: a = (0,0)-(10,10), b = (5,5)-(15,15).
class GdiCombine : public GdiRegion {
 protected:
  void SetUp() override {
    GdiRegion::SetUp();
    a = CreateRectRgn(0, 0, 10, 10);
    b = CreateRectRgn(5, 5, 15, 15);
    d = CreateRectRgn(0, 0, 0, 0);
  }
  void TearDown() override {
    DeleteObject(a);
    DeleteObject(b);
    DeleteObject(d);
  }
  static bool InA(int x, int y) { return InRect(x, y, 0, 0, 10, 10); }
  static bool InB(int x, int y) { return InRect(x, y, 5, 5, 15, 15); }
  HRGN a, b, d;
};

TEST_F(GdiCombine, AndOfOverlappingRectsIsTheirCommonSquare) {
  EXPECT_EQ(CombineRgn(d, a, b, RGN_AND), SIMPLEREGION);
  EXPECT_TRUE(HasPixels(d, [](int x, int y) { return InRect(x, y, 5, 5, 10, 10); }));
}

TEST_F(GdiCombine, OrOfOverlappingRectsIsComplex) {
  EXPECT_EQ(CombineRgn(d, a, b, RGN_OR), COMPLEXREGION);
  EXPECT_TRUE(HasPixels(d, [](int x, int y) { return InA(x, y) || InB(x, y); }));
  RECT box;
  GetRgnBox(d, &box);
  EXPECT_EQ(box.left, 0);
  EXPECT_EQ(box.top, 0);
  EXPECT_EQ(box.right, 15);
  EXPECT_EQ(box.bottom, 15);
}

TEST_F(GdiCombine, XorOfOverlappingRectsLeavesTheTwoLShapesAndIsComplex) {
  EXPECT_EQ(CombineRgn(d, a, b, RGN_XOR), COMPLEXREGION);
  EXPECT_TRUE(HasPixels(d, [](int x, int y) { return InA(x, y) != InB(x, y); }));
  EXPECT_FALSE(PtInRegion(d, 7, 7));  // the shared square is gone
  EXPECT_TRUE(PtInRegion(d, 2, 2));
  EXPECT_TRUE(PtInRegion(d, 12, 12));
}

TEST_F(GdiCombine, DiffRemovesTheSecondFromTheFirst) {
  EXPECT_EQ(CombineRgn(d, a, b, RGN_DIFF), COMPLEXREGION);
  EXPECT_TRUE(HasPixels(d, [](int x, int y) { return InA(x, y) && !InB(x, y); }));
  // A difference that leaves one rectangle is simple: (0,0)-(10,10) minus its right half.
  HRGN half = CreateRectRgn(5, -5, 20, 20);
  EXPECT_EQ(CombineRgn(d, a, half, RGN_DIFF), SIMPLEREGION);
  EXPECT_TRUE(HasPixels(d, [](int x, int y) { return InRect(x, y, 0, 0, 5, 10); }));
  DeleteObject(half);
}

TEST_F(GdiCombine, CopyIgnoresTheSecondSource) {
  EXPECT_EQ(CombineRgn(d, b, nullptr, RGN_COPY), SIMPLEREGION);
  EXPECT_TRUE(HasPixels(d, InB));
  EXPECT_TRUE(EqualRgn(d, b));
}

TEST_F(GdiCombine, DestinationMayBeEitherSource) {
  EXPECT_EQ(CombineRgn(a, a, b, RGN_XOR), COMPLEXREGION);
  EXPECT_TRUE(HasPixels(a, [](int x, int y) { return InRect(x, y, 0, 0, 10, 10) != InB(x, y); }));
  HRGN c = CreateRectRgn(0, 0, 10, 10);
  EXPECT_EQ(CombineRgn(b, c, b, RGN_DIFF), COMPLEXREGION);
  EXPECT_TRUE(HasPixels(b, [](int x, int y) { return InRect(x, y, 0, 0, 10, 10) && !InRect(x, y, 5, 5, 15, 15); }));
  EXPECT_EQ(CombineRgn(c, c, c, RGN_AND), SIMPLEREGION);
  EXPECT_TRUE(HasPixels(c, [](int x, int y) { return InRect(x, y, 0, 0, 10, 10); }));
  DeleteObject(c);
}

TEST_F(GdiCombine, EmptyResultsAreNullRegion) {
  HRGN far = CreateRectRgn(30, 30, 40, 40);
  EXPECT_EQ(CombineRgn(d, a, far, RGN_AND), NULLREGION);
  EXPECT_EQ(CombineRgn(d, a, a, RGN_DIFF), NULLREGION);
  EXPECT_EQ(CombineRgn(d, b, b, RGN_XOR), NULLREGION);
  RECT box{7, 7, 7, 7};
  EXPECT_EQ(GetRgnBox(d, &box), NULLREGION);
  EXPECT_EQ(box.right, 0);
  HRGN empty = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(CombineRgn(d, empty, empty, RGN_OR), NULLREGION);
  EXPECT_EQ(CombineRgn(d, a, empty, RGN_OR), SIMPLEREGION);
  DeleteObject(far);
  DeleteObject(empty);
}

TEST_F(GdiCombine, BadHandlesAndModesGiveError) {
  HRGN dead = CreateRectRgn(0, 0, 1, 1);
  DeleteObject(dead);
  EXPECT_EQ(CombineRgn(d, a, dead, RGN_OR), ERROR);
  EXPECT_EQ(CombineRgn(d, dead, a, RGN_OR), ERROR);
  EXPECT_EQ(CombineRgn(dead, a, b, RGN_OR), ERROR);
  EXPECT_EQ(CombineRgn(d, a, nullptr, RGN_AND), ERROR);
  EXPECT_EQ(CombineRgn(d, a, b, 0), ERROR);
  EXPECT_EQ(CombineRgn(d, a, b, 6), ERROR);
  EXPECT_EQ(OffsetRgn(dead, 1, 1), ERROR);
  RECT box{};
  EXPECT_EQ(GetRgnBox(dead, &box), ERROR);
  EXPECT_FALSE(PtInRegion(dead, 0, 0));
  EXPECT_FALSE(RectInRegion(dead, &box));
  EXPECT_FALSE(SetRectRgn(dead, 0, 0, 1, 1));
  EXPECT_FALSE(EqualRgn(a, dead));
  EXPECT_FALSE(DeleteObject(dead));
  // A handle of another kind is not a region either.
  HRGN brush = reinterpret_cast<HRGN>(CreateSolidBrush(RGB(1, 2, 3)));
  EXPECT_EQ(CombineRgn(d, brush, a, RGN_OR), ERROR);
  EXPECT_FALSE(PtInRegion(brush, 0, 0));
  DeleteObject(brush);
}

// Region coordinates run from -2^27 to 2^27 - 1. A rectangle or an offset
// reaching beyond is refused alike, and the region stays as it was.
TEST_F(GdiRegion, CoordinatesBeyondTwoToThe27AreRefusedBySetRectRgnAndOffsetRgnAlike) {
  const int kMax = (1 << 27) - 1, kMin = -(1 << 27);
  HRGN r = CreateRectRgn(kMin, kMin, kMax, kMax);
  ASSERT_NE(r, nullptr);  // the universal set itself
  EXPECT_EQ(CreateRectRgn(0, 0, kMax + 1, 10), nullptr);
  EXPECT_EQ(CreateRectRgn(kMin - 1, 0, 10, 10), nullptr);
  EXPECT_TRUE(SetRectRgn(r, 10, 10, 110, 110));
  EXPECT_FALSE(SetRectRgn(r, 0, 0, kMax + 1, 10));
  EXPECT_FALSE(SetRectRgn(r, 0, 0, 10, 2147483647));
  EXPECT_FALSE(SetRectRgn(r, -2147483647 - 1, 0, 10, 10));
  RECT box{};
  EXPECT_EQ(GetRgnBox(r, &box), SIMPLEREGION);
  EXPECT_EQ(box.left, 10);
  EXPECT_EQ(box.right, 110);
  // (10, 10, 110, 110): the right edge may reach 2^27 - 1, not 2^27.
  EXPECT_EQ(OffsetRgn(r, 0x8000000 - 110, 10), ERROR);
  EXPECT_EQ(GetRgnBox(r, &box), SIMPLEREGION);
  EXPECT_EQ(box.left, 10);
  EXPECT_EQ(OffsetRgn(r, 0x8000000 - 111, 10), SIMPLEREGION);
  EXPECT_EQ(GetRgnBox(r, &box), SIMPLEREGION);
  EXPECT_EQ(box.right, kMax);
  // The left edge may reach -2^27, not beyond.
  SetRectRgn(r, -10, 10, 90, 110);
  EXPECT_EQ(OffsetRgn(r, -(0x8000000 - 9), 10), ERROR);
  EXPECT_EQ(OffsetRgn(r, -(0x8000000 - 10), 10), SIMPLEREGION);
  // A complex region refused keeps every part.
  HRGN part = CreateRectRgn(1000, 20, 1010, 30);
  SetRectRgn(r, 0, 0, 10, 10);
  CombineRgn(r, r, part, RGN_OR);
  EXPECT_EQ(OffsetRgn(r, 0x8000000 - 100, 10), ERROR);
  EXPECT_EQ(CombineRgn(r, r, part, RGN_XOR), SIMPLEREGION);
  // An empty region moves nowhere, however far.
  HRGN empty = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(OffsetRgn(empty, -2147483647 + 10, 10), NULLREGION);
  EXPECT_EQ(OffsetRgn(empty, 0xF000000, 0xF000000), NULLREGION);
  DeleteObject(r);
  DeleteObject(part);
  DeleteObject(empty);
}

TEST_F(GdiRegion, OffsetMovesEveryPixelExactly) {
  HRGN a = CreateRectRgn(0, 0, 10, 10);
  HRGN b = CreateRectRgn(5, 5, 15, 15);
  CombineRgn(a, a, b, RGN_OR);
  EXPECT_EQ(OffsetRgn(a, 3, -4), COMPLEXREGION);
  EXPECT_TRUE(HasPixels(a, [](int x, int y) { return InRect(x, y, 3, -4, 13, 6) || InRect(x, y, 8, 1, 18, 11); }));
  HRGN empty = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(OffsetRgn(empty, 100, 100), NULLREGION);
  RECT box{1, 1, 1, 1};
  EXPECT_EQ(GetRgnBox(empty, &box), NULLREGION);
  EXPECT_EQ(box.left, 0);
  DeleteObject(a);
  DeleteObject(b);
  DeleteObject(empty);
}

TEST_F(GdiRegion, RectInRegionNeedsOneSharedPixel) {
  HRGN r = CreateRectRgn(10, 10, 20, 20);
  RECT touchingRight{20, 10, 30, 20};  // starts on the region's right edge: no pixel shared
  RECT overlapCorner{19, 19, 25, 25};
  RECT reversed{25, 25, 19, 19};
  RECT inside{12, 12, 13, 13};
  RECT empty{15, 15, 15, 18};
  EXPECT_FALSE(RectInRegion(r, &touchingRight));
  EXPECT_TRUE(RectInRegion(r, &overlapCorner));
  EXPECT_TRUE(RectInRegion(r, &reversed));
  EXPECT_TRUE(RectInRegion(r, &inside));
  EXPECT_FALSE(RectInRegion(r, &empty));
  // The hole of an L-shape holds no pixel of it.
  HRGN cut = CreateRectRgn(15, 15, 20, 20);
  CombineRgn(r, r, cut, RGN_DIFF);
  RECT hole{16, 16, 19, 19};
  EXPECT_FALSE(RectInRegion(r, &hole));
  DeleteObject(r);
  DeleteObject(cut);
}

TEST_F(GdiRegion, EqualRgnComparesPixelSets) {
  HRGN one = CreateRectRgn(0, 0, 10, 5);
  HRGN top = CreateRectRgn(0, 0, 10, 2);
  HRGN bottom = CreateRectRgn(0, 2, 10, 5);
  HRGN two = CreateRectRgn(0, 0, 0, 0);
  CombineRgn(two, top, bottom, RGN_OR);
  EXPECT_TRUE(EqualRgn(one, two));
  EXPECT_FALSE(EqualRgn(one, top));
  // Regions emptied in different places are equal.
  OffsetRgn(top, 50, 50);
  CombineRgn(top, top, top, RGN_DIFF);
  HRGN empty = CreateRectRgn(0, 0, 0, 0);
  EXPECT_TRUE(EqualRgn(top, empty));
  for (HRGN r : {one, top, bottom, two, empty}) DeleteObject(r);
}

TEST_F(GdiRegion, LiveCountFollowsCreateAndDelete) {
  int before = vd::LiveGdiObjects(8);  // OBJ_REGION
  int all = vd::LiveGdiObjects();
  HRGN a = CreateRectRgn(0, 0, 1, 1);
  HRGN b = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(vd::LiveGdiObjects(8), before + 2);
  EXPECT_EQ(vd::LiveGdiObjects(), all + 2);
  EXPECT_TRUE(DeleteObject(a));
  EXPECT_TRUE(DeleteObject(b));
  EXPECT_EQ(vd::LiveGdiObjects(8), before);
  EXPECT_EQ(vd::LiveGdiObjects(), all);
}

TEST_F(GdiRegion, ResetDropsEveryRegion) {
  HRGN r = CreateRectRgn(0, 0, 5, 5);
  vd::Reset();
  EXPECT_FALSE(PtInRegion(r, 1, 1));
  EXPECT_EQ(vd::LiveGdiObjects(8), 0);
}

}  // namespace
