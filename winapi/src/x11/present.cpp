// What changed on the screen goes to the server: the desktop's part to the root
// window or the overlay, each of the program's windows' part to its own X window.

#include <xcb/shape.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "x11/xdisplay.h"

namespace vd::x11::detail {

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
  for (const RECT &d : damage) exposed_.Union(d);
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

void XDisplay::PresentDesktop(user::Region &area) {
  // Only what no window covers is the desktop's: the program's windows show
  // their pixels themselves, the others and the panels are no place for petals.
  EnumWindows(
      [](HWND hwnd, LPARAM param) -> BOOL {
        RECT r;
        if (hwnd != vd::ProgramManager() && IsWindowVisible(hwnd) && GetWindowRect(hwnd, &r))
          reinterpret_cast<user::Region *>(param)->Subtract(r);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&area));
  area.Intersect(RECT{0, 0, vd::ScreenWidth(), vd::ScreenHeight()});
  const uint32_t *fb = vd::Framebuffer();
  int sw = vd::ScreenWidth();
  for (const xcb_rectangle_t &r : XRects(area)) {
    RECT box{r.x, r.y, r.x + r.width, r.y + r.height};
    if (overlay_) {
      PutPixels(overlay_, 32, box, 0, 0, true);
      continue;
    }
    // The root keeps its own background: the box is cleared to it, and only
    // the program's pixels are put back over it, through a clip of their runs.
    std::vector<xcb_rectangle_t> runs;
    for (int y = box.top; y < box.bottom; ++y)
      AddRuns(fb + size_t(y) * sw, box.left, box.right, 0, y, [](uint32_t p) { return (p & 0xFFFFFF) != kKeyColor; },
              &runs);
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
  user::Region shape(RECT{0, 0, screen_->width_in_pixels, screen_->height_in_pixels});
  for (const Top &t : tops_)
    if (t.mapped && !t.inputOnly && t.id != overlay_ && !t.desktop)
      shape.Subtract(RECT{t.x, t.y, t.x + t.width + 2 * t.border, t.y + t.height + 2 * t.border});
  std::vector<xcb_rectangle_t> rects = XRects(shape);
  if (rects.size() == overlayShape_.size() &&
      std::equal(rects.begin(), rects.end(), overlayShape_.begin(), [](const auto &a, const auto &b) {
        return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
      }))
    return;
  overlayShape_ = rects;
  xcb_shape_rectangles(c_, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, XCB_CLIP_ORDERING_YX_BANDED, overlay_, 0, 0,
                       uint32_t(rects.size()), rects.data());
}

}  // namespace vd::x11::detail
