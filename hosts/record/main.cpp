// mivora-record: records the program on a virtual desktop, without a display.
#include <signal.h>

#include <csignal>
#include <cstdio>
#include <cstring>
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

// What of the PNG frames is there, after a run that did not finish.
void ReportPngFramesLeft(const rec::Options &options, const rec::Summary &summary) {
  if (options.pngDir.empty()) return;
  if (summary.pngFramesWritten == 0)
    std::fprintf(stderr, "  no PNG frame was written\n");
  else
    std::fprintf(stderr, "  PNG frames written before that: %s/frame-00001.png ... frame-%05d.png\n",
                 Absolute(options.pngDir).c_str(), summary.pngFramesWritten);
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
    case rec::ParseOutcome::kVersion:
      std::fputs(rec::VersionText().c_str(), stdout);
      return 0;
    case rec::ParseOutcome::kError:
      std::fprintf(stderr, "mivora-record: %s\n(mivora-record --help lists the options)\n", error.c_str());
      return 2;
    case rec::ParseOutcome::kRun:
      break;
  }
  for (const std::string &warning : options.warnings) std::fprintf(stderr, "mivora-record: warning: %s\n", warning.c_str());
  // Ctrl+C, kill and a closed terminal stop the run at the next frame, so that
  // it can take away its temporary files before it exits.
  rec::CatchStopSignals();
  options.stop = rec::StopFlag();
  rec::Summary summary;
  bool ok = rec::Record(options, &summary, &error);
  const int signal = rec::StopSignal();
  if (!ok) {
    if (signal)
      std::fprintf(stderr, "mivora-record: stopped by signal %d (%s) after %d frames\n", signal, strsignal(signal),
                   summary.frames);
    else
      std::fprintf(stderr, "mivora-record: %s\n", error.c_str());
    if (!options.gifPath.empty()) std::fprintf(stderr, "  no GIF was written\n");
    ReportPngFramesLeft(options, summary);
    return signal ? 128 + signal : 1;
  }
  std::printf("mivora-record: %d frames, %.1f s simulated in %.1f s (%s scene)\n", summary.frames,
              summary.simulatedSeconds, summary.elapsedSeconds, options.scene.c_str());
  if (summary.gifWritten)
    std::printf("  GIF: %s (%.1f KB)\n", Absolute(options.gifPath).c_str(), double(summary.gifBytes) / 1024);
  if (summary.pngFramesWritten > 0)
    std::printf("  PNG frames: %s/frame-00001.png ... frame-%05d.png\n", Absolute(options.pngDir).c_str(),
                summary.pngFramesWritten);
  if (summary.olderPngFramesRemoved > 0)
    std::printf("  removed %d older frames past frame-%05d.png, left there by a longer earlier run\n",
                summary.olderPngFramesRemoved, summary.pngFramesWritten);
  if (signal) {
    std::fprintf(stderr, "mivora-record: signal %d (%s) came once the recording was complete\n", signal,
                 strsignal(signal));
    return 128 + signal;
  }
  return 0;
}
