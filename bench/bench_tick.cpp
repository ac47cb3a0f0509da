// The animation tick and its parts, on a desktop with 10 application windows
// and 10 flowers (50 petals in play), against a plain copy of a petal's pixels.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "app/app.h"
#include "geometry/geometry.h"
#include "render/render.h"
#include "settings/settings.h"
#include "sim/sim.h"
#include "vdesktop.h"

namespace {

constexpr int kWindows = 10;
constexpr int kFlowers = 10;
constexpr uint64_t kLatestStartMs = 20000;  // fall delays end by 7.5 s; this is ample
constexpr double kTickBudgetNs = 50e6;
constexpr int kBlitX = 700, kBlitY = 120;  // open desktop, away from windows and branch

bool AllFlowersFalling() {
  for (int f = 0; f < kFlowers; ++f)
    if (branches[0].flowers[f].fallDelay != 0) return false;
  return true;
}

// Runs the program in virtual time, the default screen with ten windows,
// until every flower is shedding petals; the program's state stays for the benchmarks.
bool StartProgram() {
  static int started = -1;
  if (started >= 0) return started == 1;
  char pattern[] = "/tmp/mivora-bench-XXXXXX";
  const char *dir = mkdtemp(pattern);
  if (!dir) return (started = 0) == 1;
  vd::Config config;
  config.registryPath = std::string(dir) + "/registry.hkcu";
  vd::Reset(config);
  ResetProgramState();
  RestoreFactoryDefaults();
  Settings.flowersPerBranch = kFlowers;
  SaveSettings();
  for (int i = 0; i < kWindows; ++i) {
    int x = 30 + 190 * (i % 5), y = 180 + 230 * (i / 5) + 25 * (i % 2);
    vd::CreateAppWindow("Window " + std::to_string(i + 1), RECT{x, y, x + 230, y + 170});
  }
  vd::Every(100, 100, [] {
    if (AllFlowersFalling()) vd::StopAt(vd::Now());
  });
  vd::StopAt(kLatestStartMs);
  WinMain(vd::ModuleInstance(), nullptr, const_cast<char *>(""), SW_SHOWDEFAULT);
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  started = AllFlowersFalling() ? 1 : 0;
  return started == 1;
}

bool Ready(benchmark::State &state) {
  if (StartProgram()) return true;
  state.SkipWithError("the program did not get all flowers falling");
  return false;
}

// Petal 0 of the first flower: 13 x 10.
Petal *APetal() { return &branches[0].flowers[0].petals[0]; }

void BM_Tick(benchmark::State &state) {
  if (!Ready(state)) return;
  for (auto _ : state) {
    Tick();
    // The message loop paints what the tick invalidated before the next one.
    state.PauseTiming();
    vd::PaintPending();
    state.ResumeTiming();
  }
  state.counters["petals"] = 5 * kFlowers;
}
BENCHMARK(BM_Tick)->Unit(benchmark::kMicrosecond);

void BM_TickAndPaint(benchmark::State &state) {
  if (!Ready(state)) return;
  for (auto _ : state) {
    Tick();
    vd::PaintPending();
  }
}
BENCHMARK(BM_TickAndPaint)->Unit(benchmark::kMicrosecond);

void BM_RefreshWindowRegionUnchanged(benchmark::State &state) {
  if (!Ready(state)) return;
  TargetDC = GetDC(DrawTarget);
  RefreshWindowRegion();  // take up anything the last tick left
  for (auto _ : state) RefreshWindowRegion();
  ReleaseDC(DrawTarget, TargetDC);
}
BENCHMARK(BM_RefreshWindowRegionUnchanged)->Unit(benchmark::kMicrosecond);

void BM_MaskedBlitPetal(benchmark::State &state) {
  if (!Ready(state)) return;
  Petal *petal = APetal();
  RECT size = {0, 0, 0, 0};
  GetBitmapSize(&size, petal->mask);
  TargetDC = GetDC(DrawTarget);
  for (auto _ : state) MaskedBlit(TargetDC, petal->mask, petal->picture, kBlitX, kBlitY, size.right, size.bottom);
  ReleaseDC(DrawTarget, TargetDC);
  state.counters["pixels"] = double(size.right * size.bottom);
}
BENCHMARK(BM_MaskedBlitPetal)->Unit(benchmark::kMicrosecond);

// The floor: the same petal's pixels copied straight onto the desktop.
void BM_BitBltCopyPetal(benchmark::State &state) {
  if (!Ready(state)) return;
  Petal *petal = APetal();
  RECT size = {0, 0, 0, 0};
  GetBitmapSize(&size, petal->picture);
  TargetDC = GetDC(DrawTarget);
  HDC source = CreateCompatibleDC(TargetDC);
  HGDIOBJ old = SelectObject(source, petal->picture);
  for (auto _ : state) BitBlt(TargetDC, kBlitX, kBlitY, size.right, size.bottom, source, 0, 0, SRCCOPY);
  SelectObject(source, old);
  DeleteDC(source);
  ReleaseDC(DrawTarget, TargetDC);
  state.counters["pixels"] = double(size.right * size.bottom);
}
BENCHMARK(BM_BitBltCopyPetal)->Unit(benchmark::kMicrosecond);

// Prints the usual table, then each result against the tick budget and the plain copy.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // Colour only on a terminal, so the figures can go into a file as they are.
  RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}
  void ReportRuns(const std::vector<Run> &runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run &run : runs) {
      if (run.error_occurred || run.iterations == 0 || run.run_type != Run::RT_Iteration) continue;
      double ns = run.real_accumulated_time * 1e9 / double(run.iterations);
      perCall_[run.benchmark_name()] = ns;
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    auto copy = perCall_.find("BM_BitBltCopyPetal");
    std::printf("\nPer call, against the %.0f ms tick budget and the plain petal copy:\n", kTickBudgetNs / 1e6);
    for (const auto &[name, ns] : perCall_) {
      std::printf("  %-34s %10.2f us  %8.4f %% of the budget", name.c_str(), ns / 1e3, 100 * ns / kTickBudgetNs);
      if (copy != perCall_.end() && copy->second > 0) std::printf("  %9.1f x the copy", ns / copy->second);
      std::printf("\n");
    }
  }

 private:
  std::map<std::string, double> perCall_;
};

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
