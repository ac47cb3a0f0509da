// Driving and observing the virtual desktop: for tests and hosts, never for the program.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "windows.h"

namespace vd {

struct Config {
  int width = 1024;
  int height = 768;
  int bitsPerPixel = 32;     // 8 selects a 256-colour palette display (NUMCOLORS 20)
  bool virtualTime = true;   // false: the real clock, for the live host
  std::string registryPath;  // empty: $MIVORA_REGISTRY, else ~/.local/share/mivora/registry.hkcu
  bool shell = true;         // create "Program Manager", its views and the taskbar
  // The display's physical size (GetDeviceCaps HORZSIZE/VERTSIZE); 0 gives the
  // size of a 96-dots-per-inch display of this resolution.
  int widthMm = 0;
  int heightMm = 0;
  // Keep the records of beeps, repaints, message boxes and menus (see Beeps()).
  // Off, nothing is kept that a long run would accumulate.
  bool recordObservations = false;
  // The shell stands for another display's desktop (the X11 display): the
  // desktop's views and the taskbar paint kClearColor and nothing else, no
  // desktop icons and no start button, and the taskbar is not topmost. That
  // display shows its own desktop wherever the screen holds kClearColor.
  bool foreignShell = false;
};

// The colour a foreign shell's desktop paints (0x00RRGGBB, and the same as a
// COLORREF): a display shows its own desktop there.
constexpr uint32_t kClearColor = 0x00FE01FE;

// A fresh desktop: every window, timer, message, GDI object and record of the
// previous one is gone; the clock is back at 0.
void Reset(const Config &config = Config());
HINSTANCE ModuleInstance();

// The exit code WinMain returns when virtual time ran out (see StopAt).
constexpr int kTimeUpExitCode = 259;

// ---------------------------------------------------------------- clock and script
uint64_t Now();
// Runs fn when the clock reaches `ms` (from inside GetMessageA and the modal loops).
void At(uint64_t ms, std::function<void()> fn);
// Runs fn every `period` ms from `first` on.
void Every(uint64_t first, uint64_t period, std::function<void()> fn);
// Virtual time ends at `ms`: GetMessageA then returns 0 with WM_QUIT and
// wParam kTimeUpExitCode, and open modal loops end as if cancelled.
void StopAt(uint64_t ms);
// Real time: the host waits here for at most `ms` milliseconds, pumping its own
// input into the desktop. Without a hook the thread sleeps.
void SetIdleHook(std::function<void(int ms)> hook);

// ---------------------------------------------------------------- records
// Kept only while recording is on (Config::recordObservations, or switched here
// at any time); whoever reads them clears them. Off, a message box or menu has
// its record only while it is open.
void RecordObservations(bool on);
bool RecordingObservations();
struct BeepRecord {
  uint64_t time;
  UINT type;
};
struct MessageBoxRecord {
  uint64_t time;
  HWND owner;
  std::string caption;
  std::string text;
  UINT type;
  bool open;
  int answer;
  uint64_t serial;  // tells records apart: unique within the desktop
};
struct MenuRecord {
  uint64_t time;
  HMENU menu;
  UINT flags;
  int x, y;
  HWND owner;
  RECT rect;  // where the menu was placed on the screen
  UINT result;
  bool open;
  uint64_t serial;
};
struct RepaintRecord {  // one InvalidateRect/InvalidateRgn call
  uint64_t time;
  HWND hwnd;      // 0 for "every window"
  RECT box;       // bounding box in screen coordinates (empty for every window)
  bool erase;
};
struct TimerInfo {
  HWND hwnd;
  UINT_PTR id;
  UINT period;
  uint64_t due;
};
struct TrayIconInfo {
  HWND owner;
  UINT id;
  UINT flags;
  UINT callbackMessage;
  HICON icon;
  std::string tip;
  RECT rect;  // its place in the taskbar's notification area
};

const std::vector<BeepRecord> &Beeps();
const std::vector<MessageBoxRecord> &MessageBoxes();
const std::vector<MenuRecord> &Menus();
const std::vector<RepaintRecord> &Repaints();
int ScreenRepaints();  // calls that invalidated every window at once
// Empties the records of beeps and repaints, and those of message boxes and
// menus that have closed; the open ones stay.
void ClearRecords();
std::vector<TimerInfo> Timers();
bool TimerRunning(HWND hwnd, UINT_PTR id);
std::vector<TrayIconInfo> TrayIcons();

// ---------------------------------------------------------------- modal answers
// Answers the innermost open message box; with none open, the next one that
// opens is answered at once with this.
void AnswerMessageBox(int id);
bool MessageBoxOpen();
// Picks a command of the open popup menu (0 dismisses it); with none open, the
// next menu that opens is answered at once.
void ChooseMenuItem(UINT command);
void DismissMenu();
bool MenuOpen();
// The items of a menu: command id (0 for a pop-up or separator) and text.
std::vector<std::pair<UINT, std::string>> MenuItems(HMENU menu);

// ---------------------------------------------------------------- input
void TrayMouse(UINT iconId, UINT mouseMessage);  // posts the icon's callback message
void TrayClick(UINT iconId);                     // down, up
void TrayDoubleClick(UINT iconId);               // down, up, double-click, up
void TrayRightClick(UINT iconId);                // right down, right up
void KeyDown(int vk);
void KeyUp(int vk);
void SetCursor(int x, int y);
void MouseMove(int x, int y);
void MouseDown(int x, int y, int button = 0);  // 0 left, 1 right
void MouseUp(int x, int y, int button = 0);
void DoubleClick(int x, int y);

// ---------------------------------------------------------------- windows
HWND ProgramManager();
HWND DesktopListView();
HWND DesktopHtmlView();  // 0 while the HTML view is off
HWND Taskbar();
void SetHtmlView(bool on);
// Takes away the shell's windows, for the program's fallback paths.
void RemoveProgramManager();
void RemoveDesktopViews();
// Lays the shell out as Windows 8 to 11 do once they have animated the wallpaper:
// the icon view's "SHELLDLL_DefView" moves into a top-level "WorkerW" just above
// a second, empty "WorkerW" that shows the wallpaper, both above "Program
// Manager", which keeps no view.
void MoveDesktopViewToWorker();
HWND DesktopViewWorker();  // the "WorkerW" holding the view, 0 while there is none
// As Windows 11 24H2 does: "Program Manager" keeps the view and gains a
// "WorkerW" child below it.
void AddWorkerUnderProgramManager();
// An ordinary application window with a title bar; `rect` is its window rectangle.
HWND CreateAppWindow(const std::string &title, RECT rect, bool visible = true);
void MoveAppWindow(HWND hwnd, int x, int y);
void ResizeAppWindow(HWND hwnd, int width, int height);
void RaiseWindow(HWND hwnd);
// A desktop icon named `title`: a double-click on it (or its item in the start
// button's menu) opens the application window of that title at `rect`, or
// raises it when it is open. Adding a title again only moves where it opens.
void AddDesktopIcon(const std::string &title, RECT rect);
struct DesktopIconInfo {
  std::string title;
  RECT icon;   // screen coordinates
  RECT label;
};
std::vector<DesktopIconInfo> DesktopIcons();
RECT StartButton();  // the taskbar's start button, screen coordinates
void ShowAppWindow(HWND hwnd, bool visible);
void CloseAppWindow(HWND hwnd);
// Dispatches pending paint messages now, as an idle message loop would.
void PaintPending();

// ---------------------------------------------------------------- another display's windows
// A window of another program on the display the desktop stands for: a top-level
// window with a title, a class (registered on first use) and a window rectangle,
// no frame, that paints kClearColor (the display shows the window itself there)
// and takes no input from the desktop. Move, show and hide it with
// SetWindowPos and ShowWindow, end it with DestroyWindow.
HWND CreateForeignWindow(const std::string &title, const std::string &className, RECT rect, bool visible);
bool IsForeignWindow(HWND hwnd);
// Stacks the foreign windows in this order (top first) directly above the
// shell's taskbar and desktop, below every window of the program; foreign
// windows left out keep their place among these at the bottom of the list.
void StackForeignWindows(const std::vector<HWND> &topFirst);
// The notification area's icons are shown by the display: they lie in a row
// of `iconSize` squares from the top left of `area` (screen coordinates).
// An empty area puts them back into the taskbar.
void PlaceTrayIcons(RECT area, int iconSize);
// An icon's image at `size` x `size` pixels (its nearest image, scaled by the
// nearest pixel), as 0xAARRGGBB row after row. False for a handle that is not an icon.
bool IconPixels(HICON icon, int size, std::vector<uint32_t> *argb);

// ---------------------------------------------------------------- pixels and counts
uint32_t Pixel(int x, int y);  // 0x00RRGGBB
const uint32_t *Framebuffer();
// What was drawn on the screen since the last take, as non-overlapping
// rectangles; taking it starts afresh. A new desktop is damaged all over.
void TakeScreenDamage(std::vector<RECT> *rects);
bool ScreenDamaged();
int ScreenWidth();
int ScreenHeight();
bool WritePng(const std::string &path);
int LiveGdiObjects();          // regions, bitmaps, brushes, fonts not yet deleted (stock objects excluded)
int LiveGdiObjects(int type);  // OBJ_REGION 8, OBJ_BITMAP 7, OBJ_BRUSH 2, OBJ_FONT 6
int LiveDCs();
uint64_t GdiObjectsCreated();  // every object made since the reset (stock objects excluded)                 // window and memory device contexts not yet released or deleted

// ---------------------------------------------------------------- help
struct HelpCallRecord {  // one WinHelpA call
  uint64_t time;
  HWND hwnd;
  std::string file;
  UINT command;
  ULONG_PTR data;
  DWORD contextId;    // the context id it showed (0 when none was found)
  std::string topic;  // the text it showed
  bool shown;         // a popup was shown
};
// The command of the "What's This?" menu that a right click shows before help.
constexpr UINT kWhatsThisCommand = 1;
std::vector<HelpCallRecord> HelpCalls();  // the last 1000 calls, oldest first
HWND HelpPopup();                         // the help popup on the screen, or 0
std::string HelpPopupText();               // its title, an empty line, its text
std::string HelpTopicText(DWORD contextId);  // a topic of the help file so shown, empty when it has none

// ---------------------------------------------------------------- registry
// The registry file of the current desktop, and a damaged file's report.
std::string RegistryPath();
std::string RegistryProblem();  // empty when the file read well (or was absent)
// Why the last write of the registry file failed; empty when it went well.
std::string RegistryWriteProblem();
// Called with the reason whenever a change to the registry could not be
// written to its file (the call that made it answers ERROR_CANTWRITE). A host
// tells the user from here; a new desktop (Reset) forgets the callback.
void OnRegistryWriteFailed(std::function<void(const std::string &why)> report);
// For tests: the next write stops after the temporary file is written,
// as if the process died before the rename.
void FailNextRegistryRename();

}  // namespace vd
