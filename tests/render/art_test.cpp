// Every picture and mask of the flower types, read back through the program's
// own loading: sizes, depths, the mask convention, and the colours' shares.
#include <gtest/gtest.h>

#include <vector>

#include "render/render.h"
#include "vdesktop.h"

namespace {

struct Pixels {
  int width = 0, height = 0, bits = 0;
  std::vector<COLORREF> rgb;
  COLORREF at(int x, int y) const { return rgb[size_t(y) * width + x]; }
};

Pixels Read(WORD id) {
  Pixels p;
  HBITMAP bmp = LoadBitmapA(vd::ModuleInstance(), MAKEINTRESOURCEA(id));
  EXPECT_NE(bmp, nullptr) << id;
  if (!bmp) return p;
  BITMAP info{};
  GetObjectA(bmp, sizeof info, &info);
  p.width = info.bmWidth;
  p.height = info.bmHeight;
  p.bits = info.bmBitsPixel;
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bmp);
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) p.rgb.push_back(GetPixel(dc, x, y));
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(bmp);
  return p;
}

constexpr COLORREF kWhite = RGB(255, 255, 255);

// Each type's petal fill and its share of the petal shapes, in percent.
struct Fill {
  COLORREF color;
  double share;
};
const Fill kFills[FLOWER_TYPES] = {{RGB(255, 204, 204), 66}, {RGB(255, 204, 204), 57}, {RGB(255, 255, 255), 64},
                                   {RGB(204, 0, 102), 64},   {RGB(255, 255, 153), 64}, {RGB(153, 204, 255), 64},
                                   {RGB(255, 255, 255), 61}};
const int kPetalSize[PETALS_PER_FLOWER][2] = {{13, 10}, {10, 13}, {12, 10}, {9, 10}, {10, 10}};

// Pixels of `picture` outside the mask's shape that are not white.
int StrayOutside(const Pixels &mask, const Pixels &picture) {
  int stray = 0;
  for (int y = 0; y < mask.height; ++y)
    for (int x = 0; x < mask.width; ++x) stray += mask.at(x, y) != kWhite && picture.at(x, y) != kWhite;
  return stray;
}

TEST(Art, PetalsHaveTheirSizesDepthsSharedMasksAndFillShares) {
  vd::Reset();
  for (int k = 0; k < PETALS_PER_FLOWER; ++k) {
    Pixels firstMask = Read(BitmapSets[0].petalMask[k]);
    for (int t = 0; t < FLOWER_TYPES; ++t) {
      SCOPED_TRACE("type " + std::to_string(t + 1) + ", index " + std::to_string(k));
      Pixels mask = Read(BitmapSets[t].petalMask[k]);
      Pixels picture = Read(BitmapSets[t].petalPicture[k]);
      EXPECT_EQ(mask.width, kPetalSize[k][0]);
      EXPECT_EQ(mask.height, kPetalSize[k][1]);
      EXPECT_EQ(picture.width, mask.width);
      EXPECT_EQ(picture.height, mask.height);
      EXPECT_EQ(mask.bits, 1);
      EXPECT_GT(picture.bits, 1);
      EXPECT_EQ(mask.rgb, firstMask.rgb);  // one shape for every type
      EXPECT_LE(StrayOutside(mask, picture), 2);
      int inside = 0, fill = 0;
      for (size_t i = 0; i < mask.rgb.size(); ++i) {
        if (mask.rgb[i] != kWhite) continue;
        ++inside;
        fill += picture.rgb[i] == kFills[t].color;
      }
      ASSERT_GT(inside, mask.width * mask.height / 3);
      EXPECT_NEAR(100.0 * fill / inside, kFills[t].share, 4.0);
    }
  }
}

TEST(Art, BranchesShareOneMaskAndShowBarkOfAboutANinth) {
  vd::Reset();
  Pixels firstMask = Read(BitmapSets[0].branchMask);
  for (int t = 0; t < FLOWER_TYPES; ++t) {
    SCOPED_TRACE("type " + std::to_string(t + 1));
    Pixels mask = Read(BitmapSets[t].branchMask);
    Pixels picture = Read(BitmapSets[t].branchPicture);
    EXPECT_EQ(mask.width, 334);
    EXPECT_EQ(mask.height, 92);
    EXPECT_EQ(picture.width, 334);
    EXPECT_EQ(picture.height, t == 4 ? 93 : 92);
    EXPECT_EQ(mask.rgb, firstMask.rgb);
    if (t == 4)
      for (int x = 0; x < 334; ++x) ASSERT_EQ(picture.at(x, 92), kWhite) << x;
    EXPECT_LE(StrayOutside(mask, picture), 4);
    int inside = 0, bark = 0, fill = 0;
    for (int y = 0; y < 92; ++y)
      for (int x = 0; x < 334; ++x) {
        if (mask.at(x, y) != kWhite) continue;
        ++inside;
        bark += picture.at(x, y) == RGB(0, 0, 0);
        fill += picture.at(x, y) == kFills[t].color;
      }
    EXPECT_NEAR(100.0 * bark / inside, 100.0 / 9, 3.0);
    EXPECT_GT(fill, inside / 4);  // blossoms in the type's own colours
  }
}

}  // namespace
