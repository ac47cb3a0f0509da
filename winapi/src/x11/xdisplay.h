// The X11 display's parts, shared by the files of this folder: the root's
// children as followed, the program's windows as X windows, the tray icon, and
// the display itself. Every X type of winapi stays in this folder.
#pragma once

#include <pixman.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <functional>
#include <initializer_list>
#include <set>
#include <string>
#include <vector>

#include "user32/wnd.h"
#include "vdx11.h"
#include "windows.h"

namespace vd::x11::detail {

constexpr uint32_t kKeyColor = kClearColor & 0xFFFFFF;
constexpr int kDoubleClickMs = 500;  // GetDoubleClickTime's default
constexpr int kDoubleClickSlop = 2;  // SM_CXDOUBLECLK / 2

enum Atom {
  kUtf8String, kNetWmName, kWmState, kNetWmWindowType, kTypeDock, kTypeDesktop, kTypeDialog, kNetWmState,
  kStateHidden, kTrayOpcode, kManager, kXembedInfo, kWmProtocols, kWmDeleteWindow, kMotifHints, kNetWmPid,
  kNetWmIcon, kNetActiveWindow, kMivoraCommand, kComptonShadow, kAtomCount
};
inline constexpr const char *kAtomNames[kAtomCount] = {
    "UTF8_STRING", "_NET_WM_NAME", "WM_STATE", "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DOCK",
    "_NET_WM_WINDOW_TYPE_DESKTOP", "_NET_WM_WINDOW_TYPE_DIALOG", "_NET_WM_STATE", "_NET_WM_STATE_HIDDEN",
    "_NET_SYSTEM_TRAY_OPCODE", "MANAGER", "_XEMBED_INFO", "WM_PROTOCOLS", "WM_DELETE_WINDOW", "_MOTIF_WM_HINTS",
    "_NET_WM_PID", "_NET_WM_ICON", "_NET_ACTIVE_WINDOW", "_MIVORA_COMMAND", "_COMPTON_SHADOW"};

// A command one start sends to the process that runs on the screen.
constexpr uint32_t kCommandShowSettings = 1;

// A region's rectangles as the server takes them.
inline std::vector<xcb_rectangle_t> XRects(const user::Region &region) {
  int n = 0;
  const pixman_box32_t *b = pixman_region32_rectangles(const_cast<pixman_region32_t *>(region.get()), &n);
  std::vector<xcb_rectangle_t> out;
  out.reserve(size_t(n));
  for (int i = 0; i < n; ++i)
    out.push_back(xcb_rectangle_t{int16_t(b[i].x1), int16_t(b[i].y1), uint16_t(b[i].x2 - b[i].x1),
                                  uint16_t(b[i].y2 - b[i].y1)});
  return out;
}

// Appends the runs of a row's pixels from `from` to `to` that `shows` keeps,
// as one-pixel-high rectangles moved by (dx, y): a clip that lets only them through.
template <class Shows>
void AddRuns(const uint32_t *row, int from, int to, int dx, int y, Shows shows, std::vector<xcb_rectangle_t> *runs) {
  for (int x = from; x < to;) {
    while (x < to && !shows(row[x])) ++x;
    int start = x;
    while (x < to && shows(row[x])) ++x;
    if (x > start) runs->push_back(xcb_rectangle_t{int16_t(dx + start), int16_t(y), uint16_t(x - start), 1});
  }
}

// A child of the root window: a frame of the window manager, a window that
// manages itself (override-redirect), or one of ours.
struct Top {
  xcb_window_t id = 0;
  int x = 0, y = 0, width = 0, height = 0, border = 0;
  bool mapped = false;
  bool overrideRedirect = false;
  bool inputOnly = false;
  bool own = false;          // ours: the overlay, a surface or its frame
  bool examined = false;     // its client was looked for
  xcb_window_t client = 0;   // the window with WM_STATE inside it (itself when unframed)
  std::string title, className;
  bool dock = false, desktop = false, hidden = false;
  bool propertiesStale = true;
  HWND hwnd = nullptr;       // its foreign window on the desktop
};

// One of the program's top-level windows, shown as an X window.
struct Surface {
  HWND hwnd = nullptr;
  xcb_window_t id = 0;
  RECT rect{};        // where the desktop has it
  bool managed = false;
  bool grabbed = false;
  std::string title;
};

struct TrayIcon {
  HWND owner = nullptr;
  UINT id = 0;
  HICON icon = nullptr;
  xcb_window_t window = 0;
  int size = 22;
  bool docked = false;
  POINT origin{-1, -1};  // its place on the screen, as the pointer last showed it
  bool drawn = false;
};

class XDisplay final : public Display {
 public:
  XDisplay(xcb_connection_t *c, int screenNumber, DesktopMode mode);
  ~XDisplay() override;
  bool Setup(std::string *error);

  Config DesktopConfig() const override;
  void Attach() override;
  void Detach() override;
  bool Compositing() const override { return overlay_ != 0; }
  std::string Lost() const override { return lost_; }
  const Figures &figures() const override { return figures_; }
  bool ClaimInstance() override;
  bool AskRunningInstanceToShowSettings() override;
  void OnShowSettingsRequest(std::function<void()> fn) override { showSettings_ = std::move(fn); }
  void WatchDescriptor(int fd, std::function<void()> fn) override {
    watchFd_ = fd;
    watchFn_ = std::move(fn);
  }
  void OnNoTray(std::function<void()> fn) override { noTray_ = std::move(fn); }

 private:
  // The wait: present, then wait for X events, the watched descriptor or `ms`.
  void Idle(int ms);
  bool Pump();  // true when input went to the desktop
  bool Handle(xcb_generic_event_t *e);
  bool CheckConnection();

  // Other programs' windows.
  void ReadInitialTree();
  Top *FindTop(xcb_window_t id);
  Top &AddTop(xcb_window_t id, bool onTop);
  void RemoveTop(xcb_window_t id);
  void Restack(xcb_window_t id, xcb_window_t below);
  void Examine();  // reads the clients and properties not known yet, in one batch
  bool SyncForeignWindows();  // true when the desktop's windows changed
  bool IsOwnWindow(xcb_window_t id) const;

  // Presenting.
  void Present();
  void PresentDesktop(user::Region &area);
  void PresentSurface(Surface &s, const RECT &box);
  void PutPixels(xcb_drawable_t target, int depth, const RECT &box, int dx, int dy, bool argb);
  void UpdateOverlayShape();

  // The program's windows.
  void SyncSurfaces();
  void CreateSurface(HWND hwnd);
  void DestroySurface(Surface &s);
  Surface *SurfaceOf(xcb_window_t id);
  void FollowActivation();

  // The notification area.
  void SyncTray();
  void DockIcon(TrayIcon &icon);
  void DrawIcon(TrayIcon &icon);
  xcb_window_t TrayManager();

  // Input.
  bool Pointer(xcb_window_t window, int rootX, int rootY, int eventX, int eventY, UINT message);
  bool Key(xcb_keycode_t code, bool down);

  xcb_atom_t A(Atom a) const { return atoms_[a]; }
  // A client message of 32-bit data about `about`, sent to `to` for the clients
  // that select `mask` there (none: its owner alone).
  void SendClientMessage(xcb_window_t to, xcb_window_t about, xcb_atom_t type, std::initializer_list<uint32_t> data,
                         uint32_t mask = XCB_EVENT_MASK_NO_EVENT);

  xcb_connection_t *c_;
  int screenNumber_;
  xcb_screen_t *screen_ = nullptr;
  DesktopMode mode_;
  xcb_atom_t atoms_[kAtomCount] = {};
  xcb_atom_t cmSelection_ = 0, traySelection_ = 0, instanceSelection_ = 0;
  xcb_key_symbols_t *keySymbols_ = nullptr;
  uint32_t maxRequestBytes_ = 256 * 1024;

  // Where the desktop's pixels go.
  xcb_window_t desktopTarget_ = 0;  // the root or a desktop program's window
  xcb_window_t overlay_ = 0;
  xcb_visualid_t argbVisual_ = 0;
  xcb_colormap_t argbColormap_ = 0;
  xcb_gcontext_t rootGc_ = 0, overlayGc_ = 0, surfaceGc_ = 0;
  std::vector<xcb_rectangle_t> overlayShape_;
  bool shapeStale_ = true;
  user::Region exposed_;  // desktop areas the server lost and we show again

  std::vector<Top> tops_;          // bottom first, as the server stacks them
  std::set<xcb_window_t> ownIds_;  // our windows and the frames around them
  bool treeChanged_ = true;
  RECT taskbarRect_{0, 0, 0, 0};

  std::vector<Surface> surfaces_;
  xcb_window_t instanceWindow_ = 0;
  std::vector<TrayIcon> icons_;
  bool noTraySaid_ = false;
  uint64_t noTraySince_ = 0;  // when an icon found no tray (0: it did, or none tried)
  xcb_window_t focused_ = 0;  // the surface that has the keyboard focus
  bool focusLeft_ = false;   // it went to another program's window in this batch of events
  HWND lastActive_ = nullptr;

  uint32_t lastPressTime_ = 0;
  int lastPressX_ = -100, lastPressY_ = -100;
  bool lastWasDouble_ = false;

  std::vector<uint32_t> scratch_;
  std::string lost_;
  Figures figures_;
  bool attached_ = false;
  int watchFd_ = -1;
  std::function<void()> watchFn_, showSettings_, noTray_;
};


}  // namespace vd::x11::detail
