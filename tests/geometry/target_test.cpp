// Finding the desktop window everything is drawn on, noticing the HTML view
// switched on or off, and the fallbacks where the shell's windows are missing.
#include <string>
#include <vector>

#include "geometry_test_support.h"

using namespace geotest;

namespace {

constexpr const char *kPane = "MivoraTestPane";

// Classes for hand-built desktops. The shell's own names may exist already;
// then CreateWindowExA uses the registered one.
void EnsureClass(const char *name) {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = vd::ModuleInstance();
  wc.lpszClassName = name;
  RegisterClassExA(&wc);
}

// A hidden top-level window: hidden so that it paints nothing over the desktop.
HWND MakeTopLevel(const char *title) {
  EnsureClass(kPane);
  return CreateWindowExA(0, kPane, title, WS_POPUP, 0, 0, 1024, 768, 0, 0, vd::ModuleInstance(), 0);
}

HWND MakeChild(HWND parent, const char *className) {
  EnsureClass(className);
  return CreateWindowExA(0, className, "", WS_CHILD | WS_VISIBLE, 0, 0, 100, 100, parent, 0, vd::ModuleInstance(), 0);
}

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM lParam) {
  reinterpret_cast<std::vector<HWND> *>(lParam)->push_back(hwnd);
  return TRUE;
}

std::vector<HWND> Descendants(HWND parent) {
  std::vector<HWND> found;
  EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

// A "Program Manager" whose descendants come in the platform's order as listed.
struct FakeDesktop {
  HWND top = 0;
  std::vector<HWND> views;
};

FakeDesktop MakeDesktop(const char *title, std::vector<const char *> classes) {
  FakeDesktop desktop;
  desktop.top = MakeTopLevel(title);
  for (const char *name : classes) desktop.views.push_back(MakeChild(desktop.top, name));
  return desktop;
}

class DrawTargetTest : public GeometryTest {};

TEST_F(DrawTargetTest, ShellDesktopDrawsOnTheIconListView) {
  Start();
  EXPECT_EQ(DrawTarget, vd::DesktopListView());
  EXPECT_EQ(HtmlDesktop, 0);
  EXPECT_TRUE(RectEquals(DesktopRect, RECT{0, 0, 1024, 768})) << Show(DesktopRect);
  EXPECT_EQ(ScreenWidth, 1024);
  EXPECT_EQ(ScreenHeight, 768);
}

TEST_F(DrawTargetTest, LoneListViewTakesTwoPassesAndClearsHtmlAtTheSecondMeeting) {
  FakeDesktop d = MakeDesktop(DESKTOP_TITLE, {kPane, LIST_VIEW_CLASS, kPane});
  ASSERT_EQ(Descendants(d.top), d.views);
  HtmlDesktop = 1;
  FindDesktopView(d.top);
  // Only a second meeting with the list view clears HtmlDesktop: the second pass.
  EXPECT_EQ(DrawTarget, d.views[1]);
  EXPECT_EQ(HtmlDesktop, 0);
  EXPECT_EQ(ListViewSeen, 1);
}

TEST_F(DrawTargetTest, ListViewThenHtmlViewEndsAtTheHtmlView) {
  FakeDesktop d = MakeDesktop(DESKTOP_TITLE, {LIST_VIEW_CLASS, kPane, HTML_VIEW_CLASS});
  ASSERT_EQ(Descendants(d.top), d.views);
  FindDesktopView(d.top);
  EXPECT_EQ(DrawTarget, d.views[2]);
  EXPECT_EQ(HtmlDesktop, 1);
  EXPECT_EQ(ListViewSeen, 1);
}

TEST_F(DrawTargetTest, HtmlViewThenListViewEndsAtTheHtmlView) {
  FakeDesktop d = MakeDesktop(DESKTOP_TITLE, {HTML_VIEW_CLASS, LIST_VIEW_CLASS});
  ASSERT_EQ(Descendants(d.top), d.views);
  FindDesktopView(d.top);
  EXPECT_EQ(DrawTarget, d.views[0]);
  EXPECT_EQ(HtmlDesktop, 1);
  EXPECT_EQ(ListViewSeen, 0);  // the list view was never reached
}

TEST_F(DrawTargetTest, TwoListViewsThenHtmlViewKeepsTheFirstListView) {
  FakeDesktop d = MakeDesktop(DESKTOP_TITLE, {LIST_VIEW_CLASS, LIST_VIEW_CLASS, HTML_VIEW_CLASS});
  ASSERT_EQ(Descendants(d.top), d.views);
  HtmlDesktop = 1;
  FindDesktopView(d.top);
  // The pass ended at the second list view: the HTML view was never reached.
  EXPECT_EQ(DrawTarget, d.views[0]);
  EXPECT_EQ(HtmlDesktop, 0);
}

TEST_F(DrawTargetTest, OnlyTheUpperOfTwoProgramManagersIsSearched) {
  FakeDesktop upper = MakeDesktop(DESKTOP_TITLE, {LIST_VIEW_CLASS});
  FindDrawTarget();
  EXPECT_EQ(DrawTarget, upper.views[0]);
  EXPECT_EQ(HtmlDesktop, 0);
  ReleaseDC(DrawTarget, TargetDC);
}

TEST_F(DrawTargetTest, TitleDifferingOnlyInCaseIsNotTheDesktop) {
  MakeDesktop("program manager", {HTML_VIEW_CLASS});
  MakeDesktop("Program manager", {LIST_VIEW_CLASS});
  FindDrawTarget();
  EXPECT_EQ(DrawTarget, vd::DesktopListView());
  EXPECT_EQ(HtmlDesktop, 0);
  ReleaseDC(DrawTarget, TargetDC);
}

TEST_F(DrawTargetTest, HtmlViewShownAtStartIsTheTarget) {
  vd::SetHtmlView(true);
  int dcs = vd::LiveDCs();
  RebuildGeometry();
  EXPECT_EQ(DrawTarget, vd::DesktopHtmlView());
  EXPECT_EQ(HtmlDesktop, 1);
  EXPECT_EQ(AnsweringFlip, 0);
  EXPECT_EQ(vd::LiveDCs(), dcs + 1);  // TargetDC, held until start-up ends
  ReleaseDC(DrawTarget, TargetDC);
  EXPECT_EQ(vd::LiveDCs(), dcs);
  EXPECT_TRUE(vd::Beeps().empty());
}

TEST_F(DrawTargetTest, FlipSeenByFindDrawTargetRebuildsOnceAndRepaintsTheScreenOnce) {
  HWND window = vd::CreateAppWindow("Editor", RECT{100, 200, 400, 500});
  Start();
  AddRect(LandingRegion, RECT{150, 196, 170, 200});  // a pile
  vd::SetHtmlView(true);
  Settle();
  int dcs = vd::LiveDCs();
  FindDrawTarget();  // as the icon's double-click runs it
  EXPECT_EQ(DrawTarget, vd::DesktopHtmlView());
  EXPECT_EQ(HtmlDesktop, 1);
  EXPECT_EQ(vd::ScreenRepaints(), 1);
  EXPECT_TRUE(vd::Beeps().empty());
  // The rebuild dropped the pile and kept the crust.
  EXPECT_TRUE(RegionWithinIs(LandingRegion, RECT{0, 0, 1024, 700}, {RECT{100, 200, 400, 220}}));
  EXPECT_EQ(vd::LiveDCs(), dcs + 1);  // only the context left in TargetDC
  ReleaseDC(DrawTarget, TargetDC);
  EXPECT_EQ(vd::LiveDCs(), dcs);
  (void)window;
}

TEST_F(DrawTargetTest, FlipDuringATickBeepsRebuildsOnceAndDoesNoFurtherRegionWork) {
  HWND window = vd::CreateAppWindow("Editor", RECT{100, 200, 400, 500});
  Start();
  AddRect(LandingRegion, RECT{500, 196, 520, 200});  // a pile away from every window
  // The window moves and the HTML view comes up before the same tick.
  vd::MoveAppWindow(window, 100, 300);
  vd::SetHtmlView(true);
  Settle();
  int dcs = vd::LiveDCs();
  Tick();
  ASSERT_EQ(vd::Beeps().size(), 1u);
  EXPECT_EQ(vd::Beeps()[0].type, 0u);
  EXPECT_EQ(vd::ScreenRepaints(), 1);
  // The nested rebuild took in the move: the refresh stopped at its comparison,
  // so no box was cut and nothing but the whole screen was repainted.
  EXPECT_TRUE(WindowRepaints().empty());
  EXPECT_EQ(DrawTarget, vd::DesktopHtmlView());
  EXPECT_EQ(HtmlDesktop, 1);
  EXPECT_TRUE(EqualRgn(PreviousWindowRegion, WindowRegion));
  EXPECT_TRUE(RegionWithinIs(LandingRegion, RECT{0, 0, 1024, 700}, {RECT{100, 300, 400, 320}}));
  EXPECT_EQ(vd::LiveDCs(), dcs);
  // The next tick sees no flip.
  vd::ClearRecords();
  Tick();
  EXPECT_TRUE(vd::Beeps().empty());
  EXPECT_EQ(vd::ScreenRepaints(), 0);
}

TEST_F(DrawTargetTest, HtmlViewSwitchedOffIsAFlipBackToTheListView) {
  vd::SetHtmlView(true);
  Start();
  vd::SetHtmlView(false);
  Settle();
  Tick();
  EXPECT_EQ(vd::Beeps().size(), 1u);
  EXPECT_EQ(vd::ScreenRepaints(), 1);
  EXPECT_EQ(DrawTarget, vd::DesktopListView());
  EXPECT_EQ(HtmlDesktop, 0);
}

// ------------------------------------------------------------------ fallbacks

TEST_F(DrawTargetTest, WithoutProgramManagerTheDesktopWindowIsTheTarget) {
  vd::RemoveProgramManager();
  HWND window = vd::CreateAppWindow("Editor", RECT{100, 200, 400, 500});
  int dcs = vd::LiveDCs();
  RebuildGeometry();
  EXPECT_EQ(DrawTarget, GetDesktopWindow());
  EXPECT_EQ(HtmlDesktop, 0);
  EXPECT_TRUE(RectEquals(DesktopRect, RECT{0, 0, 1024, 768})) << Show(DesktopRect);
  EXPECT_EQ(vd::LiveDCs(), dcs + 1);
  ReleaseDC(DrawTarget, TargetDC);
  EXPECT_EQ(vd::LiveDCs(), dcs);
  // Every visible window counts, the taskbar too; landing and layers as usual.
  RECT bar = {0, 0, 0, 0};
  GetWindowRect(vd::Taskbar(), &bar);
  EXPECT_TRUE(RegionIs(WindowRegion, {RECT{100, 200, 400, 500}, bar}));
  EXPECT_TRUE(RegionWithinIs(LandingRegion, RECT{0, 0, 1024, 700}, {RECT{100, 200, 400, 220}}));
  EXPECT_TRUE(RegionWithinIs(LandingRegion, RECT{0, 768, 1024, 800}, {RECT{0, 768, 1024, 788}}));
  EXPECT_TRUE(RegionWithinIs(LayerRegion, RECT{0, 0, 1024, 700}, {RECT{100, 185, 400, 200}}));
  EXPECT_TRUE(vd::Beeps().empty());

  // Ticks go on there, and a moved window's surface is cut and repainted on it.
  Settle();
  Tick();
  EXPECT_TRUE(WindowRepaints().empty());
  vd::MoveAppWindow(window, 100, 300);
  Settle();
  Tick();
  // First the desktop where the window stood, then the boxes of the cut surface;
  // the window, which now stands where none stood, repaints whole.
  std::vector<vd::RepaintRecord> boxes = RepaintsOf(GetDesktopWindow());
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_TRUE(RectEquals(boxes[0].box, RECT{100, 200, 400, 300})) << Show(boxes[0].box);
  EXPECT_TRUE(RectEquals(boxes[1].box, RECT{74, 172, 426, 240})) << Show(boxes[1].box);
  std::vector<vd::RepaintRecord> moved = RepaintsOf(window);
  ASSERT_EQ(moved.size(), 1u);
  EXPECT_TRUE(RectEquals(moved[0].box, RECT{100, 300, 400, 600})) << Show(moved[0].box);
  EXPECT_EQ(vd::LiveDCs(), dcs);
}

TEST_F(DrawTargetTest, ProgramManagerRemovedWhileHtmlWasShownIsNoFlip) {
  vd::SetHtmlView(true);
  HWND window = vd::CreateAppWindow("Editor", RECT{100, 200, 400, 500});
  Start();
  ASSERT_EQ(HtmlDesktop, 1);
  vd::RemoveProgramManager();
  Settle();
  int dcs = vd::LiveDCs();
  Tick();
  // The target follows to the desktop window; HtmlDesktop keeps the last view
  // seen, so nothing is rebuilt and the screen is not repainted.
  EXPECT_EQ(DrawTarget, GetDesktopWindow());
  EXPECT_EQ(HtmlDesktop, 1);
  EXPECT_TRUE(vd::Beeps().empty());
  EXPECT_EQ(vd::ScreenRepaints(), 0);
  EXPECT_TRUE(RectEquals(DesktopRect, RECT{0, 0, 1024, 768})) << Show(DesktopRect);
  RECT bar = {0, 0, 0, 0};
  GetWindowRect(vd::Taskbar(), &bar);
  EXPECT_TRUE(RegionIs(WindowRegion, {RECT{100, 200, 400, 500}, bar}));
  EXPECT_EQ(vd::LiveDCs(), dcs);
  // A double-click's search finds no shell either: still no flip.
  FindDrawTarget();
  EXPECT_EQ(DrawTarget, GetDesktopWindow());
  EXPECT_EQ(vd::ScreenRepaints(), 0);
  ReleaseDC(DrawTarget, TargetDC);
  EXPECT_EQ(vd::LiveDCs(), dcs);
  (void)window;
}

TEST_F(DrawTargetTest, ProgramManagerWithoutViewsIsItselfTheTarget) {
  vd::RemoveDesktopViews();
  HWND window = vd::CreateAppWindow("Editor", RECT{100, 200, 400, 500});
  HWND below = vd::CreateAppWindow("Behind", RECT{600, 100, 800, 300});
  SetWindowPos(below, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  Start();
  EXPECT_EQ(DrawTarget, vd::ProgramManager());
  EXPECT_EQ(HtmlDesktop, 0);
  EXPECT_TRUE(RectEquals(DesktopRect, RECT{0, 0, 1024, 768})) << Show(DesktopRect);
  // The windows above it count; the one below it does not.
  RECT bar = {0, 0, 0, 0};
  GetWindowRect(vd::Taskbar(), &bar);
  EXPECT_TRUE(RegionIs(WindowRegion, {RECT{100, 200, 400, 500}, bar}));
  Settle();
  Tick();
  EXPECT_TRUE(vd::Beeps().empty());
  EXPECT_EQ(DrawTarget, vd::ProgramManager());
  (void)window;
}

TEST_F(DrawTargetTest, HiddenProgramManagerLeavesEveryVisibleWindowOnTheDesktopWindow) {
  HWND window = vd::CreateAppWindow("Editor", RECT{100, 200, 400, 500});
  HWND below = vd::CreateAppWindow("Behind", RECT{600, 100, 800, 300});
  SetWindowPos(below, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ShowWindow(vd::ProgramManager(), SW_HIDE);
  int dcs = vd::LiveDCs();
  Start();
  // The search by title ignores visibility, the window pass does not: nothing
  // visible stands for the desktop, so the desktop window takes its place.
  EXPECT_EQ(DrawTarget, GetDesktopWindow());
  EXPECT_EQ(HtmlDesktop, 0);
  RECT bar = {0, 0, 0, 0};
  GetWindowRect(vd::Taskbar(), &bar);
  EXPECT_TRUE(RegionIs(WindowRegion, {RECT{100, 200, 400, 500}, RECT{600, 100, 800, 300}, bar}));
  EXPECT_EQ(vd::LiveDCs(), dcs);
  Tick();
  EXPECT_EQ(vd::LiveDCs(), dcs);
  (void)window;
}

TEST_F(DrawTargetTest, DisagreeingDesktopsSettleWithoutEndlessRebuilds) {
  // A hidden "Program Manager" with an HTML view above the shell's: the search
  // by title sees HTML, the window pass the visible list view below.
  FakeDesktop hidden = MakeDesktop(DESKTOP_TITLE, {HTML_VIEW_CLASS});
  int dcs = vd::LiveDCs();
  Start();
  EXPECT_EQ(AnsweringFlip, 0);
  EXPECT_EQ(DrawTarget, vd::DesktopListView());
  EXPECT_EQ(HtmlDesktop, 0);
  EXPECT_EQ(vd::LiveDCs(), dcs);
  vd::ClearRecords();
  Tick();
  Tick();
  EXPECT_TRUE(vd::Beeps().empty());
  EXPECT_EQ(vd::ScreenRepaints(), 0);
  // A double-click's search flips to the hidden HTML view; its rebuild flips
  // back and leaves it there, at one level of nesting.
  FindDrawTarget();
  EXPECT_EQ(AnsweringFlip, 0);
  EXPECT_EQ(DrawTarget, vd::DesktopListView());
  EXPECT_EQ(vd::ScreenRepaints(), 1);
  ReleaseDC(DrawTarget, TargetDC);
  EXPECT_EQ(vd::LiveDCs(), dcs);
  (void)hidden;
}

TEST_F(DrawTargetTest, MissingRegionsAreSignalledByBeepsAndTheRebuildGoesOn) {
  vd::CreateAppWindow("Editor", RECT{100, 200, 400, 500});
  DeleteObject(WindowRegion);
  WindowRegion = 0;
  Start();
  EXPECT_EQ(vd::Beeps().size(), 3u);
  vd::ClearRecords();
  DeleteObject(ScratchRegion);
  ScratchRegion = 0;
  Tick();
  // The editor, the taskbar and the desktop window each reach the rectangle step.
  EXPECT_EQ(vd::Beeps().size(), 3u + 2u * 3u);
  EXPECT_EQ(DrawTarget, vd::DesktopListView());
}

}  // namespace
