// mivora-soak: runs the program for many virtual hours and prints how its
// memory goes, so that growth over days shows in minutes.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "soak.h"

int main(int argc, char **argv) {
  rec::SoakOptions options;
  long limitKb = 1024;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if ((arg == "--hours" || arg == "--max-growth-kb") && i + 1 < argc) {
      char *end = nullptr;
      long value = std::strtol(argv[++i], &end, 10);
      if (*end != '\0' || value < 1 || value > 1000000) {
        std::fprintf(stderr, "mivora-soak: %s expects a whole number from 1 to 1000000\n", arg.c_str());
        return 2;
      }
      if (arg == "--hours")
        options.hours = int(value);
      else
        limitKb = value;
    } else {
      std::fprintf(stderr, "usage: mivora-soak [--hours N (default 24, at least 2)] [--max-growth-kb K (default 1024)]\n");
      return arg == "--help" ? 0 : 2;
    }
  }
  if (options.hours < 2) {
    std::fprintf(stderr, "mivora-soak: --hours must be at least 2 (growth is measured after the first hour)\n");
    return 2;
  }
  std::printf("mivora-soak: %d virtual hours, %d flowers, %s scene\n", options.hours, options.flowers,
              options.scene.c_str());
  std::printf("%5s %10s %10s %10s %12s %6s %4s %8s\n", "hour", "peak KB", "rss KB", "heap KB", "GDI made",
              "GDI", "DCs", "real s");
  rec::MemoryFigures first, last;
  std::string error;
  bool ok = rec::RunSoak(options, [&](const rec::SoakSample &s) {
    std::printf("%5d %10ld %10ld %10zu %12llu %6d %4d %8.1f\n", s.hour, s.memory.peakKb, s.memory.residentKb,
                s.memory.heapBytes / 1024, static_cast<unsigned long long>(s.gdiObjectsCreated), s.liveGdiObjects,
                s.liveDCs, s.elapsedSeconds);
    std::fflush(stdout);
    if (s.hour == 1) first = s.memory;
    last = s.memory;
  }, &error);
  if (!ok) {
    std::fprintf(stderr, "mivora-soak: %s\n", error.c_str());
    return 1;
  }
  long peakGrowth = last.peakKb - first.peakKb;
  long heapGrowth = (long(last.heapBytes) - long(first.heapBytes)) / 1024;
  std::printf("after the first hour: peak memory grew by %ld KB, heap in use by %ld KB over %d hours (limit %ld KB)\n",
              peakGrowth, heapGrowth, options.hours - 1, limitKb);
  return peakGrowth < limitKb && heapGrowth < limitKb ? 0 : 1;
}
