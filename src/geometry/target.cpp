// The desktop draw target: the window everything is drawn on, its device
// context and rectangle, and whether the desktop shows its HTML view.
#include <string.h>

#include "geometry/geometry.h"
#include "render/render.h"

HWND DrawTarget = 0;
HDC TargetDC = 0;
int HtmlDesktop = 0;
RECT DesktopRect = {0, 0, 0, 0};
int ListViewSeen = 0;
int AnsweringFlip = 0;

// The visitors tell a pass that ended early through the flag that lParam
// points to. EnumChildWindows gives no usable result on Windows (and answers 0
// for a window without children on some platforms), so the flag decides
// whether another pass is made.

static BOOL CALLBACK VisitDesktopView(HWND window, LPARAM lParam) {
  int *ended = (int *)lParam;
  char name[CLASS_BUFFER];
  name[0] = 0;
  GetClassNameA(window, name, CLASS_BUFFER);
  if (strcmp(name, HTML_VIEW_CLASS) == 0) {
    DrawTarget = window;
    HtmlDesktop = 1;
    *ended = 1;
    return FALSE;
  }
  if (strcmp(name, LIST_VIEW_CLASS) == 0 && ListViewSeen) {
    HtmlDesktop = 0;
    *ended = 1;
    return FALSE;
  }
  if (strcmp(name, LIST_VIEW_CLASS) == 0) {
    DrawTarget = window;
    ListViewSeen = 1;
  }
  return TRUE;
}

int FindDesktopView(HWND desktop) {
  int ended = 0;
  int pass;
  ListViewSeen = 0;
  for (pass = 0; pass < SEARCH_PASSES && !ended; pass++) {
    EnumChildWindows(desktop, VisitDesktopView, (LPARAM)&ended);
  }
  // No view of either class: draw on the desktop's top-level window itself,
  // which covers the screen. HtmlDesktop keeps the last view state seen, so a
  // missing view is never taken for a flip.
  if (!ended) DrawTarget = desktop;
  return ended;
}

// Once the shell has animated the wallpaper (Windows 8 to 11), the icon view
// lives in a top-level worker window above "Program Manager", not under it.
static BOOL CALLBACK VisitWorker(HWND window, LPARAM lParam) {
  int *found = (int *)lParam;
  HWND target = DrawTarget;
  char name[CLASS_BUFFER];
  name[0] = 0;
  GetClassNameA(window, name, CLASS_BUFFER);
  if (strcmp(name, WORKER_CLASS) != 0) return TRUE;
  if (FindDesktopView(window)) {
    *found = 1;
    return FALSE;
  }
  DrawTarget = target;
  return TRUE;
}

int FindWorkerView() {
  int found = 0;
  EnumWindows(VisitWorker, (LPARAM)&found);
  return found;
}

static BOOL CALLBACK VisitTopLevelWindow(HWND window, LPARAM lParam) {
  int *ended = (int *)lParam;
  char title[TITLE_BUFFER];
  title[0] = 0;
  GetWindowTextA(window, title, TITLE_BUFFER);
  if (strcmp(title, DESKTOP_TITLE) != 0) return TRUE;
  if (!FindDesktopView(window)) FindWorkerView();
  *ended = 1;
  return FALSE;
}

void FindDrawTarget() {
  int wasHtml = HtmlDesktop;
  int ended = 0;
  int pass;
  for (pass = 0; pass < SEARCH_PASSES && !ended; pass++) {
    EnumWindows(VisitTopLevelWindow, (LPARAM)&ended);
  }
  // No "Program Manager" (Wine has none): the view wherever the shell keeps it,
  // else the screen's own desktop window. HtmlDesktop is left as it was.
  if (!ended && !FindWorkerView()) DrawTarget = GetDesktopWindow();
  TargetDC = GetDC(DrawTarget);
  GetWindowRect(DrawTarget, &DesktopRect);
  if (HtmlDesktop != wasHtml) AnswerHtmlFlip();
}

// The desktop's HTML view was switched on or off: the whole geometry is
// rebuilt for the new view and the whole screen repainted. The rebuild's own
// search then sees no change, so the nesting ends at that one level. A flip
// seen while one is being answered (possible only on a desktop whose two
// looks disagree) is left to the answer under way, which goes on with the
// target just found: nesting deeper could recurse without end.
void AnswerHtmlFlip() {
  if (AnsweringFlip) return;
  AnsweringFlip = 1;
  // The rebuild fetches its own context for the new target.
  ReleaseDC(DrawTarget, TargetDC);
  RebuildGeometry();
  RepaintScreen();
  AnsweringFlip = 0;
}
