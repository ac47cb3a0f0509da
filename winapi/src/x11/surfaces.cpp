// The program's top-level windows as X windows: dialogs and message boxes for
// the window manager to manage, menus and tooltips placing themselves.

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "x11/xdisplay.h"

namespace vd::x11::detail {

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
    // As a pager asks: window managers keep an application's request without a
    // user's timestamp from taking the focus, and this one follows a user's act
    // on the icon, or is a message box the program must have answered.
    SendClientMessage(screen_->root, s.id, A(kNetActiveWindow), {2, XCB_CURRENT_TIME},
                      XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT);
  }
}

}  // namespace vd::x11::detail
