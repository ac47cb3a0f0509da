// The wind cycle: calm, rise, blow, end, driven by five timers of the main
// window. The petal step caps the strength while it rises and ends the gust.
#include "app/app.h"
#include "settings/settings.h"
#include "sim/sim.h"

LONG windPhase = Calm;
LONG windStrength = 0;
LONG windDirection = 0;  // chosen at the start of each gust

void OnWindTimer(HWND window, UINT_PTR id) {
  // The id alone decides; the phase is not consulted.
  switch (id) {
    case TIMER_CALM:
      windPhase = Rising;
      windStrength = 0;
      KillTimer(window, TIMER_CALM);
      SetTimer(window, TIMER_STRENGTHEN, (UINT)Settings.strengthenStep, NULL);
      SetTimer(window, TIMER_RISE, (UINT)Settings.risePeriod, NULL);
      windDirection = -1;
      if (RandomBelow(10) > 4) windDirection = 1;
      break;
    case TIMER_RISE:
      windPhase = Blowing;
      KillTimer(window, TIMER_RISE);
      KillTimer(window, TIMER_STRENGTHEN);
      SetTimer(window, TIMER_BLOW, (UINT)Settings.blowPeriod, NULL);
      SetTimer(window, TIMER_WEAKEN, (UINT)Settings.weakenStep, NULL);
      break;
    case TIMER_BLOW:
      windPhase = Ending;
      KillTimer(window, TIMER_BLOW);
      KillTimer(window, TIMER_WEAKEN);
      SetTimer(window, TIMER_CALM, (UINT)Settings.calmPeriod, NULL);
      break;
    case TIMER_STRENGTHEN:
      // The petal step caps it; while none is stepped it may rise for ever,
      // so it stops at the largest strength there is.
      if (windStrength < LONG(0x7FFFFFFF)) windStrength = windStrength + 1;
      break;
    case TIMER_WEAKEN:
      // Compared before subtracting: a cap below 0 can leave the strength at
      // the lowest value there is.
      if (windStrength <= 1) {
        // Calm before the blowing period is over; TIMER_BLOW still fires.
        windStrength = 0;
        windPhase = Calm;
      } else {
        windStrength = windStrength - 1;
      }
      break;
  }
}

// Stops the whole wind cycle.
void KillWindTimers() {
  KillTimer(MainWindow, TIMER_CALM);
  KillTimer(MainWindow, TIMER_RISE);
  KillTimer(MainWindow, TIMER_BLOW);
  KillTimer(MainWindow, TIMER_STRENGTHEN);
  KillTimer(MainWindow, TIMER_WEAKEN);
}

void RescheduleWind() {
  // Each phase restarts from its full period; the wind state stays as it is.
  switch (windPhase) {
    case Calm:
      KillTimer(MainWindow, TIMER_CALM);
      if (Settings.windEnabled) SetTimer(MainWindow, TIMER_CALM, (UINT)Settings.calmPeriod, NULL);
      break;
    case Rising:
      KillTimer(MainWindow, TIMER_STRENGTHEN);
      KillTimer(MainWindow, TIMER_RISE);
      if (Settings.windEnabled) {
        SetTimer(MainWindow, TIMER_STRENGTHEN, (UINT)Settings.strengthenStep, NULL);
        SetTimer(MainWindow, TIMER_RISE, (UINT)Settings.risePeriod, NULL);
      }
      break;
    case Blowing:
      KillTimer(MainWindow, TIMER_WEAKEN);
      KillTimer(MainWindow, TIMER_BLOW);
      if (Settings.windEnabled) {
        SetTimer(MainWindow, TIMER_BLOW, (UINT)Settings.blowPeriod, NULL);
        SetTimer(MainWindow, TIMER_WEAKEN, (UINT)Settings.weakenStep, NULL);
      }
      break;
    case Ending:
      KillTimer(MainWindow, TIMER_BLOW);
      if (Settings.windEnabled) SetTimer(MainWindow, TIMER_BLOW, (UINT)Settings.blowPeriod, NULL);
      break;
    default:
      // An impossible phase: say so, and start the cycle again from the calm.
      MessageBeep(0);
      KillWindTimers();
      if (Settings.windEnabled) SetTimer(MainWindow, TIMER_CALM, (UINT)Settings.calmPeriod, NULL);
      break;
  }
}
