// Drawing on the desktop window itself, when the shell shows no view of the
// desktop (Wine has no "Program Manager"): the clip the program keeps itself,
// and repaints that reach the screen there.
#include "geometry/geometry.h"
#include "render/render.h"

// Windows that WindowRegion leaves out (the taskbar while bottomLayer is off),
// seen by the last pass of BuildWindowRegion.
static RECT OmittedWindows[OMITTED_WINDOW_SLOTS];
static int OmittedWindowCount = 0;

void ForgetOmittedWindows() { OmittedWindowCount = 0; }

void NoteOmittedWindow(const RECT *rect) {
  if (OmittedWindowCount < OMITTED_WINDOW_SLOTS) {
    OmittedWindows[OmittedWindowCount++] = *rect;
    return;
  }
  // More than the slots hold: the last one grows to cover them all, which
  // keeps petals off every one of them.
  RECT *last = &OmittedWindows[OMITTED_WINDOW_SLOTS - 1];
  if (rect->left < last->left) last->left = rect->left;
  if (rect->top < last->top) last->top = rect->top;
  if (rect->right > last->right) last->right = rect->right;
  if (rect->bottom > last->bottom) last->bottom = rect->bottom;
}

// The desktop window's context draws over every window (so it is on Windows
// and under Wine). There the tick clips it to the desktop outside every visible
// window, as the views' own contexts are: WindowRegion and the windows it
// leaves out.
void ClipTargetToDesktop() {
  if (DrawTarget != GetDesktopWindow()) return;
  SetRectRgn(ScratchRegion, 0, 0, ScreenWidth, ScreenHeight);
  CombineRgn(ScratchRegion, ScratchRegion, WindowRegion, RGN_DIFF);
  SelectClipRgn(TargetDC, ScratchRegion);
  for (int i = 0; i < OmittedWindowCount; i++) {
    const RECT *r = &OmittedWindows[i];
    ExcludeClipRect(TargetDC, r->left, r->top, r->right, r->bottom);
  }
}

// UpdateWindow on another thread's window has the owner paint it, and the
// owner's BeginPaint erases with the owner's own context. Wine makes an
// exception of the desktop window: UpdateWindow erases it from the caller, with
// the caller's context, which means nothing in the desktop's process (Wine's
// desktop belongs to explorer.exe): the erase is lost, the update region is
// emptied, and the desktop keeps what the program drew. So the desktop window
// is asked to paint itself, which its owner does with its own context before it
// answers; UpdateWindow then finds nothing left.
void UpdateDrawTarget() {
  if (DrawTarget == GetDesktopWindow()) {
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(DrawTarget, WM_PAINT, 0, 0, SMTO_ABORTIFHUNG, PAINT_TIMEOUT, &answer);
    DesktopRepaintPending = 1;
  }
  UpdateWindow(DrawTarget);
}

int DesktopRepaintPending = 0;

// The desktop's owner answers a paint request once it has painted, but what it
// painted may reach the screen only later: Wine's explorer.exe shows it when its
// thread next waits for messages. On a busy machine the program could read the
// screen first, and a background saved then would hold the petal just wiped
// and bring it back. So before reading the screen again the program gives up
// the processor for a moment and then has the owner answer once more. Measured
// under Wine with both cores busy: a read right after the answer showed the old
// pixels in 38 to 51 of 100 repaints, after this wait in none of 4,000.
void AwaitDesktopRepaint() {
  DWORD_PTR answer = 0;
  if (!DesktopRepaintPending) return;
  DesktopRepaintPending = 0;
  Sleep(1);
  SendMessageTimeoutA(DrawTarget, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, PAINT_TIMEOUT, &answer);
}

// Has a window that stands where windows did not stand before (ScratchRegion)
// repaint itself whole, frame and all, in its own time.
static BOOL CALLBACK RepaintCoveringWindow(HWND window, LPARAM lParam) {
  RECT rect;
  (void)lParam;
  if (!IsWindowVisible(window) || !GetWindowRect(window, &rect)) return TRUE;
  if (RectInRegion(ScratchRegion, &rect))
    RedrawWindow(window, 0, 0, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  return TRUE;
}

// On the desktop window the program clips its drawing itself, to the windows
// it saw at the start of the tick, and what it draws may reach the screen only
// after a window has moved there: a window that moved or appeared may carry
// petals drawn just as it came, and the desktop a window left shows what its
// owner has not yet repainted. Called when WindowRegion changed, while
// PreviousWindowRegion still holds the windows as they were: the desktop
// repaints where windows stood, at once, and every window that stands where
// windows did not repaints itself (nothing is drawn there any more). Each
// window is asked on its own: Wine does not pass a desktop's RDW_ALLCHILDREN on
// to the windows of other processes.
void RepaintWindowChange() {
  if (DrawTarget != GetDesktopWindow()) return;
  if (CombineRgn(ScratchRegion, PreviousWindowRegion, WindowRegion, RGN_DIFF) != NULLREGION)
    InvalidateOnTarget(ScratchRegion);
  if (CombineRgn(ScratchRegion, WindowRegion, PreviousWindowRegion, RGN_DIFF) != NULLREGION)
    EnumWindows(RepaintCoveringWindow, 0);
}
