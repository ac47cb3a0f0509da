// Two virtual hours of the program with ten flowers and the default scene's
// moving windows: after the first hour its memory stays where it is. The
// 24-hour run is scripts/soak.sh.
#include <gtest/gtest.h>

#include <cstdio>

#include "render/render.h"
#include "soak.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;  // the sanitizers' own memory and pace make this run meaningless
#else
constexpr bool kSanitized = false;
#endif

TEST(Soak, MemoryStaysFlatAfterTheFirstVirtualHourWithTenFlowersAndMovingWindows) {
  if (kSanitized) GTEST_SKIP() << "memory growth is measured in the plain build";
  rec::SoakOptions options;
  options.hours = 2;
  options.flowers = 10;
  std::vector<rec::SoakSample> samples;
  std::string error;
  ASSERT_TRUE(rec::RunSoak(options, [&](const rec::SoakSample &s) { samples.push_back(s); }, &error)) << error;
  ASSERT_EQ(samples.size(), 2u);
  const rec::MemoryFigures &first = samples[0].memory, &last = samples[1].memory;
  ASSERT_GT(first.peakKb, 0) << "/proc/self/status has VmHWM";
  long peakGrowthKb = last.peakKb - first.peakKb;
  long heapGrowthKb = (long(last.heapBytes) - long(first.heapBytes)) / 1024;
  std::printf("soak: peak %ld KB -> %ld KB (%+ld KB), heap in use %zu KB -> %zu KB (%+ld KB) in the second hour\n",
              first.peakKb, last.peakKb, peakGrowthKb, first.heapBytes / 1024, last.heapBytes / 1024, heapGrowthKb);
  EXPECT_LT(peakGrowthKb, 1024);
  EXPECT_LT(heapGrowthKb, 256);
  // No GDI object or context leaks either, though about a thousand objects a second come and go.
  EXPECT_EQ(samples[1].liveGdiObjects, samples[0].liveGdiObjects);
  EXPECT_EQ(samples[1].liveDCs, KEPT_SPRITE_DCS);  // only the sprite work's own, kept for the run
}

}  // namespace
