// The live host's own part: keys mapped to virtual keys, and the desktop placed,
// scaled and copied onto the host window.
#if __has_include("present.h")
#include <SDL_keycode.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "keymap.h"
#include "present.h"
#include "vdesktop.h"

namespace {

TEST(LiveKeys, SdlKeysMapToTheirVirtualKeys) {
  EXPECT_EQ(live::VirtualKeyFor(SDLK_a), 'A');
  EXPECT_EQ(live::VirtualKeyFor(SDLK_z), 'Z');
  EXPECT_EQ(live::VirtualKeyFor(SDLK_0), '0');
  EXPECT_EQ(live::VirtualKeyFor(SDLK_9), '9');
  EXPECT_EQ(live::VirtualKeyFor(SDLK_KP_0), '0');
  EXPECT_EQ(live::VirtualKeyFor(SDLK_KP_7), '7');
  EXPECT_EQ(live::VirtualKeyFor(SDLK_TAB), VK_TAB);
  EXPECT_EQ(live::VirtualKeyFor(SDLK_RETURN), VK_RETURN);
  EXPECT_EQ(live::VirtualKeyFor(SDLK_KP_ENTER), VK_RETURN);
  EXPECT_EQ(live::VirtualKeyFor(SDLK_ESCAPE), VK_ESCAPE);
  EXPECT_EQ(live::VirtualKeyFor(SDLK_BACKSPACE), VK_BACK);
  EXPECT_EQ(live::VirtualKeyFor(SDLK_LEFT), VK_LEFT);
  EXPECT_EQ(live::VirtualKeyFor(SDLK_UP), VK_UP);
  EXPECT_EQ(live::VirtualKeyFor(SDLK_RIGHT), VK_RIGHT);
  EXPECT_EQ(live::VirtualKeyFor(SDLK_DOWN), VK_DOWN);
  EXPECT_EQ(live::VirtualKeyFor(SDLK_LALT), VK_MENU);
  EXPECT_EQ(live::VirtualKeyFor(SDLK_RALT), VK_MENU);
  EXPECT_EQ(live::VirtualKeyFor(SDLK_LSHIFT), VK_SHIFT);
  EXPECT_EQ(live::VirtualKeyFor(SDLK_F1), VK_F1);
  EXPECT_EQ(live::VirtualKeyFor(SDLK_MINUS), 0xBD);
  EXPECT_EQ(live::VirtualKeyFor(SDLK_CAPSLOCK), 0);
  EXPECT_EQ(live::VirtualKeyFor(SDLK_PRINTSCREEN), 0);
}

// A 4 x 2 desktop, pixel value = x + 10 * y, for following where pixels land.
std::vector<uint32_t> Numbered() {
  std::vector<uint32_t> d(8);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) d[size_t(y * 4 + x)] = uint32_t(x + 10 * y);
  return d;
}

TEST(LivePresent, TheDesktopIsScaledWithItsAspectKeptAndCentred) {
  live::Placement same = live::PlaceDesktop(1024, 768, 1024, 768);
  EXPECT_EQ(same.x, 0);
  EXPECT_EQ(same.width, 1024);
  EXPECT_EQ(same.height, 768);
  live::Placement wide = live::PlaceDesktop(1024, 768, 1600, 768);
  EXPECT_EQ(wide.width, 1024);
  EXPECT_EQ(wide.x, 288) << "bars left and right";
  live::Placement tall = live::PlaceDesktop(1024, 768, 512, 900);
  EXPECT_EQ(tall.width, 512);
  EXPECT_EQ(tall.height, 384);
  EXPECT_EQ(tall.y, 258);
  POINT p = live::DesktopPoint(tall, 256, 258 + 192);
  EXPECT_EQ(p.x, 512);
  EXPECT_EQ(p.y, 384);
  p = live::DesktopPoint(tall, -5, 2);
  EXPECT_EQ(p.x, 0) << "points off the desktop are kept on it";
  EXPECT_EQ(p.y, 0);
}

TEST(LivePresent, ADesktopRectangleMapsToTheWindowPixelsThatSampleIt) {
  live::Placement half = live::PlaceDesktop(1024, 768, 512, 384);
  SDL_Rect r = live::WindowRect(half, RECT{10, 10, 13, 12});
  // Window pixel k shows desktop pixel 2k: only 10 and 12 of 10..12 are shown, at 5 and 6.
  EXPECT_EQ(r.x, 5);
  EXPECT_EQ(r.w, 2);
  EXPECT_EQ(r.y, 5);
  EXPECT_EQ(r.h, 1);
  r = live::WindowRect(half, RECT{10, 11, 13, 12});
  EXPECT_EQ(r.w * r.h, 0) << "row 11 is not shown at half size";
  live::Placement twice = live::PlaceDesktop(4, 2, 8, 4);
  r = live::WindowRect(twice, RECT{1, 0, 2, 1});
  EXPECT_EQ(r.x, 2);
  EXPECT_EQ(r.w, 2);
  EXPECT_EQ(r.h, 2);
}

TEST(LivePresent, CopyingADamagedPartScalesItAndLeavesTheRestOfTheWindowAlone) {
  std::vector<uint32_t> desktop = Numbered();
  SDL_Surface *surface = SDL_CreateRGBSurfaceWithFormat(0, 8, 4, 32, SDL_PIXELFORMAT_RGB888);
  ASSERT_NE(surface, nullptr);
  SDL_FillRect(surface, nullptr, 0xABCDEF);
  live::Placement p = live::PlaceDesktop(4, 2, 8, 4);
  live::CopyToSurface(p, desktop.data(), surface, live::WindowRect(p, RECT{1, 1, 3, 2}));
  auto at = [&](int x, int y) { return static_cast<uint32_t *>(surface->pixels)[y * surface->pitch / 4 + x]; };
  EXPECT_EQ(at(2, 2), 11u);
  EXPECT_EQ(at(3, 3), 11u);
  EXPECT_EQ(at(5, 3), 12u);
  EXPECT_EQ(at(6, 2), 0xABCDEFu) << "desktop pixel 3 was not damaged";
  EXPECT_EQ(at(2, 1), 0xABCDEFu) << "row 0 was not damaged";
  SDL_FreeSurface(surface);
}

TEST(LivePresent, CopyingIntoAnotherPixelFormatConvertsTheColours) {
  std::vector<uint32_t> desktop(8, 0x123456);
  SDL_Surface *surface = SDL_CreateRGBSurfaceWithFormat(0, 4, 2, 32, SDL_PIXELFORMAT_ABGR8888);
  ASSERT_NE(surface, nullptr);
  live::Placement p = live::PlaceDesktop(4, 2, 4, 2);
  live::CopyToSurface(p, desktop.data(), surface, SDL_Rect{0, 0, 4, 2});
  Uint8 r, g, b;
  SDL_GetRGB(static_cast<uint32_t *>(surface->pixels)[5], surface->format, &r, &g, &b);
  EXPECT_EQ(r, 0x12);
  EXPECT_EQ(g, 0x34);
  EXPECT_EQ(b, 0x56);
  SDL_FreeSurface(surface);
}

// The presenter on a real SDL window of the dummy driver, which keeps the
// window's surface in memory and shows it nowhere.
TEST(LivePresent, OnlyTheDamageIsPresentedAndNothingWhenNothingChanged) {
  SDL_SetHint(SDL_HINT_VIDEODRIVER, "dummy");
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
  SDL_Window *window = SDL_CreateWindow("present", 0, 0, 64, 64, SDL_WINDOW_HIDDEN);
  ASSERT_NE(window, nullptr) << SDL_GetError();
  vd::Config config;
  config.width = 64;  // the smallest desktop there is
  config.height = 64;
  config.shell = false;
  vd::Reset(config);
  ASSERT_NE(vd::Pixel(40, 40), 0x123456u);
  live::Presenter presenter(window);
  SDL_Surface *surface = SDL_GetWindowSurface(window);
  ASSERT_NE(surface, nullptr) << SDL_GetError();
  ASSERT_EQ(surface->w, 64);
  auto at = [&](int x, int y) {
    Uint32 pixel = 0;
    std::memcpy(&pixel, static_cast<Uint8 *>(surface->pixels) + y * surface->pitch + x * surface->format->BytesPerPixel,
                surface->format->BytesPerPixel);
    Uint8 r, g, b;
    SDL_GetRGB(pixel, surface->format, &r, &g, &b);
    return uint32_t(r) << 16 | uint32_t(g) << 8 | b;
  };

  EXPECT_TRUE(presenter.Present()) << "a new desktop is presented whole";
  EXPECT_EQ(presenter.pixels(), 64u * 64u);
  EXPECT_EQ(at(30, 30), vd::Pixel(30, 30));
  EXPECT_FALSE(presenter.Present()) << "nothing changed";
  EXPECT_EQ(presenter.frames(), 1u);

  // A mark on the window where the desktop did not change stays there.
  SDL_Rect mark{40, 40, 1, 1};
  SDL_FillRect(surface, &mark, SDL_MapRGB(surface->format, 0x12, 0x34, 0x56));
  HDC dc = GetDC(nullptr);
  SetPixel(dc, 10, 20, RGB(0xAB, 0xCD, 0xEF));
  ReleaseDC(nullptr, dc);
  EXPECT_TRUE(presenter.Present());
  EXPECT_EQ(presenter.pixels(), 64u * 64u + 1u) << "exactly the pixel drawn";
  EXPECT_EQ(at(10, 20), 0xABCDEFu);
  EXPECT_EQ(at(40, 40), 0x123456u);
  EXPECT_FALSE(presenter.Present());

  presenter.Invalidate();
  EXPECT_TRUE(presenter.Present()) << "everything again";
  EXPECT_EQ(presenter.pixels(), 2u * 64u * 64u + 1u);
  EXPECT_EQ(at(40, 40), vd::Pixel(40, 40));
  EXPECT_EQ(at(10, 20), 0xABCDEFu);
  EXPECT_EQ(presenter.frames(), 3u);

  SDL_DestroyWindow(window);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace
#endif
