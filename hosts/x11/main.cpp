// mivora: the program on the user's own X11 desktop. The virtual desktop
// stands for the X screen (vd::x11::Display); WinMain runs on it as it runs on
// Windows. Exit from the icon's menu, SIGINT and SIGTERM end it the same way:
// the program wipes what it drew and takes its icon away.
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/app.h"
#include "autostart.h"
#include "x11_options.h"
#include "settings/settings.h"
#include "settings_args.h"
#include "vdesktop.h"
#include "vdx11.h"

namespace {

int signalPipe[2] = {-1, -1};

void OnSignal(int signal) {
  unsigned char byte = static_cast<unsigned char>(signal);
  ssize_t ignored = write(signalPipe[1], &byte, 1);
  (void)ignored;
}

void CatchSignals() {
  if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &sa, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
}

// The first signal ends the program as Exit does; a second one at once.
void TakeSignals() {
  static int taken = 0;
  unsigned char byte;
  while (read(signalPipe[0], &byte, 1) == 1) {
    if (taken++ == 0 && MainWindow) {
      PostMessageA(MainWindow, WM_DESTROY, 0, 0);
    } else {
      vd::StopAt(vd::Now());
    }
  }
}

// Settings given on the command line go into force the way the dialog's
// Apply puts them there; the saved settings stay as they are.
void PutSettingsInForce(const rec::SettingValues &values) {
  if (values.empty() || !SettingsDialog) return;
  LONG oldFlowers = Settings.flowersPerBranch;
  LONG oldWindowThickness = Settings.windowLayerThickness;
  LONG oldBottomThickness = Settings.bottomLayerThickness;
  for (const auto &entry : values) rec::SetSetting(entry.first, entry.second);
  RefreshAfterReplace(SettingsDialog, oldFlowers, oldWindowThickness, oldBottomThickness);
}

// A later start asked for the settings: shown as a double-click on the icon
// shows them, or brought forward when they are already open.
void ShowSettings() {
  if (!MainWindow) return;
  if (SettingsDialog && IsWindowVisible(SettingsDialog)) {
    SetForegroundWindow(SettingsDialog);
    return;
  }
  PostMessageA(MainWindow, WM_TRAYNOTIFY, TRAY_ICON_ID, WM_LBUTTONDBLCLK);
}

}  // namespace

int main(int argc, char **argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  x11host::Options options;
  std::string error;
  switch (x11host::ParseArguments(args, &options, &error)) {
    case x11host::ParseOutcome::kHelp:
      std::fputs(x11host::Usage().c_str(), stdout);
      return 0;
    case x11host::ParseOutcome::kVersion:
      std::fputs(x11host::VersionText().c_str(), stdout);
      return 0;
    case x11host::ParseOutcome::kError:
      std::fprintf(stderr, "mivora: %s\n(mivora --help lists the options)\n", error.c_str());
      return 2;
    case x11host::ParseOutcome::kRun:
      break;
  }
  for (const std::string &warning : options.warnings) std::fprintf(stderr, "mivora: warning: %s\n", warning.c_str());
  if (!options.autostart.empty()) {
    std::string report;
    bool ok = x11host::SetAutostart(options.autostart == "on", x11host::RunningProgramPath(), &report);
    std::fprintf(ok ? stdout : stderr, "mivora: %s\n", report.c_str());
    return ok ? 0 : 1;
  }

  const char *display = std::getenv("DISPLAY");
  const char *wayland = std::getenv("WAYLAND_DISPLAY");
  if ((!display || !*display) && wayland && *wayland) {
    std::fprintf(stderr,
                 "mivora: this is a Wayland session without X11, where a program cannot know where other "
                 "programs' windows are, so petals cannot land on them; run mivora-desktop for Mivora on a "
                 "desktop of its own instead.\n");
    return 1;
  }
  vd::x11::DesktopMode mode = options.desktopMode == "root"      ? vd::x11::DesktopMode::kRoot
                              : options.desktopMode == "overlay" ? vd::x11::DesktopMode::kOverlay
                                                                 : vd::x11::DesktopMode::kAuto;
  std::unique_ptr<vd::x11::Display> x = vd::x11::Display::Open(nullptr, mode, &error);
  if (!x) {
    std::fprintf(stderr, "mivora: %s\n(mivora-desktop shows Mivora on a desktop of its own in a window)\n",
                 error.c_str());
    return 1;
  }
  if (!x->ClaimInstance()) {
    bool asked = x->AskRunningInstanceToShowSettings();
    std::printf("Mivora already runs on display %s%s\n", display ? display : "",
                asked ? "; its settings are shown there." : ".");
    return 0;
  }

  CatchSignals();
  vd::Reset(x->DesktopConfig());
  // A Save the registry could not take is told in a message box, as on the live desktop.
  rec::ReportFailedSaves("mivora", rec::FailedSaveReport::kMessageBox);
  x->Attach();
  x->WatchDescriptor(signalPipe[0], TakeSignals);
  x->OnShowSettingsRequest(ShowSettings);
  x->OnNoTray([] {
    std::fprintf(stderr,
                 "mivora: no notification area (system tray) on this display, so Mivora has no icon; end it "
                 "with Ctrl+C where it was started, or with: pkill -x mivora\n");
  });
  vd::At(0, [&options] { PutSettingsInForce(options.settings); });
  if (options.stats) {
    vd::Every(1000, 1000, [&x] {
      const vd::x11::Figures &f = x->figures();
      std::fprintf(stderr, "stats: ms=%llu ticks=%ld presents=%llu pixels=%llu roundtrips=%llu events=%llu\n",
                   (unsigned long long)vd::Now(), long(tickCounter), (unsigned long long)f.presents,
                   (unsigned long long)f.pixels, (unsigned long long)f.roundTrips, (unsigned long long)f.events);
    });
  }

  int code = WinMain(vd::ModuleInstance(), nullptr, const_cast<char *>(""), SW_SHOWDEFAULT);
  std::string lost = x->Lost();
  x->Detach();
  if (!lost.empty()) {
    std::fprintf(stderr, "mivora: %s; Mivora ends.\n", lost.c_str());
    return 1;
  }
  return code == vd::kTimeUpExitCode ? 0 : code;
}
