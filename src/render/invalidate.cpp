// The repaint request every part of the program uses to wipe what it drew.
#include "geometry/geometry.h"
#include "render/render.h"
#include "sim/sim.h"

// The desktop paints its own background and icons over everything drawn
// inside the region, at once rather than at the next idle moment.
void InvalidateOnTarget(HRGN region) {
  if (region == 0) return;
  InvalidateRgn(DrawTarget, region, TRUE);
  UpdateWindow(DrawTarget);
  // What petals saved under the region is no longer what lies there.
  MarkPetalBackgroundsStaleUnder(region);
}
