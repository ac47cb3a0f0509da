#include "soak.h"

#include <malloc.h>

#include <chrono>
#include <cstdio>

#include "recorder.h"
#include "vdesktop.h"

namespace rec {

MemoryFigures MemoryNow() {
  MemoryFigures m;
  if (FILE *status = std::fopen("/proc/self/status", "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, status)) {
      long kb = 0;
      if (std::sscanf(line, "VmHWM: %ld kB", &kb) == 1) m.peakKb = kb;
      if (std::sscanf(line, "VmRSS: %ld kB", &kb) == 1) m.residentKb = kb;
    }
    std::fclose(status);
  }
  struct mallinfo2 info = mallinfo2();
  m.heapBytes = info.uordblks + info.hblkhd;
  return m;
}

bool RunSoak(const SoakOptions &options, const std::function<void(const SoakSample &)> &onSample,
             std::string *error) {
  constexpr uint64_t kHourMs = 3600 * 1000;
  Options run;
  run.seconds = double(options.hours) * 3600;
  run.fps = 1;  // the frames are only a clock here: nothing is written
  run.scene = options.scene;
  run.settings = {{SettingIndex("flowersPerBranch"), options.flowers}};
  run.progress = false;
  auto started = std::chrono::steady_clock::now();
  run.onFrame = [&](const Frame &frame) {
    if (frame.time % kHourMs != 0) return;
    SoakSample sample;
    sample.hour = int(frame.time / kHourMs);
    sample.memory = MemoryNow();
    sample.gdiObjectsCreated = vd::GdiObjectsCreated();
    sample.liveGdiObjects = vd::LiveGdiObjects();
    sample.liveDCs = vd::LiveDCs();
    sample.elapsedSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    onSample(sample);
  };
  Summary summary;
  return Record(run, &summary, error);
}

}  // namespace rec
