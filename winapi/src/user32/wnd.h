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
  bool modal = false;
  bool ended = false;
  INT_PTR result = 0;
  int baseX = 6;   // dialog base units of the template's font, in pixels
  int baseY = 13;
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
  bool framePending = false;  // title bar and border need drawing
  std::unique_ptr<DialogState> dialog;
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
void DrawTitleText(Window &w, const RECT &bar, const pixman_region32_t *clip);
HWND NextWindowToPaint();

// ---------------------------------------------------------------- messages
// Takes the next message; with `stop`, returns false as soon as stop() holds.
bool NextMessage(MSG *msg, bool remove, bool wait, const std::function<bool()> *stop = nullptr);
void RemoveMessagesFor(HWND hwnd);
void KillTimersOf(HWND hwnd);
// Runs a nested message loop until done() holds. False when it ended because
// the program is quitting or virtual time ran out.
bool RunModalLoop(const std::function<bool()> &done);

// ---------------------------------------------------------------- menus
bool MenuItemsOf(HMENU menu, std::vector<std::pair<UINT, std::string>> *out);

// ---------------------------------------------------------------- input
void DeliverMouse(int x, int y, UINT message);

// ---------------------------------------------------------------- dialogs
bool DialogHandleMessage(HWND dialog, MSG *msg);

// ---------------------------------------------------------------- shell
void CreateShell();
void TaskbarChanged();
const std::vector<TrayIconInfo> &TrayIconList();  // the shell's notification icons, in order
RECT TrayIconRect(int slot);
bool TrayHitTest(int x, int y, HWND *owner, UINT *id, UINT *callback);

}  // namespace vd::user
