// The message queue, window timers and modal loops.
//
// One queue serves the one thread. Retrieval follows Win32's priorities: posted
// messages, then the quit request, then paint messages, then due timers. Paint
// and timer messages are made when they are retrieved, so a timer never has two
// messages waiting. Waiting moves the clock to the next timer or scripted event.
#include <algorithm>
#include <cstdio>
#include <deque>
#include <map>

#include "core/platform.h"
#include "user32/wnd.h"

namespace vd::user {
namespace {

struct Timer {
  UINT period;
  uint64_t due;
  uint64_t seq;
  TIMERPROC proc;
};

struct Queue {
  std::deque<MSG> posted;
  bool quitPosted = false;
  int quitCode = 0;
  std::map<std::pair<HWND, UINT_PTR>, Timer> timers;
  uint64_t timerSeq = 0;
  UINT_PTR nextThreadTimerId = 1;
  int modalDepth = 0;
  bool warnedIdle = false;
};

Queue &Q() {
  static Queue q;
  return q;
}

void ResetQueue() { Q() = Queue(); }
ResetHook queueReset(10, ResetQueue);

MSG Make(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG m{};
  m.hwnd = hwnd;
  m.message = message;
  m.wParam = wParam;
  m.lParam = lParam;
  m.time = DWORD(ClockNow());
  GetCursorPos(&m.pt);
  return m;
}

// The timer due first (ties: the one set first), or nullptr.
std::pair<const std::pair<HWND, UINT_PTR>, Timer> *FirstTimer() {
  std::pair<const std::pair<HWND, UINT_PTR>, Timer> *best = nullptr;
  for (auto &entry : Q().timers) {
    if (!best || entry.second.due < best->second.due ||
        (entry.second.due == best->second.due && entry.second.seq < best->second.seq))
      best = &entry;
  }
  return best;
}

// The character a key gives on a US keyboard, or -1 for a key that gives none.
int CharacterOfKey(int vk, bool shift, bool control) {
  static const char kShiftedDigits[] = ")!@#$%^&*(";
  struct Oem {
    int vk;
    char plain, shifted;
  };
  static const Oem kOem[] = {{0xBA, ';', ':'}, {0xBB, '=', '+'}, {0xBC, ',', '<'}, {0xBD, '-', '_'},
                             {0xBE, '.', '>'}, {0xBF, '/', '?'}, {0xC0, '`', '~'}, {0xDB, '[', '{'},
                             {0xDC, '\\', '|'}, {0xDD, ']', '}'}, {0xDE, '\'', '"'}};
  if (vk >= 'A' && vk <= 'Z') {
    if (control) return vk - 'A' + 1;
    return shift ? vk : vk - 'A' + 'a';
  }
  if (control) return -1;
  if (vk >= '0' && vk <= '9') return shift ? kShiftedDigits[vk - '0'] : vk;
  if (vk >= 0x60 && vk <= 0x69) return '0' + (vk - 0x60);  // the number pad
  for (const Oem &o : kOem)
    if (o.vk == vk) return shift ? o.shifted : o.plain;
  switch (vk) {
    case VK_SPACE: return ' ';
    case VK_RETURN: return '\r';
    case VK_BACK: return '\b';
    case VK_TAB: return '\t';
    case VK_ESCAPE: return 27;
    case 0x6A: return '*';
    case 0x6B: return '+';
    case 0x6D: return '-';
    case 0x6E: return '.';
    case 0x6F: return '/';
  }
  return -1;
}

}  // namespace

void RemoveMessagesFor(HWND hwnd) {
  auto &posted = Q().posted;
  posted.erase(std::remove_if(posted.begin(), posted.end(), [&](const MSG &m) { return m.hwnd == hwnd; }),
               posted.end());
}

void KillTimersOf(HWND hwnd) {
  for (auto it = Q().timers.begin(); it != Q().timers.end();) {
    if (it->first.first == hwnd)
      it = Q().timers.erase(it);
    else
      ++it;
  }
}

bool NextMessage(MSG *msg, bool remove, bool wait, const std::function<bool()> *stop) {
  Queue &q = Q();
  while (true) {
    RunDueCallbacks();
    // A modal loop answered by a script or the host ends without waiting for a message.
    if (stop && (*stop)()) return false;
    if (!q.posted.empty()) {
      *msg = q.posted.front();
      if (remove) {
        q.posted.pop_front();
        // Taking F1 off the queue asks the window for help, as Windows does.
        if (msg->message == WM_KEYDOWN && msg->wParam == VK_F1 && msg->hwnd && msg->hwnd != DesktopHandle())
          q.posted.push_back(Make(msg->hwnd, WM_KEYF1, 0, 0));
      }
      return true;
    }
    if (q.quitPosted) {
      *msg = Make(nullptr, WM_QUIT, WPARAM(q.quitCode), 0);
      if (remove) q.quitPosted = false;
      return true;
    }
    if (HWND paint = NextWindowToPaint()) {
      *msg = Make(paint, WM_PAINT, 0, 0);
      return true;
    }
    uint64_t now = ClockNow();
    auto *timer = FirstTimer();
    if (timer && timer->second.due <= now) {
      *msg = Make(timer->first.first, WM_TIMER, timer->first.second, reinterpret_cast<LPARAM>(timer->second.proc));
      if (remove) {
        Timer &t = timer->second;
        t.due += t.period;
        if (t.due <= now) t.due = now + t.period;
      }
      return true;
    }
    if (TimeIsUp()) {
      *msg = Make(nullptr, WM_QUIT, WPARAM(kTimeUpExitCode), 0);
      return true;
    }
    if (!wait) return false;
    uint64_t until = timer ? timer->second.due : UINT64_MAX;
    if (until == UINT64_MAX && NextCallbackTime() == UINT64_MAX && CurrentConfig().virtualTime) {
      // Nothing can ever arrive: end the loop rather than wait forever.
      if (!q.warnedIdle) std::fprintf(stderr, "virtual desktop: nothing left to wait for; ending the message loop\n");
      q.warnedIdle = true;
      StopAt(ClockNow());
      continue;
    }
    ClockWaitUntil(until);
  }
}

bool RunModalLoop(const std::function<bool()> &done) { return RunModalLoop(done, nullptr); }

bool RunModalLoop(const std::function<bool()> &done, const std::function<bool(MSG *)> &filter) {
  Q().modalDepth++;
  bool ok = true;
  while (!done()) {
    MSG msg;
    if (!NextMessage(&msg, true, true, &done)) continue;
    if (msg.message == WM_QUIT) {
      // The quit request is for the outer loop: leave it for that loop to find.
      if (msg.wParam != WPARAM(kTimeUpExitCode)) PostQuitMessage(int(msg.wParam));
      ok = false;
      break;
    }
    if (filter && filter(&msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  Q().modalDepth--;
  return ok;
}

}  // namespace vd::user

using namespace vd;
using namespace vd::user;

namespace vd {

std::vector<TimerInfo> Timers() {
  std::vector<TimerInfo> list;
  for (auto &entry : Q().timers)
    list.push_back(TimerInfo{entry.first.first, entry.first.second, entry.second.period, entry.second.due});
  return list;
}

bool TimerRunning(HWND hwnd, UINT_PTR id) { return Q().timers.count({hwnd, id}) > 0; }

void PaintPending() {
  // Bounded: a window that never validates is painted at most once here.
  for (int i = 0; i < 10000; ++i) {
    HWND h = NextWindowToPaint();
    if (!h) break;
    PaintWindow(h);
  }
}

}  // namespace vd

extern "C" {

BOOL WINAPI GetMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax) {
  (void)hwnd;
  (void)filterMin;
  (void)filterMax;
  if (!msg) return -1;
  NextMessage(msg, true, true);
  return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT remove) {
  (void)hwnd;
  (void)filterMin;
  (void)filterMax;
  if (!msg) return FALSE;
  return NextMessage(msg, (remove & PM_REMOVE) != 0, false) ? TRUE : FALSE;
}

BOOL WINAPI TranslateMessage(const MSG *msg) {
  if (!msg) return FALSE;
  if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN) return FALSE;
  int c = CharacterOfKey(int(msg->wParam), GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_CONTROL) < 0);
  if (c < 0) return FALSE;
  UINT charMsg = msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
  Q().posted.push_front(Make(msg->hwnd, charMsg, WPARAM(c), msg->lParam));
  return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG *msg) {
  if (!msg) return 0;
  if (msg->message == WM_TIMER && msg->lParam) {
    reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, UINT_PTR(msg->wParam), msg->time);
    return 0;
  }
  Window *w = Find(msg->hwnd);
  if (!w) return 0;
  if (msg->message == WM_PAINT) {
    PaintWindow(msg->hwnd);
    return 0;
  }
  return CallWindowProcA(w->proc, msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL WINAPI PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (hwnd && !Find(hwnd)) return FALSE;
  Q().posted.push_back(Make(hwnd, message, wParam, lParam));
  return TRUE;
}

LRESULT WINAPI SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Window *w = Find(hwnd);
  if (!w) return 0;
  return CallWindowProcA(w->proc, hwnd, message, wParam, lParam);
}

// One thread owns every window here, so no receiver can hang or time out: the
// message is sent, and the answer is stored. A window that is not live fails.
LRESULT WINAPI SendMessageTimeoutA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT flags, UINT timeout,
                                   PDWORD_PTR result) {
  (void)flags;
  (void)timeout;
  if (!Find(hwnd)) return 0;
  LRESULT answer = SendMessageA(hwnd, message, wParam, lParam);
  if (result) *result = DWORD_PTR(answer);
  return 1;
}

void WINAPI PostQuitMessage(int exitCode) {
  Q().quitPosted = true;
  Q().quitCode = exitCode;
}

UINT_PTR WINAPI SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  if (hwnd && !Find(hwnd)) return 0;
  // Win32 raises periods below USER_TIMER_MINIMUM to it, so no period can spin the loop.
  if (elapse < USER_TIMER_MINIMUM) elapse = USER_TIMER_MINIMUM;
  if (elapse > USER_TIMER_MAXIMUM) elapse = USER_TIMER_MAXIMUM;
  if (!hwnd) id = Q().nextThreadTimerId++;
  Timer t{elapse, ClockNow() + elapse, Q().timerSeq++, proc};
  Q().timers[{hwnd, id}] = t;  // an id that runs restarts with the new period
  return hwnd ? (id ? id : 1) : id;
}

BOOL WINAPI KillTimer(HWND hwnd, UINT_PTR id) { return Q().timers.erase({hwnd, id}) > 0 ? TRUE : FALSE; }

}  // extern "C"
