// What the live host makes of errors its X server reports.
#pragma once

namespace live {

// SDL (2.26) wakes its own waits by sending its window a client message; one
// sent after the window was destroyed, as the host ends, comes back as a
// BadWindow error on X_SendEvent, and Xlib's default handler ends the process
// with status 1. That wakeup had no one left to wake: the error is reported on
// standard error and the host goes on. Every other X error stays fatal, as it
// was. Call before SDL_Init, so that SDL's own handler passes errors on to it.
void TolerateWakeupsOfDestroyedWindows();

}  // namespace live
