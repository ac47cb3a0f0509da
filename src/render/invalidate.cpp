// The repaint requests every part of the program uses to wipe what it drew.
#include "geometry/geometry.h"
#include "render/render.h"
#include "sim/sim.h"

// The desktop paints its own background and icons over everything drawn
// inside the region, at once rather than at the next idle moment.
void InvalidateOnTarget(HRGN region) {
  if (region == 0) return;
  InvalidateRgn(DrawTarget, region, TRUE);
  UpdateDrawTarget();
  // What petals saved under the region is no longer what lies there.
  MarkPetalBackgroundsStaleUnder(region);
}

// Every window on the screen repaints, the desktop with it: nothing the
// program drew is left, and no saved background may be copied back.
// UpdateWindow with no window does nothing on Windows; the erase that
// InvalidateRect sends to every window before it returns is what wipes.
void RepaintScreen() {
  InvalidateRect(0, 0, TRUE);
  UpdateWindow(0);
  // Drawn on the desktop window, the program's own erase of it needs its
  // owner (see UpdateDrawTarget).
  if (DrawTarget == GetDesktopWindow()) {
    InvalidateRect(DrawTarget, 0, TRUE);
    UpdateDrawTarget();
  }
  MarkPetalBackgroundsStale();
}
