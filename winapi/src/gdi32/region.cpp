// Regions: exact pixel sets over pixman's region32. A rectangle covers
// left <= x < right, top <= y < bottom.
#include <algorithm>
#include <cstdint>
#include <utility>

#include "gdi32/objects.h"

namespace vd::gdi {
namespace {

int RegionType(pixman_region32_t *r) {
  int n = pixman_region32_n_rects(r);
  return n == 0 ? NULLREGION : n == 1 ? SIMPLEREGION : COMPLEXREGION;
}

// Region coordinates lie within the universal set's bounds, -2^27 to
// 2^27 - 1. A rectangle reaching beyond them is refused, and so is an offset
// that would take any edge beyond them; the region is left as it was.
constexpr int64_t kMinCoord = -(int64_t(1) << 27);
constexpr int64_t kMaxCoord = (int64_t(1) << 27) - 1;
bool InRange(int64_t v) { return v >= kMinCoord && v <= kMaxCoord; }

// Win32 swaps the coordinates of a rectangle given right-to-left or bottom-to-top;
// one with no width or no height is empty.
bool SetRect(pixman_region32_t *r, int left, int top, int right, int bottom) {
  if (!InRange(left) || !InRange(top) || !InRange(right) || !InRange(bottom)) return false;
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  pixman_region32_fini(r);
  if (left == right || top == bottom)
    pixman_region32_init(r);
  else
    pixman_region32_init_rect(r, left, top, unsigned(right - left), unsigned(bottom - top));
  return true;
}

}  // namespace

pixman_region32_t *RegionData(HRGN rgn) {
  Region *r = Find<Region>(rgn);
  return r ? &r->rgn : nullptr;
}

}  // namespace vd::gdi

using namespace vd::gdi;

extern "C" {

HRGN WINAPI CreateRectRgn(int left, int top, int right, int bottom) {
  auto region = std::make_unique<Region>();
  if (!SetRect(&region->rgn, left, top, right, bottom)) return nullptr;
  return static_cast<HRGN>(AddObject(std::move(region)));
}

HRGN WINAPI CreateRectRgnIndirect(const RECT *rect) {
  if (!rect) return nullptr;
  return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

BOOL WINAPI SetRectRgn(HRGN rgn, int left, int top, int right, int bottom) {
  Region *r = Find<Region>(rgn);
  if (!r) return FALSE;
  return SetRect(&r->rgn, left, top, right, bottom) ? TRUE : FALSE;
}

int WINAPI CombineRgn(HRGN dst, HRGN src1, HRGN src2, int mode) {
  Region *d = Find<Region>(dst);
  Region *a = Find<Region>(src1);
  if (!d || !a) return ERROR;
  if (mode == RGN_COPY) {
    pixman_region32_copy(&d->rgn, &a->rgn);
    return RegionType(&d->rgn);
  }
  Region *b = Find<Region>(src2);
  if (!b) return ERROR;
  // pixman's operations accept a destination that is also a source.
  switch (mode) {
    case RGN_AND:
      pixman_region32_intersect(&d->rgn, &a->rgn, &b->rgn);
      break;
    case RGN_OR:
      pixman_region32_union(&d->rgn, &a->rgn, &b->rgn);
      break;
    case RGN_DIFF:
      pixman_region32_subtract(&d->rgn, &a->rgn, &b->rgn);
      break;
    case RGN_XOR: {
      // (a - b) | (b - a), worked out before the destination (maybe a or b) changes.
      pixman_region32_t aOnly, bOnly;
      pixman_region32_init(&aOnly);
      pixman_region32_init(&bOnly);
      pixman_region32_subtract(&aOnly, &a->rgn, &b->rgn);
      pixman_region32_subtract(&bOnly, &b->rgn, &a->rgn);
      pixman_region32_union(&d->rgn, &aOnly, &bOnly);
      pixman_region32_fini(&aOnly);
      pixman_region32_fini(&bOnly);
      break;
    }
    default:
      return ERROR;
  }
  return RegionType(&d->rgn);
}

int WINAPI OffsetRgn(HRGN rgn, int dx, int dy) {
  Region *r = Find<Region>(rgn);
  if (!r) return ERROR;
  int type = RegionType(&r->rgn);
  if (type == NULLREGION) return NULLREGION;  // nothing to move, whatever the offset
  const pixman_box32_t *box = pixman_region32_extents(&r->rgn);
  if (!InRange(int64_t(box->x1) + dx) || !InRange(int64_t(box->x2) + dx) || !InRange(int64_t(box->y1) + dy) ||
      !InRange(int64_t(box->y2) + dy))
    return ERROR;
  pixman_region32_translate(&r->rgn, dx, dy);
  return type;
}

int WINAPI GetRgnBox(HRGN rgn, LPRECT rect) {
  Region *r = Find<Region>(rgn);
  if (!r || !rect) return ERROR;
  int type = RegionType(&r->rgn);
  if (type == NULLREGION) {
    *rect = RECT{0, 0, 0, 0};
  } else {
    const pixman_box32_t *box = pixman_region32_extents(&r->rgn);
    *rect = RECT{box->x1, box->y1, box->x2, box->y2};
  }
  return type;
}

BOOL WINAPI PtInRegion(HRGN rgn, int x, int y) {
  Region *r = Find<Region>(rgn);
  if (!r) return FALSE;
  return pixman_region32_contains_point(&r->rgn, x, y, nullptr) ? TRUE : FALSE;
}

BOOL WINAPI RectInRegion(HRGN rgn, const RECT *rect) {
  Region *r = Find<Region>(rgn);
  if (!r || !rect) return FALSE;
  // The rectangle is normalised as regions are; an empty one holds no pixel to share.
  pixman_box32_t box{std::min(rect->left, rect->right), std::min(rect->top, rect->bottom),
                     std::max(rect->left, rect->right), std::max(rect->top, rect->bottom)};
  if (box.x1 == box.x2 || box.y1 == box.y2) return FALSE;
  return pixman_region32_contains_rectangle(&r->rgn, &box) != PIXMAN_REGION_OUT ? TRUE : FALSE;
}

BOOL WINAPI EqualRgn(HRGN a, HRGN b) {
  Region *ra = Find<Region>(a);
  Region *rb = Find<Region>(b);
  if (!ra || !rb) return ERROR;
  // pixman compares extents too, and an emptied region may keep stale ones.
  bool emptyA = !pixman_region32_not_empty(&ra->rgn), emptyB = !pixman_region32_not_empty(&rb->rgn);
  if (emptyA || emptyB) return emptyA == emptyB ? TRUE : FALSE;
  return pixman_region32_equal(&ra->rgn, &rb->rgn) ? TRUE : FALSE;
}

}  // extern "C"
