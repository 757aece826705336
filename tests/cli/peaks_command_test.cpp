// zorvan peaks: the same search and PeakData.txt as the window's Find Peaks,
// and its bad input.

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/app/window_fixture.h"
#include "tests/support/tool_run.h"

namespace {

using PeaksCommandTest = WindowTest;

TEST_F(PeaksCommandTest, WritesWhatTheWindowWritesAndListsThePeaks) {
  const std::string file = Write(SmallRecording(3), "site.bin");
  TempDir work;
  std::filesystem::copy_file(file, work / "site.bin");
  ToolRun run = Zorvan("peaks site.bin --record 2 --noise 0.5,0.5,0,0.03 --cutoff 3", work);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(Has(run.out, "Page: records 2 to 2 of site.bin, 2560 points\n")) << run.out;
  EXPECT_TRUE(Has(run.out, "Wrote " + work.path() + "/PeakData.txt: ")) << run.out;

  // The window with the same settings, on the same page.
  host.AnswerOpen(file, "1");
  ASSERT_EQ(CmdOpenFile(s), 1);
  CmdStepForward(s);
  s.NoiseLevel[2] = 0;
  s.SNCutoff = 3;
  s.FindPeaksOn = 1;
  Paint();
  const std::vector<uint8_t> window = ReadBytes(dir / "PeakData.txt");
  EXPECT_FALSE(window.empty());
  EXPECT_EQ(ReadBytes(work / "PeakData.txt"), window);
  for (int ch = 0; ch < 4; ++ch) {
    const std::string heading = "Channel " + std::to_string(ch + 1) + " (" +
                                ChannelLabelName(s.OutHeader.ChannelLabel[ch]) +
                                "): " + std::to_string(s.PeakCount[ch]) + " peaks";
    EXPECT_TRUE(Has(run.out, heading)) << heading << "\n" << run.out;
  }
}

TEST(PeaksCommand, BadOptionsAndAnUnwritableFileFail) {
  TempDir dir;
  ASSERT_EQ(Zorvan("synth site.bin --records 1", dir).status, 0);
  for (const char* args :
       {"peaks site.bin --noise 1,2", "peaks site.bin --noise 1,2,x,4", "peaks site.bin --noise 1,-2,3,4",
        "peaks site.bin --cutoff many", "peaks site.bin --record 5", "peaks"}) {
    ToolRun run = Zorvan(args, dir);
    EXPECT_NE(run.status, 0) << args;
    EXPECT_TRUE(Has(run.err, "zorvan: peaks: ")) << args << ": " << run.err;
  }
  std::filesystem::create_directory(dir / "PeakData.txt");  // in the way of the file
  ToolRun run = Zorvan("peaks site.bin", dir);
  EXPECT_NE(run.status, 0);
  EXPECT_TRUE(Has(run.err, "Cannot create " + dir.path() + "/PeakData.txt: Is a directory")) << run.err;
  EXPECT_TRUE(Has(run.out, "Channel 1 (HX): ")) << run.out;  // the peaks are still listed
}

}  // namespace
