#include "present.h"

#include <algorithm>
#include <cstring>

#include "vdesktop.h"

namespace live {
namespace {

// Smallest window offset k (from the placement's edge) whose sample is at or past desktop coordinate d.
int FirstShowing(long long d, int placed, int desktop) { return int((d * placed + desktop - 1) / desktop); }

}  // namespace

Placement PlaceDesktop(int desktopWidth, int desktopHeight, int windowWidth, int windowHeight) {
  Placement p;
  p.desktopWidth = desktopWidth;
  p.desktopHeight = desktopHeight;
  if (desktopWidth <= 0 || desktopHeight <= 0 || windowWidth <= 0 || windowHeight <= 0) return p;
  // The larger scale that fits both ways, so the aspect is kept.
  if ((long long)windowWidth * desktopHeight <= (long long)windowHeight * desktopWidth) {
    p.width = windowWidth;
    p.height = int((long long)desktopHeight * windowWidth / desktopWidth);
  } else {
    p.height = windowHeight;
    p.width = int((long long)desktopWidth * windowHeight / desktopHeight);
  }
  p.width = std::max(p.width, 1);
  p.height = std::max(p.height, 1);
  p.x = (windowWidth - p.width) / 2;
  p.y = (windowHeight - p.height) / 2;
  return p;
}

POINT DesktopPoint(const Placement &p, int windowX, int windowY) {
  if (p.width <= 0 || p.height <= 0) return POINT{0, 0};
  int kx = std::clamp(windowX - p.x, 0, p.width - 1), ky = std::clamp(windowY - p.y, 0, p.height - 1);
  return POINT{int((long long)kx * p.desktopWidth / p.width), int((long long)ky * p.desktopHeight / p.height)};
}

SDL_Rect WindowRect(const Placement &p, const RECT &desktop) {
  if (p.width <= 0 || p.height <= 0) return SDL_Rect{0, 0, 0, 0};
  int left = std::clamp(int(desktop.left), 0, p.desktopWidth), right = std::clamp(int(desktop.right), 0, p.desktopWidth);
  int top = std::clamp(int(desktop.top), 0, p.desktopHeight);
  int bottom = std::clamp(int(desktop.bottom), 0, p.desktopHeight);
  int x1 = FirstShowing(left, p.width, p.desktopWidth), x2 = FirstShowing(right, p.width, p.desktopWidth);
  int y1 = FirstShowing(top, p.height, p.desktopHeight), y2 = FirstShowing(bottom, p.height, p.desktopHeight);
  if (x2 <= x1 || y2 <= y1) return SDL_Rect{0, 0, 0, 0};
  return SDL_Rect{p.x + x1, p.y + y1, x2 - x1, y2 - y1};
}

void CopyToSurface(const Placement &p, const uint32_t *desktop, SDL_Surface *surface, const SDL_Rect &area) {
  if (area.w <= 0 || area.h <= 0 || p.width <= 0) return;
  bool direct = surface->format->format == SDL_PIXELFORMAT_RGB888;
  bool unscaled = p.width == p.desktopWidth && p.height == p.desktopHeight;
  std::vector<uint32_t> row(direct ? 0 : size_t(area.w));
  int bytesPerPixel = surface->format->BytesPerPixel;
  for (int wy = area.y; wy < area.y + area.h; ++wy) {
    int dy = int((long long)(wy - p.y) * p.desktopHeight / p.height);
    uint8_t *line = static_cast<uint8_t *>(surface->pixels) + ptrdiff_t(wy) * surface->pitch;
    uint32_t *out = direct ? reinterpret_cast<uint32_t *>(line) + area.x : row.data();
    const uint32_t *src = desktop + size_t(dy) * size_t(p.desktopWidth);
    if (unscaled) {
      std::memcpy(out, src + (area.x - p.x), size_t(area.w) * sizeof(uint32_t));
    } else {
      for (int i = 0; i < area.w; ++i)
        out[i] = src[(long long)(area.x + i - p.x) * p.desktopWidth / p.width];
    }
    if (!direct)
      SDL_ConvertPixels(area.w, 1, SDL_PIXELFORMAT_RGB888, row.data(), area.w * 4, surface->format->format,
                        line + ptrdiff_t(area.x) * bytesPerPixel, surface->pitch);
  }
}

bool Presenter::Present() {
  if (!whole_ && !vd::ScreenDamaged()) return false;
  SDL_Surface *surface = SDL_GetWindowSurface(window_);
  if (!surface) return false;
  vd::TakeScreenDamage(&damage_);
  Placement p = PlaceDesktop(vd::ScreenWidth(), vd::ScreenHeight(), surface->w, surface->h);
  if (SDL_MUSTLOCK(surface)) SDL_LockSurface(surface);
  rects_.clear();
  if (whole_ || p.width != placement_.width || p.height != placement_.height || p.x != placement_.x ||
      p.y != placement_.y) {
    // Bars beside the desktop where the window's aspect differs from it.
    SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
    rects_.push_back(SDL_Rect{0, 0, surface->w, surface->h});
    damage_.assign(1, RECT{0, 0, vd::ScreenWidth(), vd::ScreenHeight()});
  }
  placement_ = p;
  whole_ = false;
  for (const RECT &r : damage_) {
    SDL_Rect area = WindowRect(p, r);
    if (area.w <= 0 || area.h <= 0) continue;
    CopyToSurface(p, vd::Framebuffer(), surface, area);
    if (rects_.empty() || rects_[0].w != surface->w || rects_[0].h != surface->h) rects_.push_back(area);
    pixels_ += uint64_t(r.right - r.left) * uint64_t(r.bottom - r.top);
  }
  if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
  if (rects_.empty()) return false;
  SDL_UpdateWindowSurfaceRects(window_, rects_.data(), int(rects_.size()));
  frames_++;
  return true;
}

}  // namespace live
