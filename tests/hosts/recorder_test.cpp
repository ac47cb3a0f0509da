// The recorder: its command line, the settings it stores before the start,
// the files it writes (the same bytes every run, a GIF that plays back the
// frames), and what a recording of the scenes shows.
#include <fcntl.h>
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numeric>
#include <thread>

#include "image_files.h"
#include "recorder.h"
#include "scenes.h"
#include "support/host_process.h"
#include "support/program_run.h"

namespace {

using progtest::TempDir;

constexpr uint32_t kPetalFill = 0xFFCCCC;  // type 1's petal fill, RGB(255, 204, 204)
constexpr uint32_t kHtmlDesktop = 0x3A6EA5;
constexpr int kTaskbarTop = 768 - 28;

rec::ParseOutcome Parse(std::vector<std::string> args, rec::Options *options, std::string *error) {
  return rec::ParseArguments(args, options, error);
}

std::string ReadFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int CountColour(const rec::Frame &f, uint32_t colour, RECT box) {
  int n = 0;
  for (int y = std::max(0, int(box.top)); y < std::min(f.height, int(box.bottom)); ++y)
    for (int x = std::max(0, int(box.left)); x < std::min(f.width, int(box.right)); ++x)
      if (f.pixels[size_t(y) * f.width + x] == colour) ++n;
  return n;
}

// ---------------------------------------------------------------- command line

TEST(RecorderArguments, UnknownSettingIsRefusedAndNamed) {
  rec::Options options;
  std::string error;
  EXPECT_EQ(Parse({"--settings", "flowersPerBrunch=3"}, &options, &error), rec::ParseOutcome::kError);
  EXPECT_NE(error.find("unknown setting 'flowersPerBrunch'"), std::string::npos) << error;
  EXPECT_NE(error.find("flowersPerBranch"), std::string::npos) << "the message lists the real names";
  // Names are the fields' own, case and all.
  EXPECT_EQ(Parse({"--settings", "FlowersPerBranch=3"}, &options, &error), rec::ParseOutcome::kError);
}

TEST(RecorderArguments, SettingValueThatIsNotAWhole32BitNumberIsRefused) {
  for (const char *pair : {"flowersPerBranch=ten", "flowersPerBranch=1.5", "flowersPerBranch=", "branchX=12px",
                           "branchX=2147483648", "branchX=0x10", "flowersPerBranch"}) {
    rec::Options options;
    std::string error;
    EXPECT_EQ(Parse({"--settings", pair}, &options, &error), rec::ParseOutcome::kError) << pair;
    EXPECT_FALSE(error.empty()) << pair;
  }
  rec::Options options;
  std::string error;
  EXPECT_EQ(Parse({"--settings", "branchX=-2147483648"}, &options, &error), rec::ParseOutcome::kRun) << error;
}

TEST(RecorderArguments, OptionWithoutItsValueIsRefused) {
  for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
           {"--seconds"}, {"--gif", "--fps", "5"}, {"--settings"}, {"--settings", "--fps", "5"}, {"--png-dir"},
           {"--scene", ""}}) {
    rec::Options options;
    std::string error;
    EXPECT_EQ(Parse(args, &options, &error), rec::ParseOutcome::kError) << args[0];
    EXPECT_NE(error.find("needs a value"), std::string::npos) << error;
  }
}

TEST(RecorderArguments, OutOfRangeNumbersUnknownScenesAndStrayWordsAreRefused) {
  for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
           {"--seconds", "0"}, {"--seconds", "-3"}, {"--seconds", "soon"}, {"--seconds", "0.01"}, {"--fps", "0"},
           {"--fps", "51"}, {"--scale", "5"}, {"--scene", "beach"}, {"--colour"}, {"petals.gif"}}) {
    rec::Options options;
    std::string error;
    EXPECT_EQ(Parse(args, &options, &error), rec::ParseOutcome::kError) << args[0] << " " << args.back();
  }
}

// Numbers as a person types them: decimal digits, a sign where one makes sense,
// a decimal point for seconds; nothing around them and nothing a C library
// would also take (spaces, 0x, exponents, inf).
TEST(RecorderArguments, NumbersAreReadStrictly) {
  for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
           {"--seconds", " 5"}, {"--seconds", "5 "}, {"--seconds", "0x10"}, {"--seconds", "1e3"},
           {"--seconds", "5s"}, {"--seconds", "inf"}, {"--seconds", "nan"}, {"--seconds", "+5"},
           {"--seconds", "1.2.3"}, {"--seconds", "."}, {"--seconds", "86400.5"},
           {"--seconds", "99999999999999999999999999999999"}, {"--fps", " 5"}, {"--fps", "5 "},
           {"--fps", "0x10"}, {"--fps", "1e1"}, {"--fps", "5.0"}, {"--fps", "99999999999999999999"},
           {"--scale", "+-2"}, {"--settings", "branchX= 5"}, {"--settings", "branchX=5 "},
           {"--settings", "branchX=0x10"}, {"--settings", "branchX=99999999999999999999"},
           {"--settings", "branchX=-99999999999999999999"}, {"--settings", "branchX=-"}}) {
    rec::Options options;
    std::string error;
    EXPECT_EQ(Parse(args, &options, &error), rec::ParseOutcome::kError) << args[0] << " '" << args[1] << "'";
  }
  rec::Options options;
  std::string error;
  ASSERT_EQ(Parse({"--seconds", "86400", "--fps", "007", "--settings", "branchX=+5", "flutter=-0"}, &options, &error),
            rec::ParseOutcome::kRun)
      << error;
  EXPECT_EQ(options.seconds, 86400.0);
  EXPECT_EQ(options.fps, 7);
  EXPECT_EQ(options.settings, (rec::SettingValues{{23, 5}, {2, 0}}));
  ASSERT_EQ(Parse({"--seconds", ".5"}, &options, &error), rec::ParseOutcome::kRun) << error;
  EXPECT_EQ(options.seconds, 0.5);
  ASSERT_EQ(Parse({"--seconds", "2.50"}, &options, &error), rec::ParseOutcome::kRun) << error;
  EXPECT_EQ(options.seconds, 2.5);
}

TEST(RecorderArguments, TheLimitOnSecondsIsStatedInTheHelpAndInTheError) {
  EXPECT_NE(rec::Usage().find("86400"), std::string::npos) << rec::Usage();
  rec::Options options;
  std::string error;
  ASSERT_EQ(Parse({"--seconds", "90000"}, &options, &error), rec::ParseOutcome::kError);
  EXPECT_NE(error.find("at most 86400 (24 hours)"), std::string::npos) << error;
}

TEST(RecorderArguments, SettingsTakeEveryPairUpToTheNextOptionAndTheLastOneWins) {
  rec::Options options;
  std::string error;
  ASSERT_EQ(Parse({"--settings", "flowersPerBranch=10", "branchX=-20", "flowersPerBranch=7", "--fps", "5",
                   "--settings", "windWrap=1"},
                  &options, &error),
            rec::ParseOutcome::kRun)
      << error;
  using Pairs = rec::SettingValues;
  EXPECT_EQ(options.settings, (Pairs{{1, 7}, {23, -20}, {18, 1}}));
  EXPECT_EQ(options.fps, 5);
}

TEST(RecorderArguments, WithoutArgumentsItRecords30SecondsAt10FpsToMivoraGif) {
  rec::Options options;
  std::string error;
  ASSERT_EQ(Parse({}, &options, &error), rec::ParseOutcome::kRun);
  EXPECT_EQ(options.gifPath, "mivora.gif");
  EXPECT_EQ(options.scene, "default");
  EXPECT_EQ(rec::FramePeriodMs(options), 100);
  EXPECT_EQ(rec::FrameCount(options), 300);
  ASSERT_EQ(Parse({"--png-dir", "frames", "--seconds", "2.5", "--fps", "3"}, &options, &error),
            rec::ParseOutcome::kRun);
  EXPECT_TRUE(options.gifPath.empty()) << "PNG frames alone need no GIF";
  EXPECT_EQ(rec::FramePeriodMs(options), 333);
  EXPECT_EQ(rec::FrameCount(options), 7);  // 2500 ms / 333 ms
  EXPECT_EQ(Parse({"--help"}, &options, &error), rec::ParseOutcome::kHelp);
}

TEST(RecorderArguments, KnowsTheTwentyFourSettingsInTheirStoredOrder) {
  ASSERT_EQ(rec::SettingNames().size(), 24u);
  EXPECT_EQ(rec::SettingIndex("branchCount"), 0);
  EXPECT_EQ(rec::SettingIndex("flowerType"), 13);
  EXPECT_EQ(rec::SettingIndex("tickInterval"), 14);
  EXPECT_EQ(rec::SettingIndex("branchX"), 23);
  EXPECT_EQ(rec::SettingIndex("nothing"), -1);
}

// ---------------------------------------------------------------- recording

rec::Options Quiet(double seconds, int fps) {
  rec::Options options;
  options.seconds = seconds;
  options.fps = fps;
  options.progress = false;
  return options;
}

TEST(Recorder, SettingsAreStoredAsTheProgramSavesThemAndLoadedAtStart) {
  rec::Options options = Quiet(0.2, 10);
  options.settings = {{1, 10}, {23, 250}, {13, 4}};
  std::vector<BYTE> stored;
  SettingsRecord loaded{};
  options.onFrame = [&](const rec::Frame &f) {
    if (f.index != 0) return;
    loaded = Settings;
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_READ, &key), ERROR_SUCCESS);
    std::vector<BYTE> data(1000);
    DWORD size = DWORD(data.size()), type = 0;
    ASSERT_EQ(RegQueryValueExA(key, SETTINGS_VALUE, nullptr, &type, data.data(), &size), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(type, DWORD(REG_BINARY));
    data.resize(size);
    stored = data;
  };
  rec::Summary summary;
  std::string error;
  ASSERT_TRUE(rec::Record(options, &summary, &error)) << error;
  ASSERT_EQ(stored.size(), 528u);
  EXPECT_EQ(std::memcmp(stored.data(), "1.0.0.5", 8), 0);
  auto field = [&](int i) {
    LONG v;
    std::memcpy(&v, &stored[size_t(32 + 4 * i)], 4);
    return v;
  };
  EXPECT_EQ(field(1), 10);      // flowersPerBranch
  EXPECT_EQ(field(23), 250);    // branchX
  EXPECT_EQ(field(13), 4);      // flowerType
  EXPECT_EQ(field(4), 4);       // fallSpeed keeps its factory value
  EXPECT_EQ(field(16), 30000);  // calmPeriod likewise
  for (size_t i = 8; i < 32; ++i) EXPECT_EQ(stored[i], 0) << i;
  for (size_t i = 128; i < 528; ++i) ASSERT_EQ(stored[i], 0) << i;
  // The program took them up the normal way.
  EXPECT_EQ(loaded.flowersPerBranch, 10);
  EXPECT_EQ(loaded.branchX, 250);
  EXPECT_EQ(loaded.flowerType, 4);
}

TEST(Recorder, TheUsersRegistryIsNotTouched) {
  TempDir home;
  std::string userRegistry = home.path() + "/user.hkcu";
  setenv("MIVORA_REGISTRY", userRegistry.c_str(), 1);
  rec::Options options = Quiet(0.2, 10);
  options.settings = {{1, 10}};
  std::string seenPath;
  options.onFrame = [&](const rec::Frame &) { seenPath = vd::RegistryPath(); };
  rec::Summary summary;
  std::string error;
  bool ok = rec::Record(options, &summary, &error);
  unsetenv("MIVORA_REGISTRY");
  ASSERT_TRUE(ok) << error;
  EXPECT_NE(seenPath, userRegistry);
  EXPECT_FALSE(std::filesystem::exists(userRegistry));
  EXPECT_FALSE(std::filesystem::exists(seenPath)) << "the temporary registry goes with the run";
}

TEST(Recorder, SameArgumentsGiveTheSameBytes) {
  TempDir dir;
  std::vector<std::string> gifs, firstPngs, lastPngs;
  for (int run = 0; run < 2; ++run) {
    rec::Options options = Quiet(3, 5);
    options.scale = 2;
    options.settings = {{1, 10}};
    options.gifPath = dir.path() + "/run" + std::to_string(run) + ".gif";
    options.pngDir = dir.path() + "/png" + std::to_string(run);
    rec::Summary summary;
    std::string error;
    ASSERT_TRUE(rec::Record(options, &summary, &error)) << error;
    EXPECT_EQ(summary.frames, 15);
    EXPECT_DOUBLE_EQ(summary.simulatedSeconds, 3.0);
    gifs.push_back(ReadFile(options.gifPath));
    firstPngs.push_back(ReadFile(options.pngDir + "/frame-00001.png"));
    lastPngs.push_back(ReadFile(options.pngDir + "/frame-00015.png"));
  }
  ASSERT_GT(gifs[0].size(), 100u);
  EXPECT_TRUE(gifs[0] == gifs[1]);
  ASSERT_GT(lastPngs[0].size(), 100u);
  EXPECT_TRUE(firstPngs[0] == firstPngs[1]);
  EXPECT_TRUE(lastPngs[0] == lastPngs[1]);
  EXPECT_FALSE(firstPngs[0] == lastPngs[0]) << "the petals move";
}

// Plays a GIF back: the screen after every frame, and how long each is shown.
struct Playback {
  std::vector<std::vector<uint8_t>> screens;
  std::vector<int> delays;
  int width = 0, height = 0;
};

Playback Play(const std::string &path) {
  Playback p;
  int error = 0;
  GifFileType *gif = DGifOpenFileName(path.c_str(), &error);
  if (!gif) return p;
  if (DGifSlurp(gif) != GIF_OK) {
    DGifCloseFile(gif, &error);
    return p;
  }
  p.width = gif->SWidth;
  p.height = gif->SHeight;
  std::vector<uint8_t> screen(size_t(p.width) * p.height, 0);
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage &image = gif->SavedImages[i];
    GraphicsControlBlock control{};
    DGifSavedExtensionToGCB(gif, i, &control);
    const GifImageDesc &d = image.ImageDesc;
    for (int y = 0; y < d.Height; ++y)
      for (int x = 0; x < d.Width; ++x) {
        uint8_t v = image.RasterBits[size_t(y) * d.Width + x];
        if (v != control.TransparentColor) screen[size_t(d.Top + y) * p.width + d.Left + x] = v;
      }
    p.screens.push_back(screen);
    p.delays.push_back(control.DelayTime);
  }
  DGifCloseFile(gif, &error);
  return p;
}

TEST(Recorder, GifPlaysBackEveryFrameInTimeOverItsPalette) {
  TempDir dir;
  rec::Options options = Quiet(4, 5);
  options.settings = {{1, 10}};
  options.gifPath = dir.path() + "/film.gif";
  rec::Palette palette;
  std::vector<std::vector<uint8_t>> expected;  // each captured frame through the palette
  options.onFrame = [&](const rec::Frame &f) {
    std::vector<uint8_t> indices(size_t(f.width) * f.height);
    for (size_t i = 0; i < indices.size(); ++i) indices[i] = palette.IndexOf(f.pixels[i]);
    expected.push_back(std::move(indices));
  };
  rec::Summary summary;
  std::string error;
  ASSERT_TRUE(rec::Record(options, &summary, &error)) << error;
  ASSERT_EQ(expected.size(), 20u);
  Playback film = Play(options.gifPath);
  ASSERT_EQ(film.width, 1024);
  ASSERT_EQ(film.height, 768);
  ASSERT_FALSE(film.screens.empty());
  ASSERT_LE(film.screens.size(), expected.size());
  // Walk the film at 200 ms a frame: every captured frame is on screen at its time.
  int shown = 0, until = film.delays[0];
  for (size_t k = 0; k < expected.size(); ++k) {
    int at = int(k) * 20;  // centiseconds
    while (at >= until && shown + 1 < int(film.screens.size())) until += film.delays[size_t(++shown)];
    ASSERT_TRUE(film.screens[size_t(shown)] == expected[k]) << "frame " << k;
  }
  int total = 0;
  for (int d : film.delays) total += d;
  EXPECT_EQ(total, 400);
  // The film is far smaller than its frames.
  EXPECT_LT(summary.gifBytes, 20L * 1024 * 768 / 10);
}

TEST(Recorder, PaletteKeepsTheDesktopsAndThePetalsColoursExact) {
  rec::Palette palette;
  for (uint32_t c : {0x008080u, 0x3A6EA5u, 0xC0C0C0u, 0x000080u, 0xFFFFFFu, 0x000000u, 0xFFCCCCu, 0xCC6699u,
                     0xFF9999u, 0xCC0066u, 0xFFFF99u, 0x99CCFFu, 0x808080u, 0xFFFF00u}) {
    uint8_t i = palette.IndexOf(c);
    EXPECT_NE(i, rec::Palette::kTransparent);
    EXPECT_EQ(palette.colours()[i], c) << std::hex << c;
  }
  // Anything else goes to a near entry, never to the transparent one.
  uint8_t i = palette.IndexOf(0x0A8A7F);
  EXPECT_NE(i, rec::Palette::kTransparent);
  EXPECT_EQ(palette.colours()[i], 0x008080u);
}

TEST(Recorder, DefaultSceneShowsFallingAndPiledPetals) {
  rec::Options options = Quiet(20, 1);
  options.settings = {{1, 10}};
  const RECT mail = rec::SceneStartWindows("default")[1].rect;  // the window that stays
  int belowBranch = 0, onMail = 0, atBottom = 0, lowAfterOneSecond = -1;
  options.onFrame = [&](const rec::Frame &f) {
    if (f.index == 0) lowAfterOneSecond = CountColour(f, kPetalFill, RECT{0, 250, 1024, 768});
    if (f.index != 19) return;
    belowBranch = CountColour(f, kPetalFill, RECT{0, 120, 1024, 768});
    onMail = CountColour(f, kPetalFill, RECT{mail.left, mail.top - 30, mail.right, mail.top});
    atBottom = CountColour(f, kPetalFill, RECT{0, kTaskbarTop - 45, 1024, kTaskbarTop});
  };
  rec::Summary summary;
  std::string error;
  ASSERT_TRUE(rec::Record(options, &summary, &error)) << error;
  EXPECT_EQ(lowAfterOneSecond, 0) << "in one second no petal falls that far";
  EXPECT_GT(belowBranch, 500);
  EXPECT_GT(onMail, 50) << "petals pile on the window top";
  EXPECT_GT(atBottom, 50) << "and at the bottom of the screen";
}

TEST(Recorder, HtmlSceneSwitchesTheDesktopsHtmlViewOnAndOff) {
  rec::Options options = Quiet(9, 1);
  options.scene = "html";
  std::vector<bool> viewOn;
  std::vector<uint32_t> corner;  // the desktop at the right, away from the branch and the windows
  options.onFrame = [&](const rec::Frame &f) {
    viewOn.push_back(vd::DesktopHtmlView() != nullptr);
    corner.push_back(f.pixels[size_t(700) * f.width + 900]);
  };
  rec::Summary summary;
  std::string error;
  ASSERT_TRUE(rec::Record(options, &summary, &error)) << error;
  ASSERT_EQ(viewOn.size(), 9u);
  // Frames at 1..9 s; the view goes on just after 4 s and off just after 8 s.
  EXPECT_EQ(viewOn, (std::vector<bool>{false, false, false, false, true, true, true, true, false}));
  EXPECT_EQ(corner[3], 0x008080u);
  EXPECT_EQ(corner[4], kHtmlDesktop);
  EXPECT_EQ(corner[8], 0x008080u);
}

// ---------------------------------------------------------------- the program as a process

// mivora-record run as a user runs it, with its temporary files in `tmpdir`.
progtest::HostProcess RecorderProcess(const std::vector<std::string> &args, const std::string &tmpdir,
                                      long fileSizeLimit = -1) {
  return progtest::HostProcess(MIVORA_RECORD_PROGRAM, args, tmpdir, {}, fileSizeLimit);
}
using progtest::Listing;

TEST(RecorderProgram, SettingsThatCannotBeStoredAreReportedWithTheReasonAndNothingIsRecorded) {
  TempDir dir;
  std::string tmp = dir.path() + "/tmp", gif = dir.path() + "/out.gif";
  std::filesystem::create_directory(tmp);
  // No file may grow past 0 bytes, as on a full disk: the temporary registry cannot be written.
  auto run = RecorderProcess({"--seconds", "1", "--quiet", "--gif", gif, "--settings", "flowersPerBranch=3"}, tmp, 0);
  EXPECT_EQ(run.Wait(), 1);
  std::string err = run.Stderr();
  EXPECT_NE(err.find("the settings cannot be stored"), std::string::npos) << err;
  EXPECT_NE(err.find("File too large"), std::string::npos) << "says why: " << err;
  EXPECT_NE(err.find("no GIF was written"), std::string::npos) << err;
  EXPECT_FALSE(std::filesystem::exists(gif));
  EXPECT_TRUE(Listing(tmp).empty()) << "the temporary registry folder goes too";
  EXPECT_EQ(Listing(dir.path()), (std::vector<std::string>{"tmp"}));
}

// Ctrl+C or kill in the middle of a long recording: no temporary folder, no
// part of a GIF, and the exit code of a program stopped by that signal.
TEST(RecorderProgram, SigtermAndCtrlCLeaveNoTemporaryFolderAndNoPartOfAGif) {
  for (int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(strsignal(signal));
    TempDir dir;
    std::string tmp = dir.path() + "/tmp", out = dir.path() + "/out", gif = out + "/film.gif";
    std::filesystem::create_directories(tmp);
    std::filesystem::create_directories(out);
    auto run = RecorderProcess({"--seconds", "3600", "--quiet", "--gif", gif}, tmp);
    // Wait until it is recording: its registry folder and its GIF's temporary file are there.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while ((Listing(tmp).empty() || Listing(out).empty()) && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(Listing(tmp).size(), 1u);
    ASSERT_EQ(Listing(out).size(), 1u);
    EXPECT_NE(Listing(out)[0], "film.gif") << "the GIF is written under another name until it is whole";
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // some frames in
    run.Signal(signal);
    EXPECT_EQ(run.Wait(), 128 + signal);
    EXPECT_TRUE(Listing(tmp).empty());
    EXPECT_TRUE(Listing(out).empty());
    std::string err = run.Stderr();
    EXPECT_NE(err.find("stopped by signal " + std::to_string(signal)), std::string::npos) << err;
    EXPECT_NE(err.find("no GIF was written"), std::string::npos) << err;
  }
}

// A frame that cannot be written ends the run: the summary says so, names the
// frames that were written, and does not call the GIF written; a GIF of an
// earlier run in its place stays as it was.
TEST(RecorderProgram, AfterAnOutputErrorNothingIsDescribedAsWrittenThatIsNot) {
  TempDir dir;
  std::string tmp = dir.path() + "/tmp", gif = dir.path() + "/film.gif", png = dir.path() + "/frames";
  std::filesystem::create_directories(tmp);
  std::filesystem::create_directories(png + "/frame-00003.png");  // in the third frame's way
  {
    std::ofstream earlier(gif);
    earlier << "an earlier recording";
  }
  auto run = RecorderProcess({"--seconds", "1", "--fps", "5", "--quiet", "--gif", gif, "--png-dir", png}, tmp);
  EXPECT_EQ(run.Wait(), 1);
  std::string err = run.Stderr();
  EXPECT_NE(err.find("cannot write " + png + "/frame-00003.png"), std::string::npos) << err;
  EXPECT_NE(err.find("no GIF was written"), std::string::npos) << err;
  EXPECT_NE(err.find("frame-00002.png"), std::string::npos) << "the frames that are there: " << err;
  EXPECT_EQ(ReadFile(gif), "an earlier recording");
  EXPECT_EQ(Listing(dir.path()), (std::vector<std::string>{"film.gif", "frames", "tmp"}));
  EXPECT_EQ(Listing(png), (std::vector<std::string>{"frame-00001.png", "frame-00002.png", "frame-00003.png"}));
  EXPECT_TRUE(Listing(tmp).empty());
}

TEST(Recorder, TheGifAppearsWhenWholeAndReplacesAnEarlierOneOnlyThen) {
  TempDir dir;
  rec::Options options = Quiet(1, 5);
  options.gifPath = dir.path() + "/film.gif";
  {
    std::ofstream earlier(options.gifPath);
    earlier << "an earlier recording";
  }
  std::vector<std::string> duringRun;
  std::string targetDuringRun;
  options.onFrame = [&](const rec::Frame &f) {
    if (f.index != 2) return;
    duringRun = Listing(dir.path());
    targetDuringRun = ReadFile(options.gifPath);
  };
  rec::Summary summary;
  std::string error;
  ASSERT_TRUE(rec::Record(options, &summary, &error)) << error;
  ASSERT_EQ(duringRun.size(), 2u);
  EXPECT_EQ(duringRun[0], "film.gif");
  EXPECT_EQ(duringRun[1].rfind("film.gif.tmp-", 0), 0u) << duringRun[1];
  EXPECT_EQ(targetDuringRun, "an earlier recording");
  EXPECT_EQ(Listing(dir.path()), (std::vector<std::string>{"film.gif"}));
  EXPECT_TRUE(summary.gifWritten);
  Playback film = Play(options.gifPath);
  ASSERT_FALSE(film.delays.empty());
  EXPECT_EQ(std::accumulate(film.delays.begin(), film.delays.end(), 0), 100) << "the whole second";
}

// The files are as readable as the user's umask allows, not private as a
// temporary file is made.
TEST(Recorder, TheFilesWrittenFollowTheUmask) {
  for (mode_t mask : {mode_t(022), mode_t(027)}) {
    TempDir dir;
    rec::Options options = Quiet(0.2, 10);
    options.gifPath = dir.path() + "/film.gif";
    options.pngDir = dir.path() + "/frames";
    rec::Summary summary;
    std::string error;
    mode_t previous = umask(mask);
    bool recorded = rec::Record(options, &summary, &error);
    umask(previous);
    ASSERT_TRUE(recorded) << error;
    mode_t expected = 0666 & ~mask;
    struct stat st;
    ASSERT_EQ(stat(options.gifPath.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, expected) << "umask " << std::oct << mask;
    ASSERT_EQ(stat((options.pngDir + "/frame-00001.png").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, expected) << "umask " << std::oct << mask;
  }
}

}  // namespace

namespace {

TEST(RecorderArguments, ShowDialogAndShowAboutAreFlags) {
  rec::Options options;
  std::string error;
  ASSERT_EQ(Parse({"--show-dialog", "--seconds", "3"}, &options, &error), rec::ParseOutcome::kRun) << error;
  EXPECT_TRUE(options.showDialog);
  EXPECT_FALSE(options.showAbout);
  ASSERT_EQ(Parse({"--show-about"}, &options, &error), rec::ParseOutcome::kRun) << error;
  EXPECT_TRUE(options.showAbout);
}

TEST(Recorder, ShowAboutOpensTheSettingsDialogThenTheAboutBoxOverIt) {
  rec::Options options = Quiet(3, 1);
  options.showAbout = true;
  std::vector<bool> dialogShown, aboutShown;
  options.onFrame = [&](const rec::Frame &) {
    dialogShown.push_back(IsWindowVisible(SettingsDialog) != FALSE);
    HWND about = FindWindowA("#32770", "About Mivora");
    aboutShown.push_back(about && IsWindowVisible(about));
  };
  rec::Summary summary;
  std::string error;
  ASSERT_TRUE(rec::Record(options, &summary, &error)) << error;
  // Frames at 1, 2 and 3 s: the dialog from just after 1 s, the about box from 1.5 s on.
  EXPECT_EQ(dialogShown, (std::vector<bool>{false, true, true}));
  EXPECT_EQ(aboutShown, (std::vector<bool>{false, true, true}));
  EXPECT_EQ(summary.frames, 3);
}

}  // namespace
