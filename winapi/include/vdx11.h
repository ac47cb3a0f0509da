// The X11 display: the virtual desktop standing for a real X screen. The
// program's windows become X windows that the window manager manages, the
// window manager's windows become the desktop's foreign windows, what the
// program draws on the desktop reaches the root window (or, under a
// compositing manager, a screen-sized overlay that lets the desktop show
// through), the notification icon docks in the panel's system tray, and the
// message loop waits on the X connection. For hosts, never for the program.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "vdesktop.h"

namespace vd::x11 {

// How drawing on the desktop reaches the screen.
enum class DesktopMode {
  kAuto,     // an overlay while a compositing manager runs, the root window otherwise
  kRoot,     // the root window (or the desktop program's window), clipped by its children
  kOverlay,  // a 32-bit overlay above every window, shaped to leave the windows out
};

struct Figures {
  uint64_t presents = 0;   // presents that sent pixels
  uint64_t pixels = 0;     // pixels sent to the server
  uint64_t roundTrips = 0; // requests whose replies were waited for
  uint64_t events = 0;     // X events handled
};

class Display {
 public:
  // Connects to `name` (null: $DISPLAY). Null with `error` set when it cannot.
  static std::unique_ptr<Display> Open(const char *name, DesktopMode mode, std::string *error);
  virtual ~Display() = default;

  // The desktop for this screen: its size, real time, the foreign shell.
  virtual Config DesktopConfig() const = 0;
  // After vd::Reset(DesktopConfig()): mirrors the windows, installs the idle
  // hook that presents and waits on the connection, and takes input.
  virtual void Attach() = 0;
  // After the program ended: presents what it left (its wipe), then takes
  // every X window of the program away and flushes.
  virtual void Detach() = 0;

  virtual bool Compositing() const = 0;  // drawing goes to the overlay
  // The connection broke (the display went away): why, else empty.
  virtual std::string Lost() const = 0;
  virtual const Figures &figures() const = 0;

  // One program per screen: false when another process already claimed it.
  virtual bool ClaimInstance() = 0;
  // Asks the process that claimed the screen to show its settings dialog.
  virtual bool AskRunningInstanceToShowSettings() = 0;
  // Called (from the idle hook) when a later start asked for the settings.
  virtual void OnShowSettingsRequest(std::function<void()> fn) = 0;
  // A descriptor the wait also watches (a signal's pipe); `fn` runs when it is readable.
  virtual void WatchDescriptor(int fd, std::function<void()> fn) = 0;
  // Said once on standard error when no system tray takes the icon.
  virtual void OnNoTray(std::function<void()> fn) = 0;
};

}  // namespace vd::x11
