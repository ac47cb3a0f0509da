// The X11 display. Every X call of winapi is in this folder; the rest of the
// virtual desktop never sees an X type. The desktop keeps its framebuffer: the
// program draws there as on any desktop, and what changed goes to the server.
//
// - Other programs' windows: the root window's children are followed through
//   SubstructureNotify (create, map, unmap, configure, reparent, destroy), so a
//   frame's rectangle and stacking are known without asking; each client's
//   title, class, type and state are read once and then on PropertyNotify.
//   They become the desktop's foreign windows; a panel along the bottom edge
//   becomes the taskbar, and a desktop program's window is the desktop itself.
// - The desktop's pixels: the shell paints vd::kClearColor, so what is not
//   that colour (branch, petals) is the program's. Without a compositing
//   manager they go onto the root window, whose children clip them as windows
//   clip the desktop on Windows; the rest of a changed area is cleared to the
//   root's own background. Under a compositing manager they go into a 32-bit
//   overlay above every window that takes no input and is shaped to leave the
//   windows out; the clear colour is transparent there.
// - The program's windows (dialogs, message boxes, menus, tooltips) are X
//   windows of their own at the same place, showing their part of the screen.
// - The notification icon docks in the system tray (XEmbed).
#include <poll.h>
#include <unistd.h>
#include <xcb/shape.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <pixman.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "vdx11.h"
#include "windows.h"
#include "x11/keys.h"

namespace vd::x11 {
namespace {

constexpr uint32_t kKeyColor = kClearColor & 0xFFFFFF;
constexpr int kDoubleClickMs = 500;  // GetDoubleClickTime's default
constexpr int kDoubleClickSlop = 2;  // SM_CXDOUBLECLK / 2

enum Atom {
  kUtf8String, kNetWmName, kWmState, kNetWmWindowType, kTypeDock, kTypeDesktop, kTypeDialog, kTypeMenu,
  kTypeTooltip, kNetWmState, kStateHidden, kNetWorkarea, kTrayOpcode, kManager, kXembed, kXembedInfo,
  kWmProtocols, kWmDeleteWindow, kMotifHints, kNetWmPid, kNetWmIcon, kNetActiveWindow, kMivoraCommand,
  kComptonShadow, kStateSkipTaskbar, kStateSkipPager, kStateAbove, kNetWmStrutPartial, kAtomCount
};
const char *const kAtomNames[kAtomCount] = {
    "UTF8_STRING", "_NET_WM_NAME", "WM_STATE", "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DOCK",
    "_NET_WM_WINDOW_TYPE_DESKTOP", "_NET_WM_WINDOW_TYPE_DIALOG", "_NET_WM_WINDOW_TYPE_POPUP_MENU",
    "_NET_WM_WINDOW_TYPE_TOOLTIP", "_NET_WM_STATE", "_NET_WM_STATE_HIDDEN", "_NET_WORKAREA",
    "_NET_SYSTEM_TRAY_OPCODE", "MANAGER", "_XEMBED", "_XEMBED_INFO", "WM_PROTOCOLS", "WM_DELETE_WINDOW",
    "_MOTIF_WM_HINTS", "_NET_WM_PID", "_NET_WM_ICON", "_NET_ACTIVE_WINDOW", "_MIVORA_COMMAND",
    "_COMPTON_SHADOW", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER", "_NET_WM_STATE_ABOVE",
    "_NET_WM_STRUT_PARTIAL"};

// A command one start sends to the process that runs on the screen.
constexpr uint32_t kCommandShowSettings = 1;

// A pixman region that owns its storage.
struct Region {
  Region() { pixman_region32_init(&r); }
  ~Region() { pixman_region32_fini(&r); }
  Region(const Region &) = delete;
  Region &operator=(const Region &) = delete;
  void Add(int x, int y, int w, int h) {
    if (w > 0 && h > 0) pixman_region32_union_rect(&r, &r, x, y, unsigned(w), unsigned(h));
  }
  void Clear() { pixman_region32_clear(&r); }
  bool Empty() { return !pixman_region32_not_empty(&r); }
  std::vector<xcb_rectangle_t> Rects() {
    int n = 0;
    const pixman_box32_t *b = pixman_region32_rectangles(&r, &n);
    std::vector<xcb_rectangle_t> out;
    out.reserve(size_t(n));
    for (int i = 0; i < n; ++i)
      out.push_back(xcb_rectangle_t{int16_t(b[i].x1), int16_t(b[i].y1), uint16_t(b[i].x2 - b[i].x1),
                                    uint16_t(b[i].y2 - b[i].y1)});
    return out;
  }
  pixman_region32_t r;
};

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
  void PresentDesktop(Region &area);
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
  Region exposed_;  // desktop areas the server lost and we show again

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

XDisplay::XDisplay(xcb_connection_t *c, int screenNumber, DesktopMode mode)
    : c_(c), screenNumber_(screenNumber), mode_(mode) {}

XDisplay::~XDisplay() {
  if (keySymbols_) xcb_key_symbols_free(keySymbols_);
  xcb_disconnect(c_);
}

bool XDisplay::Setup(std::string *error) {
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c_));
  for (int i = 0; it.rem && i < screenNumber_; ++i) xcb_screen_next(&it);
  if (!it.rem) {
    *error = "the display has no screen " + std::to_string(screenNumber_);
    return false;
  }
  screen_ = it.data;
  if (screen_->root_depth != 24 && screen_->root_depth != 32) {
    *error = "the screen has " + std::to_string(screen_->root_depth) + " bits per pixel; Mivora needs 24 or 32";
    return false;
  }
  // Atoms are interned once, all requests first and then the replies.
  std::string n = std::to_string(screenNumber_);
  std::vector<std::string> names(kAtomNames, kAtomNames + kAtomCount);
  names.push_back("_NET_WM_CM_S" + n);
  names.push_back("_NET_SYSTEM_TRAY_S" + n);
  names.push_back("_MIVORA_S" + n);
  std::vector<xcb_intern_atom_cookie_t> cookies;
  for (const std::string &name : names) cookies.push_back(xcb_intern_atom(c_, 0, uint16_t(name.size()), name.c_str()));
  std::vector<xcb_atom_t> got;
  for (auto cookie : cookies) {
    xcb_intern_atom_reply_t *r = xcb_intern_atom_reply(c_, cookie, nullptr);
    got.push_back(r ? r->atom : XCB_NONE);
    free(r);
  }
  figures_.roundTrips++;
  std::copy(got.begin(), got.begin() + kAtomCount, atoms_);
  cmSelection_ = got[kAtomCount];
  traySelection_ = got[kAtomCount + 1];
  instanceSelection_ = got[kAtomCount + 2];
  maxRequestBytes_ = std::max<uint32_t>(xcb_get_maximum_request_length(c_) * 4, 64 * 1024);
  keySymbols_ = xcb_key_symbols_alloc(c_);

  bool compositing = false;
  if (xcb_get_selection_owner_reply_t *r =
          xcb_get_selection_owner_reply(c_, xcb_get_selection_owner(c_, cmSelection_), nullptr)) {
    compositing = r->owner != XCB_NONE;
    free(r);
  }
  figures_.roundTrips++;
  bool wantOverlay = mode_ == DesktopMode::kOverlay || (mode_ == DesktopMode::kAuto && compositing);
  if (wantOverlay) {
    for (xcb_depth_iterator_t d = xcb_screen_allowed_depths_iterator(screen_); d.rem; xcb_depth_next(&d)) {
      if (d.data->depth != 32) continue;
      for (xcb_visualtype_iterator_t v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v))
        if (v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR && v.data->red_mask == 0xFF0000) {
          argbVisual_ = v.data->visual_id;
          break;
        }
    }
    if (!argbVisual_) {
      if (mode_ == DesktopMode::kOverlay) {
        *error = "the screen has no 32-bit visual for the overlay";
        return false;
      }
      std::fprintf(stderr, "mivora: a compositing manager runs, but the screen has no 32-bit visual; "
                           "drawing on the root window instead\n");
    }
  }
  uint32_t rootMask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_STRUCTURE_NOTIFY |
                      XCB_EVENT_MASK_PROPERTY_CHANGE | (argbVisual_ ? 0 : XCB_EVENT_MASK_EXPOSURE);
  xcb_void_cookie_t ck = xcb_change_window_attributes_checked(c_, screen_->root, XCB_CW_EVENT_MASK, &rootMask);
  if (xcb_generic_error_t *err = xcb_request_check(c_, ck)) {
    free(err);
    *error = "the root window's events are not available";
    return false;
  }
  figures_.roundTrips++;
  return true;
}

Config XDisplay::DesktopConfig() const {
  Config config;
  config.width = screen_->width_in_pixels;
  config.height = screen_->height_in_pixels;
  config.widthMm = screen_->width_in_millimeters;
  config.heightMm = screen_->height_in_millimeters;
  config.virtualTime = false;
  config.foreignShell = true;
  return config;
}

bool XDisplay::IsOwnWindow(xcb_window_t id) const { return ownIds_.count(id) != 0; }

Top *XDisplay::FindTop(xcb_window_t id) {
  for (Top &t : tops_)
    if (t.id == id) return &t;
  return nullptr;
}

Top &XDisplay::AddTop(xcb_window_t id, bool onTop) {
  if (Top *t = FindTop(id)) return *t;
  Top t;
  t.id = id;
  t.own = IsOwnWindow(id);
  if (onTop) {
    tops_.push_back(t);
    return tops_.back();
  }
  tops_.insert(tops_.begin(), t);
  return tops_.front();
}

void XDisplay::RemoveTop(xcb_window_t id) {
  auto it = std::find_if(tops_.begin(), tops_.end(), [&](const Top &t) { return t.id == id; });
  if (it == tops_.end()) return;
  if (it->hwnd && IsWindow(it->hwnd)) DestroyWindow(it->hwnd);
  tops_.erase(it);
  treeChanged_ = true;
  shapeStale_ = true;
}

void XDisplay::Restack(xcb_window_t id, xcb_window_t below) {
  auto it = std::find_if(tops_.begin(), tops_.end(), [&](const Top &t) { return t.id == id; });
  if (it == tops_.end()) return;
  Top moved = *it;
  tops_.erase(it);
  auto at = below == XCB_NONE ? tops_.begin()
                              : std::find_if(tops_.begin(), tops_.end(), [&](const Top &t) { return t.id == below; });
  if (below != XCB_NONE && at != tops_.end()) ++at;
  if (below != XCB_NONE && at == tops_.end() && !FindTop(below)) at = tops_.end();
  tops_.insert(at, moved);
  treeChanged_ = true;
  shapeStale_ = true;
}

void XDisplay::ReadInitialTree() {
  figures_.roundTrips++;
  xcb_query_tree_reply_t *tree = xcb_query_tree_reply(c_, xcb_query_tree(c_, screen_->root), nullptr);
  if (!tree) return;
  xcb_window_t *kids = xcb_query_tree_children(tree);
  int n = xcb_query_tree_children_length(tree);
  std::vector<xcb_get_window_attributes_cookie_t> attrs;
  std::vector<xcb_get_geometry_cookie_t> geoms;
  for (int i = 0; i < n; ++i) {
    attrs.push_back(xcb_get_window_attributes(c_, kids[i]));
    geoms.push_back(xcb_get_geometry(c_, kids[i]));
  }
  for (int i = 0; i < n; ++i) {
    Top &t = AddTop(kids[i], true);
    if (xcb_get_window_attributes_reply_t *a = xcb_get_window_attributes_reply(c_, attrs[size_t(i)], nullptr)) {
      t.mapped = a->map_state == XCB_MAP_STATE_VIEWABLE;
      t.overrideRedirect = a->override_redirect;
      t.inputOnly = a->_class == XCB_WINDOW_CLASS_INPUT_ONLY;
      free(a);
    }
    if (xcb_get_geometry_reply_t *g = xcb_get_geometry_reply(c_, geoms[size_t(i)], nullptr)) {
      t.x = g->x;
      t.y = g->y;
      t.width = g->width;
      t.height = g->height;
      t.border = g->border_width;
      free(g);
    }
  }
  figures_.roundTrips++;
  free(tree);
}

// Finds each new mapped window's client and reads the properties that went
// stale, all requests of a kind first and then their replies.
void XDisplay::Examine() {
  std::vector<Top *> find;
  for (Top &t : tops_)
    if (t.mapped && !t.own && !t.inputOnly && !t.examined) find.push_back(&t);
  if (!find.empty()) {
    std::vector<xcb_get_property_cookie_t> states;
    std::vector<xcb_query_tree_cookie_t> trees;
    for (Top *t : find) {
      states.push_back(xcb_get_property(c_, 0, t->id, A(kWmState), XCB_GET_PROPERTY_TYPE_ANY, 0, 0));
      trees.push_back(xcb_query_tree(c_, t->id));
    }
    std::vector<std::pair<Top *, std::vector<xcb_window_t>>> framed;
    for (size_t i = 0; i < find.size(); ++i) {
      Top *t = find[i];
      t->examined = true;
      t->propertiesStale = true;
      xcb_get_property_reply_t *s = xcb_get_property_reply(c_, states[i], nullptr);
      bool hasState = s && s->type != XCB_NONE;
      free(s);
      xcb_query_tree_reply_t *tree = xcb_query_tree_reply(c_, trees[i], nullptr);
      if (hasState || t->overrideRedirect || !tree) {
        t->client = t->id;
      } else {
        xcb_window_t *kids = xcb_query_tree_children(tree);
        framed.emplace_back(t, std::vector<xcb_window_t>(kids, kids + xcb_query_tree_children_length(tree)));
      }
      free(tree);
    }
    figures_.roundTrips++;
    // A frame's client is the child that has WM_STATE; one level down is where
    // window managers put it.
    std::vector<std::pair<Top *, std::vector<xcb_get_property_cookie_t>>> asks;
    for (auto &f : framed) {
      std::vector<xcb_get_property_cookie_t> cks;
      for (xcb_window_t k : f.second)
        cks.push_back(xcb_get_property(c_, 0, k, A(kWmState), XCB_GET_PROPERTY_TYPE_ANY, 0, 0));
      asks.emplace_back(f.first, cks);
    }
    for (size_t i = 0; i < asks.size(); ++i) {
      Top *t = asks[i].first;
      for (size_t k = 0; k < asks[i].second.size(); ++k) {
        xcb_get_property_reply_t *s = xcb_get_property_reply(c_, asks[i].second[k], nullptr);
        if (s && s->type != XCB_NONE && !t->client) t->client = framed[i].second[k];
        free(s);
      }
      if (!t->client) t->client = t->id;
      if (IsOwnWindow(t->client)) {
        t->own = true;
        ownIds_.insert(t->id);
      }
    }
    if (!asks.empty()) figures_.roundTrips++;
    for (Top *t : find) {
      if (t->own || !t->client) continue;
      uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
      xcb_change_window_attributes(c_, t->client, XCB_CW_EVENT_MASK, &mask);
    }
  }
  std::vector<Top *> stale;
  for (Top &t : tops_)
    if (t.mapped && !t.own && t.client && t.propertiesStale) stale.push_back(&t);
  if (stale.empty()) return;
  struct Asks {
    xcb_get_property_cookie_t netName, name, cls, type, state;
  };
  std::vector<Asks> asks;
  for (Top *t : stale) {
    xcb_window_t w = t->client;
    asks.push_back(Asks{xcb_get_property(c_, 0, w, A(kNetWmName), A(kUtf8String), 0, 64),
                        xcb_get_property(c_, 0, w, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 64),
                        xcb_get_property(c_, 0, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 64),
                        xcb_get_property(c_, 0, w, A(kNetWmWindowType), XCB_ATOM_ATOM, 0, 16),
                        xcb_get_property(c_, 0, w, A(kNetWmState), XCB_ATOM_ATOM, 0, 32)});
  }
  auto text = [&](xcb_get_property_cookie_t ck) {
    std::string s;
    if (xcb_get_property_reply_t *r = xcb_get_property_reply(c_, ck, nullptr)) {
      s.assign(static_cast<const char *>(xcb_get_property_value(r)), size_t(xcb_get_property_value_length(r)));
      free(r);
    }
    return s;
  };
  auto atoms = [&](xcb_get_property_cookie_t ck) {
    std::vector<xcb_atom_t> list;
    if (xcb_get_property_reply_t *r = xcb_get_property_reply(c_, ck, nullptr)) {
      if (r->format == 32) {
        auto *v = static_cast<xcb_atom_t *>(xcb_get_property_value(r));
        list.assign(v, v + xcb_get_property_value_length(r) / 4);
      }
      free(r);
    }
    return list;
  };
  for (size_t i = 0; i < stale.size(); ++i) {
    Top *t = stale[i];
    t->propertiesStale = false;
    std::string netName = text(asks[i].netName), name = text(asks[i].name), cls = text(asks[i].cls);
    t->title = netName.empty() ? name : netName;
    // WM_CLASS holds the instance and the class, each ended by a zero.
    size_t zero = cls.find('\0');
    t->className = zero == std::string::npos ? cls : cls.substr(zero + 1);
    t->className = t->className.substr(0, t->className.find('\0'));
    std::vector<xcb_atom_t> types = atoms(asks[i].type), states = atoms(asks[i].state);
    t->dock = std::find(types.begin(), types.end(), A(kTypeDock)) != types.end();
    t->desktop = std::find(types.begin(), types.end(), A(kTypeDesktop)) != types.end();
    t->hidden = std::find(states.begin(), states.end(), A(kStateHidden)) != states.end();
  }
  figures_.roundTrips++;
  treeChanged_ = true;
}

// The desktop's foreign windows follow the root's children, the taskbar
// follows the panels along the bottom edge, and the drawing goes to a desktop
// program's window when there is one.
bool XDisplay::SyncForeignWindows() {
  if (!treeChanged_) return false;
  treeChanged_ = false;
  Examine();
  int sw = screen_->width_in_pixels, sh = screen_->height_in_pixels;
  RECT taskbar{0, 0, 0, 0};
  xcb_window_t desktopWindow = 0;
  std::vector<HWND> order;  // top first
  for (auto it = tops_.rbegin(); it != tops_.rend(); ++it) {
    Top &t = *it;
    RECT rect{t.x, t.y, t.x + t.width + 2 * t.border, t.y + t.height + 2 * t.border};
    bool shown = t.mapped && !t.inputOnly && !t.own && !t.hidden && t.examined;
    bool bottomPanel = shown && t.dock && rect.bottom >= sh && rect.right - rect.left >= rect.bottom - rect.top;
    if (shown && t.desktop) {
      if (!desktopWindow) desktopWindow = t.client;
      shown = false;
    }
    if (bottomPanel) {
      if (IsRectEmpty(&taskbar)) taskbar = rect;
      else UnionRect(&taskbar, &taskbar, &rect);
      shown = false;
    }
    if (!shown) {
      if (t.hwnd && IsWindowVisible(t.hwnd)) ShowWindow(t.hwnd, SW_HIDE);
      continue;
    }
    if (!t.hwnd || !IsWindow(t.hwnd)) {
      t.hwnd = CreateForeignWindow(t.title, t.className, rect, true);
    } else {
      RECT now;
      GetWindowRect(t.hwnd, &now);
      if (!EqualRect(&now, &rect))
        SetWindowPos(t.hwnd, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      char title[256] = "";
      GetWindowTextA(t.hwnd, title, int(sizeof title));
      if (t.title.compare(0, sizeof title - 1, title) != 0) SetWindowTextA(t.hwnd, t.title.c_str());
      if (!IsWindowVisible(t.hwnd)) ShowWindow(t.hwnd, SW_SHOWNA);
    }
    if (t.hwnd) order.push_back(t.hwnd);
  }
  StackForeignWindows(order);
  // Without a panel along the bottom the taskbar waits below the screen.
  if (IsRectEmpty(&taskbar)) taskbar = RECT{0, sh, sw, sh + 28};
  if (!EqualRect(&taskbar, &taskbarRect_)) {
    taskbarRect_ = taskbar;
    SetWindowPos(vd::Taskbar(), nullptr, taskbar.left, taskbar.top, taskbar.right - taskbar.left,
                 taskbar.bottom - taskbar.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  xcb_window_t target = overlay_ ? overlay_ : (desktopWindow ? desktopWindow : screen_->root);
  if (target != desktopTarget_) {
    if (!overlay_ && desktopWindow) {
      uint32_t mask = XCB_EVENT_MASK_EXPOSURE;
      xcb_change_window_attributes(c_, desktopWindow, XCB_CW_EVENT_MASK, &mask);
    }
    desktopTarget_ = target;
    exposed_.Add(0, 0, sw, sh);
  }
  return true;
}

void XDisplay::Attach() {
  attached_ = true;
  int sw = screen_->width_in_pixels, sh = screen_->height_in_pixels;
  surfaceGc_ = xcb_generate_id(c_);
  xcb_create_gc(c_, surfaceGc_, screen_->root, 0, nullptr);
  rootGc_ = xcb_generate_id(c_);
  uint32_t exposures = 0;
  xcb_create_gc(c_, rootGc_, screen_->root, XCB_GC_GRAPHICS_EXPOSURES, &exposures);
  if (argbVisual_) {
    argbColormap_ = xcb_generate_id(c_);
    xcb_create_colormap(c_, XCB_COLORMAP_ALLOC_NONE, argbColormap_, screen_->root, argbVisual_);
    overlay_ = xcb_generate_id(c_);
    ownIds_.insert(overlay_);
    uint32_t values[] = {0, 0, 1, XCB_EVENT_MASK_EXPOSURE, argbColormap_};
    xcb_create_window(c_, 32, overlay_, screen_->root, 0, 0, uint16_t(sw), uint16_t(sh), 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, argbVisual_,
                      XCB_CW_BACK_PIXEL | XCB_CW_BORDER_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK |
                          XCB_CW_COLORMAP,
                      values);
    // Input passes through it, and the compositor casts no shadow from it.
    xcb_shape_rectangles(c_, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, XCB_CLIP_ORDERING_UNSORTED, overlay_, 0, 0, 0,
                         nullptr);
    uint32_t noShadow = 0;
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, overlay_, A(kComptonShadow), XCB_ATOM_CARDINAL, 32, 1,
                        &noShadow);
    const char name[] = "Mivora petals";
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, overlay_, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        sizeof name - 1, name);
    overlayGc_ = xcb_generate_id(c_);
    xcb_create_gc(c_, overlayGc_, overlay_, XCB_GC_GRAPHICS_EXPOSURES, &exposures);
  }
  ReadInitialTree();
  if (overlay_) {
    AddTop(overlay_, true).own = true;
    UpdateOverlayShape();
    xcb_map_window(c_, overlay_);
    FindTop(overlay_)->mapped = true;
  }
  treeChanged_ = true;
  SyncForeignWindows();
  vd::SetIdleHook([this](int ms) { Idle(ms); });
  xcb_flush(c_);
}

void XDisplay::Detach() {
  if (!attached_) return;
  vd::SetIdleHook(nullptr);
  if (lost_.empty()) {
    Present();
    for (Surface &s : surfaces_) DestroySurface(s);
    surfaces_.clear();
    for (TrayIcon &icon : icons_)
      if (icon.window) xcb_destroy_window(c_, icon.window);
    icons_.clear();
    if (overlay_) xcb_destroy_window(c_, overlay_);
    overlay_ = 0;
    if (instanceWindow_) xcb_destroy_window(c_, instanceWindow_);
    instanceWindow_ = 0;
    // Waits until the server has done all of it, so nothing is left when we go.
    xcb_get_input_focus_reply_t *r = xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr);
    free(r);
  }
  attached_ = false;
}

bool XDisplay::CheckConnection() {
  if (!lost_.empty()) return false;
  if (int err = xcb_connection_has_error(c_)) {
    lost_ = err == XCB_CONN_CLOSED_EXT_NOTSUPPORTED ? "an X extension it needs is missing"
            : err == XCB_CONN_CLOSED_MEM_INSUFFICIENT ? "out of memory"
                                                      : "the connection to the X display was lost";
    return false;
  }
  return true;
}

// ---------------------------------------------------------------- the wait

void XDisplay::Idle(int ms) {
  if (!lost_.empty()) return;
  if (Pump()) return;
  Present();
  // Replies read while presenting may have brought events along, which the
  // connection's descriptor no longer announces.
  if (xcb_generic_event_t *e = xcb_poll_for_queued_event(c_)) {
    figures_.events++;
    Handle(e);
    free(e);
    return;
  }
  struct pollfd fds[2] = {{xcb_get_file_descriptor(c_), POLLIN, 0}, {watchFd_, POLLIN, 0}};
  int n = poll(fds, watchFd_ >= 0 ? 2 : 1, std::max(ms, 0));
  if (n > 0 && watchFd_ >= 0 && (fds[1].revents & POLLIN) && watchFn_) watchFn_();
  if (n > 0 && (fds[0].revents & (POLLERR | POLLHUP))) CheckConnection();
  if (!Pump()) Present();
}

bool XDisplay::Pump() {
  bool fed = false;
  while (xcb_generic_event_t *e = xcb_poll_for_event(c_)) {
    figures_.events++;
    fed = Handle(e) || fed;
    free(e);
  }
  if (!CheckConnection()) {
    vd::StopAt(vd::Now());
    return true;
  }
  // After a change of the desktop's windows the message loop repaints what it
  // uncovered before anything is presented: else the old pixels would show.
  return SyncForeignWindows() || fed;
}

bool XDisplay::Handle(xcb_generic_event_t *e) {
  switch (e->response_type & 0x7F) {
    case 0:  // an error: a window went away between a request and its answer
      return false;
    case XCB_CREATE_NOTIFY: {
      auto *ev = reinterpret_cast<xcb_create_notify_event_t *>(e);
      if (ev->parent != screen_->root) return false;
      Top &t = AddTop(ev->window, true);
      t.x = ev->x;
      t.y = ev->y;
      t.width = ev->width;
      t.height = ev->height;
      t.border = ev->border_width;
      t.overrideRedirect = ev->override_redirect;
      treeChanged_ = true;
      return false;
    }
    case XCB_DESTROY_NOTIFY: {
      auto *ev = reinterpret_cast<xcb_destroy_notify_event_t *>(e);
      RemoveTop(ev->window);
      for (TrayIcon &icon : icons_)
        if (icon.window == ev->window) icon.window = 0;
      return false;
    }
    case XCB_MAP_NOTIFY:
    case XCB_UNMAP_NOTIFY: {
      bool map = (e->response_type & 0x7F) == XCB_MAP_NOTIFY;
      xcb_window_t w = map ? reinterpret_cast<xcb_map_notify_event_t *>(e)->window
                           : reinterpret_cast<xcb_unmap_notify_event_t *>(e)->window;
      if (Top *t = FindTop(w)) {
        t->mapped = map;
        if (map) t->overrideRedirect = reinterpret_cast<xcb_map_notify_event_t *>(e)->override_redirect;
        treeChanged_ = shapeStale_ = true;
        // A new window on top: the overlay goes back above it.
        if (map && overlay_ && w != overlay_) {
          uint32_t above = XCB_STACK_MODE_ABOVE;
          xcb_configure_window(c_, overlay_, XCB_CONFIG_WINDOW_STACK_MODE, &above);
        }
      }
      for (TrayIcon &icon : icons_)
        if (icon.window == w && !map) icon.docked = false;
      return false;
    }
    case XCB_REPARENT_NOTIFY: {
      auto *ev = reinterpret_cast<xcb_reparent_notify_event_t *>(e);
      if (ev->parent == screen_->root) {
        Top &t = AddTop(ev->window, true);
        t.x = ev->x;
        t.y = ev->y;
        t.overrideRedirect = ev->override_redirect;
        t.examined = false;
        treeChanged_ = true;
      } else {
        if (IsOwnWindow(ev->window)) {
          // The window manager framed one of ours: the frame is ours too.
          ownIds_.insert(ev->parent);
          if (Top *f = FindTop(ev->parent)) f->own = true;
          treeChanged_ = true;
        }
        if (FindTop(ev->window) && ev->event == screen_->root) RemoveTop(ev->window);
      }
      return false;
    }
    case XCB_CONFIGURE_NOTIFY: {
      auto *ev = reinterpret_cast<xcb_configure_notify_event_t *>(e);
      if (ev->window == screen_->root) return false;
      if (ev->event == screen_->root) {
        Top *t = FindTop(ev->window);
        if (!t) return false;
        t->x = ev->x;
        t->y = ev->y;
        t->width = ev->width;
        t->height = ev->height;
        t->border = ev->border_width;
        t->overrideRedirect = ev->override_redirect;
        Restack(ev->window, ev->above_sibling);
        if (overlay_ && ev->window != overlay_ && !tops_.empty() && tops_.back().id != overlay_) {
          uint32_t above = XCB_STACK_MODE_ABOVE;
          xcb_configure_window(c_, overlay_, XCB_CONFIG_WINDOW_STACK_MODE, &above);
        }
        return false;
      }
      // One of ours moved or was resized by the window manager or the tray.
      for (TrayIcon &icon : icons_)
        if (icon.window == ev->window && ev->width != icon.size) {
          icon.size = std::max<int>(ev->width, 8);
          icon.drawn = false;
        }
      if (Surface *s = SurfaceOf(ev->window); s && s->managed) {
        // The window manager tells where it put the window in root coordinates
        // with a synthetic event; a real one is relative to the frame.
        int x = ev->x, y = ev->y;
        if (!(e->response_type & 0x80)) {
          figures_.roundTrips++;
          xcb_translate_coordinates_reply_t *r = xcb_translate_coordinates_reply(
              c_, xcb_translate_coordinates(c_, ev->window, screen_->root, 0, 0), nullptr);
          if (!r) return false;
          x = r->dst_x;
          y = r->dst_y;
          free(r);
        }
        if (x != s->rect.left || y != s->rect.top) {
          s->rect = RECT{x, y, x + s->rect.right - s->rect.left, y + s->rect.bottom - s->rect.top};
          SetWindowPos(s->hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
          return true;
        }
      }
      return false;
    }
    case XCB_CIRCULATE_NOTIFY: {
      auto *ev = reinterpret_cast<xcb_circulate_notify_event_t *>(e);
      if (ev->place == XCB_PLACE_ON_TOP) Restack(ev->window, tops_.empty() ? XCB_NONE : tops_.back().id);
      else Restack(ev->window, XCB_NONE);
      return false;
    }
    case XCB_PROPERTY_NOTIFY: {
      auto *ev = reinterpret_cast<xcb_property_notify_event_t *>(e);
      if (ev->window == screen_->root) return false;
      if (ev->atom == A(kNetWmName) || ev->atom == XCB_ATOM_WM_NAME || ev->atom == A(kNetWmState) ||
          ev->atom == A(kNetWmWindowType) || ev->atom == XCB_ATOM_WM_CLASS)
        for (Top &t : tops_)
          if (t.client == ev->window) {
            t.propertiesStale = true;
            treeChanged_ = true;
          }
      return false;
    }
    case XCB_EXPOSE: {
      auto *ev = reinterpret_cast<xcb_expose_event_t *>(e);
      if (ev->window == desktopTarget_ || ev->window == overlay_) {
        exposed_.Add(ev->x, ev->y, ev->width, ev->height);
      } else if (Surface *s = SurfaceOf(ev->window)) {
        PresentSurface(*s, RECT{s->rect.left + ev->x, s->rect.top + ev->y, s->rect.left + ev->x + ev->width,
                                s->rect.top + ev->y + ev->height});
      } else {
        for (TrayIcon &icon : icons_)
          if (icon.window == ev->window) icon.drawn = false;
      }
      return false;
    }
    case XCB_BUTTON_PRESS:
    case XCB_BUTTON_RELEASE: {
      auto *ev = reinterpret_cast<xcb_button_press_event_t *>(e);
      bool press = (e->response_type & 0x7F) == XCB_BUTTON_PRESS;
      if (ev->detail != 1 && ev->detail != 3) return false;
      bool right = ev->detail == 3;
      UINT message = right ? (press ? WM_RBUTTONDOWN : WM_RBUTTONUP) : (press ? WM_LBUTTONDOWN : WM_LBUTTONUP);
      if (press && !right) {
        // The second press of a double-click: soon after the first, near it.
        bool dbl = !lastWasDouble_ && ev->time - lastPressTime_ <= uint32_t(kDoubleClickMs) &&
                   std::abs(ev->root_x - lastPressX_) <= kDoubleClickSlop &&
                   std::abs(ev->root_y - lastPressY_) <= kDoubleClickSlop;
        lastPressTime_ = ev->time;
        lastPressX_ = ev->root_x;
        lastPressY_ = ev->root_y;
        lastWasDouble_ = dbl;
        if (dbl) message = WM_LBUTTONDBLCLK;
      }
      return Pointer(ev->event, ev->root_x, ev->root_y, ev->event_x, ev->event_y, message);
    }
    case XCB_MOTION_NOTIFY: {
      auto *ev = reinterpret_cast<xcb_motion_notify_event_t *>(e);
      return Pointer(ev->event, ev->root_x, ev->root_y, ev->event_x, ev->event_y, WM_MOUSEMOVE);
    }
    case XCB_LEAVE_NOTIFY: {
      auto *ev = reinterpret_cast<xcb_leave_notify_event_t *>(e);
      // Off the icon to the panel: the tip goes, as it goes when the mouse leaves
      // it. A window opening over it (the menu) is no move of the mouse.
      if (ev->mode != XCB_NOTIFY_MODE_NORMAL || ev->detail == XCB_NOTIFY_DETAIL_INFERIOR) return false;
      for (TrayIcon &icon : icons_)
        if (icon.window == ev->event) {
          POINT cursor;
          GetCursorPos(&cursor);
          if (cursor.x == ev->root_x && cursor.y == ev->root_y) return false;
          vd::MouseMove(ev->root_x, ev->root_y);
          return true;
        }
      return false;
    }
    case XCB_KEY_PRESS:
    case XCB_KEY_RELEASE: {
      auto *ev = reinterpret_cast<xcb_key_press_event_t *>(e);
      return Key(ev->detail, (e->response_type & 0x7F) == XCB_KEY_PRESS);
    }
    case XCB_FOCUS_IN: {
      auto *ev = reinterpret_cast<xcb_focus_in_event_t *>(e);
      if (ev->mode == XCB_NOTIFY_MODE_GRAB || ev->mode == XCB_NOTIFY_MODE_UNGRAB) return false;
      if (Surface *s = SurfaceOf(ev->event)) {
        focused_ = s->id;
        if (s->managed && GetActiveWindow() != s->hwnd && IsWindowEnabled(s->hwnd)) SetActiveWindow(s->hwnd);
        lastActive_ = GetActiveWindow();
      }
      return false;
    }
    case XCB_FOCUS_OUT: {
      auto *ev = reinterpret_cast<xcb_focus_out_event_t *>(e);
      if (ev->mode == XCB_NOTIFY_MODE_GRAB || ev->mode == XCB_NOTIFY_MODE_UNGRAB) return false;
      if (ev->event == focused_) focused_ = 0;
      // Keys let go while another window had the focus never reach us.
      for (int vk : {VK_MENU, VK_SHIFT, VK_CONTROL})
        if (GetKeyState(vk) < 0) vd::KeyUp(vk);
      return false;
    }
    case XCB_CLIENT_MESSAGE: {
      auto *ev = reinterpret_cast<xcb_client_message_event_t *>(e);
      if (ev->type == A(kManager) && ev->data.data32[1] == traySelection_) {
        // A system tray started: the icons dock there now.
        for (TrayIcon &icon : icons_) icon.docked = false;
        return false;
      }
      if (ev->type == A(kWmProtocols) && ev->data.data32[0] == A(kWmDeleteWindow)) {
        if (Surface *s = SurfaceOf(ev->window)) {
          PostMessageA(s->hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
          return true;
        }
      }
      if (ev->type == A(kMivoraCommand) && ev->window == instanceWindow_ &&
          ev->data.data32[0] == kCommandShowSettings && showSettings_) {
        showSettings_();
        return true;
      }
      return false;
    }
    case XCB_SELECTION_CLEAR:
      return false;
  }
  return false;
}

// ---------------------------------------------------------------- input

bool XDisplay::Pointer(xcb_window_t window, int rootX, int rootY, int eventX, int eventY, UINT message) {
  for (TrayIcon &icon : icons_) {
    if (icon.window != window) continue;
    // The tray moves the icon without telling us; the pointer shows where it is.
    POINT origin{rootX - eventX, rootY - eventY};
    if (origin.x != icon.origin.x || origin.y != icon.origin.y) {
      icon.origin = origin;
      vd::PlaceTrayIcons(RECT{origin.x, origin.y, origin.x + icon.size, origin.y + icon.size}, icon.size);
    }
    break;
  }
  switch (message) {
    case WM_MOUSEMOVE: vd::MouseMove(rootX, rootY); break;
    case WM_LBUTTONDOWN: vd::MouseDown(rootX, rootY, 0); break;
    case WM_LBUTTONUP: vd::MouseUp(rootX, rootY, 0); break;
    case WM_RBUTTONDOWN: vd::MouseDown(rootX, rootY, 1); break;
    case WM_RBUTTONUP: vd::MouseUp(rootX, rootY, 1); break;
    case WM_LBUTTONDBLCLK: vd::DoubleClick(rootX, rootY); break;
  }
  return true;
}

bool XDisplay::Key(xcb_keycode_t code, bool down) {
  if (!keySymbols_) return false;
  int vk = VirtualKeyForKeysym(xcb_key_symbols_get_keysym(keySymbols_, code, 0));
  if (!vk) return false;
  if (down) vd::KeyDown(vk);
  else vd::KeyUp(vk);
  return true;
}

// ---------------------------------------------------------------- presenting

void XDisplay::Present() {
  if (!lost_.empty() || !attached_) return;
  SyncSurfaces();
  SyncTray();
  FollowActivation();
  std::vector<RECT> damage;
  vd::TakeScreenDamage(&damage);
  for (Surface &s : surfaces_)
    for (const RECT &d : damage) {
      RECT part;
      if (IntersectRect(&part, &d, &s.rect)) PresentSurface(s, part);
    }
  for (const RECT &d : damage) exposed_.Add(d.left, d.top, d.right - d.left, d.bottom - d.top);
  if (!exposed_.Empty()) PresentDesktop(exposed_);
  exposed_.Clear();
  if (overlay_ && shapeStale_) UpdateOverlayShape();
  xcb_flush(c_);
}

// Copies a box of the screen into the scratch buffer; `argb` makes the clear
// colour transparent and the rest opaque.
void XDisplay::PutPixels(xcb_drawable_t target, int depth, const RECT &box, int dx, int dy, bool argb) {
  const uint32_t *fb = vd::Framebuffer();
  int sw = vd::ScreenWidth();
  int w = box.right - box.left, h = box.bottom - box.top;
  if (w <= 0 || h <= 0) return;
  // Rows per request, within the server's request size.
  int rowsPerPut = std::max(1, int((maxRequestBytes_ - 64) / (uint32_t(w) * 4)));
  xcb_gcontext_t gc = target == overlay_ ? overlayGc_ : (target == desktopTarget_ ? rootGc_ : surfaceGc_);
  for (int y0 = 0; y0 < h; y0 += rowsPerPut) {
    int rows = std::min(rowsPerPut, h - y0);
    scratch_.resize(size_t(w) * rows);
    for (int j = 0; j < rows; ++j) {
      const uint32_t *src = fb + size_t(box.top + y0 + j) * sw + box.left;
      uint32_t *dst = scratch_.data() + size_t(j) * w;
      if (argb)
        for (int i = 0; i < w; ++i) dst[i] = (src[i] & 0xFFFFFF) == kKeyColor ? 0 : (src[i] | 0xFF000000u);
      else
        std::memcpy(dst, src, size_t(w) * 4);
    }
    xcb_put_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, target, gc, uint16_t(w), uint16_t(rows), int16_t(box.left - dx),
                  int16_t(box.top + y0 - dy), 0, uint8_t(depth), uint32_t(scratch_.size() * 4),
                  reinterpret_cast<const uint8_t *>(scratch_.data()));
    figures_.pixels += uint64_t(w) * rows;
  }
  figures_.presents++;
}

void XDisplay::PresentSurface(Surface &s, const RECT &box) {
  RECT part;
  if (!IntersectRect(&part, &box, &s.rect)) return;
  PutPixels(s.id, screen_->root_depth, part, s.rect.left, s.rect.top, false);
}

void XDisplay::PresentDesktop(Region &area) {
  // Only what no window covers is the desktop's: the program's windows show
  // their pixels themselves, the others and the panels are no place for petals.
  EnumWindows(
      [](HWND hwnd, LPARAM param) -> BOOL {
        RECT r;
        if (hwnd == vd::ProgramManager() || !IsWindowVisible(hwnd) || !GetWindowRect(hwnd, &r) || IsRectEmpty(&r))
          return TRUE;
        pixman_region32_t cut;
        pixman_region32_init_rect(&cut, r.left, r.top, unsigned(r.right - r.left), unsigned(r.bottom - r.top));
        auto *into = reinterpret_cast<pixman_region32_t *>(param);
        pixman_region32_subtract(into, into, &cut);
        pixman_region32_fini(&cut);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&area.r));
  pixman_region32_intersect_rect(&area.r, &area.r, 0, 0, unsigned(vd::ScreenWidth()), unsigned(vd::ScreenHeight()));
  const uint32_t *fb = vd::Framebuffer();
  int sw = vd::ScreenWidth();
  for (const xcb_rectangle_t &r : area.Rects()) {
    RECT box{r.x, r.y, r.x + r.width, r.y + r.height};
    if (overlay_) {
      PutPixels(overlay_, 32, box, 0, 0, true);
      continue;
    }
    // The root keeps its own background: the box is cleared to it, and only
    // the program's pixels are put back over it, through a clip of their runs.
    std::vector<xcb_rectangle_t> runs;
    for (int y = box.top; y < box.bottom; ++y) {
      const uint32_t *row = fb + size_t(y) * sw;
      for (int x = box.left; x < box.right;) {
        while (x < box.right && (row[x] & 0xFFFFFF) == kKeyColor) ++x;
        int start = x;
        while (x < box.right && (row[x] & 0xFFFFFF) != kKeyColor) ++x;
        if (x > start) runs.push_back(xcb_rectangle_t{int16_t(start), int16_t(y), uint16_t(x - start), 1});
      }
    }
    // A desktop program repaints what is cleared on its window; the root's
    // background is painted by the server.
    xcb_clear_area(c_, desktopTarget_ != screen_->root, desktopTarget_, r.x, r.y, r.width, r.height);
    if (runs.empty()) continue;
    xcb_set_clip_rectangles(c_, XCB_CLIP_ORDERING_YX_SORTED, rootGc_, 0, 0, uint32_t(runs.size()), runs.data());
    PutPixels(desktopTarget_, screen_->root_depth, box, 0, 0, false);
    uint32_t none = XCB_NONE;
    xcb_change_gc(c_, rootGc_, XCB_GC_CLIP_MASK, &none);
  }
}

// The overlay covers what no window covers: the desktop.
void XDisplay::UpdateOverlayShape() {
  shapeStale_ = false;
  Region shape;
  shape.Add(0, 0, screen_->width_in_pixels, screen_->height_in_pixels);
  for (const Top &t : tops_) {
    if (!t.mapped || t.inputOnly || t.id == overlay_ || t.desktop) continue;
    pixman_region32_t cut;
    pixman_region32_init_rect(&cut, t.x, t.y, unsigned(t.width + 2 * t.border), unsigned(t.height + 2 * t.border));
    pixman_region32_subtract(&shape.r, &shape.r, &cut);
    pixman_region32_fini(&cut);
  }
  std::vector<xcb_rectangle_t> rects = shape.Rects();
  if (rects.size() == overlayShape_.size() &&
      std::equal(rects.begin(), rects.end(), overlayShape_.begin(), [](const auto &a, const auto &b) {
        return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
      }))
    return;
  overlayShape_ = rects;
  xcb_shape_rectangles(c_, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, XCB_CLIP_ORDERING_YX_BANDED, overlay_, 0, 0,
                       uint32_t(rects.size()), rects.data());
}

// ---------------------------------------------------------------- the program's windows

Surface *XDisplay::SurfaceOf(xcb_window_t id) {
  for (Surface &s : surfaces_)
    if (s.id == id) return &s;
  return nullptr;
}

void XDisplay::SyncSurfaces() {
  // The program's visible top-level windows, top first.
  struct Seen {
    std::vector<HWND> list;
  } seen;
  EnumWindows(
      [](HWND hwnd, LPARAM param) -> BOOL {
        if (IsWindowVisible(hwnd) && !IsForeignWindow(hwnd) && hwnd != vd::ProgramManager() && hwnd != vd::Taskbar())
          reinterpret_cast<Seen *>(param)->list.push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&seen));
  for (Surface &s : surfaces_)
    if (std::find(seen.list.begin(), seen.list.end(), s.hwnd) == seen.list.end()) DestroySurface(s);
  surfaces_.erase(std::remove_if(surfaces_.begin(), surfaces_.end(), [](const Surface &s) { return s.id == 0; }),
                  surfaces_.end());
  for (HWND hwnd : seen.list) {
    auto it = std::find_if(surfaces_.begin(), surfaces_.end(), [&](const Surface &s) { return s.hwnd == hwnd; });
    if (it == surfaces_.end()) {
      CreateSurface(hwnd);
      continue;
    }
    RECT now;
    GetWindowRect(hwnd, &now);
    if (!EqualRect(&now, &it->rect)) {
      // Moved on the desktop (a drag by its caption): the X window follows.
      it->rect = now;
      uint32_t values[] = {uint32_t(now.left), uint32_t(now.top), uint32_t(std::max(1L, long(now.right - now.left))),
                           uint32_t(std::max(1L, long(now.bottom - now.top)))};
      xcb_configure_window(c_, it->id,
                           XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                               XCB_CONFIG_WINDOW_HEIGHT,
                           values);
      PresentSurface(*it, now);
    }
    char title[256] = "";
    GetWindowTextA(hwnd, title, int(sizeof title));
    if (it->managed && it->title != title) {
      it->title = title;
      xcb_change_property(c_, XCB_PROP_MODE_REPLACE, it->id, A(kNetWmName), A(kUtf8String), 8,
                          uint32_t(it->title.size()), it->title.data());
    }
  }
}

void XDisplay::CreateSurface(HWND hwnd) {
  Surface s;
  s.hwnd = hwnd;
  GetWindowRect(hwnd, &s.rect);
  int w = std::max(1L, long(s.rect.right - s.rect.left)), h = std::max(1L, long(s.rect.bottom - s.rect.top));
  LONG style = GetWindowLongA(hwnd, GWL_STYLE);
  // Windows with a caption are the window manager's to place and stack; menus,
  // tooltips and popups place themselves.
  s.managed = (style & WS_CAPTION) == WS_CAPTION;
  s.id = xcb_generate_id(c_);
  ownIds_.insert(s.id);
  uint32_t mask = XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                  XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE |
                  XCB_EVENT_MASK_FOCUS_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
  uint32_t values[] = {uint32_t(s.managed ? 0 : 1), mask};
  xcb_create_window(c_, XCB_COPY_FROM_PARENT, s.id, screen_->root, int16_t(s.rect.left), int16_t(s.rect.top),
                    uint16_t(w), uint16_t(h), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual,
                    XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
  char title[256] = "";
  GetWindowTextA(hwnd, title, int(sizeof title));
  s.title = title;
  if (s.managed) {
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, s.id, A(kNetWmName), A(kUtf8String), 8, uint32_t(s.title.size()),
                        s.title.data());
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, s.id, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        uint32_t(s.title.size()), s.title.data());
    const char cls[] = "mivora\0Mivora";
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, s.id, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, sizeof cls, cls);
    xcb_atom_t protocols[] = {A(kWmDeleteWindow)};
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, s.id, A(kWmProtocols), XCB_ATOM_ATOM, 32, 1, protocols);
    // The desktop draws the frame and the caption: the window manager draws none.
    uint32_t motif[5] = {2, 0, 0, 0, 0};
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, s.id, A(kMotifHints), A(kMotifHints), 32, 5, motif);
    xcb_atom_t type = A(kTypeDialog);
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, s.id, A(kNetWmWindowType), XCB_ATOM_ATOM, 32, 1, &type);
    // Where the desktop put it, at its fixed size (WM_NORMAL_HINTS: USPosition,
    // PPosition, PSize, PMinSize, PMaxSize).
    uint32_t hints[18] = {};
    hints[0] = 1 | 4 | 8 | 16 | 32;
    hints[1] = uint32_t(s.rect.left);
    hints[2] = uint32_t(s.rect.top);
    hints[3] = hints[5] = hints[7] = uint32_t(w);
    hints[4] = hints[6] = hints[8] = uint32_t(h);
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, s.id, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 32, 18,
                        hints);
    uint32_t wmHints[9] = {1, 1, 1, 0, 0, 0, 0, 0, 0};  // InputHint, input, NormalState
    wmHints[0] = 1 | 2;
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, s.id, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32, 9, wmHints);
    uint32_t pid = uint32_t(getpid());
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, s.id, A(kNetWmPid), XCB_ATOM_CARDINAL, 32, 1, &pid);
    // A window owned by another of ours stays above it.
    HWND owner = GetWindow(hwnd, GW_OWNER);
    for (Surface &o : surfaces_)
      if (o.hwnd == owner)
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, s.id, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 32, 1, &o.id);
    // Its icon, for the window manager's task list and switcher.
    HICON icon = reinterpret_cast<HICON>(GetClassLongPtrA(hwnd, GCLP_HICON));
    std::vector<uint32_t> data;
    for (int size : {16, 32}) {
      std::vector<uint32_t> argb;
      if (!icon || !vd::IconPixels(icon, size, &argb)) continue;
      data.push_back(uint32_t(size));
      data.push_back(uint32_t(size));
      data.insert(data.end(), argb.begin(), argb.end());
    }
    if (!data.empty())
      xcb_change_property(c_, XCB_PROP_MODE_REPLACE, s.id, A(kNetWmIcon), XCB_ATOM_CARDINAL, 32,
                          uint32_t(data.size()), data.data());
  }
  xcb_map_window(c_, s.id);
  bool menu = false;
  char cls[64] = "";
  GetClassNameA(hwnd, cls, int(sizeof cls));
  menu = std::strcmp(cls, "#32768") == 0;
  surfaces_.push_back(s);
  Surface &added = surfaces_.back();
  if (added.managed) lastActive_ = nullptr;  // the focus follows once it is there
  if (menu) {
    // A menu takes the pointer and the keyboard while it is open, as menus do,
    // so that a click anywhere else closes it.
    figures_.roundTrips++;
    xcb_grab_pointer_reply_t *g = xcb_grab_pointer_reply(
        c_,
        xcb_grab_pointer(c_, 1, added.id,
                         XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_POINTER_MOTION,
                         XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, XCB_CURRENT_TIME),
        nullptr);
    free(g);
    xcb_grab_keyboard_reply_t *k = xcb_grab_keyboard_reply(
        c_, xcb_grab_keyboard(c_, 1, added.id, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC), nullptr);
    free(k);
    added.grabbed = true;
  }
  PresentSurface(added, added.rect);
}

void XDisplay::DestroySurface(Surface &s) {
  if (!s.id) return;
  if (s.grabbed) {
    xcb_ungrab_pointer(c_, XCB_CURRENT_TIME);
    xcb_ungrab_keyboard(c_, XCB_CURRENT_TIME);
  }
  xcb_destroy_window(c_, s.id);
  ownIds_.erase(s.id);
  if (focused_ == s.id) focused_ = 0;
  s.id = 0;
}

// The desktop activated one of the program's windows (a double-click on the
// icon shows the dialog): the window manager is asked to give it the focus.
void XDisplay::FollowActivation() {
  HWND active = GetActiveWindow();
  if (active == lastActive_) return;
  lastActive_ = active;
  for (Surface &s : surfaces_) {
    if (s.hwnd != active || !s.managed || s.id == focused_) continue;
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = s.id;
    ev.type = A(kNetActiveWindow);
    // As a pager asks: window managers keep an application's request without a
    // user's timestamp from taking the focus, and this one follows a user's act
    // on the icon, or is a message box the program must have answered.
    ev.data.data32[0] = 2;
    ev.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c_, 0, screen_->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char *>(&ev));
  }
}

// ---------------------------------------------------------------- the notification area

xcb_window_t XDisplay::TrayManager() {
  figures_.roundTrips++;
  xcb_window_t owner = XCB_NONE;
  if (xcb_get_selection_owner_reply_t *r =
          xcb_get_selection_owner_reply(c_, xcb_get_selection_owner(c_, traySelection_), nullptr)) {
    owner = r->owner;
    free(r);
  }
  return owner;
}

void XDisplay::SyncTray() {
  constexpr uint64_t kTrayGraceMs = 5000;
  if (noTraySince_ && !noTraySaid_ && vd::Now() - noTraySince_ >= kTrayGraceMs) {
    noTraySaid_ = true;
    if (TrayManager()) {
      for (TrayIcon &icon : icons_) icon.docked = false;
    } else if (noTray_) {
      noTray_();
    }
  }
  std::vector<TrayIconInfo> now = vd::TrayIcons();
  // Icons deleted by the program go.
  for (TrayIcon &icon : icons_) {
    bool still = std::any_of(now.begin(), now.end(),
                             [&](const TrayIconInfo &i) { return i.owner == icon.owner && i.id == icon.id; });
    if (!still && icon.window) {
      xcb_destroy_window(c_, icon.window);
      ownIds_.erase(icon.window);
      icon.window = 0;
      icon.owner = nullptr;
    }
  }
  icons_.erase(std::remove_if(icons_.begin(), icons_.end(), [](const TrayIcon &i) { return !i.owner; }),
               icons_.end());
  for (const TrayIconInfo &info : now) {
    auto it = std::find_if(icons_.begin(), icons_.end(),
                           [&](const TrayIcon &i) { return i.owner == info.owner && i.id == info.id; });
    if (it == icons_.end()) {
      TrayIcon icon;
      icon.owner = info.owner;
      icon.id = info.id;
      icons_.push_back(icon);
      it = icons_.end() - 1;
    }
    if (it->icon != info.icon) {
      it->icon = info.icon;
      it->drawn = false;
    }
    if (!it->docked) DockIcon(*it);
    if (it->docked && !it->drawn) DrawIcon(*it);
  }
}

void XDisplay::DockIcon(TrayIcon &icon) {
  xcb_window_t manager = TrayManager();
  if (!manager) {
    // A panel started with the session may come up after us: it announces
    // itself (MANAGER), and only a tray still missing a while later is told.
    if (!noTraySince_) noTraySince_ = std::max<uint64_t>(vd::Now(), 1);
    icon.docked = true;
    return;
  }
  noTraySince_ = 0;
  if (!icon.window) {
    icon.window = xcb_generate_id(c_);
    ownIds_.insert(icon.window);
    // Its background is the panel's, so only the blossom needs drawing.
    uint32_t values[] = {XCB_BACK_PIXMAP_PARENT_RELATIVE,
                         XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                             XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_LEAVE_WINDOW |
                             XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_create_window(c_, XCB_COPY_FROM_PARENT, icon.window, screen_->root, 0, 0, uint16_t(icon.size),
                      uint16_t(icon.size), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual,
                      XCB_CW_BACK_PIXMAP | XCB_CW_EVENT_MASK, values);
    // Trays size an icon by its minimum size (PMinSize | PBaseSize), else 1 x 1.
    uint32_t hints[18] = {};
    hints[0] = 16 | 256;
    hints[5] = hints[6] = hints[15] = hints[16] = uint32_t(icon.size);
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, icon.window, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS,
                        32, 18, hints);
    uint32_t info[2] = {0, 1};  // XEmbed version 0, mapped
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, icon.window, A(kXembedInfo), A(kXembedInfo), 32, 2, info);
    const char cls[] = "mivora\0Mivora";
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, icon.window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, sizeof cls,
                        cls);
    const char name[] = "Mivora";
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, icon.window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        sizeof name - 1, name);
  }
  xcb_client_message_event_t ev{};
  ev.response_type = XCB_CLIENT_MESSAGE;
  ev.format = 32;
  ev.window = manager;
  ev.type = A(kTrayOpcode);
  ev.data.data32[0] = XCB_CURRENT_TIME;
  ev.data.data32[1] = 0;  // SYSTEM_TRAY_REQUEST_DOCK
  ev.data.data32[2] = icon.window;
  xcb_send_event(c_, 0, manager, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&ev));
  icon.docked = true;
  icon.drawn = false;
}

void XDisplay::DrawIcon(TrayIcon &icon) {
  if (!icon.window) return;
  icon.drawn = true;
  std::vector<uint32_t> argb;
  // The blossom a little inside the panel's square, as trays show icons.
  int inner = std::max(8, icon.size - 2 * std::max(1, icon.size / 8));
  int offset = (icon.size - inner) / 2;
  if (!icon.icon || !vd::IconPixels(icon.icon, inner, &argb)) return;
  xcb_clear_area(c_, 0, icon.window, 0, 0, 0, 0);
  std::vector<xcb_rectangle_t> runs;
  std::vector<uint32_t> pixels(size_t(inner) * inner);
  for (int y = 0; y < inner; ++y)
    for (int x = 0; x < inner;) {
      while (x < inner && (argb[size_t(y) * inner + x] >> 24) < 128) ++x;
      int start = x;
      while (x < inner && (argb[size_t(y) * inner + x] >> 24) >= 128) ++x;
      if (x > start)
        runs.push_back(xcb_rectangle_t{int16_t(offset + start), int16_t(offset + y), uint16_t(x - start), 1});
    }
  for (size_t i = 0; i < argb.size(); ++i) pixels[i] = argb[i] & 0xFFFFFF;
  xcb_set_clip_rectangles(c_, XCB_CLIP_ORDERING_YX_SORTED, surfaceGc_, 0, 0, uint32_t(runs.size()), runs.data());
  xcb_put_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, icon.window, surfaceGc_, uint16_t(inner), uint16_t(inner),
                int16_t(offset), int16_t(offset), 0, screen_->root_depth, uint32_t(pixels.size() * 4),
                reinterpret_cast<const uint8_t *>(pixels.data()));
  uint32_t none = XCB_NONE;
  xcb_change_gc(c_, surfaceGc_, XCB_GC_CLIP_MASK, &none);
}

// ---------------------------------------------------------------- one per screen

bool XDisplay::ClaimInstance() {
  figures_.roundTrips++;
  xcb_get_selection_owner_reply_t *r =
      xcb_get_selection_owner_reply(c_, xcb_get_selection_owner(c_, instanceSelection_), nullptr);
  xcb_window_t owner = r ? r->owner : XCB_NONE;
  free(r);
  if (owner != XCB_NONE) return false;
  instanceWindow_ = xcb_generate_id(c_);
  ownIds_.insert(instanceWindow_);
  uint32_t values[] = {1};
  xcb_create_window(c_, XCB_COPY_FROM_PARENT, instanceWindow_, screen_->root, -10, -10, 1, 1, 0,
                    XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT, values);
  xcb_set_selection_owner(c_, instanceWindow_, instanceSelection_, XCB_CURRENT_TIME);
  figures_.roundTrips++;
  r = xcb_get_selection_owner_reply(c_, xcb_get_selection_owner(c_, instanceSelection_), nullptr);
  owner = r ? r->owner : XCB_NONE;
  free(r);
  return owner == instanceWindow_;
}

bool XDisplay::AskRunningInstanceToShowSettings() {
  xcb_get_selection_owner_reply_t *r =
      xcb_get_selection_owner_reply(c_, xcb_get_selection_owner(c_, instanceSelection_), nullptr);
  xcb_window_t owner = r ? r->owner : XCB_NONE;
  free(r);
  if (owner == XCB_NONE) return false;
  xcb_client_message_event_t ev{};
  ev.response_type = XCB_CLIENT_MESSAGE;
  ev.format = 32;
  ev.window = owner;
  ev.type = A(kMivoraCommand);
  ev.data.data32[0] = kCommandShowSettings;
  xcb_send_event(c_, 0, owner, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&ev));
  xcb_get_input_focus_reply_t *sync = xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr);
  free(sync);
  return xcb_connection_has_error(c_) == 0;
}

}  // namespace

std::unique_ptr<Display> Display::Open(const char *name, DesktopMode mode, std::string *error) {
  const char *shown = name ? name : std::getenv("DISPLAY");
  if (!shown || !*shown) {
    *error = "no X display: DISPLAY is not set";
    return nullptr;
  }
  int screen = 0;
  xcb_connection_t *c = xcb_connect(name, &screen);
  if (xcb_connection_has_error(c)) {
    xcb_disconnect(c);
    *error = std::string("cannot open the X display ") + shown;
    return nullptr;
  }
  auto display = std::make_unique<XDisplay>(c, screen, mode);
  if (!display->Setup(error)) return nullptr;
  return display;
}

}  // namespace vd::x11
