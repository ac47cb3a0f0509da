// The desktop geometry on a fresh virtual desktop: the nine regions made as
// start-up makes them, the layer settings at their factory values, and helpers
// that compare regions with hand-computed rectangle sets.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "app/app.h"
#include "geometry/geometry.h"
#include "render/render.h"
#include "settings/settings.h"
#include "vdesktop.h"

namespace geotest {

constexpr COLORREF kPaint = RGB(255, 0, 0);
constexpr uint32_t kPaintPixel = 0xFF0000;

inline HRGN MakeRegion(std::initializer_list<RECT> rects) {
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  for (const RECT &r : rects) {
    HRGN part = CreateRectRgn(r.left, r.top, r.right, r.bottom);
    CombineRgn(region, region, part, RGN_OR);
    DeleteObject(part);
  }
  return region;
}

inline void AddRect(HRGN region, RECT r) {
  HRGN part = CreateRectRgn(r.left, r.top, r.right, r.bottom);
  CombineRgn(region, region, part, RGN_OR);
  DeleteObject(part);
}

inline std::string Box(HRGN region) {
  RECT box = {0, 0, 0, 0};
  if (GetRgnBox(region, &box) == NULLREGION) return "empty";
  return "box (" + std::to_string(box.left) + ", " + std::to_string(box.top) + ", " + std::to_string(box.right) +
         ", " + std::to_string(box.bottom) + ")";
}

// `region` within `area` is exactly the union of `expected` (clipped to `area`).
inline ::testing::AssertionResult RegionWithinIs(HRGN region, RECT area, std::initializer_list<RECT> expected) {
  HRGN clip = MakeRegion({area});
  HRGN got = CreateRectRgn(0, 0, 0, 0);
  HRGN want = MakeRegion(expected);
  CombineRgn(got, region, clip, RGN_AND);
  CombineRgn(want, want, clip, RGN_AND);
  bool equal = EqualRgn(got, want);
  std::string message = "got " + Box(got) + ", want " + Box(want);
  DeleteObject(clip);
  DeleteObject(got);
  DeleteObject(want);
  if (equal) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << message;
}

inline ::testing::AssertionResult RegionIs(HRGN region, std::initializer_list<RECT> expected) {
  return RegionWithinIs(region, RECT{-100000, -100000, 100000, 100000}, expected);
}

inline bool RectEquals(const RECT &a, const RECT &b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

inline std::string Show(const RECT &r) {
  return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " + std::to_string(r.right) + ", " +
         std::to_string(r.bottom) + ")";
}

// The repaints made on one window (0: the whole-screen ones).
inline std::vector<vd::RepaintRecord> RepaintsOf(HWND hwnd) {
  std::vector<vd::RepaintRecord> found;
  for (const vd::RepaintRecord &r : vd::Repaints())
    if (r.hwnd == hwnd) found.push_back(r);
  return found;
}

inline std::vector<vd::RepaintRecord> WindowRepaints() {
  std::vector<vd::RepaintRecord> found;
  for (const vd::RepaintRecord &r : vd::Repaints())
    if (r.hwnd != 0) found.push_back(r);
  return found;
}

// Paints a rectangle (screen coordinates) through a context of `hwnd`.
inline void PaintThrough(HDC dc, HWND hwnd, RECT screen) {
  RECT window = {0, 0, 0, 0};
  GetWindowRect(hwnd, &window);
  OffsetRect(&screen, -window.left, -window.top);
  HBRUSH brush = CreateSolidBrush(kPaint);
  FillRect(dc, &screen, brush);
  DeleteObject(brush);
}

class GeometryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vd::Reset();
    vd::RecordObservations(true);  // the tests read the repaints and beeps
    ResetGeometryState();
    Settings = SettingsRecord{};
    Settings.windowLayers = 1;
    Settings.bottomLayer = 1;
    Settings.windowLayerThickness = 15;
    Settings.bottomLayerThickness = 40;
    CreateRegions();
  }
  void TearDown() override { ResetGeometryState(); }

  // Start-up's part: the rebuild, then the context given back.
  void Start() {
    RebuildGeometry();
    ReleaseDC(DrawTarget, TargetDC);
  }
  // The tick's part: a context for the target around the window refresh.
  void Tick() {
    TargetDC = GetDC(DrawTarget);
    RefreshWindowRegion();
    ReleaseDC(DrawTarget, TargetDC);
  }
  // Lets the desktop finish painting, then forgets what was recorded.
  void Settle() {
    vd::PaintPending();
    vd::ClearRecords();
  }
  void HideTaskbar() { ShowWindow(vd::Taskbar(), SW_HIDE); }
};

}  // namespace geotest
