// The window manager of the virtual desktop: classes, windows, Z order,
// visible regions, update regions and painting, the message queue and timers.
#pragma once

#include <pixman.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/handles.h"
#include "vdesktop.h"
#include "windows.h"

namespace vd::user {

// A pixman region that owns its storage.
class Region {
 public:
  Region() { pixman_region32_init(&r_); }
  explicit Region(const RECT &rc) {
    pixman_region32_init(&r_);
    SetRect(rc);
  }
  Region(const Region &o) {
    pixman_region32_init(&r_);
    pixman_region32_copy(&r_, const_cast<pixman_region32_t *>(&o.r_));
  }
  Region &operator=(const Region &o) {
    if (this != &o) pixman_region32_copy(&r_, const_cast<pixman_region32_t *>(&o.r_));
    return *this;
  }
  ~Region() { pixman_region32_fini(&r_); }
  pixman_region32_t *get() { return &r_; }
  const pixman_region32_t *get() const { return &r_; }
  void SetRect(const RECT &rc);
  void Clear() { pixman_region32_clear(&r_); }
  bool Empty() const { return !pixman_region32_not_empty(const_cast<pixman_region32_t *>(&r_)); }
  void Union(const Region &o) { pixman_region32_union(&r_, &r_, const_cast<pixman_region32_t *>(&o.r_)); }
  void Union(const RECT &rc);
  void Intersect(const Region &o) { pixman_region32_intersect(&r_, &r_, const_cast<pixman_region32_t *>(&o.r_)); }
  void Intersect(const RECT &rc);
  void Subtract(const Region &o) { pixman_region32_subtract(&r_, &r_, const_cast<pixman_region32_t *>(&o.r_)); }
  void Subtract(const RECT &rc);
  void Offset(int dx, int dy) { pixman_region32_translate(&r_, dx, dy); }
  RECT Box() const;

 private:
  pixman_region32_t r_;
};

struct WindowClass {
  std::string name;
  UINT style = 0;
  WNDPROC proc = nullptr;
  HINSTANCE instance = nullptr;
  HICON icon = nullptr;
  HICON iconSm = nullptr;
  HCURSOR cursor = nullptr;
  HBRUSH background = nullptr;
  int clsExtra = 0;
  int wndExtra = 0;
};

struct DialogState {
  DLGPROC proc = nullptr;
  bool ended = false;      // EndDialog was called
  INT_PTR result = 0;
  int baseX = 8;           // dialog base units of the template's font, in pixels
  int baseY = 16;
  HFONT font = nullptr;    // the template's font (DS_SETFONT), owned by the dialog
  int defId = 0;           // DM_GETDEFID: the default push button's id, 0 for none
  HWND savedFocus = nullptr;  // the control that had the focus when the dialog was deactivated
  HWND disabledOwner = nullptr;  // a modal dialog's owner, disabled while it runs
  // Focus rectangles and mnemonic underlines stay hidden until the keyboard is used.
  UINT uiState = UISF_HIDEFOCUS | UISF_HIDEACCEL;
};

// The state a control class keeps for each of its windows.
struct ControlData {
  virtual ~ControlData() = default;
};


struct Window {
  HWND handle = nullptr;
  WindowClass *cls = nullptr;
  std::string title;
  DWORD style = 0;
  DWORD exStyle = 0;
  RECT rect{};     // window rectangle, screen coordinates
  HWND parent = nullptr;  // nullptr for a top-level window
  HWND owner = nullptr;
  std::vector<HWND> children;  // Z order, top first
  WNDPROC proc = nullptr;
  LONG_PTR userData = 0;
  LONG_PTR id = 0;
  LONG_PTR msgResult = 0;
  bool destroying = false;
  bool enabled = true;
  Region update;           // screen coordinates, inside the client area
  bool erasePending = false;
  bool eraseLeftUndone = false;  // erased before WM_PAINT, and WM_ERASEBKGND answered 0
  bool framePending = false;  // title bar and border need drawing
  std::unique_ptr<DialogState> dialog;
  std::unique_ptr<ControlData> control;
  DWORD contextHelpId = 0;  // SetWindowContextHelpId
  // Cached drawable areas, valid while `cacheGeneration` matches the layout.
  uint64_t cacheGeneration = ~0ull;
  Region clientArea;
  Region windowArea;
};

// ---------------------------------------------------------------- window manager
Window *Find(HWND hwnd);
HWND DesktopHandle();
const std::vector<HWND> &TopLevels();  // Z order, top first
WindowClass *FindClass(const std::string &name);
RECT ClientRectScreen(const Window &w);
// The frame around a window's client area, for its styles: the outer frame
// (sizing, dialog or border) alone, and with the static and client edges.
int OuterFrameWidth(DWORD style, DWORD exStyle);
int FrameWidth(DWORD style, DWORD exStyle);
// The window rectangle around a client rectangle, for a window's styles.
RECT WindowRectForClient(const RECT &client, DWORD style, DWORD exStyle);
bool IsVisibleOnScreen(const Window &w);  // the window and all its ancestors are visible
bool IsDescendant(HWND ancestor, HWND hwnd);
void ForEachWindow(const std::function<void(Window &)> &fn);  // bottom of the Z order first
void LayoutChanged();

// Applies a change of position, size, visibility or Z order, and invalidates
// what it uncovers on every window below.
void ChangeLayout(const std::function<void()> &change, HWND moved);
void SetZOrder(Window &w, HWND insertAfter);

// ---------------------------------------------------------------- painting
void InvalidateScreenRegion(Window &w, const Region &screenRegion, bool erase, bool withChildren);
bool HasPendingPaint(const Window &w);
void PaintWindow(HWND hwnd);  // frame, erase and WM_PAINT, now
void EraseNow(HWND hwnd);     // frame and erase only, as RDW_ERASENOW
void DrawFrame(Window &w);
// The caption's buttons, in screen coordinates; empty when the window has none.
enum class CaptionButton { Close, Help };
RECT CaptionButtonRect(const Window &w, CaptionButton button);
void DrawTitleText(Window &w, const RECT &bar, const pixman_region32_t *clip);
// The size `text` takes in `font` on the screen, as DrawTextA's DT_CALCRECT
// gives it with `format`; `maxWidth` is the width it may wrap to.
SIZE MeasureText(HFONT font, const std::string &text, int maxWidth, UINT format);
HWND NextWindowToPaint();

// ---------------------------------------------------------------- messages
// Takes the next message; with `stop`, returns false as soon as stop() holds.
bool NextMessage(MSG *msg, bool remove, bool wait, const std::function<bool()> *stop = nullptr);
void RemoveMessagesFor(HWND hwnd);
void KillTimersOf(HWND hwnd);
// Runs a nested message loop until done() holds. False when it ended because
// the program is quitting or virtual time ran out.
bool RunModalLoop(const std::function<bool()> &done);
// The same, with each message offered first to `filter` (a dialog's keyboard
// handling), which answers true when it dealt with the message.
bool RunModalLoop(const std::function<bool()> &done, const std::function<bool(MSG *)> &filter);

// ---------------------------------------------------------------- menus
bool MenuItemsOf(HMENU menu, std::vector<std::pair<UINT, std::string>> *out);

// ---------------------------------------------------------------- focus and activation
// The top-level window that holds `hwnd` (itself for a top-level window).
HWND TopLevelOf(HWND hwnd);
// Makes `hwnd` (a top-level window, or 0) the active window: WM_ACTIVATE to
// the window that loses and the one that gains; with `moveFocus` the focus
// follows into it (SetFocus activates without that).
void ActivateWindow(HWND hwnd, bool moveFocus = true);
// `leaving` stops being active (hidden, destroyed, ended): its owner or the
// next window below it that can be active takes over.
void ActivateOtherWindow(HWND leaving);

// ---------------------------------------------------------------- input
void DeliverMouse(int x, int y, UINT message);
// The deepest visible child of `top` under a screen point, disabled ones
// included (as context help finds them); `top` itself when no child is there.
HWND ChildAtPoint(HWND top, int x, int y);
// Context-help mode (the caption's "?" button): the next click asks for help.
void EnterHelpMode(HWND top);

// ---------------------------------------------------------------- dialogs
bool DialogHandleMessage(HWND dialog, MSG *msg);
// The focus moved onto `focus`: a dialog makes a focused push button its
// default button while it has the focus, and its own default button otherwise.
void DialogFocusChanged(HWND focus);
// A dialog window (DefDlgProc's state), or nullptr.
DialogState *DialogOf(HWND hwnd);

// ---------------------------------------------------------------- shell
void CreateShell();
void TaskbarChanged();
const std::vector<TrayIconInfo> &TrayIconList();  // the shell's notification icons, in order
RECT TrayIconRect(int slot);
RECT WorkAreaRect();  // SPI_GETWORKAREA
bool TrayHitTest(int x, int y, HWND *owner, UINT *id, UINT *callback);
// The desktop's icons and the start button (launch.cpp). The list view and
// the taskbar paint them and hand them their mouse presses.
void PaintDesktopIcons(HWND listView, HDC hdc, const RECT &paint);
void DesktopIconsMouse(HWND listView, UINT message, POINT screen);
RECT StartButtonRect();
void PaintStartButton(HWND taskbar, HDC hdc);
bool StartButtonPress(HWND taskbar, POINT screen);  // false when the point is not on it
// The notification area's tooltip: the mouse at a screen point (moved, or a
// button pressed there), the taskbar's tooltip timers, the icons changed.
void TrayTipMouse(int x, int y, UINT message);
void TrayTipTimer(UINT_PTR id);
void TrayTipKey();  // a key went down: the tip goes, as tooltips go on a key
void TrayIconsChanged();
HWND TrayTipWindow();  // the tooltip showing, or nullptr

}  // namespace vd::user
