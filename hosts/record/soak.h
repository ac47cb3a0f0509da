// Long runs in virtual time that watch the process's memory: the program,
// ten flowers and the default scene's moving windows, sampled once a virtual hour.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace rec {

struct MemoryFigures {
  long peakKb = -1;      // VmHWM: the most resident memory the process has had
  long residentKb = -1;  // VmRSS
  size_t heapBytes = 0;  // allocated by malloc and not yet freed
};

// The process's memory now, from /proc/self/status and the allocator.
MemoryFigures MemoryNow();

struct SoakOptions {
  int hours = 24;
  int flowers = 10;
  std::string scene = "default";
};

struct SoakSample {
  int hour;  // virtual hours since the start
  MemoryFigures memory;
  uint64_t gdiObjectsCreated;  // since the start
  int liveGdiObjects;
  int liveDCs;
  double elapsedSeconds;  // real time since the start
};

// Runs the program for `hours` virtual hours and reports a sample at the end
// of each. False (with `error`) when the run could not be made or ended early.
bool RunSoak(const SoakOptions &options, const std::function<void(const SoakSample &)> &onSample,
             std::string *error);

}  // namespace rec
