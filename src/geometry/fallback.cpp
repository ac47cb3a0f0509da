// Drawing on the desktop window itself, when the shell has no desktop view.
#include "geometry/geometry.h"

// The desktop window's context draws over every window (so it is on Windows
// and under Wine, which has no "Program Manager"). There the tick clips it to
// the desktop outside the windows, as the views' own contexts are.
void ClipTargetToDesktop() {
  if (DrawTarget != GetDesktopWindow()) return;
  SetRectRgn(ScratchRegion, 0, 0, ScreenWidth, ScreenHeight);
  CombineRgn(ScratchRegion, ScratchRegion, WindowRegion, RGN_DIFF);
  SelectClipRgn(TargetDC, ScratchRegion);
}
