// Reshaping the landing and layer regions when a layer setting changes, and
// wiping the piles the new setting no longer allows.
#include "geometry/geometry.h"
#include "render/render.h"
#include "settings/settings.h"

#define LOST_BAND_SHIFT 52  // from SIDE_REACH left of the band to SIDE_REACH right of it

static int SwitchedOff(LONG now, LONG old) { return now == 0 && old != 0; }
static int SwitchedOn(LONG now, LONG old) { return now != 0 && old == 0; }

void ApplyWindowLayerToggle(LONG now, LONG old) {
  if (SwitchedOff(now, old)) {
    RebuildLayerRegion();
    CombineRgn(LandingRegion, LayerRegion, LandingRegion, RGN_AND);
    UpdateLandingRegion();
    SetRectRgn(ScratchRegion, DesktopRect.left, DesktopRect.top, DesktopRect.right, DesktopRect.bottom);
    CombineRgn(ScratchRegion, ScratchRegion, LayerRegion, RGN_DIFF);
    CombineRgn(ScratchRegion, ScratchRegion, WindowRegion, RGN_DIFF);
    InvalidateOnTarget(ScratchRegion);
  } else if (SwitchedOn(now, old)) {
    UpdateLandingRegion();
    RebuildLayerRegion();
  }
}

void ApplyBottomLayerToggle(LONG now, LONG old) {
  LONG bottom = DesktopRect.bottom;
  if (SwitchedOff(now, old)) {
    SetRectRgn(ScratchRegion, 0, bottom - BoundedThickness(Settings.bottomLayerThickness), DesktopRect.right,
               bottom + SPRITE_REACH);
    CombineRgn(ScratchRegion, ScratchRegion, WindowRegion, RGN_DIFF);
    InvalidateOnTarget(ScratchRegion);
    CombineRgn(LandingRegion, LandingRegion, ScratchRegion, RGN_DIFF);
    UpdateLandingRegion();
    RebuildLayerRegion();
  } else if (SwitchedOn(now, old)) {
    UpdateLandingRegion();
    RebuildLayerRegion();
  }
}

void ApplyLayerThicknessChange(LONG now, LONG old) {
  HRGN OldLayerRegion;
  HRGN LostBandRegion;
  // Wide enough that no difference of two LONGs overflows.
  long long shrink = (long long)old - (long long)now;
  int rounds;
  int round;
  if (shrink == 0) return;
  if (shrink < 0) {
    UpdateLandingRegion();
    RebuildLayerRegion();
    return;
  }
  OldLayerRegion = CreateRectRgn(0, 0, 0, 0);
  LostBandRegion = CreateRectRgn(0, 0, 0, 0);
  CombineRgn(OldLayerRegion, LayerRegion, 0, RGN_COPY);
  UpdateLandingRegion();
  RebuildLayerRegion();
  CombineRgn(LandingRegion, LandingRegion, LayerRegion, RGN_AND);
  UpdateLandingRegion();
  CombineRgn(LostBandRegion, OldLayerRegion, LayerRegion, RGN_DIFF);
  CombineRgn(ScratchRegion, LostBandRegion, 0, RGN_COPY);
  OffsetRgn(ScratchRegion, -SIDE_REACH, 0);
  CombineRgn(LostBandRegion, LostBandRegion, ScratchRegion, RGN_OR);
  OffsetRgn(ScratchRegion, LOST_BAND_SHIFT, 0);
  CombineRgn(LostBandRegion, LostBandRegion, ScratchRegion, RGN_OR);
  CombineRgn(ScratchRegion, LostBandRegion, 0, RGN_COPY);
  // Smear upward over the petals that stood on the lost band: no step is taller
  // than the band itself, so the smeared region has no gaps.
  if (shrink >= SPRITE_REACH) {
    OffsetRgn(ScratchRegion, 0, -SPRITE_REACH);
    CombineRgn(LostBandRegion, LostBandRegion, ScratchRegion, RGN_OR);
  } else {
    rounds = SPRITE_REACH / (int)shrink + 1;
    for (round = 0; round < rounds; round++) {
      OffsetRgn(ScratchRegion, 0, -(int)shrink);
      CombineRgn(LostBandRegion, LostBandRegion, ScratchRegion, RGN_OR);
    }
  }
  InvalidateOnTarget(LostBandRegion);
  DeleteObject(OldLayerRegion);
  DeleteObject(LostBandRegion);
}
