// The file-writing commands of the zorvan tool, run as a user runs them.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/datafile/writer_support.h"
#include "tests/support/tool_run.h"

namespace {

TEST(WriteCommands, SaveAndDecimatePrintWhatTheyWrote) {
  TempDir dir;
  WriteRecording(dir, "site.bin", SmallRecording(90));
  ToolRun save = Zorvan("save site.bin", dir);
  ASSERT_EQ(save.status, 0) << save.err;
  EXPECT_EQ(save.out, "Wrote ./site_MOD.bin: 90 records\n");
  EXPECT_EQ(ReadBytes(dir / "site_MOD.bin"), ReadBytes(dir / "site.bin"));

  ToolRun edited = Zorvan("save site.bin --invert 2 --drop 3 --filter 50 --out edited.bin", dir);
  ASSERT_EQ(edited.status, 0) << edited.err;
  EXPECT_EQ(edited.out, "Wrote edited.bin: 90 records\n");
  auto out = ReadRecords(dir / "edited.bin");
  ASSERT_EQ(out.size(), 90u);
  EXPECT_EQ(CountEnabled(out[0].h), 3);
  EXPECT_EQ(out[0].h.ChannelLabel[2], kLabelEy);

  ToolRun dec = Zorvan("decimate site.bin --factor 40 --corner 20", dir);
  ASSERT_EQ(dec.status, 0) << dec.err;
  EXPECT_EQ(dec.out,
            "Wrote ./site_DEC.bin: 2 records, each from 40 input records\n"
            "The last 10 records were left out (fewer than a group of 40).\n");
  EXPECT_EQ(ReadRecords(dir / "site_DEC.bin")[0].h.SampleRate, 25u);
  EXPECT_EQ(dec.err, "");
}

TEST(WriteCommands, SegmentConcatAndSyncNameTheirOutputs) {
  TempDir dir;
  WriteRecording(dir, "run.bin", SmallRecording(5));
  ToolRun seg = Zorvan("segment run.bin --blocks 2", dir);
  ASSERT_EQ(seg.status, 0) << seg.err;
  EXPECT_EQ(seg.out, "Wrote run_01.bin: 2 records\nWrote run_02.bin: 2 records\nWrote run_03.bin: 1 records\n");

  WriteRecording(dir, "four.bin", SmallRecording(4));
  ToolRun even = Zorvan("segment four.bin --blocks 2", dir);
  ASSERT_EQ(even.status, 0) << even.err;
  EXPECT_EQ(even.out, "Wrote four_01.bin: 2 records\nWrote four_02.bin: 2 records\n");  // no empty third file
  EXPECT_FALSE(std::filesystem::exists(dir / "four_03.bin"));

  for (const char* name : {"north_002.bin", "south_001.bin", "east_003.bin"})
    WriteRecording(dir, name, SmallRecording(1));
  ToolRun cat = Zorvan("concat north_002.bin south_001.bin east_003.bin", dir);
  ASSERT_EQ(cat.status, 0) << cat.err;
  EXPECT_EQ(cat.out,
            "Wrote ./south_001_CONCAT.bin: 3 records from 3 files, in this order:\n"
            "  south_001.bin\n  north_002.bin\n  east_003.bin\n");
  for (const char* name : {"NORTH_002.BIN", "SOUTH_001.BIN", "EAST_003.BIN"})
    WriteRecording(dir, name, SmallRecording(1));
  ToolRun upper = Zorvan("concat NORTH_002.BIN SOUTH_001.BIN EAST_003.BIN", dir);
  ASSERT_EQ(upper.status, 0) << upper.err;
  EXPECT_EQ(upper.out,
            "Wrote ./SOUTH_001_CONCAT.bin: 3 records from 3 files, in this order:\n"
            "  SOUTH_001.BIN\n  NORTH_002.BIN\n  EAST_003.BIN\n");
  EXPECT_EQ(ReadBytes(dir / "SOUTH_001_CONCAT.bin"), ReadBytes(dir / "south_001_CONCAT.bin"));

  SynthOptions late = SmallRecording(6);
  late.start.second = 11.5;
  WriteRecording(dir, "late.bin", late);
  ToolRun sync = Zorvan("sync run.bin late.bin", dir);
  ASSERT_EQ(sync.status, 0) << sync.err;
  EXPECT_EQ(sync.out,
            "Wrote ./run_SYNC.bin: 4 records, 1500 samples skipped at the start\n"
            "Wrote ./late_SYNC.bin: 4 records, 0 samples skipped at the start\n");
  // Record K of both copies starts at the same instant: the input time of its first sample.
  auto startLine = [&](const std::string& file, int k) {
    ToolRun info = Zorvan("info " + file + " --record " + std::to_string(k), dir);
    const size_t at = info.out.find("Start time: ");
    return at == std::string::npos ? std::string("none") : info.out.substr(at, info.out.find('\n', at) - at);
  };
  for (int k = 1; k <= 4; ++k) {
    EXPECT_EQ(startLine("run_SYNC.bin", k), startLine("late_SYNC.bin", k)) << k;
    EXPECT_EQ(startLine("run_SYNC.bin", k), startLine("late.bin", k)) << k;
  }
  EXPECT_EQ(startLine("run_SYNC.bin", 1), "Start time: 12/07/2026 13:45:11.500");
}

TEST(WriteCommands, FailuresExitNonZeroAndLeaveTheInputAlone) {
  TempDir dir;
  std::string in = WriteRecording(dir, "site.bin", SmallRecording(45, "Hx,Hy"));
  const std::vector<uint8_t> before = ReadBytes(in);
  struct Case {
    const char* args;
    const char* message;
  } cases[] = {
      {"save site.bin --out site.bin", "site.bin is one of the files being read; nothing was written."},
      {"save site.bin --out ./site.bin --invert 1", "is one of the files being read"},
      {"save site.bin --invert 7", "--invert takes channel numbers from 1 to 6"},
      {"save site.bin --drop 3", "channel 3 is not enabled in site.bin"},
      {"save site.bin --filter 7", "--filter takes a corner of 5, 10, 20, 50, 100 or 200 samples"},
      {"decimate site.bin --factor 30", "--factor takes 40, 80 or 200"},
      {"decimate site.bin --factor 80",
       "zorvan: decimate: 1000 Hz by 80 gives 12.5 Hz, which a recorder header cannot state; factors 40 and 200 "
       "work\n"},
      {"decimate site.bin --factor 200", "site.bin holds 45 complete records, fewer than a group of 200"},
      {"segment site.bin --blocks 0", "--blocks takes the records per output file"},
      {"concat site.bin", "give two or more recorder files"},
      {"sync site.bin missing.bin", "missing.bin cannot be opened"},
  };
  for (const Case& c : cases) {
    ToolRun run = Zorvan(c.args, dir);
    EXPECT_NE(run.status, 0) << c.args;
    EXPECT_TRUE(Has(run.err, c.message)) << c.args << "\n" << run.err;
    EXPECT_EQ(ReadBytes(in), before) << c.args;
  }
  for (const char* name : {"site_DEC.bin", "site_MOD.bin", "site_01.bin"})
    EXPECT_FALSE(std::filesystem::exists(dir / name)) << name;

  // Inputs that give no record: no file, the reason, a failure.
  WriteBytes(dir / "empty.bin", {});
  WriteBytes(dir / "cut.bin", std::vector<uint8_t>(before.begin(), before.begin() + 2000));
  for (const char* command : {"save", "segment", "decimate"})
    for (const char* name : {"empty", "cut"}) {
      const std::string file = std::string(name) + ".bin";
      const std::string digest = Sha256Of(dir / file);
      const std::string options = std::string(command) == "segment"    ? " --blocks 1"
                                  : std::string(command) == "decimate" ? " --factor 40"
                                                                       : "";
      ToolRun run = Zorvan(std::string(command) + " " + file + options, dir);
      EXPECT_NE(run.status, 0) << command << " " << file;
      EXPECT_TRUE(Has(run.err, file)) << command << " " << file << "\n" << run.err;
      EXPECT_EQ(run.out, "") << command << " " << file;
      for (const char* suffix : {"_MOD.bin", "_DEC.bin", "_01.bin"})
        EXPECT_FALSE(std::filesystem::exists(dir / (std::string(name) + suffix))) << command << " " << name;
      EXPECT_EQ(Sha256Of(dir / file), digest);
    }
  if (access("/dev/full", W_OK) == 0) {
    ToolRun full = Zorvan("save site.bin --out /dev/full", dir);
    EXPECT_EQ(full.status, 1);
    EXPECT_TRUE(Has(full.err, "Write error 28")) << full.err;
    EXPECT_TRUE(Has(full.err, "No space left on device")) << full.err;
    EXPECT_EQ(full.out, "");
    EXPECT_EQ(ReadBytes(in), before);
  }
}

TEST(WriteCommands, AFullDiskIsNeverReportedAsWritten) {
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  TempDir dir;
  WriteRecording(dir, "run.bin", SmallRecording(5));
  SynthOptions late = SmallRecording(6);
  late.start.second = 11.5;
  WriteRecording(dir, "late.bin", late);
  const std::string runDigest = Sha256Of(dir / "run.bin"), lateDigest = Sha256Of(dir / "late.bin");
  // The second segment and the second synchronized copy land on a full device.
  ASSERT_EQ(symlink("/dev/full", (dir / "run_02.bin").c_str()), 0);
  ASSERT_EQ(symlink("/dev/full", (dir / "late_SYNC.bin").c_str()), 0);

  ToolRun seg = Zorvan("segment run.bin --blocks 2", dir);
  EXPECT_NE(seg.status, 0);
  EXPECT_EQ(seg.out, "Wrote run_01.bin: 2 records\n");
  EXPECT_TRUE(Has(seg.err, "SaveData Write error 28 (No space left on device) writing run_02.bin.")) << seg.err;
  EXPECT_TRUE(Has(seg.err, "run_01.bin is complete.")) << seg.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "run_03.bin"));

  ToolRun sync = Zorvan("sync run.bin late.bin", dir);
  EXPECT_NE(sync.status, 0);
  EXPECT_EQ(sync.out, "Wrote ./run_SYNC.bin: 4 records, 1500 samples skipped at the start\n");
  EXPECT_TRUE(Has(sync.err, "writing ./late_SYNC.bin.")) << sync.err;
  EXPECT_FALSE(Has(sync.err, "Wrote")) << sync.err;
  EXPECT_EQ(Sha256Of(dir / "run.bin"), runDigest);
  EXPECT_EQ(Sha256Of(dir / "late.bin"), lateDigest);
  EXPECT_TRUE(std::filesystem::exists("/dev/full"));
}

}  // namespace
