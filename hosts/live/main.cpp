// mivora-desktop: the virtual desktop in an SDL2 window at real time, with the
// mouse and keyboard going in. The host presents the screen and feeds it input;
// every window a user sees is the virtual desktop's. Closing the window ends
// the run as if time ran out (vd::StopAt now): the message loop returns and
// the host exits.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "app/app.h"
#include "keymap.h"
#include "options.h"
#include "present.h"
#include "scenes.h"
#include "settings_args.h"
#include "vdesktop.h"
#if MIVORA_LIVE_X11
#include "x_errors.h"
#endif

namespace {

constexpr Uint32 kStatsPeriodMs = 1000;

class Host {
 public:
  Host(SDL_Window *window, bool stats) : presenter_(window), stats_(stats) {}

  // Called by the desktop whenever it would wait: present what changed, then
  // take input for up to `ms`, returning early when input went to the desktop.
  void Idle(int ms) {
    Uint32 deadline = SDL_GetTicks() + Uint32(ms > 0 ? ms : 0);
    presenter_.Present();
    Report();
    if (rec::StopSignal()) Quit();
    while (!quit_) {
      int left = int(deadline - SDL_GetTicks());
      if (left <= 0) break;
      SDL_Event event;
      if (!SDL_WaitEventTimeout(&event, left)) break;
      bool fed = Handle(event);
      while (SDL_PollEvent(&event)) fed = Handle(event) || fed;
      if (fed) break;
      presenter_.Present();
    }
  }

  void Present() { presenter_.Present(); }

 private:
  // Ends the run as if time ran out: the message loop returns and the host exits.
  void Quit() {
    quit_ = true;
    vd::StopAt(vd::Now());
  }

  // Once a second with --stats: the frames presented and the ticks run so far.
  void Report() {
    if (!stats_) return;
    Uint32 now = SDL_GetTicks();
    if (now - lastReport_ < kStatsPeriodMs) return;
    lastReport_ = now;
    std::fprintf(stderr, "stats: ms=%u frames=%llu ticks=%ld pixels=%llu\n", unsigned(now),
                 (unsigned long long)presenter_.frames(), long(tickCounter), (unsigned long long)presenter_.pixels());
  }

  POINT Desktop(int x, int y) const { return live::DesktopPoint(presenter_.placement(), x, y); }

  // Returns true when something went to the desktop.
  bool Handle(const SDL_Event &e) {
    switch (e.type) {
      case SDL_QUIT:
        Quit();
        return true;
      case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) ReleaseModifiers();
        if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED || e.window.event == SDL_WINDOWEVENT_EXPOSED ||
            e.window.event == SDL_WINDOWEVENT_RESTORED)
          presenter_.Invalidate();
        return false;
      case SDL_MOUSEMOTION: {
        POINT p = Desktop(e.motion.x, e.motion.y);
        vd::MouseMove(p.x, p.y);
        return true;
      }
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP: {
        if (e.button.button != SDL_BUTTON_LEFT && e.button.button != SDL_BUTTON_RIGHT) return false;
        POINT p = Desktop(e.button.x, e.button.y);
        int button = e.button.button == SDL_BUTTON_RIGHT ? 1 : 0;
        if (e.type == SDL_MOUSEBUTTONUP)
          vd::MouseUp(p.x, p.y, button);
        else if (button == 0 && e.button.clicks >= 2 && e.button.clicks % 2 == 0)
          vd::DoubleClick(p.x, p.y);  // the second press of a double-click
        else
          vd::MouseDown(p.x, p.y, button);
        return true;
      }
      case SDL_KEYDOWN: {
        int vk = live::VirtualKeyFor(e.key.keysym.sym);
        if (!vk) return false;
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

  live::Presenter presenter_;
  bool stats_;
  Uint32 lastReport_ = 0;
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
  std::vector<std::string> args(argv + 1, argv + argc);
  live::Options options;
  std::string error;
  switch (live::ParseArguments(args, &options, &error)) {
    case live::ParseOutcome::kHelp:
      std::fputs(live::Usage().c_str(), stdout);
      return 0;
    case live::ParseOutcome::kVersion:
      std::fputs(live::VersionText().c_str(), stdout);
      return 0;
    case live::ParseOutcome::kError:
      std::fprintf(stderr, "mivora-desktop: %s\n(mivora-desktop --help lists the options)\n", error.c_str());
      return 2;
    case live::ParseOutcome::kRun:
      break;
  }
  for (const std::string &warning : options.warnings)
    std::fprintf(stderr, "mivora-desktop: warning: %s\n", warning.c_str());
  // SIGINT, SIGTERM and SIGHUP end the run in order, and SIGXFSZ fails a write
  // instead of killing the host: ours, not SDL's, so that all three end alike.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  rec::CatchStopSignals();
  // The window's own surface goes to the display as it is: without this hint SDL
  // would put a renderer behind it, on Xvfb a software OpenGL costing a core's tenth.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
#if MIVORA_LIVE_X11
  live::TolerateWakeupsOfDestroyedWindows();
#endif
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
                                        options.width, options.height, SDL_WINDOW_RESIZABLE);
  if (!window || !SDL_GetWindowSurface(window)) {
    NoDisplay(window ? "SDL_GetWindowSurface" : "SDL_CreateWindow");
    if (window) SDL_DestroyWindow(window);
    SDL_Quit();
    return 1;
  }

  // Settings given for this run live in a registry of its own, so that the
  // user's saved settings are neither used nor changed.
  std::optional<rec::TempFolder> runRegistry;
  vd::Config config;
  config.width = options.width;
  config.height = options.height;
  config.virtualTime = false;
  if (!options.settings.empty()) {
    runRegistry.emplace();
    if (runRegistry->path().empty()) {
      std::fprintf(stderr, "mivora-desktop: %s\n", runRegistry->error().c_str());
      SDL_DestroyWindow(window);
      SDL_Quit();
      return 1;
    }
    config.registryPath = runRegistry->path() + "/registry.hkcu";
  }
  vd::Reset(config);
  if (!options.settings.empty() && !rec::StoreSettings(options.settings, &error)) {
    std::fprintf(stderr, "mivora-desktop: %s\n", error.c_str());
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 1;
  }
  rec::ReportFailedSaves("mivora-desktop", rec::FailedSaveReport::kMessageBox);
  rec::PutSettingsInForceAfterStart(options.settings);
  rec::SetUpScene(options.scene);

  int code;
  {
    Host host(window, options.stats);
    vd::SetIdleHook([&host](int ms) { host.Idle(ms); });
    code = WinMain(vd::ModuleInstance(), nullptr, const_cast<char *>(""), SW_SHOWDEFAULT);
    vd::SetIdleHook(nullptr);
    host.Present();
  }
  SDL_DestroyWindow(window);
  SDL_Quit();
  runRegistry.reset();
  rec::EndAsSignalled();
  return code == vd::kTimeUpExitCode ? 0 : code;
}
