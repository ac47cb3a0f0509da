// The wind cycle: the timer handler, the restart of a phase's timers, and a
// whole gust in virtual time with petals falling.
#include <vector>

#include "sim_test_support.h"

using simtest::AdvanceDrawnPetals;
using simtest::SimTest;

namespace {

struct Sample {
  uint64_t time;
  LONG phase;
  LONG strength;
};

std::vector<Sample> *timeline = nullptr;

// A stand-in main window: the tick steps the petals, the wind timers go to
// the wind handler, and every timer message leaves a sample.
LRESULT CALLBACK TimelineProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_TIMER) return DefWindowProcA(hwnd, message, wParam, lParam);
  if (wParam == TIMER_TICK) {
    StepFlowers();
    AdvanceDrawnPetals();
  } else if (wParam >= TIMER_CALM && wParam <= TIMER_WEAKEN) {
    OnWindTimer(hwnd, wParam);
  }
  if (timeline) timeline->push_back({vd::Now(), windPhase, windStrength});
  return 0;
}

class WindTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = TimelineProc;
    wc.hInstance = Instance;
    wc.lpszClassName = "MivoraWindTest";
    RegisterClassExA(&wc);
    MainWindow = CreateWindowExA(0, "MivoraWindTest", "", 0, 0, 0, 0, 0, 0, 0, Instance, nullptr);
    ASSERT_NE(nullptr, MainWindow);
  }
  void TearDown() override {
    timeline = nullptr;
    DestroyWindow(MainWindow);
    MainWindow = 0;
    SimTest::TearDown();
  }

  // The period of a running wind timer of the main window, 0 when it is stopped.
  static UINT Period(UINT_PTR id) {
    for (const vd::TimerInfo &timer : vd::Timers())
      if (timer.hwnd == MainWindow && timer.id == id) return timer.period;
    return 0;
  }

  static std::vector<UINT_PTR> RunningWindTimers() {
    std::vector<UINT_PTR> ids;
    for (UINT_PTR id = TIMER_CALM; id <= TIMER_WEAKEN; id++)
      if (vd::TimerRunning(MainWindow, id)) ids.push_back(id);
    return ids;
  }

  void UseDistinctPeriods() {
    Settings.calmPeriod = 30000;
    Settings.risePeriod = 6000;
    Settings.blowPeriod = 4000;
    Settings.strengthenStep = 110;
    Settings.weakenStep = 120;
  }
};

using Ids = std::vector<UINT_PTR>;

TEST_F(WindTest, DefaultGustRisesHoldsBlowsAndCalmsInVirtualTime) {
  std::vector<Sample> samples;
  timeline = &samples;
  SeedAll(10);
  SetTimer(MainWindow, TIMER_TICK, Settings.tickInterval, nullptr);
  SetTimer(MainWindow, TIMER_CALM, Settings.calmPeriod, nullptr);
  vd::StopAt(75000);
  MSG msg;
  while (GetMessageA(&msg, 0, 0, 0) > 0) DispatchMessageA(&msg);
  ASSERT_FALSE(samples.empty());

  auto firstAfter = [&](uint64_t from, auto test) -> const Sample * {
    for (const Sample &s : samples)
      if (s.time >= from && test(s)) return &s;
    return nullptr;
  };
  const Sample *rise = firstAfter(0, [](const Sample &s) { return s.phase == Rising; });
  ASSERT_NE(nullptr, rise);
  EXPECT_EQ(30000u, rise->time);
  for (const Sample &s : samples)
    if (s.time < 30000) {
      EXPECT_EQ(Calm, s.phase);
      EXPECT_EQ(0, s.strength);
    }

  const Sample *capped = firstAfter(30000, [](const Sample &s) { return s.strength == 40; });
  ASSERT_NE(nullptr, capped);
  EXPECT_NEAR(34000.0, double(capped->time), 100.0);
  const Sample *blowing = firstAfter(30000, [](const Sample &s) { return s.phase == Blowing; });
  ASSERT_NE(nullptr, blowing);
  EXPECT_EQ(36000u, blowing->time);
  // Held at the cap: after every tick of the rise the strength is at most 40.
  for (const Sample &s : samples)
    if (s.time > capped->time && s.time < 36000 && s.phase == Rising) {
      EXPECT_GE(s.strength, 40);
      EXPECT_LE(s.strength, 41);  // one strengthen step before the next tick caps it
    }

  const Sample *calm = firstAfter(36000, [](const Sample &s) { return s.phase == Calm; });
  ASSERT_NE(nullptr, calm);
  EXPECT_NEAR(40000.0, double(calm->time), 100.0);
  const Sample *settled =
      firstAfter(40000, [](const Sample &s) { return s.phase == Calm && s.strength == 0; });
  ASSERT_NE(nullptr, settled);
  EXPECT_LE(settled->time, 40100u);
  for (const Sample &s : samples)
    if (s.time > 40100 && s.time < 69900) EXPECT_EQ(Calm, s.phase) << s.time;

  const Sample *next = firstAfter(40100, [](const Sample &s) { return s.phase == Rising; });
  ASSERT_NE(nullptr, next);
  EXPECT_NEAR(70000.0, double(next->time), 100.0);
}

TEST_F(WindTest, CalmTimerStartsARiseInAnyPhaseWithAnEvenDirectionDraw) {
  UseDistinctPeriods();
  for (LONG phase : {Calm, Rising, Blowing, Ending}) {
    windPhase = phase;
    windStrength = 17;
    DWORD state = RandomState;
    LONG expected = RandomBelow(10) > 4 ? 1 : -1;
    RandomState = state;
    SetTimer(MainWindow, TIMER_CALM, 30000, nullptr);
    OnWindTimer(MainWindow, TIMER_CALM);
    EXPECT_EQ(Rising, windPhase);
    EXPECT_EQ(0, windStrength);
    EXPECT_EQ(expected, windDirection);
    EXPECT_EQ((Ids{TIMER_RISE, TIMER_STRENGTHEN}), RunningWindTimers());
    EXPECT_EQ(6000u, Period(TIMER_RISE));
    EXPECT_EQ(110u, Period(TIMER_STRENGTHEN));
    KillTimer(MainWindow, TIMER_RISE);
    KillTimer(MainWindow, TIMER_STRENGTHEN);
  }
}

TEST_F(WindTest, RiseAndBlowTimersMoveThePhaseAndSwapTheTimers) {
  UseDistinctPeriods();
  OnWindTimer(MainWindow, TIMER_CALM);
  for (int i = 0; i < 55; i++) OnWindTimer(MainWindow, TIMER_STRENGTHEN);
  EXPECT_EQ(55, windStrength);  // no cap in the handler
  OnWindTimer(MainWindow, TIMER_RISE);
  EXPECT_EQ(Blowing, windPhase);
  EXPECT_EQ((Ids{TIMER_BLOW, TIMER_WEAKEN}), RunningWindTimers());
  EXPECT_EQ(4000u, Period(TIMER_BLOW));
  EXPECT_EQ(120u, Period(TIMER_WEAKEN));
  OnWindTimer(MainWindow, TIMER_BLOW);
  EXPECT_EQ(Ending, windPhase);
  EXPECT_EQ(55, windStrength);  // the next petal step ends the gust
  EXPECT_EQ((Ids{TIMER_CALM}), RunningWindTimers());
  EXPECT_EQ(30000u, Period(TIMER_CALM));
}

TEST_F(WindTest, WeakeningToZeroCalmsWhileTheBlowTimerStillRuns) {
  OnWindTimer(MainWindow, TIMER_CALM);
  OnWindTimer(MainWindow, TIMER_STRENGTHEN);
  OnWindTimer(MainWindow, TIMER_STRENGTHEN);
  OnWindTimer(MainWindow, TIMER_RISE);
  OnWindTimer(MainWindow, TIMER_WEAKEN);
  EXPECT_EQ(Blowing, windPhase);
  EXPECT_EQ(1, windStrength);
  OnWindTimer(MainWindow, TIMER_WEAKEN);
  EXPECT_EQ(Calm, windPhase);
  EXPECT_EQ(0, windStrength);
  OnWindTimer(MainWindow, TIMER_WEAKEN);
  EXPECT_EQ(0, windStrength);  // never below 0
  EXPECT_EQ((Ids{TIMER_BLOW, TIMER_WEAKEN}), RunningWindTimers());
  OnWindTimer(MainWindow, TIMER_BLOW);  // still ends the period
  EXPECT_EQ(Ending, windPhase);
  EXPECT_EQ((Ids{TIMER_CALM}), RunningWindTimers());
}

struct RescheduleCase {
  LONG phase;
  Ids before;
  Ids after;
};

TEST_F(WindTest, RescheduleRestartsTheTimersOfEachPhase) {
  UseDistinctPeriods();
  const RescheduleCase cases[] = {
      {Calm, {}, {TIMER_CALM}},
      {Calm, {TIMER_BLOW, TIMER_WEAKEN}, {TIMER_CALM, TIMER_BLOW, TIMER_WEAKEN}},
      {Rising, {}, {TIMER_RISE, TIMER_STRENGTHEN}},
      {Rising, {TIMER_CALM}, {TIMER_CALM, TIMER_RISE, TIMER_STRENGTHEN}},
      {Blowing, {}, {TIMER_BLOW, TIMER_WEAKEN}},
      {Ending, {TIMER_CALM}, {TIMER_CALM, TIMER_BLOW}},
  };
  for (const RescheduleCase &c : cases) {
    for (UINT_PTR id = TIMER_CALM; id <= TIMER_WEAKEN; id++) KillTimer(MainWindow, id);
    for (UINT_PTR id : c.before) SetTimer(MainWindow, id, 5000, nullptr);
    windPhase = c.phase;
    windStrength = 9;
    RescheduleWind();
    EXPECT_EQ(c.after, RunningWindTimers()) << "phase " << c.phase;
    EXPECT_EQ(c.phase, windPhase);
    EXPECT_EQ(9, windStrength);
  }
  // The phase's own timers run with the current periods.
  windPhase = Blowing;
  RescheduleWind();
  EXPECT_EQ(4000u, Period(TIMER_BLOW));
  EXPECT_EQ(120u, Period(TIMER_WEAKEN));
  windPhase = Rising;
  RescheduleWind();
  EXPECT_EQ(6000u, Period(TIMER_RISE));
  EXPECT_EQ(110u, Period(TIMER_STRENGTHEN));
  EXPECT_TRUE(vd::Beeps().empty());
}

TEST_F(WindTest, RescheduleWithWindOffOnlyStopsThePhaseTimers) {
  Settings.windEnabled = 0;
  SetTimer(MainWindow, TIMER_RISE, 6000, nullptr);
  SetTimer(MainWindow, TIMER_STRENGTHEN, 100, nullptr);
  SetTimer(MainWindow, TIMER_CALM, 30000, nullptr);
  windPhase = Rising;
  RescheduleWind();
  EXPECT_EQ((Ids{TIMER_CALM}), RunningWindTimers());
}

TEST_F(WindTest, ImpossiblePhaseBeepsOnceAndRestartsFromTheCalmTimer) {
  for (UINT_PTR id = TIMER_CALM; id <= TIMER_WEAKEN; id++) SetTimer(MainWindow, id, 1000, nullptr);
  vd::ClearRecords();
  windPhase = 7;
  RescheduleWind();
  ASSERT_EQ(1u, vd::Beeps().size());
  EXPECT_EQ(0u, vd::Beeps()[0].type);
  EXPECT_EQ((Ids{TIMER_CALM}), RunningWindTimers());
  EXPECT_EQ(30000u, Period(TIMER_CALM));
  EXPECT_EQ(7, windPhase);  // the state is not touched

  Settings.windEnabled = 0;
  RescheduleWind();
  EXPECT_EQ(2u, vd::Beeps().size());
  EXPECT_TRUE(RunningWindTimers().empty());
}

// A rise whose last strength step comes after its last petal step: the
// uncapped strength is what the blowing period pushes with.
TEST_F(WindTest, AStrengthStepAfterTheLastPetalStepOfARiseCarriesUncappedIntoBlowing) {
  Settings.maxWindStrength = 3;
  Settings.flutter = 0;
  SetRect(&DesktopRect, 0, 0, 1024, 768);
  Petal *petal = nullptr;
  {
    LinkStore();
    Flower *flower = &branches[0].flowers[0];
    flower->livePetals = 1;
    flower->fallDelay = 0;
    petal = &flower->petals[0];
    petal->x = 500, petal->y = 100, petal->dx = 0, petal->dy = 4, petal->active = 1, petal->fresh = 0;
  }
  OnWindTimer(MainWindow, TIMER_CALM);
  windDirection = 1;
  for (int i = 0; i < 5; i++) OnWindTimer(MainWindow, TIMER_STRENGTHEN);
  StepPetal(petal);  // the last petal step of the rise caps the strength
  EXPECT_EQ(3, windStrength);
  OnWindTimer(MainWindow, TIMER_STRENGTHEN);
  OnWindTimer(MainWindow, TIMER_STRENGTHEN);
  OnWindTimer(MainWindow, TIMER_RISE);
  EXPECT_EQ(Blowing, windPhase);
  EXPECT_EQ(5, windStrength);  // above the cap, and nothing caps it now
  StepPetal(petal);
  EXPECT_EQ(5, windStrength);
  EXPECT_EQ(505, petal->nextX);
}

// While no petal is stepped the gust does not end: Ending stays, and its
// strength with it, until the first petal step.
TEST_F(WindTest, EndingLastsWhileNoPetalIsStepped) {
  SetRect(&DesktopRect, 0, 0, 1024, 768);
  SeedAll(0);  // no flower in use
  OnWindTimer(MainWindow, TIMER_CALM);
  for (int i = 0; i < 70; i++) OnWindTimer(MainWindow, TIMER_STRENGTHEN);
  OnWindTimer(MainWindow, TIMER_RISE);
  OnWindTimer(MainWindow, TIMER_BLOW);
  EXPECT_EQ(Ending, windPhase);
  EXPECT_EQ(70, windStrength);  // never capped: no petal stepped during the rise
  for (int tick = 0; tick < 20; tick++) StepFlowers();
  EXPECT_EQ(Ending, windPhase);
  EXPECT_EQ(70, windStrength);
  // Flowers in use but all waiting: still no step.
  Settings.flowersPerBranch = 3;
  for (int slot = 0; slot < 3; slot++) branches[0].flowers[slot].fallDelay = 50;
  for (int tick = 0; tick < 20; tick++) StepFlowers();
  EXPECT_EQ(Ending, windPhase);
  // The first petal stepped ends it.
  branches[0].flowers[0].fallDelay = 1;
  StepFlowers();
  EXPECT_EQ(Calm, windPhase);
  EXPECT_EQ(0, windStrength);
}

}  // namespace
