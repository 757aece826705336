// The file-writing commands of the zorvan tool, run as a user runs them.

#include <gtest/gtest.h>
#include <unistd.h>

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
            "The last 10 input records do not fill a group of 40 and were left out.\n");
  EXPECT_EQ(ReadRecords(dir / "site_DEC.bin")[0].h.SampleRate, 25u);
  EXPECT_EQ(dec.err, "");
}

TEST(WriteCommands, SegmentConcatAndSyncNameTheirOutputs) {
  TempDir dir;
  WriteRecording(dir, "run.bin", SmallRecording(5));
  ToolRun seg = Zorvan("segment run.bin --blocks 2", dir);
  ASSERT_EQ(seg.status, 0) << seg.err;
  EXPECT_EQ(seg.out, "Wrote run_01.bin: 2 records\nWrote run_02.bin: 2 records\nWrote run_03.bin: 1 records\n");

  for (const char* name : {"north_002.bin", "south_001.bin", "east_003.bin"})
    WriteRecording(dir, name, SmallRecording(1));
  ToolRun cat = Zorvan("concat north_002.bin south_001.bin east_003.bin", dir);
  ASSERT_EQ(cat.status, 0) << cat.err;
  EXPECT_EQ(cat.out,
            "Wrote ./south_001_CONCAT.bin: 3 records from 3 files, in this order:\n"
            "  south_001.bin\n  north_002.bin\n  east_003.bin\n");

  SynthOptions late = SmallRecording(6);
  late.start.second = 11.5;
  WriteRecording(dir, "late.bin", late);
  ToolRun sync = Zorvan("sync run.bin late.bin", dir);
  ASSERT_EQ(sync.status, 0) << sync.err;
  EXPECT_EQ(sync.out,
            "Wrote ./run_SYNC.bin: 4 records, 1500 samples skipped at the start\n"
            "Wrote ./late_SYNC.bin: 4 records, 0 samples skipped at the start\n");
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
  if (access("/dev/full", W_OK) == 0) {
    ToolRun full = Zorvan("save site.bin --out /dev/full", dir);
    EXPECT_EQ(full.status, 1);
    EXPECT_TRUE(Has(full.err, "Write error 28")) << full.err;
    EXPECT_TRUE(Has(full.err, "No space left on device")) << full.err;
    EXPECT_EQ(full.out, "");
  }
}

}  // namespace
