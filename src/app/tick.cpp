// The animation tick: timer 1 runs it, once per period.
#include "app/app.h"
#include "geometry/geometry.h"
#include "render/render.h"
#include "settings/settings.h"
#include "sim/sim.h"

LONG tickCounter;
int drawForward = 1;

void ResetTickState() {
  tickCounter = 0;
  drawForward = 1;
}

void Tick() {
  TargetDC = GetDC(DrawTarget);
  RefreshWindowRegion();
  // Where no view of the desktop was found the target is the desktop window,
  // whose context draws over every window: clip it to the desktop the refresh
  // has just found uncovered, as a view's own context is clipped.
  ClipTargetToDesktop();
  // The branch is drawn over what the screen shows: any repaint asked for since
  // the last tick must be there first.
  AwaitDesktopRepaint();
  if (Settings.showBranch) {
    LONG d = Settings.tickInterval > 0 ? Settings.tickInterval : 1;
    LONG n = Settings.branchRedrawInterval / d;
    // A tick longer than the branch's period draws the branch on every tick.
    if (n <= 0 || tickCounter % n == 0) DrawBranch();
  }
  if (Settings.fallingPetals || skipDrawOnce == 1) PetalPass();
  drawForward = drawForward ? 0 : 1;
  // After 2^31 ticks the count goes on from the lowest value, as a 32-bit
  // register does; the cadence above keeps working with it.
  tickCounter = LONG(DWORD(tickCounter) + 1u);
  ReleaseDC(DrawTarget, TargetDC);
}

void PetalPass() {
  StepFlowers();
  ErasePetals();
  if (removedFlowers > 0) {
    for (int b = 0; b < BranchesInUse(); ++b) {
      long long end = (long long)Settings.flowersPerBranch + removedFlowers;
      for (long long j = Settings.flowersPerBranch; j < end && j < FLOWER_SLOTS; ++j) {
        if (j < 0) continue;
        Flower *flower = &branches[b].flowers[j];
        ReseedFlower(flower);
        flower->fallDelay = RandomBelow(FALL_DELAY_RANGE) + 1;
      }
    }
    removedFlowers = 0;
  }
  if (skipDrawOnce == 1) {
    skipDrawOnce = 0;
    return;
  }
  SavePetalBackgrounds();
  DrawPetals();
}

void RestartTick(LONG newPeriod, LONG oldPeriod) {
  if (newPeriod == oldPeriod) return;
  KillTimer(MainWindow, TIMER_TICK);
  SetTimer(MainWindow, TIMER_TICK, UINT(newPeriod), NULL);
}
