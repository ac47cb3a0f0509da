#include "x_errors.h"

#include <X11/Xlib.h>
#include <X11/Xproto.h>

#include <cstdio>

namespace live {
namespace {

XErrorHandler previousHandler = nullptr;

int OnXError(Display *display, XErrorEvent *error) {
  if (error->error_code == BadWindow && error->request_code == X_SendEvent) {
    std::fprintf(stderr,
                 "mivora-desktop: X server: BadWindow for an event sent to window 0x%lx, which is gone; "
                 "nothing was lost\n",
                 error->resourceid);
    return 0;
  }
  return previousHandler ? previousHandler(display, error) : 0;
}

}  // namespace

void TolerateWakeupsOfDestroyedWindows() {
  XErrorHandler previous = XSetErrorHandler(OnXError);
  if (previous != OnXError) previousHandler = previous;
}

}  // namespace live
