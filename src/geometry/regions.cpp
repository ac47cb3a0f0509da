// The window, landing and layer regions, the screen size, and the per-tick
// refresh that cuts and repaints piles where the windows changed.
#include <string.h>

#include "geometry/geometry.h"
#include "render/render.h"
#include "settings/settings.h"

LONG ScreenWidth = 0;
LONG ScreenHeight = 0;

HRGN WindowRegion = 0;
HRGN PreviousWindowRegion = 0;
HRGN LandingRegion = 0;
HRGN LayerRegion = 0;
HRGN WindowTopsRegion = 0;
HRGN WindowChangeRegion = 0;
HRGN LandingChangeRegion = 0;
HRGN ScratchRegion = 0;
HRGN SpriteRegion = 0;

void ResetGeometryState() {
  DrawTarget = 0;
  TargetDC = 0;
  HtmlDesktop = 0;
  DesktopRect.left = 0;
  DesktopRect.top = 0;
  DesktopRect.right = 0;
  DesktopRect.bottom = 0;
  ListViewSeen = 0;
  ScreenWidth = 0;
  ScreenHeight = 0;
  AnsweringFlip = 0;
  WindowRegion = 0;
  PreviousWindowRegion = 0;
  LandingRegion = 0;
  LayerRegion = 0;
  WindowTopsRegion = 0;
  WindowChangeRegion = 0;
  LandingChangeRegion = 0;
  ScratchRegion = 0;
  SpriteRegion = 0;
  DesktopRepaintPending = 0;
}

LONG BoundedThickness(LONG thickness) {
  if (thickness > THICKNESS_LIMIT) return THICKNESS_LIMIT;
  if (thickness < -THICKNESS_LIMIT) return -THICKNESS_LIMIT;
  return thickness;
}

// The desktop-window step of a pass: re-check the view under the desktop's
// top-level window and answer a flip of the HTML view.
static void DesktopWindowStep(HWND desktop) {
  int wasHtml;
  ReleaseDC(DrawTarget, TargetDC);
  wasHtml = HtmlDesktop;
  // The view may have moved out of "Program Manager" into a worker window.
  if (!FindDesktopView(desktop)) FindWorkerView();
  TargetDC = GetDC(DrawTarget);
  if (HtmlDesktop != wasHtml) {
    MessageBeep(0);
    AnswerHtmlFlip();
  }
}

struct WindowPass {
  HWND viewHost;     // the top-level window that holds DrawTarget
  HWND stoppedAt;    // where the desktop-window step ran, 0 when it did not
};

static BOOL CALLBACK AddVisibleWindow(HWND window, LPARAM lParam) {
  WindowPass *pass = (WindowPass *)lParam;
  RECT rect;
  char name[CLASS_BUFFER];
  char title[REGION_TITLE_BUFFER];
  if (!IsWindowVisible(window)) return TRUE;
  if (!GetWindowRect(window, &rect)) return TRUE;
  if (!Settings.bottomLayer) {
    name[0] = 0;
    GetClassNameA(window, name, CLASS_BUFFER);
    if (strcmp(name, TASKBAR_CLASS) == 0) {
      // Still a window to keep petals off where the program clips its drawing itself.
      NoteOmittedWindow(&rect);
      return TRUE;
    }
  }
  SetRectRgn(ScratchRegion, rect.left, rect.top, rect.right, rect.bottom);
  if (ScratchRegion == 0) {
    MessageBeep(0);
    MessageBeep(0);
  }
  title[0] = 0;
  GetWindowTextA(window, title, REGION_TITLE_BUFFER);
  // The desktop's top-level window: "Program Manager", or the worker window
  // that holds the view once the shell has moved it there.
  if (strcmp(title, DESKTOP_TITLE) != 0 && window != pass->viewHost) {
    CombineRgn(WindowRegion, WindowRegion, ScratchRegion, RGN_OR);
    return TRUE;
  }
  DesktopWindowStep(window);
  pass->stoppedAt = window;
  return FALSE;
}

void BuildWindowRegion() {
  WindowPass pass;
  int round;
  int passes;
  int p;
  if (WindowRegion == 0) {
    MessageBeep(0);
    MessageBeep(0);
    MessageBeep(0);
  }
  // A view that moved into a worker window above the one the pass stopped at
  // sends the pass round once more, to stop there.
  for (round = 0; round < 2; round++) {
    SetRectRgn(WindowRegion, 0, 0, 0, 0);
    ForgetOmittedWindows();
    pass.viewHost = GetAncestor(DrawTarget, GA_ROOT);
    pass.stoppedAt = 0;
    // Already on the screen's desktop window, a second pass would meet the
    // same windows again (and cost a round of window queries every tick).
    passes = DrawTarget == GetDesktopWindow() ? 1 : SEARCH_PASSES;
    for (p = 0; p < passes && !pass.stoppedAt; p++) {
      EnumWindows(AddVisibleWindow, (LPARAM)&pass);
    }
    if (!pass.stoppedAt || GetAncestor(DrawTarget, GA_ROOT) == pass.stoppedAt) break;
  }
  // No visible desktop window of the shell: every visible window is above the
  // screen's own desktop window, which becomes the target. HtmlDesktop keeps
  // the last view state seen, so this is never taken for a flip.
  if (!pass.stoppedAt && DrawTarget != GetDesktopWindow()) {
    ReleaseDC(DrawTarget, TargetDC);
    DrawTarget = GetDesktopWindow();
    TargetDC = GetDC(DrawTarget);
  }
  GetWindowRect(DrawTarget, &DesktopRect);
  SetRectRgn(ScratchRegion, 0, 0, ScreenWidth, ScreenHeight);
  CombineRgn(WindowRegion, WindowRegion, ScratchRegion, RGN_AND);
}

void RebuildGeometry() {
  FindDrawTarget();
  ScreenWidth = GetDeviceCaps(TargetDC, HORZRES);
  ScreenHeight = GetDeviceCaps(TargetDC, VERTRES);
  BuildWindowRegion();
  RebuildLandingRegion();
  RebuildLayerRegion();
  CombineRgn(PreviousWindowRegion, WindowRegion, 0, RGN_COPY);
}

// The last step of both landing operations.
static void BottomStripStep() {
  LONG bottom = DesktopRect.bottom;
  if (Settings.bottomLayer) {
    SetRectRgn(ScratchRegion, 0, bottom, DesktopRect.right, bottom + LANDING_DEPTH);
    CombineRgn(LandingRegion, LandingRegion, ScratchRegion, RGN_OR);
  } else {
    SetRectRgn(ScratchRegion, 0, bottom, DesktopRect.right, ScreenHeight + LANDING_DEPTH);
    CombineRgn(LandingRegion, LandingRegion, ScratchRegion, RGN_DIFF);
  }
}

// The top LANDING_DEPTH rows under every exposed top edge of WindowRegion.
static void BuildCrust(HRGN crust) {
  CombineRgn(crust, WindowRegion, 0, RGN_COPY);
  OffsetRgn(crust, 0, LANDING_DEPTH);
  CombineRgn(crust, WindowRegion, crust, RGN_DIFF);
}

void RebuildLandingRegion() {
  SetRectRgn(LandingRegion, 0, 0, 0, 0);
  if (Settings.windowLayers) BuildCrust(LandingRegion);
  BottomStripStep();
}

void UpdateLandingRegion() {
  SetRectRgn(WindowTopsRegion, 0, 0, 0, 0);
  if (Settings.windowLayers) {
    BuildCrust(WindowTopsRegion);
    CombineRgn(LandingRegion, LandingRegion, WindowRegion, RGN_DIFF);
    CombineRgn(LandingRegion, LandingRegion, WindowTopsRegion, RGN_OR);
  }
  BottomStripStep();
}

void RebuildLayerRegion() {
  LONG bottom = DesktopRect.bottom;
  LONG windowThickness = BoundedThickness(Settings.windowLayerThickness);
  LONG bottomThickness = BoundedThickness(Settings.bottomLayerThickness);
  SetRectRgn(LayerRegion, 0, 0, 0, 0);
  if (Settings.windowLayers) {
    CombineRgn(LayerRegion, WindowRegion, 0, RGN_COPY);
    OffsetRgn(LayerRegion, 0, -windowThickness);
  }
  if (Settings.bottomLayer) {
    if (windowThickness > bottomThickness) {
      SetRectRgn(ScratchRegion, 0, bottom - windowThickness, DesktopRect.right, bottom);
      CombineRgn(LayerRegion, LayerRegion, ScratchRegion, RGN_DIFF);
    }
    SetRectRgn(ScratchRegion, 0, bottom - bottomThickness, DesktopRect.right, bottom + LANDING_DEPTH);
    CombineRgn(LayerRegion, LayerRegion, ScratchRegion, RGN_OR);
  }
  CombineRgn(LayerRegion, LayerRegion, WindowRegion, RGN_DIFF);
}

void RefreshWindowRegion() {
  RECT box;
  BuildWindowRegion();
  if (CombineRgn(WindowChangeRegion, PreviousWindowRegion, WindowRegion, RGN_XOR) == NULLREGION) return;
  RepaintWindowChange();
  CombineRgn(PreviousWindowRegion, WindowRegion, 0, RGN_COPY);
  // The landing surfaces as they were before this tick.
  if (CombineRgn(LandingChangeRegion, WindowChangeRegion, LandingRegion, RGN_AND) != NULLREGION) {
    GetRgnBox(LandingChangeRegion, &box);
    // Wide enough for every petal resting on or just above the changed surface.
    box.left -= SIDE_REACH;
    box.right += SIDE_REACH;
    box.top -= SPRITE_REACH + BoundedThickness(Settings.windowLayerThickness);
    box.bottom += LANDING_DEPTH;
    SetRectRgn(ScratchRegion, box.left, box.top, box.right, box.bottom);
    CombineRgn(LandingRegion, LandingRegion, ScratchRegion, RGN_DIFF);
    InvalidateOnTarget(ScratchRegion);
    OffsetRgn(ScratchRegion, 0, -SPRITE_REACH);
    InvalidateOnTarget(ScratchRegion);
  }
  UpdateLandingRegion();
  RebuildLayerRegion();
}
