// Other programs' windows: the root's children as the server reports them,
// their clients' properties, and the desktop's foreign windows that stand for them.

#include <algorithm>
#include <cstdlib>

#include "x11/xdisplay.h"

namespace vd::x11::detail {

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
    exposed_.Union(RECT{0, 0, sw, sh});
  }
  return true;
}

}  // namespace vd::x11::detail
