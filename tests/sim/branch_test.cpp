// The branch store: placing flowers on anchors, petals on their flowers, and
// the reactions to the flower count and to falling being switched.
#include <string.h>

#include <set>

#include "sim_test_support.h"

using simtest::FindRandomState;
using simtest::SimTest;

namespace {

class BranchTest : public SimTest {};

TEST_F(BranchTest, ReseedOnAnchorFivePlacesFlowerAndItsFivePetals) {
  LinkStore();
  branches[0].x = 100;
  branches[0].y = 0;
  Settings.maxSideSpeed = 2;
  Settings.fallSpeed = 4;
  ASSERT_NE(0u, FindRandomState([] {
              RandomBelow(2);
              RandomBelow(1);
              return RandomBelow(18) == 5;
            }));
  Flower *flower = &branches[0].flowers[3];
  flower->fallDelay = 77;
  ReseedFlower(flower);

  EXPECT_EQ(382, flower->x);
  EXPECT_EQ(22, flower->y);
  const LONG expected[PETALS_PER_FLOWER][2] = {{382, 28}, {391, 22}, {397, 28}, {395, 36}, {386, 36}};
  for (int k = 0; k < PETALS_PER_FLOWER; k++) {
    const Petal &petal = flower->petals[k];
    EXPECT_EQ(expected[k][0], petal.x) << k;
    EXPECT_EQ(expected[k][1], petal.y) << k;
    EXPECT_EQ(petal.x, petal.nextX);
    EXPECT_EQ(petal.y, petal.nextY);
    EXPECT_EQ(1, petal.active);
    EXPECT_EQ(1, petal.fresh);
    EXPECT_EQ(1, petal.backgroundStale);
    EXPECT_EQ(ERASE_NONE, petal.eraseMode);
    EXPECT_GE(petal.dx, 0);
    EXPECT_LE(petal.dx, 2);
    EXPECT_GE(petal.dy, 4);
    EXPECT_LE(petal.dy, 5);
  }
  EXPECT_EQ(5, flower->livePetals);
  EXPECT_EQ(77, flower->fallDelay);
}

TEST_F(BranchTest, ResetPetalClearsStateButKeepsLandedAndInLayer) {
  LinkStore();
  Petal *petal = &branches[0].flowers[0].petals[2];
  petal->hidden = 1;
  petal->nextTouchesWindows = 1;
  petal->eraseMode = ERASE_RESTORE;
  petal->backgroundStale = 0;
  petal->landed = 1;
  petal->inLayer = 1;
  ResetPetal(petal);
  EXPECT_EQ(0, petal->hidden);
  EXPECT_EQ(0, petal->nextTouchesWindows);
  EXPECT_EQ(ERASE_NONE, petal->eraseMode);
  EXPECT_EQ(1, petal->backgroundStale);
  EXPECT_EQ(1, petal->landed);
  EXPECT_EQ(1, petal->inLayer);
}

struct SpeedCase {
  LONG maxSideSpeed;
  LONG fallSpeed;
  std::set<LONG> dxSeen;
  std::set<LONG> dySeen;
};

TEST_F(BranchTest, ResetSpeedsStayInTheirRanges) {
  SpeedCase cases[] = {
      {0, 3, {0, 1}, {3, 4}},
      {2, 4, {0, 1, 2}, {4, 5}},
      {0, 4, {0, 1}, {4, 5}},
      {2, 3, {0, 1, 2}, {3, 4}},
  };
  LinkStore();
  for (const SpeedCase &c : cases) {
    Settings.maxSideSpeed = c.maxSideSpeed;
    Settings.fallSpeed = c.fallSpeed;
    std::set<LONG> dx, dy;
    for (int round = 0; round < 200; round++) {
      Flower *flower = &branches[0].flowers[round % FLOWER_SLOTS];
      ReseedFlower(flower);
      EXPECT_GE(baseDx, 0);
      EXPECT_LT(baseDx, c.maxSideSpeed > 0 ? c.maxSideSpeed : 1);
      EXPECT_EQ(c.fallSpeed, baseDy);  // a quarter of 3 or 4 truncates to 0 or 1
      for (const Petal &petal : flower->petals) {
        dx.insert(petal.dx);
        dy.insert(petal.dy);
      }
    }
    EXPECT_EQ(c.dxSeen, dx) << "maxSideSpeed " << c.maxSideSpeed;
    EXPECT_EQ(c.dySeen, dy) << "fallSpeed " << c.fallSpeed;
  }
}

TEST_F(BranchTest, SeedBranchWithKeepFlowersMovesOnlyTheBranch) {
  SeedAll(10);
  EXPECT_EQ(100, branches[0].x);
  EXPECT_EQ(0, branches[0].y);
  for (const Flower &flower : branches[0].flowers) {
    EXPECT_EQ(5, flower.livePetals);
    EXPECT_GE(flower.x, 100 + 3);
    EXPECT_LE(flower.x, 100 + 286);
  }
  Flower before = branches[0].flowers[4];
  DWORD state = RandomState;
  Settings.branchX = 400;
  SeedBranch(1);
  EXPECT_EQ(400, branches[0].x);
  EXPECT_EQ(state, RandomState);
  EXPECT_EQ(before.x, branches[0].flowers[4].x);
  EXPECT_EQ(before.petals[1].x, branches[0].flowers[4].petals[1].x);
  // The flower takes the new branch place when next reseeded.
  ReseedFlower(&branches[0].flowers[4]);
  EXPECT_GE(branches[0].flowers[4].x, 400 + 3);
}

TEST_F(BranchTest, SeedBranchReseedsOnlyTheSlotsInUse) {
  SeedAll(10);
  Flower untouched = branches[0].flowers[2];
  Settings.flowersPerBranch = 2;
  SeedBranch(0);
  EXPECT_EQ(untouched.x, branches[0].flowers[2].x);
  EXPECT_EQ(untouched.petals[0].dx, branches[0].flowers[2].petals[0].dx);
}

TEST_F(BranchTest, LoweringFlowerCountFromTenToOneMarksNineRemoved) {
  SeedAll(1);
  DWORD state = RandomState;
  OnFlowerCountChanged(10, 1);
  EXPECT_EQ(9, removedFlowers);
  EXPECT_EQ(state, RandomState);
  OnFlowerCountChanged(5, 3);
  EXPECT_EQ(2, removedFlowers);  // replaces, does not add
  // More than the ten slots is all of them; no difference overflows.
  OnFlowerCountChanged(2147483647, -2147483647 - 1);
  EXPECT_EQ(FLOWER_SLOTS, removedFlowers);
}

TEST_F(BranchTest, RaisingFlowerCountGivesEachNewSlotADelay) {
  SeedAll(10);
  for (Flower &flower : branches[0].flowers) flower.fallDelay = 0;
  DWORD state = RandomState;
  OnFlowerCountChanged(1, 10);
  RandomState = state;
  EXPECT_EQ(0, branches[0].flowers[0].fallDelay);
  for (int slot = 1; slot < FLOWER_SLOTS; slot++) {
    LONG expected = RandomBelow(150) + 1;
    EXPECT_EQ(expected, branches[0].flowers[slot].fallDelay) << slot;
    EXPECT_GE(expected, 1);
    EXPECT_LE(expected, 150);
  }
}

TEST_F(BranchTest, RaisingFlowerCountByOneDelaysExactlyTheNewSlot) {
  SeedAll(10);
  for (Flower &flower : branches[0].flowers) flower.fallDelay = 0;
  OnFlowerCountChanged(4, 5);
  for (int slot = 0; slot < FLOWER_SLOTS; slot++)
    EXPECT_EQ(slot == 4, branches[0].flowers[slot].fallDelay > 0) << slot;
}

TEST_F(BranchTest, UnchangedFlowerCountChangesNothing) {
  SeedAll(10);
  Branch before;
  memcpy(&before, &branches[0], sizeof before);
  DWORD state = RandomState;
  OnFlowerCountChanged(6, 6);
  EXPECT_EQ(state, RandomState);
  EXPECT_EQ(0, removedFlowers);
  EXPECT_EQ(0, memcmp(&before, &branches[0], sizeof before));
}

TEST_F(BranchTest, ForcedFlowerCountReactionStaysInsideTheSlots) {
  // A forced apply passes -1 as the old count; a damaged count may exceed ten.
  SeedAll(10);
  for (Flower &flower : branches[0].flowers) flower.fallDelay = 0;
  OnFlowerCountChanged(-1, 3);
  for (int slot = 0; slot < FLOWER_SLOTS; slot++) EXPECT_EQ(slot < 3, branches[0].flowers[slot].fallDelay > 0) << slot;
  OnFlowerCountChanged(8, 40);
  for (int slot = 8; slot < FLOWER_SLOTS; slot++) EXPECT_GT(branches[0].flowers[slot].fallDelay, 0);
}

TEST_F(BranchTest, SwitchingFallingOffSkipsOneDrawAndNothingElse) {
  SeedAll(3);
  Branch before;
  memcpy(&before, &branches[0], sizeof before);
  DWORD state = RandomState;
  OnFallingToggled(0, 1);
  EXPECT_EQ(1, skipDrawOnce);
  EXPECT_EQ(state, RandomState);
  EXPECT_EQ(0, memcmp(&before, &branches[0], sizeof before));
  skipDrawOnce = 0;
  OnFallingToggled(0, -1);  // a forced apply's old value counts as on
  EXPECT_EQ(1, skipDrawOnce);
}

TEST_F(BranchTest, SwitchingFallingOnResetsActivePetalsAndKeepsTheLastDelay) {
  SeedAll(3);
  Flower *flower = &branches[0].flowers[1];
  for (Petal &petal : flower->petals) {
    petal.x += 300;
    petal.y += 300;
    petal.fresh = 0;
  }
  flower->petals[1].active = 0;
  flower->petals[3].active = 0;
  flower->livePetals = 3;
  Flower *retired = &branches[0].flowers[0];
  for (Petal &petal : retired->petals) petal.active = 0;
  retired->livePetals = 0;
  retired->fallDelay = 9;
  Petal retiredPetal = flower->petals[1];

  // Replay the draws: slot 0 has no active petal; slot 1 draws two speeds and
  // one delay for each of its petals 0, 2 and 4.
  DWORD state = RandomState;
  OnFallingToggled(1, 0);
  RandomState = state;
  LONG lastDelay = 0;
  for (int petal = 0; petal < 3; petal++) {
    RandomBelow(2);
    RandomBelow(2);
    lastDelay = RandomBelow(150) + 1;
  }
  EXPECT_EQ(lastDelay, flower->fallDelay);
  EXPECT_EQ(9, retired->fallDelay);
  EXPECT_EQ(0, skipDrawOnce);

  for (int k : {0, 2, 4}) {
    EXPECT_EQ(1, flower->petals[k].fresh);
    EXPECT_EQ(flower->x + PetalStartOffset[k][0], flower->petals[k].x);
    EXPECT_EQ(flower->y + PetalStartOffset[k][1], flower->petals[k].y);
  }
  EXPECT_EQ(0, flower->petals[1].active);
  EXPECT_EQ(retiredPetal.x, flower->petals[1].x);
  EXPECT_EQ(0, flower->petals[1].fresh);
  EXPECT_EQ(3, flower->livePetals);
}

TEST_F(BranchTest, FallingToggleWithoutAChangeDoesNothing) {
  SeedAll(3);
  Branch before;
  memcpy(&before, &branches[0], sizeof before);
  DWORD state = RandomState;
  OnFallingToggled(1, 1);
  OnFallingToggled(0, 0);
  OnFallingToggled(1, -1);
  EXPECT_EQ(state, RandomState);
  EXPECT_EQ(0, skipDrawOnce);
  EXPECT_EQ(0, memcmp(&before, &branches[0], sizeof before));
}

TEST_F(BranchTest, ResetSimStateRestoresAFreshStore) {
  SeedAll(10);
  removedFlowers = 3;
  skipDrawOnce = 1;
  windPhase = Blowing;
  windStrength = 12;
  windDirection = -1;
  ResetSimState();
  static const Branch fresh = {};
  EXPECT_EQ(0, memcmp(&fresh, &branches[0], sizeof fresh));
  EXPECT_EQ(0, baseDx);
  EXPECT_EQ(0, baseDy);
  EXPECT_EQ(0, removedFlowers);
  EXPECT_EQ(0, skipDrawOnce);
  EXPECT_EQ(Calm, windPhase);
  EXPECT_EQ(0, windStrength);
  EXPECT_EQ(0, windDirection);
}

TEST_F(BranchTest, WalksNeverPassTheOneBranch) {
  Settings.branchCount = 5;
  EXPECT_EQ(1, BranchesInUse());
  Settings.branchCount = -2;
  EXPECT_EQ(0, BranchesInUse());
  SeedAll(10);
  EXPECT_EQ(0, branches[0].flowers[0].livePetals);  // no branch walked, nothing seeded
  Settings.flowersPerBranch = 25;
  EXPECT_EQ(FLOWER_SLOTS, FlowersInUse());
  Settings.flowersPerBranch = -4;
  EXPECT_EQ(0, FlowersInUse());
}

}  // namespace
