// Desktop geometry: the draw target, the screen size, and the regions that say
// where the windows are, where petals land and where piles may grow.
#ifndef MIVORA_GEOMETRY_H
#define MIVORA_GEOMETRY_H

#include "win32.h"

#define LANDING_DEPTH 20     // crust depth, strip below the desktop, lower repaint margin
#define SPRITE_REACH 13      // the largest petal side: upper repaint margin
#define SIDE_REACH 26        // side margin of a repaint box
#define CLASS_BUFFER 100
#define TITLE_BUFFER 100
#define REGION_TITLE_BUFFER 20
#define DESKTOP_TITLE "Program Manager"
#define LIST_VIEW_CLASS "SysListView32"
#define HTML_VIEW_CLASS "Internet Explorer_Server"
#define TASKBAR_CLASS "Shell_TrayWnd"
#define WORKER_CLASS "WorkerW"   // the shell's worker windows; one may hold the desktop's view
#define SEARCH_PASSES 2      // full passes before a search gives up and falls back
#define THICKNESS_LIMIT (1 << 20)  // beyond any screen; keeps layer arithmetic in range
#define OMITTED_WINDOW_SLOTS 4     // taskbars left out of WindowRegion, remembered for the clip
#define PAINT_TIMEOUT 1000         // ms the desktop's owner may take to paint before the program goes on

extern HWND DrawTarget;
extern HDC TargetDC;
extern int HtmlDesktop;
extern RECT DesktopRect;
extern int ListViewSeen;
extern LONG ScreenWidth;
extern LONG ScreenHeight;
// A flip of the HTML view is being answered; a flip seen meanwhile starts no other answer.
extern int AnsweringFlip;

extern HRGN WindowRegion;
extern HRGN PreviousWindowRegion;
extern HRGN LandingRegion;
extern HRGN LayerRegion;
extern HRGN WindowTopsRegion;
extern HRGN WindowChangeRegion;
extern HRGN LandingChangeRegion;
extern HRGN ScratchRegion;
extern HRGN SpriteRegion;

// The desktop's owner was asked to repaint, and the program has not yet given it
// the moment it needs to show that on the screen (see AwaitDesktopRepaint).
extern int DesktopRepaintPending;

void FindDrawTarget();
// Both answer 1 when they found a view of the desktop, 0 when they did not.
int FindDesktopView(HWND desktop);
int FindWorkerView();
void AnswerHtmlFlip();
void RebuildGeometry();
void BuildWindowRegion();
void RebuildLandingRegion();
void UpdateLandingRegion();
void RebuildLayerRegion();
void RefreshWindowRegion();
void ApplyWindowLayerToggle(LONG now, LONG old);
void ApplyBottomLayerToggle(LONG now, LONG old);
void ApplyLayerThicknessChange(LONG now, LONG old);

// A layer thickness held within THICKNESS_LIMIT either way: the regions are the
// same for every screen, and no coordinate overflows.
LONG BoundedThickness(LONG thickness);

// The desktop window as the draw target: the clip, and repaints that reach the screen.
void ClipTargetToDesktop();
void ForgetOmittedWindows();
void NoteOmittedWindow(const RECT *rect);
void UpdateDrawTarget();
void AwaitDesktopRepaint();
void RepaintWindowChange();

void ResetGeometryState();

#endif
