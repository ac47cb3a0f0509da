// The notification icon in the panel's system tray (XEmbed).

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "x11/xdisplay.h"

namespace vd::x11::detail {

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
  const uint32_t kRequestDock = 0;  // SYSTEM_TRAY_REQUEST_DOCK
  SendClientMessage(manager, manager, A(kTrayOpcode), {XCB_CURRENT_TIME, kRequestDock, icon.window});
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
    AddRuns(&argb[size_t(y) * inner], 0, inner, offset, offset + y, [](uint32_t p) { return (p >> 24) >= 128; },
            &runs);
  for (size_t i = 0; i < argb.size(); ++i) pixels[i] = argb[i] & 0xFFFFFF;
  xcb_set_clip_rectangles(c_, XCB_CLIP_ORDERING_YX_SORTED, surfaceGc_, 0, 0, uint32_t(runs.size()), runs.data());
  xcb_put_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, icon.window, surfaceGc_, uint16_t(inner), uint16_t(inner),
                int16_t(offset), int16_t(offset), 0, screen_->root_depth, uint32_t(pixels.size() * 4),
                reinterpret_cast<const uint8_t *>(pixels.data()));
  uint32_t none = XCB_NONE;
  xcb_change_gc(c_, surfaceGc_, XCB_GC_CLIP_MASK, &none);
}

}  // namespace vd::x11::detail
