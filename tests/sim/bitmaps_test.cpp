// The bitmap sets: which resources each flower type loads into the branch and
// the petals, the mixed set under Alt, and what a reload keeps.
#include <string.h>

#include "sim_test_support.h"

using simtest::AdvanceDrawnPetals;
using simtest::BitmapRect;
using simtest::kPetalHeight;
using simtest::kPetalWidth;
using simtest::SimTest;

namespace {

// Same size, depth and pixels.
bool SamePixels(HBITMAP a, HBITMAP b) {
  BITMAP ia = {}, ib = {};
  if (!GetObjectA(a, sizeof ia, &ia) || !GetObjectA(b, sizeof ib, &ib)) return false;
  if (ia.bmWidth != ib.bmWidth || ia.bmHeight != ib.bmHeight || ia.bmBitsPixel != ib.bmBitsPixel) return false;
  HDC da = CreateCompatibleDC(0);
  HDC db = CreateCompatibleDC(0);
  HGDIOBJ oldA = SelectObject(da, a);
  HGDIOBJ oldB = SelectObject(db, b);
  bool same = true;
  for (int y = 0; y < ia.bmHeight && same; y++)
    for (int x = 0; x < ia.bmWidth && same; x++) same = GetPixel(da, x, y) == GetPixel(db, x, y);
  SelectObject(da, oldA);
  SelectObject(db, oldB);
  DeleteDC(da);
  DeleteDC(db);
  return same;
}

// Whether `loaded` shows resource `id`. Only the pictures tell one type from
// another: every type's mask of an index is the same image, so a mask is
// checked for its index's shape, and the mask ids stand in the table test.
bool Shows(HBITMAP loaded, WORD id) {
  HBITMAP reference = LoadBitmapA(vd::ModuleInstance(), MAKEINTRESOURCEA(id));
  bool same = reference && SamePixels(loaded, reference);
  DeleteObject(reference);
  return same;
}

class BitmapsTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    TargetDC = GetDC(0);
  }
  void TearDown() override {
    ReleaseDC(0, TargetDC);
    TargetDC = 0;
    SimTest::TearDown();
  }

  // Every slot's petals show these pictures, each with its index's mask shape.
  void ExpectPetals(const WORD (&pictures)[5]) {
    for (int slot = 0; slot < FLOWER_SLOTS; slot++)
      for (int k = 0; k < PETALS_PER_FLOWER; k++) {
        const Petal &petal = branches[0].flowers[slot].petals[k];
        EXPECT_TRUE(Shows(petal.picture, pictures[k])) << "slot " << slot << " index " << k;
        EXPECT_TRUE(Shows(petal.mask, BitmapSets[0].petalMask[k])) << "slot " << slot << " index " << k;
      }
  }
  void ExpectBranch(WORD picture) {
    EXPECT_TRUE(Shows(branches[0].picture, picture));
    EXPECT_TRUE(Shows(branches[0].mask, BitmapSets[0].branchMask));
  }
};

// The table of resource ids, row by row: branch picture and mask, then each
// index's picture and mask.
TEST(BitmapTable, HoldsTheIdsOfEveryTypeAndOfTheMixedSet) {
  const WORD expected[FLOWER_TYPES][12] = {
      {195, 196, 184, 186, 187, 191, 188, 192, 189, 193, 243, 194},
      {178, 179, 201, 206, 202, 207, 203, 208, 204, 209, 205, 210},
      {211, 212, 213, 218, 214, 219, 215, 220, 216, 221, 217, 222},
      {182, 183, 233, 238, 234, 239, 235, 240, 237, 241, 190, 242},
      {197, 199, 223, 228, 224, 229, 225, 230, 226, 231, 227, 232},
      {198, 200, 247, 248, 245, 249, 244, 250, 246, 251, 236, 252},
      {262, 261, 263, 272, 264, 271, 265, 270, 266, 269, 267, 268},
  };
  for (int t = 0; t < FLOWER_TYPES; t++) {
    const BitmapSet &set = BitmapSets[t];
    EXPECT_EQ(set.branchPicture, expected[t][0]) << "type " << t + 1;
    EXPECT_EQ(set.branchMask, expected[t][1]) << "type " << t + 1;
    for (int k = 0; k < PETALS_PER_FLOWER; k++) {
      EXPECT_EQ(set.petalPicture[k], expected[t][2 + 2 * k]) << "type " << t + 1 << " index " << k;
      EXPECT_EQ(set.petalMask[k], expected[t][3 + 2 * k]) << "type " << t + 1 << " index " << k;
    }
  }
  const WORD mixedPictures[PETALS_PER_FLOWER] = {247, 202, 215, 237, 227};
  const WORD mixedMasks[PETALS_PER_FLOWER] = {248, 207, 220, 241, 232};
  for (int k = 0; k < PETALS_PER_FLOWER; k++) {
    EXPECT_EQ(MixedBitmapSet.petalPicture[k], mixedPictures[k]) << k;
    EXPECT_EQ(MixedBitmapSet.petalMask[k], mixedMasks[k]) << k;
  }
}

TEST_F(BitmapsTest, FirstLoadPreparesAllTenSlots) {
  Settings.flowersPerBranch = 1;
  int bitmaps = vd::LiveGdiObjects(OBJ_BITMAP);
  DWORD state = RandomState;
  LoadBitmapSets(0);
  DWORD after = RandomState;
  RandomState = state;
  for (int slot = 0; slot < FLOWER_SLOTS; slot++) {
    const Flower &flower = branches[0].flowers[slot];
    EXPECT_EQ(RandomBelow(150) + 1, flower.fallDelay) << slot;
    EXPECT_EQ(&branches[0], flower.branch);
    for (int k = 0; k < PETALS_PER_FLOWER; k++) {
      const Petal &petal = flower.petals[k];
      RandomBelow(2);
      RandomBelow(2);
      EXPECT_EQ(&flower, petal.flower);
      EXPECT_EQ(k, petal.index);
      EXPECT_EQ(1, petal.active);
      EXPECT_EQ(1, petal.fresh);
      EXPECT_EQ(1, petal.backgroundStale);
      RECT mask = BitmapRect(petal.mask);
      EXPECT_EQ(kPetalWidth[k], mask.right);
      EXPECT_EQ(kPetalHeight[k], mask.bottom);
      RECT background = BitmapRect(petal.background);
      EXPECT_EQ(mask.right, background.right);
      EXPECT_EQ(mask.bottom, background.bottom);
    }
  }
  EXPECT_EQ(after, RandomState);
  RECT picture = BitmapRect(branches[0].picture);
  EXPECT_EQ(334, picture.right);
  EXPECT_EQ(92, picture.bottom);
  EXPECT_EQ(bitmaps + 2 + 100 + 50, vd::LiveGdiObjects(OBJ_BITMAP));  // branch, petals, backgrounds
}

TEST_F(BitmapsTest, FlowerTypeFourUsesItsOwnPicturesForIndexThreeAndFour) {
  Settings.flowerType = 4;
  LoadBitmapSets(0);
  const Petal &three = branches[0].flowers[0].petals[3];
  const Petal &four = branches[0].flowers[6].petals[4];
  EXPECT_TRUE(Shows(four.picture, 190));
  EXPECT_TRUE(Shows(three.picture, 237));
  EXPECT_FALSE(Shows(four.picture, 243));  // type 1's index 4 looks different
  ExpectBranch(182);
  ExpectPetals({233, 234, 235, 237, 190});
}

TEST_F(BitmapsTest, EveryTypeLoadsThePicturesOfItsRow) {
  const WORD branch[FLOWER_TYPES] = {195, 178, 211, 182, 197, 198, 262};
  const WORD petals[FLOWER_TYPES][PETALS_PER_FLOWER] = {
      {184, 187, 188, 189, 243}, {201, 202, 203, 204, 205}, {213, 214, 215, 216, 217}, {233, 234, 235, 237, 190},
      {223, 224, 225, 226, 227}, {247, 245, 244, 246, 236}, {263, 264, 265, 266, 267}};
  for (LONG type = 1; type <= FLOWER_TYPES; type++) {
    SCOPED_TRACE("type " + std::to_string(type));
    ResetSimState();
    Settings.flowerType = type;
    LoadBitmapSets(0);
    ExpectBranch(branch[type - 1]);
    ExpectPetals(petals[type - 1]);
  }
}

TEST_F(BitmapsTest, TypesOutsideOneToSevenLoadTypeOne) {
  for (LONG type : {0, 8}) {
    ResetSimState();
    Settings.flowerType = type;
    LoadBitmapSets(0);
    ExpectBranch(195);
    ExpectPetals({184, 187, 188, 189, 243});
  }
}

TEST_F(BitmapsTest, TypeNinetyNineGivesMixedPetalsOnTypeOnesBranch) {
  Settings.flowerType = MIXED_FLOWER_TYPE;
  LoadBitmapSets(0);
  ExpectBranch(195);
  ExpectPetals({247, 202, 215, 237, 227});
}

TEST_F(BitmapsTest, LoadWithAltDownGivesMixedPetalsAndTheTypesOwnBranch) {
  Settings.flowerType = 2;
  vd::KeyDown(VK_MENU);
  LoadBitmapSets(0);
  vd::KeyUp(VK_MENU);
  ExpectBranch(178);
  ExpectPetals({247, 202, 215, 237, 227});
}

TEST_F(BitmapsTest, FlowerTypeChangeKeepsEveryPetalsStateAndSwapsOnlyPictures) {
  Settings.flowerType = 2;
  LoadBitmapSets(0);
  Settings.flowersPerBranch = FLOWER_SLOTS;
  SeedBranch(0);
  SetRect(&DesktopRect, 0, 0, 1024, 768);
  for (int tick = 0; tick < 40; tick++) {
    StepFlowers();
    AdvanceDrawnPetals();
  }
  Branch before;
  memcpy(&before, &branches[0], sizeof before);
  int bitmaps = vd::LiveGdiObjects(OBJ_BITMAP);
  DWORD state = RandomState;

  Settings.flowerType = 5;
  LoadBitmapSets(1);
  EXPECT_EQ(state, RandomState);
  EXPECT_EQ(bitmaps, vd::LiveGdiObjects(OBJ_BITMAP));  // each old bitmap deleted before its successor
  RECT picture = BitmapRect(branches[0].picture);
  EXPECT_EQ(334, picture.right);
  EXPECT_EQ(93, picture.bottom);
  ExpectBranch(197);
  ExpectPetals({223, 224, 225, 226, 227});

  // Everything but the pictures and masks is as it was.
  Branch after;
  memcpy(&after, &branches[0], sizeof after);
  after.picture = before.picture;
  after.mask = before.mask;
  for (int slot = 0; slot < FLOWER_SLOTS; slot++)
    for (int k = 0; k < PETALS_PER_FLOWER; k++) {
      after.flowers[slot].petals[k].picture = before.flowers[slot].petals[k].picture;
      after.flowers[slot].petals[k].mask = before.flowers[slot].petals[k].mask;
    }
  EXPECT_EQ(0, memcmp(&before, &after, sizeof before));
}

TEST_F(BitmapsTest, BitmapSizeOfAMissingBitmapBeepsTwiceAndLeavesTheRect) {
  vd::ClearRecords();
  RECT rect = {1, 2, 3, 4};
  GetBitmapSize(&rect, 0);
  EXPECT_EQ(2u, vd::Beeps().size());
  EXPECT_EQ(1, rect.left);
  EXPECT_EQ(4, rect.bottom);
  HBITMAP bitmap = CreateBitmap(7, 5, 1, 1, nullptr);
  GetBitmapSize(&rect, bitmap);
  EXPECT_EQ(2u, vd::Beeps().size());
  EXPECT_EQ(0, rect.left);
  EXPECT_EQ(0, rect.top);
  EXPECT_EQ(7, rect.right);
  EXPECT_EQ(5, rect.bottom);
  DeleteObject(bitmap);
}

}  // namespace
