// The hosts run as a user runs them: what they leave in the temporary folder,
// how signals end them, and what the recorder makes of files it finds.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "support/host_process.h"
#include "support/program_run.h"

namespace {

using progtest::HostProcess;
using progtest::Listing;
using progtest::TempDir;
namespace fs = std::filesystem;

std::string ReadFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

#ifdef MIVORA_DESKTOP_PROGRAM
// The live host on SDL's dummy display, which shows nothing but runs it all.
HostProcess LiveHost(const std::vector<std::string> &args, const std::string &tmpdir, const std::string &registry) {
  return HostProcess(MIVORA_DESKTOP_PROGRAM, args, tmpdir, {{"SDL_VIDEODRIVER", "dummy"}, {"MIVORA_REGISTRY", registry}});
}

// Without --settings the live host needs no temporary folder; with them its
// folder goes however the run ends: SIGHUP, SIGTERM or SIGINT end it in order
// and by that signal. SIGXFSZ does not end it at all.
TEST(LiveHostProcess, SignalsEndItInOrderAndLeaveNoTemporaryFolder) {
  struct Case {
    int signal;
    bool settings;
  };
  for (Case c : {Case{SIGHUP, false}, Case{SIGHUP, true}, Case{SIGTERM, true}, Case{SIGINT, true},
                 Case{SIGXFSZ, true}}) {
    SCOPED_TRACE(std::string(strsignal(c.signal)) + (c.settings ? " with --settings" : " without --settings"));
    TempDir dir;
    std::string tmp = dir.path() + "/tmp";
    fs::create_directory(tmp);
    std::vector<std::string> args = {"--scene", "still"};
    if (c.settings) args.insert(args.end(), {"--settings", "flowersPerBranch=4"});
    HostProcess host = LiveHost(args, tmp, dir.path() + "/user.hkcu");
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (c.settings && Listing(tmp).empty() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(700));  // well into its message loop
    EXPECT_EQ(Listing(tmp).size(), c.settings ? 1u : 0u);
    host.Signal(c.signal);
    if (c.signal == SIGXFSZ) {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      EXPECT_TRUE(host.Running()) << "a file size limit fails a write; it does not end the host";
      host.Signal(SIGTERM);
      EXPECT_EQ(host.Wait(), 1000 + SIGTERM) << host.Stderr();
    } else {
      EXPECT_EQ(host.Wait(), 1000 + c.signal) << host.Stderr();
    }
    EXPECT_TRUE(Listing(tmp).empty());
    if (c.settings) EXPECT_FALSE(fs::exists(dir.path() + "/user.hkcu")) << "the user's registry is not touched";
  }
}
#endif

#ifdef MIVORA_RECORD_PROGRAM
HostProcess Recorder(const std::vector<std::string> &args, const std::string &tmpdir) {
  return HostProcess(MIVORA_RECORD_PROGRAM, args, tmpdir);
}

// A GIF its owner made read-only is kept, and the run says why it wrote none.
TEST(RecorderOutput, AReadOnlyGifIsKeptAndTheRunRefused) {
  TempDir dir;
  std::string gif = dir.path() + "/film.gif";
  std::ofstream(gif) << "an earlier recording";
  ASSERT_EQ(chmod(gif.c_str(), 0444), 0);
  HostProcess run = Recorder({"--seconds", "1", "--quiet", "--gif", gif}, dir.path());
  EXPECT_EQ(run.Wait(), 1);
  EXPECT_NE(run.Stderr().find("read-only"), std::string::npos) << run.Stderr();
  EXPECT_EQ(ReadFile(gif), "an earlier recording");
  struct stat st;
  ASSERT_EQ(stat(gif.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0444u);
  EXPECT_EQ(Listing(dir.path()), std::vector<std::string>{"film.gif"});
}

// A shorter run into a folder of an earlier, longer one leaves only its own
// frames there: older frames past its last would pass for its own.
TEST(RecorderOutput, ReusingAPngFolderLeavesOnlyThisRunsFrames) {
  TempDir dir;
  std::string png = dir.path() + "/frames", tmp = dir.path() + "/tmp";
  fs::create_directories(tmp);
  HostProcess longer = Recorder({"--seconds", "1", "--fps", "5", "--quiet", "--png-dir", png}, tmp);
  ASSERT_EQ(longer.Wait(), 0) << longer.Stderr();
  ASSERT_EQ(Listing(png).size(), 5u);
  std::ofstream(png + "/notes.txt") << "the user's own";
  HostProcess shorter = Recorder({"--seconds", "0.4", "--fps", "5", "--quiet", "--png-dir", png}, tmp);
  ASSERT_EQ(shorter.Wait(), 0) << shorter.Stderr();
  EXPECT_EQ(Listing(png), (std::vector<std::string>{"frame-00001.png", "frame-00002.png", "notes.txt"}));
}

// Progress into a file or a pipe is plain lines, a few of them, with no
// carriage return; the last says the run is complete.
TEST(RecorderOutput, ProgressIntoAPipeIsPlainLines) {
  TempDir dir;
  HostProcess run = Recorder({"--seconds", "20", "--fps", "10", "--gif", dir.path() + "/a.gif"}, dir.path());
  ASSERT_EQ(run.Wait(), 0) << run.Stderr();
  const std::string &err = run.Stderr();
  EXPECT_EQ(err.find('\r'), std::string::npos);
  long lines = std::count(err.begin(), err.end(), '\n');
  EXPECT_GE(lines, 2);
  EXPECT_LE(lines, 11);
  EXPECT_NE(err.find("frame 200 of 200\n"), std::string::npos) << err;
}
#endif

}  // namespace
