// The live host on a real X server (Xvfb): which X errors end it.
#if MIVORA_LIVE_X11
#include <gtest/gtest.h>
// After gtest: Xlib's macros (None, Bool, Status) would clash with its names.
#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "settings_args.h"
#include "support/program_run.h"
#include "x_errors.h"

namespace {

// An Xvfb display of the test's own, or none when Xvfb is not installed.
class Xvfb {
 public:
  Xvfb() {
    if (system("command -v Xvfb >/dev/null 2>&1") != 0) return;
    name_ = ":" + std::to_string(180 + getpid() % 60);
    pid_ = fork();
    if (pid_ == 0) {
      int null = open("/dev/null", O_WRONLY);
      dup2(null, STDOUT_FILENO);
      dup2(null, STDERR_FILENO);
      execlp("Xvfb", "Xvfb", name_.c_str(), "-screen", "0", "320x240x24", "-nolisten", "tcp", nullptr);
      _exit(127);
    }
    for (int i = 0; i < 100; ++i) {
      if (Display *d = XOpenDisplay(name_.c_str())) {
        XCloseDisplay(d);
        ready_ = true;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  ~Xvfb() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  bool ready() const { return ready_; }
  const std::string &name() const { return name_; }

 private:
  pid_t pid_ = -1;
  bool ready_ = false;
  std::string name_;
};

// In a child process: a run's temporary folder made in `tmpdir`, a window made
// and destroyed, then `request` made on it with the host's handler in place.
// The exit status: 0 when the process went on.
int StatusAfter(const std::string &display, const std::string &tmpdir, void (*request)(Display *, Window)) {
  pid_t pid = fork();
  if (pid == 0) {
    int null = open("/dev/null", O_WRONLY);
    dup2(null, STDERR_FILENO);
    setenv("TMPDIR", tmpdir.c_str(), 1);
    auto *folder = new rec::TempFolder();  // as main's: never destroyed when an X error ends the process
    live::TolerateWakeupsOfDestroyedWindows();
    Display *d = XOpenDisplay(display.c_str());
    if (!d) _exit(3);
    Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 10, 10, 0, 0, 0);
    XDestroyWindow(d, w);
    request(d, w);
    XSync(d, False);
    XCloseDisplay(d);
    delete folder;  // the run ends in order
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
}

// A wakeup sent to the host's window as it goes (BadWindow on X_SendEvent)
// does not end the host; any other X error still does, as Xlib's default does,
// and the run's temporary folder goes with it.
TEST(LiveXErrors, AWakeupForADestroyedWindowDoesNotEndTheHostOtherErrorsStill) {
  Xvfb xvfb;
  if (!xvfb.ready()) GTEST_SKIP() << "no Xvfb";
  auto sendWakeup = [](Display *d, Window w) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = w;
    event.xclient.message_type = XInternAtom(d, "_SDL_WAKEUP", False);
    event.xclient.format = 8;
    XSendEvent(d, w, False, NoEventMask, &event);
  };
  auto mapIt = [](Display *d, Window w) { XMapWindow(d, w); };
  progtest::TempDir tmp;
  EXPECT_EQ(StatusAfter(xvfb.name(), tmp.path(), sendWakeup), 0);
  EXPECT_EQ(StatusAfter(xvfb.name(), tmp.path(), mapIt), 1) << "Xlib's default: the message, then exit(1)";
  EXPECT_TRUE(std::filesystem::is_empty(tmp.path())) << "no temporary folder is left";
}

}  // namespace
#endif
