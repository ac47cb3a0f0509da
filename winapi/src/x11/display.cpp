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
#include <xcb/shape.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "x11/keys.h"
#include "x11/xdisplay.h"

namespace vd::x11 {
namespace detail {

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
  if (focusLeft_ && !focused_) {
    // As on Windows when another program is activated: the program's window
    // is told it is no longer active and draws its caption so.
    user::ActivateWindow(nullptr);
    lastActive_ = nullptr;
    fed = true;
  }
  focusLeft_ = false;
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
        exposed_.Union(RECT{ev->x, ev->y, ev->x + ev->width, ev->y + ev->height});
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
      if (ev->event == focused_) {
        focused_ = 0;
        // Another program's window took the focus, unless one of ours takes it
        // in the same batch of events: then the desktop has no active window.
        if (ev->detail != XCB_NOTIFY_DETAIL_INFERIOR && ev->detail != XCB_NOTIFY_DETAIL_POINTER) focusLeft_ = true;
      }
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

// ---------------------------------------------------------------- one per screen

void XDisplay::SendClientMessage(xcb_window_t to, xcb_window_t about, xcb_atom_t type,
                                 std::initializer_list<uint32_t> data, uint32_t mask) {
  xcb_client_message_event_t ev{};
  ev.response_type = XCB_CLIENT_MESSAGE;
  ev.format = 32;
  ev.window = about;
  ev.type = type;
  std::copy(data.begin(), data.begin() + std::min<size_t>(data.size(), 5), ev.data.data32);
  xcb_send_event(c_, 0, to, mask, reinterpret_cast<const char *>(&ev));
}

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
  SendClientMessage(owner, owner, A(kMivoraCommand), {kCommandShowSettings});
  xcb_get_input_focus_reply_t *sync = xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr);
  free(sync);
  return xcb_connection_has_error(c_) == 0;
}

}  // namespace detail


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
  auto display = std::make_unique<detail::XDisplay>(c, screen, mode);
  if (!display->Setup(error)) return nullptr;
  return display;
}

}  // namespace vd::x11
