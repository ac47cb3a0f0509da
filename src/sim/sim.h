// Blossom simulation: the branch, flower and petal store; petal motion and landing; the wind.
#ifndef MIVORA_SIM_H
#define MIVORA_SIM_H

#include "win32.h"

#define MAX_BRANCHES 1
#define FLOWER_SLOTS 10
#define PETALS_PER_FLOWER 5
#define FLOWER_ANCHORS 18
#define FALL_DELAY_RANGE 150

// Positions and speeds are kept within this far of the origin, beyond any
// screen and well inside the range of region coordinates: a stored setting or
// a long gust can ask for more, and no sum of them may overflow.
#define POSITION_LIMIT (1 << 24)

#define ERASE_NONE 0
#define ERASE_INVALIDATE 1
#define ERASE_RESTORE 2

struct Flower;
struct Branch;

struct Petal {
  LONG x;
  LONG y;
  LONG eraseMode;
  LONG dx;
  LONG dy;
  LONG index;
  LONG hidden;
  LONG landed;
  LONG inLayer;
  LONG backgroundStale;
  LONG fresh;
  HBITMAP picture;
  HBITMAP mask;
  HBITMAP background;
  Flower *flower;
  LONG active;
  LONG nextX;
  LONG nextY;
  LONG nextTouchesWindows;
};

struct Flower {
  LONG x;
  LONG y;
  LONG livePetals;
  Petal petals[PETALS_PER_FLOWER];
  LONG fallDelay;
  Branch *branch;
};

struct Branch {
  LONG x;
  LONG y;
  HBITMAP picture;
  HBITMAP mask;
  Flower flowers[FLOWER_SLOTS];
};

extern Branch branches[MAX_BRANCHES];
extern const LONG FlowerAnchorX[FLOWER_ANCHORS];
extern const LONG FlowerAnchorY[FLOWER_ANCHORS];
extern const LONG PetalStartOffset[PETALS_PER_FLOWER][2];
extern LONG baseDx;
extern LONG baseDy;
extern LONG removedFlowers;
extern int skipDrawOnce;

// The walks' bounds: branchCount and flowersPerBranch kept within the store.
int BranchesInUse();
int FlowersInUse();
// A position or speed worked out in a wider type, brought within POSITION_LIMIT.
LONG BoundedPosition(long long value);

void ResetPetal(Petal *petal);
void ResetPetals(Flower *flower);
void ReseedFlower(Flower *flower);
void ReseedFlowers(Branch *branch);
void SeedBranch(int keepFlowers);
void PrepareFlowerSlots(Branch *branch, int reload);
void PrepareFlower(Flower *flower, int reload);
void OnFlowerCountChanged(LONG before, LONG now);
void OnFallingToggled(LONG now, LONG before);
// Saved backgrounds that a repaint of the desktop may have made stale: every
// one, or those whose place lies under the repainted region.
void MarkPetalBackgroundsStale();
void MarkPetalBackgroundsStaleUnder(HRGN region);

// Petal motion and landing.
void StepFlowers();
void StepPetal(Petal *petal);

// The wind cycle.
enum WindPhase { Calm = 0, Rising = 1, Blowing = 2, Ending = 3 };
extern LONG windPhase;
extern LONG windStrength;
extern LONG windDirection;
void OnWindTimer(HWND window, UINT_PTR id);
void RescheduleWind();
void KillWindTimers();

void ResetSimState();

#endif
