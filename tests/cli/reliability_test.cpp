// The tool on inputs a field crew meets: every failure exits non-zero with one
// line on stderr, no output lands on the recording it reads (same name, "./"
// path, symbolic or hard link), and no command hangs on the fuzz regression inputs.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "tests/support/temp_dir.h"
#include "tests/support/tool_run.h"

namespace {

// zorvan with args in dir under timeout(1): status 124 when it ran for more than limit seconds.
ToolRun Timed(const std::string& args, const TempDir& dir, int limit) {
  std::string command = "cd '" + dir.path() + "' && timeout -k 2 " + std::to_string(limit) + " '" + ZORVAN_BINARY +
                        "' " + args + " >/dev/null 2>&1";
  ToolRun run;
  int status = std::system(command.c_str());
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  return run;
}

// Lines of stderr, leaving out Qt's notice about a missing XDG_RUNTIME_DIR
// (set in a desktop session, not in this test's environment).
int Lines(const std::string& text) {
  int n = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    if (text.compare(start, 15, "QStandardPaths:") != 0) ++n;
    start = end + 1;
  }
  return n;
}

bool HasGui() { return Zorvan("--has-gui", TempDir()).status == 0; }

class ReliabilityTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Zorvan("synth site.bin --records 2 --channels Hx,Hy,Ex,Ey", dir).status, 0);
    std::vector<uint8_t> noise(100000);
    uint32_t x = 7;
    for (auto& b : noise) b = static_cast<uint8_t>((x = x * 1664525u + 1013904223u) >> 24);
    WriteBytes(dir / "noise.bin", noise);
    WriteBytes(dir / "empty.bin", {});
    auto site = ReadBytes(dir / "site.bin");
    WriteBytes(dir / "header.bin", std::vector<uint8_t>(site.begin(), site.begin() + 1024));
    site.resize(site.size() + (1u << 20), 0);
    WriteBytes(dir / "tail.bin", site);
    before = ReadBytes(dir / "site.bin");
  }
  void ExpectSiteUnchanged(const std::string& what) {
    EXPECT_TRUE(ReadBytes(dir / "site.bin") == before) << what << " changed site.bin";
  }
  TempDir dir;
  std::vector<uint8_t> before;
};

TEST_F(ReliabilityTest, EveryFailureIsOneLineOnStderrAndANonZeroExit) {
  const char* const failing[] = {"info /nonexistent.bin",
                                 "info noise.bin",
                                 "info empty.bin",
                                 "info header.bin",
                                 "info site.bin --record 9",
                                 "peaks noise.bin",
                                 "spectra empty.bin",
                                 "mt header.bin",
                                 "save noise.bin",
                                 "decimate empty.bin --factor 40",
                                 "segment header.bin --blocks 1",
                                 "render /nonexistent.bin --out x.png",
                                 "info",
                                 "frobnicate",
                                 "info site.bin --bogus 1",
                                 "synth",
                                 "concat /nonexistent.bin",
                                 "sync site.bin /nonexistent.bin"};
  for (const char* args : failing) {
    ToolRun run = Zorvan(args, dir);
    EXPECT_NE(run.status, 0) << args;
    EXPECT_EQ(Lines(run.err), 1) << args << ":\n" << run.err;
    EXPECT_TRUE(Has(run.err, "zorvan: ")) << args << ": " << run.err;
  }
  ToolRun run = Zorvan("info /nonexistent.bin", dir);
  EXPECT_EQ(run.err, "zorvan: info: Cannot open /nonexistent.bin: No such file or directory\n");
  run = Zorvan("info noise.bin", dir);
  EXPECT_TRUE(Has(run.err, "noise.bin is not a recorder file (unknown sample rate code ")) << run.err;
}

TEST_F(ReliabilityTest, ZeroFilledSpaceAfterTheDataIsNotCountedAsRecords) {
  ToolRun run = Zorvan("info tail.bin", dir);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(Has(run.out, "Complete records: 2\n")) << run.out;
  EXPECT_TRUE(Has(run.out, "Record 3 has no enabled channel; the recording ends there.")) << run.out;
  run = Zorvan("segment tail.bin --blocks 1", dir);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(std::filesystem::exists(dir / "tail_02.bin"));
  EXPECT_FALSE(std::filesystem::exists(dir / "tail_04.bin"));  // not one file per empty "record"
}

TEST_F(ReliabilityTest, RenderNeverWritesOverTheRecording) {
  if (!HasGui()) GTEST_SKIP() << "render needs Qt";
  ASSERT_EQ(link((dir / "site.bin").c_str(), (dir / "hard.png").c_str()), 0);
  ASSERT_EQ(symlink("site.bin", (dir / "soft.png").c_str()), 0);
  for (const char* out : {"site.bin", "./site.bin", "hard.png", "soft.png"}) {
    ToolRun run = Zorvan(std::string("render site.bin --out ") + out, dir);
    EXPECT_NE(run.status, 0) << out;
    EXPECT_EQ(Lines(run.err), 1) << run.err;
    EXPECT_TRUE(Has(run.err, "is the open recording or one of the files read; nothing was written.")) << run.err;
    ExpectSiteUnchanged(std::string("render --out ") + out);
  }
  EXPECT_EQ(Zorvan("render site.bin --out page.png", dir).status, 0);
  ExpectSiteUnchanged("render --out page.png");
}

TEST_F(ReliabilityTest, PeakDataNeverWritesOverTheRecording) {
  ASSERT_EQ(symlink("site.bin", (dir / "PeakData.txt").c_str()), 0);
  ToolRun run = Zorvan("peaks site.bin", dir);
  EXPECT_NE(run.status, 0);
  EXPECT_EQ(Lines(run.err), 1) << run.err;
  ExpectSiteUnchanged("peaks through a symbolic link");
  std::filesystem::remove(dir / "PeakData.txt");
  ASSERT_EQ(link((dir / "site.bin").c_str(), (dir / "PeakData.txt").c_str()), 0);
  EXPECT_NE(Zorvan("peaks site.bin", dir).status, 0);
  ExpectSiteUnchanged("peaks through a hard link");
  // Named PeakData.txt itself, the recording is its own output.
  std::filesystem::remove(dir / "PeakData.txt");
  std::filesystem::copy_file(dir / "site.bin", dir / "PeakData.txt");
  before = ReadBytes(dir / "PeakData.txt");
  EXPECT_NE(Zorvan("peaks PeakData.txt", dir).status, 0);
  EXPECT_TRUE(ReadBytes(dir / "PeakData.txt") == before);
}

TEST_F(ReliabilityTest, ImpedanceTablesNeverWriteOverTheRecording) {
  ASSERT_EQ(symlink("site.bin", (dir / "site_ZXY.dat").c_str()), 0);
  ToolRun run = Zorvan("mt site.bin", dir);
  EXPECT_NE(run.status, 0);
  EXPECT_EQ(Lines(run.err), 1) << run.err;
  EXPECT_TRUE(Has(run.err, "site_ZXY.dat is the open recording")) << run.err;
  ExpectSiteUnchanged("mt through a symbolic link");
  // Nothing was written, not even the three tables that are not the recording.
  for (const char* table : {"site_ZXX.dat", "site_ZYX.dat", "site_ZYY.dat"})
    EXPECT_FALSE(std::filesystem::exists(dir / table)) << table;
  std::filesystem::remove(dir / "site_ZXY.dat");
  ASSERT_EQ(link((dir / "site.bin").c_str(), (dir / "site_ZYY.dat").c_str()), 0);
  EXPECT_NE(Zorvan("mt site.bin", dir).status, 0);
  ExpectSiteUnchanged("mt through a hard link");
}

// Every command on every input a fuzz target once failed on (and on the seeds)
// ends within 10 s, whatever it says.
TEST(HangGuard, EveryCommandOnTheFuzzRegressionInputsFinishesInTenSeconds) {
  const std::filesystem::path root = std::filesystem::path(ZORVAN_SOURCE_DIR) / "tests/fuzz";
  std::vector<std::filesystem::path> inputs;
  for (const char* sub : {"regressions/recordings", "corpus/fuzz_open_page"})
    if (std::filesystem::exists(root / sub))
      for (const auto& e : std::filesystem::recursive_directory_iterator(root / sub))
        if (e.is_regular_file()) inputs.push_back(e.path());
  ASSERT_FALSE(inputs.empty());
  const bool gui = HasGui();
  for (const auto& input : inputs) {
    TempDir dir;
    std::filesystem::copy_file(input, dir / "in.bin");
    std::filesystem::copy_file(input, dir / "in_2.bin");
    std::vector<std::string> commands = {"info in.bin",
                                         "peaks in.bin",
                                         "spectra in.bin",
                                         "mt in.bin",
                                         "save in.bin",
                                         "decimate in.bin --factor 40",
                                         "segment in.bin --blocks 1",
                                         "concat in.bin in_2.bin",
                                         "sync in.bin in_2.bin",
                                         "info in.bin --records-per-plot 2000000000"};
    if (gui) commands.push_back("render in.bin --out page.png --mode mt");
    for (const std::string& command : commands) {
      ToolRun run = Timed(command, dir, 10);
      EXPECT_NE(run.status, 124) << command << " on " << input << " ran for more than 10 s";
      EXPECT_LT(run.status, 124) << command << " on " << input << " crashed (" << run.status << ")";
    }
  }
}

}  // namespace
