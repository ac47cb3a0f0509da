// mivora-record: records the program on a virtual desktop, without a display.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "recorder.h"

namespace {

std::string Absolute(const std::string &path) {
  std::error_code ec;
  std::filesystem::path full = std::filesystem::absolute(path, ec);
  return ec ? path : full.lexically_normal().string();
}

}  // namespace

int main(int argc, char **argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  rec::Options options;
  std::string error;
  switch (rec::ParseArguments(args, &options, &error)) {
    case rec::ParseOutcome::kHelp:
      std::fputs(rec::Usage().c_str(), stdout);
      return 0;
    case rec::ParseOutcome::kError:
      std::fprintf(stderr, "mivora-record: %s\n(mivora-record --help lists the options)\n", error.c_str());
      return 2;
    case rec::ParseOutcome::kRun:
      break;
  }
  rec::Summary summary;
  bool ok = rec::Record(options, &summary, &error);
  if (!ok && summary.frames == 0) {
    std::fprintf(stderr, "mivora-record: %s\n", error.c_str());
    return 1;
  }
  std::printf("mivora-record: %d frames, %.1f s simulated in %.1f s (%s scene)\n", summary.frames,
              summary.simulatedSeconds, summary.elapsedSeconds, options.scene.c_str());
  if (!options.gifPath.empty() && summary.gifBytes > 0)
    std::printf("  GIF: %s (%.1f KB)\n", Absolute(options.gifPath).c_str(), double(summary.gifBytes) / 1024);
  if (!options.pngDir.empty() && summary.frames > 0)
    std::printf("  PNG frames: %s/frame-00001.png ... frame-%05d.png\n", Absolute(options.pngDir).c_str(),
                summary.frames);
  if (!ok) {
    std::fprintf(stderr, "mivora-record: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
