// A scene for the Wine suite: plain windows that open, move, rise, hide and
// close on a schedule, and a log of every top-level window as the suite's eyes
// inside the Wine desktop.
//
//   mivora-scene SCHEDULE LOG
//
// SCHEDULE holds one step a line, "<ms> <verb> [args]", times counted from the
// moment the scene is ready (the log's "ready" line):
//   open NAME LEFT TOP RIGHT BOTTOM   a plain window with a title bar, its window rectangle
//   move NAME LEFT TOP                the same size at a new place
//   raise NAME | hide NAME | show NAME | close NAME
//   quit
// LOG gets "ready", a line per step done, and every 200 ms a snapshot of the
// top-level windows (visible or not) with class, title and rectangle, and the
// children of the taskbar and of every dialog shown, with their control ids.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

const int kMaxSteps = 256;
const int kMaxWindows = 16;
const UINT_PTR kStepTimer = 1;
const UINT_PTR kSnapshotTimer = 2;
const char kClassName[] = "MivoraSceneWindow";

struct Step {
  DWORD at;
  char verb[16];
  char name[32];
  int args[4];
};

struct Named {
  char name[32];
  HWND hwnd;
};

Step steps[kMaxSteps];
int stepCount = 0;
int nextStep = 0;
Named windows[kMaxWindows];
int windowCount = 0;
DWORD startTick = 0;
FILE *logFile = nullptr;

DWORD Elapsed() { return GetTickCount() - startTick; }

HWND WindowNamed(const char *name) {
  for (int i = 0; i < windowCount; ++i)
    if (std::strcmp(windows[i].name, name) == 0) return windows[i].hwnd;
  return nullptr;
}

bool ReadSchedule(const char *path) {
  FILE *f = std::fopen(path, "r");
  if (!f) return false;
  char line[256];
  while (stepCount < kMaxSteps && std::fgets(line, sizeof line, f)) {
    Step s;
    std::memset(&s, 0, sizeof s);
    unsigned long at = 0;
    int n = std::sscanf(line, "%lu %15s %31s %d %d %d %d", &at, s.verb, s.name, &s.args[0], &s.args[1], &s.args[2],
                        &s.args[3]);
    if (n < 2) continue;
    s.at = DWORD(at);
    steps[stepCount++] = s;
  }
  std::fclose(f);
  return true;
}

// A title fit for one field of a log line: what is not printable, and the
// field separator, become '?' (an icon's static holds its resource number).
void Clean(char *text) {
  for (char *p = text; *p; ++p)
    if ((unsigned char)*p < 32 || (unsigned char)*p > 126 || *p == '|') *p = '?';
}

BOOL CALLBACK LogChild(HWND hwnd, LPARAM) {
  char cls[64] = "", title[64] = "";
  RECT r;
  GetClassNameA(hwnd, cls, sizeof cls);
  GetWindowTextA(hwnd, title, sizeof title);
  Clean(title);
  GetWindowRect(hwnd, &r);
  std::fprintf(logFile, "child %p %d %s|%s|%ld %ld %ld %ld|%d\n", (void *)hwnd, IsWindowVisible(hwnd) ? 1 : 0, cls,
               title, r.left, r.top, r.right, r.bottom, GetDlgCtrlID(hwnd));
  return TRUE;
}

BOOL CALLBACK LogTopLevel(HWND hwnd, LPARAM) {
  char cls[64] = "", title[128] = "";
  RECT r;
  GetClassNameA(hwnd, cls, sizeof cls);
  GetWindowTextA(hwnd, title, sizeof title);
  Clean(title);
  GetWindowRect(hwnd, &r);
  std::fprintf(logFile, "window %p %d %s|%s|%ld %ld %ld %ld\n", (void *)hwnd, IsWindowVisible(hwnd) ? 1 : 0, cls, title,
               r.left, r.top, r.right, r.bottom);
  // The taskbar's parts, and the controls of every dialog shown.
  if (std::strcmp(cls, "Shell_TrayWnd") == 0 || (std::strcmp(cls, "#32770") == 0 && IsWindowVisible(hwnd)))
    EnumChildWindows(hwnd, LogChild, 0);
  return TRUE;
}

void Snapshot() {
  std::fprintf(logFile, "snapshot %lu\n", (unsigned long)Elapsed());
  EnumWindows(LogTopLevel, 0);
  std::fprintf(logFile, "end\n");
  std::fflush(logFile);
}

void RunStep(const Step &s) {
  HWND hwnd = WindowNamed(s.name);
  if (std::strcmp(s.verb, "open") == 0 && windowCount < kMaxWindows) {
    hwnd = CreateWindowExA(0, kClassName, s.name, WS_OVERLAPPEDWINDOW, s.args[0], s.args[1], s.args[2] - s.args[0],
                           s.args[3] - s.args[1], nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    std::strcpy(windows[windowCount].name, s.name);
    windows[windowCount++].hwnd = hwnd;
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    UpdateWindow(hwnd);
  } else if (std::strcmp(s.verb, "move") == 0) {
    SetWindowPos(hwnd, nullptr, s.args[0], s.args[1], 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  } else if (std::strcmp(s.verb, "raise") == 0) {
    SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  } else if (std::strcmp(s.verb, "hide") == 0) {
    ShowWindow(hwnd, SW_HIDE);
  } else if (std::strcmp(s.verb, "show") == 0) {
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
  } else if (std::strcmp(s.verb, "close") == 0) {
    DestroyWindow(hwnd);
  } else if (std::strcmp(s.verb, "quit") == 0) {
    PostQuitMessage(0);
  }
  std::fprintf(logFile, "step %lu %s %s\n", (unsigned long)Elapsed(), s.verb, s.name);
  std::fflush(logFile);
}

void RunDueSteps() {
  while (nextStep < stepCount && steps[nextStep].at <= Elapsed()) RunStep(steps[nextStep++]);
}

LRESULT CALLBACK SceneWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) return 0;  // only the schedule closes a window
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK ClockWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER) {
    if (wParam == kStepTimer) RunDueSteps();
    if (wParam == kSnapshotTimer) Snapshot();
    return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  if (__argc < 3 || !ReadSchedule(__argv[1])) return 2;
  logFile = std::fopen(__argv[2], "w");
  if (!logFile) return 2;

  WNDCLASSA wc;
  std::memset(&wc, 0, sizeof wc);
  wc.lpfnWndProc = SceneWindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
  wc.lpszClassName = kClassName;
  RegisterClassA(&wc);
  wc.lpfnWndProc = ClockWindowProc;
  wc.hbrBackground = nullptr;
  wc.lpszClassName = "MivoraSceneClock";
  RegisterClassA(&wc);
  HWND clock = CreateWindowExA(0, "MivoraSceneClock", "", WS_POPUP, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance,
                               nullptr);

  startTick = GetTickCount();
  std::fprintf(logFile, "ready\n");
  std::fflush(logFile);
  RunDueSteps();
  Snapshot();
  SetTimer(clock, kStepTimer, 10, nullptr);
  SetTimer(clock, kSnapshotTimer, 200, nullptr);

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  std::fclose(logFile);
  return 0;
}
