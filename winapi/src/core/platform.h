// State shared by every library of the virtual desktop: the screen, the clock,
// and what tests and hosts observe. Each library keeps its own objects; this
// holds only what they all read.
#pragma once

#include <pixman.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "vdesktop.h"

namespace vd {

// The screen: a 32-bit framebuffer (0x00RRGGBB), row after row.
struct Screen {
  int width = 1024;
  int height = 768;
  int bitsPerPixel = 32;  // as reported to the program; the pixels are always 32-bit
  std::vector<uint32_t> pixels;
};

Screen &TheScreen();
const Config &CurrentConfig();

// Everything that writes the screen's pixels marks what it wrote here, so that a
// host presents only the part of the screen that changed (vd::TakeScreenDamage).
void DamageScreen(int x1, int y1, int x2, int y2);
void DamageScreen(const pixman_region32_t *region);

// Clock: milliseconds since the desktop was reset.
uint64_t ClockNow();
// Waits for the next thing to happen, no later than `until` (milliseconds on
// the clock). Virtual time jumps there (or to the next scripted callback);
// real time sleeps, or lets the host's idle hook wait for input.
void ClockWaitUntil(uint64_t until);
// Runs the scripted callbacks that are due. Returns true when any ran.
bool RunDueCallbacks();
// The time of the next scripted callback, or UINT64_MAX.
uint64_t NextCallbackTime();
bool TimeIsUp();

// Observation records, appended to by the libraries while `recording` is on.
// A message box or menu has a record while it is open whatever `recording` is:
// its modal loop keeps its state there.
struct Observations {
  bool recording = false;
  std::vector<BeepRecord> beeps;
  std::vector<MessageBoxRecord> messageBoxes;
  std::vector<MenuRecord> menus;
  std::vector<RepaintRecord> repaints;
  int screenRepaints = 0;
  uint64_t lastSerial = 0;
  std::vector<uint64_t> modalLoops;  // serials of the boxes and menus whose loops are running
};
Observations &Observed();

// Each library registers a reset so that vd::Reset gives a fresh desktop.
struct ResetHook {
  ResetHook(int order, void (*fn)());
};

}  // namespace vd
