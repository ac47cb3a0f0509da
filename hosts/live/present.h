// Showing the virtual desktop in a host window: where it sits (scaled with its
// aspect kept, centred), which window pixels show a desktop rectangle, where a
// window point falls on the desktop, and copying changed parts onto the window.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <vector>

#include "windows.h"

namespace live {

// The desktop's place in a window, in window pixels.
struct Placement {
  int desktopWidth = 0;
  int desktopHeight = 0;
  int x = 0;  // the desktop's top left in the window
  int y = 0;
  int width = 0;  // its size there
  int height = 0;
};

Placement PlaceDesktop(int desktopWidth, int desktopHeight, int windowWidth, int windowHeight);

// The desktop point a window pixel shows (nearest sampling), kept on the desktop.
POINT DesktopPoint(const Placement &p, int windowX, int windowY);

// The window pixels that show some pixel of a desktop rectangle; empty (w or h 0) for none.
SDL_Rect WindowRect(const Placement &p, const RECT &desktop);

// Copies the desktop's pixels (0x00RRGGBB) onto the window pixels `area` of
// `surface`, scaled as placed. `area` lies inside the placement.
void CopyToSurface(const Placement &p, const uint32_t *desktop, SDL_Surface *surface, const SDL_Rect &area);

// Presents the virtual desktop on an SDL window through the window's own
// surface: only what changed on the desktop goes to the display, and nothing
// when nothing changed. No renderer, so no GPU or its software stand-in.
class Presenter {
 public:
  explicit Presenter(SDL_Window *window) : window_(window) {}
  // The window was resized or uncovered: everything is presented again.
  void Invalidate() { whole_ = true; }
  // Presents the desktop's damage; false when there was nothing to present.
  bool Present();
  const Placement &placement() const { return placement_; }
  uint64_t frames() const { return frames_; }
  uint64_t pixels() const { return pixels_; }

 private:
  SDL_Window *window_;
  Placement placement_;
  bool whole_ = true;
  std::vector<RECT> damage_;
  std::vector<SDL_Rect> rects_;
  uint64_t frames_ = 0;
  uint64_t pixels_ = 0;  // desktop pixels presented, all frames together
};

}  // namespace live
