// mivora-desktop: the virtual desktop in an SDL2 window at real time, with the
// mouse and keyboard going in. Closing the window ends the run as if time ran
// out (vd::StopAt now): the message loop returns and the host exits.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/app.h"
#include "keymap.h"
#include "overlay.h"
#include "text.h"
#include "vdesktop.h"

namespace {

constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;
constexpr Uint32 kMinFrameMs = 10;

struct StartWindow {
  const char *title;
  RECT rect;
};

// A few windows under the branch, so the petals have somewhere to land.
const StartWindow kStartWindows[] = {
    {"Notes", RECT{60, 330, 340, 530}},
    {"Mail", RECT{300, 430, 680, 690}},
    {"Calendar", RECT{250, 190, 510, 360}},
};

class Host {
 public:
  Host(SDL_Renderer *renderer, SDL_Texture *texture) : renderer_(renderer), texture_(texture), overlay_(text_) {}

  // Called by the desktop whenever it would wait: present, then take input for up to `ms`.
  void Idle(int ms) {
    Uint32 deadline = SDL_GetTicks() + Uint32(ms > 0 ? ms : 0);
    Present(false);
    while (!quit_) {
      int left = int(deadline - SDL_GetTicks());
      if (left <= 0) break;
      SDL_Event event;
      if (!SDL_WaitEventTimeout(&event, left)) break;
      bool fed = Handle(event);
      while (SDL_PollEvent(&event)) fed = Handle(event) || fed;
      // Input for the desktop: let its message loop take it now.
      if (fed) break;
      Present(false);
    }
  }

  void Present(bool force) {
    Uint32 now = SDL_GetTicks();
    if (!force && !dirty_ && now - lastPresent_ < kMinFrameMs) return;
    lastPresent_ = now;
    dirty_ = false;
    int w = vd::ScreenWidth(), h = vd::ScreenHeight();
    overlay_.Compose(vd::Framebuffer(), w, h, &composed_);
    SDL_UpdateTexture(texture_, nullptr, composed_.data(), w * int(sizeof(uint32_t)));
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    SDL_RenderPresent(renderer_);
  }

 private:
  static bool OnTrayIcon(int x, int y) {
    for (const vd::TrayIconInfo &icon : vd::TrayIcons())
      if (x >= icon.rect.left && x < icon.rect.right && y >= icon.rect.top && y < icon.rect.bottom) return true;
    return false;
  }

  static int Clamp(int v, int hi) { return v < 0 ? 0 : (v >= hi ? hi - 1 : v); }

  // Returns true when something went to the desktop.
  bool Handle(const SDL_Event &e) {
    switch (e.type) {
      case SDL_QUIT:
        quit_ = true;
        vd::StopAt(vd::Now());
        return true;
      case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) ReleaseModifiers();
        dirty_ = true;
        return false;
      case SDL_MOUSEMOTION: {
        int x = Clamp(e.motion.x, vd::ScreenWidth()), y = Clamp(e.motion.y, vd::ScreenHeight());
        if (overlay_.MouseMove(x, y)) {
          dirty_ = true;
          return false;
        }
        vd::MouseMove(x, y);
        return true;
      }
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP: {
        if (e.button.button != SDL_BUTTON_LEFT && e.button.button != SDL_BUTTON_RIGHT) return false;
        int x = Clamp(e.button.x, vd::ScreenWidth()), y = Clamp(e.button.y, vd::ScreenHeight());
        int button = e.button.button == SDL_BUTTON_RIGHT ? 1 : 0;
        bool down = e.type == SDL_MOUSEBUTTONDOWN;
        if (down ? overlay_.MouseDown(x, y) : overlay_.MouseUp(x, y)) {
          dirty_ = true;
          return true;
        }
        if (!down) {
          vd::MouseUp(x, y, button);
        } else if (button == 0 && e.button.clicks >= 2 && OnTrayIcon(x, y)) {
          // The second press of a double-click: down, up, double-click, up.
          vd::DoubleClick(x, y);
        } else {
          vd::MouseDown(x, y, button);
        }
        return true;
      }
      case SDL_KEYDOWN: {
        int vk = live::VirtualKeyFor(e.key.keysym.sym);
        if (!vk) return false;
        if (overlay_.KeyDown(vk)) {
          dirty_ = true;
          return true;
        }
        vd::KeyDown(vk);
        return true;
      }
      case SDL_KEYUP: {
        int vk = live::VirtualKeyFor(e.key.keysym.sym);
        if (!vk) return false;
        vd::KeyUp(vk);  // always, so the desktop never holds a key the user let go
        return true;
      }
    }
    return false;
  }

  // Keys let go while another window had the focus never reach us.
  void ReleaseModifiers() {
    for (int vk : {VK_MENU, VK_SHIFT, VK_CONTROL})
      if (GetKeyState(vk) < 0) vd::KeyUp(vk);
  }

  SDL_Renderer *renderer_;
  SDL_Texture *texture_;
  live::TextRenderer text_;
  live::Overlay overlay_;
  std::vector<uint32_t> composed_;
  Uint32 lastPresent_ = 0;
  bool dirty_ = true;
  bool quit_ = false;
};

void NoDisplay(const char *what) {
  std::fprintf(stderr,
               "mivora-desktop: no display available (%s: %s).\n"
               "mivora-record needs none: it records the program into an animated GIF, e.g.\n"
               "  mivora-record --seconds 30 --scene default --gif petals.gif\n",
               what, SDL_GetError());
}

// Without any display SDL falls back to drivers that draw nowhere; those count
// as no display unless asked for by name.
bool RealDisplay() {
  const char *driver = SDL_GetCurrentVideoDriver();
  const char *asked = std::getenv("SDL_VIDEODRIVER");
  if (asked && *asked) return true;
  return driver && std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0;
}

}  // namespace

int main(int argc, char **argv) {
  for (int i = 1; i < argc; ++i) {
    bool help = std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0;
    std::fprintf(help ? stdout : stderr,
                 "%susage: mivora-desktop\n"
                 "Shows Mivora on a %d x %d virtual desktop in a window, at real time. Drag windows by\n"
                 "their title bars; double-click the blossom at the bottom right for the settings,\n"
                 "right-click it for the menu. Closing the window ends the program.\n",
                 help ? "" : "mivora-desktop: takes no arguments\n", kScreenWidth, kScreenHeight);
    return help ? 0 : 2;
  }
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    NoDisplay("SDL_Init");
    return 1;
  }
  if (!RealDisplay()) {
    SDL_SetError("only the %s video driver, which shows nothing", SDL_GetCurrentVideoDriver());
    NoDisplay("SDL_Init");
    SDL_Quit();
    return 1;
  }
  SDL_Window *window = SDL_CreateWindow("Mivora - virtual desktop", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                        kScreenWidth, kScreenHeight, SDL_WINDOW_RESIZABLE);
  if (!window) {
    NoDisplay("SDL_CreateWindow");
    SDL_Quit();
    return 1;
  }
  SDL_Renderer *renderer = SDL_CreateRenderer(window, -1, 0);
  if (!renderer) renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
  SDL_Texture *texture = renderer ? SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                                      kScreenWidth, kScreenHeight)
                                  : nullptr;
  if (!texture) {
    NoDisplay("SDL_CreateRenderer");
    if (renderer) SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 1;
  }
  // Mouse positions arrive in desktop pixels however the window is sized.
  SDL_RenderSetLogicalSize(renderer, kScreenWidth, kScreenHeight);

  vd::Config config;
  config.width = kScreenWidth;
  config.height = kScreenHeight;
  config.virtualTime = false;
  vd::Reset(config);
  for (const StartWindow &w : kStartWindows) vd::CreateAppWindow(w.title, w.rect);

  int code;
  {
    Host host(renderer, texture);
    vd::SetIdleHook([&host](int ms) { host.Idle(ms); });
    code = WinMain(vd::ModuleInstance(), nullptr, const_cast<char *>(""), SW_SHOWDEFAULT);
    vd::SetIdleHook(nullptr);
    host.Present(true);
  }
  SDL_DestroyTexture(texture);
  SDL_DestroyRenderer(renderer);
  SDL_DestroyWindow(window);
  SDL_Quit();
  return code == vd::kTimeUpExitCode ? 0 : code;
}
