// The zorvan tool as a user runs it: exit status, stdout and stderr.

#include <gtest/gtest.h>

#include <string>

#include "tests/support/tool_run.h"

namespace {

TEST(Cli, SynthThenInfoShowsWhatWasWritten) {
  TempDir dir;
  ToolRun synth = Zorvan(
      "synth site.bin --records 5 --rate 62 --samples 5120 --channels Hx,Hy,-,Ex "
      "--start 2026-12-31T23:59:00 --serials 0123,0124,,E9 --spacing 0,0,0,50 --lemi LEMI",
      dir);
  ASSERT_EQ(synth.status, 0) << synth.err;
  EXPECT_TRUE(Has(synth.out, "Wrote site.bin: 5 records of 5120 samples at 62.5 samples/s"));
  EXPECT_FALSE(ReadBytes(dir / "LEMI/LEMI-120_0123.rsp").empty());

  ToolRun info = Zorvan("info site.bin --record 5", dir);
  ASSERT_EQ(info.status, 0) << info.err;
  for (const char* line :
       {"Record: 5 of 5\n", "Talvik SN: QOR-0417\n", "FPGA Version: 0x4A\n", "Sampling Freq., Hz: 62\n",
        "GPS Sync Clock, MHz: 32.76800\n", "GPS Locked: 1\n", "Sensor SN: 0123\n", "Spacing, m: 50\n",
        "  Complete records: 5\n", "  Samples per record: 5120\n", "  Sample rate: 62.5 samples/s\n",
        "  First record starts: 12/31/2026 23:59:00.000\n", "  Duration: 409.600 s\n",
        "System Time: 01/01/2027   00:04:27\n"})
    EXPECT_TRUE(Has(info.out, line)) << line << "\n" << info.out;
  // Record 5 starts 4 × 81.92 s later, in the next year.
  EXPECT_TRUE(Has(info.out, "Start time: 01/01/2027 00:04:27.680\n")) << info.out;
  EXPECT_TRUE(Has(info.out, "Channel 4\n  Label: EX\n")) << info.out;
  EXPECT_EQ(info.err, "");
}

TEST(Cli, BadInputGivesAOneLineMessageAndFailure) {
  TempDir dir;
  WriteBytes(dir / "empty.bin", {});
  WriteBytes(dir / "short.bin", std::vector<uint8_t>(700, 0x41));
  struct Case {
    const char* args;
    const char* message;
  } cases[] = {
      {"info", "give one recorder file"},
      {"info missing.bin", "missing.bin"},
      {"info empty.bin", "empty.bin is not a recorder file (it is empty)"},
      {"info short.bin", "short.bin is not a recorder file (700 bytes, less than one record header)"},
      {"info empty.bin --record x", "--record takes a whole number"},
      {"info empty.bin --colour red", "unknown option --colour"},
      {"synth out.bin --records", "needs a value"},
      {"synth out.bin --samples 1000", "--samples takes 2560 or 5120"},
      {"synth out.bin --earth 100:x,10", "--earth takes"},
      {"synth out.bin --channels Hx,Bz", "--channels takes"},
      {"frobnicate", "unknown command"},
  };
  for (const Case& c : cases) {
    ToolRun run = Zorvan(c.args, dir);
    EXPECT_NE(run.status, 0) << c.args;
    EXPECT_TRUE(Has(run.err, c.message)) << c.args << ": " << run.err;
    EXPECT_EQ(run.out, "") << c.args;
  }
  ToolRun beyond = Zorvan("synth two.bin --records 2", dir);
  ASSERT_EQ(beyond.status, 0);
  beyond = Zorvan("info two.bin --record 3", dir);
  EXPECT_NE(beyond.status, 0);
  EXPECT_TRUE(Has(beyond.err, "has 2 complete records")) << beyond.err;
}

TEST(Cli, HelpDescribesEveryCommandAndOption) {
  TempDir dir;
  ToolRun help = Zorvan("--help", dir);
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(Has(help.out, "info"));
  EXPECT_TRUE(Has(help.out, "synth"));
  ToolRun info = Zorvan("info --help", dir);
  EXPECT_EQ(info.status, 0);
  for (const char* option : {"--record N", "--records-per-plot R", "--lemi DIR"}) EXPECT_TRUE(Has(info.out, option));
  ToolRun synth = Zorvan("synth --help", dir);
  for (const char* option : {"--records", "--rate", "--samples", "--channels", "--gain-mux", "--gain-sel", "--lp",
                             "--sensor-ids", "--spacing", "--serials", "--start", "--earth", "--noise", "--h-rms",
                             "--seed", "--coil", "--lemi", "--comments"})
    EXPECT_TRUE(Has(synth.out, option)) << option;
}

TEST(Cli, NeitherReadsNorWritesLidarDir) {
  TempDir dir;
  ASSERT_EQ(Zorvan("synth a.bin --records 1", dir).status, 0);
  ASSERT_EQ(Zorvan("info a.bin", dir).status, 0);
  EXPECT_TRUE(ReadBytes(dir / "lidar.dir").empty());
}

}  // namespace

namespace {

TEST(Cli, RenderWritesThePageAsPng) {
  TempDir dir;
  ASSERT_EQ(Zorvan("synth a.bin --records 4", dir).status, 0);
  ToolRun render = Zorvan(
      "render a.bin --out page.png --size 800x500 --record 2 --records-per-plot 2 --filter 10 "
      "--subtract-poly --fit-order 2",
      dir);
  if (Zorvan("--has-gui", dir).status == 0) {
    ASSERT_EQ(render.status, 0) << render.err;
    EXPECT_TRUE(Has(render.out, "Wrote page.png: 800x500, records 2 to 3 of a.bin")) << render.out;
    auto png = ReadBytes(dir / "page.png");
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
  } else {
    EXPECT_NE(render.status, 0);
    EXPECT_TRUE(Has(render.err, "this build has no Qt")) << render.err;
  }
  for (const char* bad :
       {"render a.bin", "render a.bin --out p.png --size 10x10", "render a.bin --out p.png --filter 7",
        "render a.bin --out p.png --mode polar", "render a.bin --out p.png --record 9"}) {
    ToolRun run = Zorvan(bad, dir);
    EXPECT_NE(run.status, 0) << bad;
    EXPECT_NE(run.err, "") << bad;
  }
}

}  // namespace
