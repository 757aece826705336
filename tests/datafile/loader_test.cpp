#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "app/commands.h"
#include "app/open_file.h"
#include "datafile/record_io.h"
#include "platform/headless/headless_platform.h"
#include "tests/support/recordings.h"
#include "tests/support/started_state.h"

namespace {

class LoaderTest : public StartedStateTest {
 protected:
  LoaderTest() { useDirFile = true; }

  int Open(const std::string& path, const std::string& recordsPerPlot = "1") {
    host.AnswerOpen(path, recordsPerPlot);
    return CmdOpenFile(s);
  }
};

TEST_F(LoaderTest, FirstPageHoldsRawCountsAndPointTimes) {
  std::string path = WriteRecording(dir, "site.bin", SmallRecording(3));
  ASSERT_EQ(Open(path, "2"), 1);
  EXPECT_EQ(s.FileLoaded, 1);
  EXPECT_EQ(s.RecordsPerPlot, 2);
  EXPECT_EQ(s.NumEnabledChans, 4);
  EXPECT_EQ(s.BlockBytes, 30720u);
  EXPECT_EQ(s.SampsPerBlock, 2560);
  EXPECT_EQ(s.NumPlotPoints, 5120);
  EXPECT_EQ(s.EndOfFile, 0);
  EXPECT_EQ(host.status[1], "Rec 1");
  EXPECT_EQ(host.status[0], "site.bin");
  EXPECT_EQ(s.CurrentFileTitle, "site.bin");
  EXPECT_EQ(s.DataDir, dir.path() + "/");
  EXPECT_DOUBLE_EQ(s.xplotdata[2560], 2.56);

  // The first sample of the second record, straight from the file.
  auto bytes = ReadBytes(path);
  size_t second = 1024 + 30720 + 1024;
  EXPECT_EQ(s.yplotdata_orig[0][2560], DecodeSample(&bytes[second]));
  EXPECT_EQ(s.yplotdata_orig[3][2561], DecodeSample(&bytes[second + 3 * 4 + 9]));
  EXPECT_GE(s.yplotdata[3].size(), 5120u);  // sized for the page; every paint writes it
  EXPECT_EQ(s.yplotdata_orig[5][10], 0.0);  // slot 5 is not enabled

  // The filter history holds the scaled first sample of the page.
  double first = s.yplotdata_orig[0][0] * ChannelFactor(s, s.Header, 0);
  EXPECT_DOUBLE_EQ(s.yplotdata_prev[0][0], first);
  EXPECT_DOUBLE_EQ(s.yplotdata_prev[0][199], first);
  EXPECT_STREQ(s.OutHeader.SensorSerial[0], "1045");
  EXPECT_EQ(s.PlotFirstRecordTime.second, 10.0);
}

TEST_F(LoaderTest, RecordsPerPlotZeroOrTextBecomesOne) {
  std::string path = WriteRecording(dir, "a.bin", SmallRecording(2));
  ASSERT_EQ(Open(path, "0"), 1);
  EXPECT_EQ(s.RecordsPerPlot, 1);
  ASSERT_EQ(Open(path, "many"), 1);
  EXPECT_EQ(s.RecordsPerPlot, 1);
  ASSERT_EQ(Open(path, "-4"), 1);
  EXPECT_EQ(s.RecordsPerPlot, 1);
  EXPECT_EQ(host.openRequests.back().recordsPerPlotText, "1");
  EXPECT_EQ(host.openRequests.back().filters[0].label, "Qor files(*.bin)");
}

TEST_F(LoaderTest, CancelKeepsTheOpenFile) {
  std::string path = WriteRecording(dir, "a.bin", SmallRecording(2));
  ASSERT_EQ(Open(path), 1);
  std::FILE* before = s.DataFile;
  EXPECT_EQ(CmdOpenFile(s), 0);  // no scripted answer: the dialog is cancelled
  EXPECT_EQ(s.DataFile, before);
  EXPECT_EQ(s.CurrentFilePath, path);
  EXPECT_EQ(host.status[1], "Rec 1");
}

TEST_F(LoaderTest, MorePlotRecordsThanTheFileHasEndsAtEof) {
  std::string path = WriteRecording(dir, "two.bin", SmallRecording(2));
  ASSERT_EQ(Open(path, "3"), 1);
  EXPECT_EQ(s.EndOfFile, 1);
  EXPECT_EQ(s.NumPlotPoints, 2 * 2560);
  EXPECT_EQ(host.status[1], "Rec 1");  // a page with data says its record
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(LoaderTest, EmptyFileIsRefused) {
  WriteBytes(dir / "empty.bin", {});
  EXPECT_EQ(Open(dir / "empty.bin"), 0);
  EXPECT_EQ(s.FileLoaded, 0);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "empty.bin is not a recorder file (it is empty)");
}

TEST_F(LoaderTest, FpgaVersionDoublesTheRecord) {
  SynthOptions o = SmallRecording(1);
  o.samplesPerRecord = 5120;
  ASSERT_EQ(Open(WriteRecording(dir, "long.bin", o)), 1);
  EXPECT_EQ(s.BlockBytes, 61440u);
  EXPECT_EQ(s.SampsPerBlock, 5120);
}

TEST_F(LoaderTest, RateSixtyTwoSpacesPointsBySixtyTwoAndAHalf) {
  SynthOptions o = SmallRecording(1);
  o.rateCode = 62;
  ASSERT_EQ(Open(WriteRecording(dir, "slow.bin", o)), 1);
  EXPECT_EQ(s.SampleRate, 62);
  EXPECT_DOUBLE_EQ(s.xplotdata[125], 2.0);
}

TEST_F(LoaderTest, FileCutInsideABlockKeepsTheCompleteRecordsAndSaysSoOnce) {
  std::string path = WriteRecording(dir, "cut.bin", SmallRecording(3));
  auto bytes = ReadBytes(path);
  bytes.resize(2 * (1024 + 30720) + 1024 + 100);
  WriteBytes(path, bytes);
  ASSERT_EQ(Open(path, "5"), 1);
  EXPECT_EQ(s.NumPlotPoints, 2 * 2560);
  EXPECT_EQ(s.EndOfFile, 1);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "The last record of cut.bin is incomplete; it was ignored.");
  EXPECT_EQ(host.messages[0].caption, "Zorvan");
  // Reading on at the end says nothing more and changes nothing.
  EXPECT_EQ(ReadRecord(s), 0);
  EXPECT_EQ(host.messages.size(), 1u);
}

TEST_F(LoaderTest, FileCutInsideAHeader) {
  std::string path = WriteRecording(dir, "cut.bin", SmallRecording(2));
  auto bytes = ReadBytes(path);
  bytes.resize(1024 + 30720 + 500);
  WriteBytes(path, bytes);
  ASSERT_EQ(Open(path, "2"), 1);
  EXPECT_EQ(s.NumPlotPoints, 2560);
  EXPECT_EQ(s.EndOfFile, 1);
  EXPECT_EQ(host.messages.size(), 1u);
}

TEST_F(LoaderTest, ShortBlockNeverShowsBytesOfAnEarlierBlock) {
  std::string path = WriteRecording(dir, "cut.bin", SmallRecording(2));
  ASSERT_EQ(Open(path), 1);
  auto bytes = ReadBytes(path);
  bytes.resize(bytes.size() - 3000);
  WriteBytes(path, bytes);
  double before = s.yplotdata_orig[1][100];
  EXPECT_EQ(ReadRecord(s), 0);  // the second record is short
  EXPECT_EQ(s.EndOfFile, 1);
  EXPECT_EQ(s.yplotdata_orig[1][100], before);
}

TEST_F(LoaderTest, HeaderWithoutEnabledChannelsIsRefused) {
  SynthOptions o = SmallRecording(2, "-");
  EXPECT_EQ(Open(WriteRecording(dir, "none.bin", o)), 0);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "none.bin is not a recorder file (no channel is enabled in its first record)");
}

TEST_F(LoaderTest, RandomBytesAreRefused) {
  std::vector<uint8_t> bytes(200000);
  uint32_t x = 12345;
  for (auto& b : bytes) {
    x = x * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(x >> 24);
  }
  WriteBytes(dir / "noise.bin", bytes);
  EXPECT_EQ(Open(dir / "noise.bin", "50"), 0);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text.rfind("noise.bin is not a recorder file (unknown sample rate code ", 0), 0u)
      << host.messages[0].text;
  EXPECT_EQ(ReadRecord(s), 0);
}

TEST_F(LoaderTest, ReadErrorIsReportedAndTheProgramGoesOn) {
  ASSERT_EQ(Open(dir.path()), 0);  // a folder opens but cannot be read
  ASSERT_FALSE(host.messages.empty());
  EXPECT_EQ(host.messages[0].caption, "Error");
  EXPECT_EQ(host.messages[0].text.rfind("Zorvan failed with error 21: ", 0), 0u) << host.messages[0].text;
  EXPECT_EQ(s.NumPlotPoints, 0);
  EXPECT_EQ(s.FileLoaded, 0);
}

TEST_F(LoaderTest, MissingFileLeavesThePreviousOneOpen) {
  std::string path = WriteRecording(dir, "a.bin", SmallRecording(1));
  ASSERT_EQ(Open(path), 1);
  EXPECT_EQ(Open(dir / "missing.bin"), 0);
  EXPECT_EQ(s.CurrentFilePath, path);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_NE(host.messages[0].text.find("missing.bin"), std::string::npos);
}

TEST_F(LoaderTest, InvertFlagsSurviveReopening) {
  std::string path = WriteRecording(dir, "a.bin", SmallRecording(1));
  ASSERT_EQ(Open(path), 1);
  s.OutHeader.ChannelInvert[2] = 1;
  ASSERT_EQ(Open(path), 1);
  EXPECT_EQ(s.OutHeader.ChannelInvert[2], 1);
}

TEST_F(LoaderTest, OpeningRemembersTheFolderInLidarDir) {
  std::string path = WriteRecording(dir, "a.bin", SmallRecording(1));
  ASSERT_EQ(Open(path), 1);
  auto text = ReadBytes(dir / "lidar.dir");
  std::string expected = dir.path() + "/\n" + dir.path() + "/\n";
  EXPECT_EQ(std::string(text.begin(), text.end()), expected);
}

TEST_F(LoaderTest, PageAtARecordSeeksThereThroughTheIndex) {
  std::string path = WriteRecording(dir, "paged.bin", SmallRecording(11));
  ASSERT_EQ(Open(path, "3"), 1);
  auto bytes = ReadBytes(path);
  const size_t recordBytes = 1024 + 30720;

  EXPECT_EQ(LoadPageAt(s, 6), 3);
  EXPECT_EQ(s.CurrentRecord, 6);
  EXPECT_DOUBLE_EQ(s.PlotStartTime, 6 * 2.56);
  EXPECT_DOUBLE_EQ(s.xplotdata[0], 6 * 2.56);
  EXPECT_EQ(s.NumPlotPoints, 3 * 2560);
  EXPECT_EQ(s.yplotdata_orig[0][0], DecodeSample(&bytes[6 * recordBytes + 1024]));
  EXPECT_EQ(s.yplotdata_orig[1][2560], DecodeSample(&bytes[7 * recordBytes + 1024 + 3]));
  EXPECT_EQ(host.status[1], "Rec 7");
  EXPECT_EQ(host.status[3], "13:45:25.360");

  // The last page holds what is left and reaches the end.
  EXPECT_EQ(LoadPageAt(s, 9), 2);
  EXPECT_EQ(s.NumPlotPoints, 2 * 2560);
  EXPECT_EQ(s.EndOfFile, 1);
  EXPECT_EQ(host.status[1], "Rec 10");
  EXPECT_EQ(s.PageRecords, 2);

  // A record past the end changes nothing.
  EXPECT_EQ(LoadPageAt(s, 11), 0);
  EXPECT_EQ(s.CurrentRecord, 9);
  EXPECT_EQ(s.NumPlotPoints, 2 * 2560);

  // A file that grows (a recorder still writing) is indexed again.
  {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(recordBytes));
  }
  EXPECT_EQ(LoadPageAt(s, 11), 1);
  EXPECT_EQ(s.yplotdata_orig[0][0], DecodeSample(&bytes[1024]));
}

TEST(SensorScale, ByCodeAndSpacing) {
  AppState s;
  RecorderHeader h;
  h.SensorID[0] = 2;
  h.Spacing[0] = 0;
  h.SensorID[1] = 7;
  h.Spacing[1] = 50;
  h.SensorID[2] = 5;
  h.SensorID[3] = 3;
  h.SensorID[4] = 9;
  s.SensorScale[4] = 42.0;  // left from another file
  ComputeSensorScales(s, h);
  EXPECT_DOUBLE_EQ(s.SensorScale[0], 6.666666666666667);
  EXPECT_DOUBLE_EQ(s.SensorScale[1], 20.0);
  EXPECT_DOUBLE_EQ(s.SensorScale[2], 5.0);
  EXPECT_DOUBLE_EQ(s.SensorScale[3], 1.0);
  EXPECT_DOUBLE_EQ(s.SensorScale[4], 1.0);
  h.GainMUX[2] = 0;
  h.GainSEL[2] = 1;
  ComputeGains(h);
  EXPECT_DOUBLE_EQ(ChannelFactor(s, h, 2), 5.0 * 10000.0 / 16777216.0 / 160.0);
}

TEST(RecordIndex, ScansEveryCompleteRecordBySize) {
  TempDir dir;
  std::string path = WriteRecording(dir, "x.bin", SmallRecording(4));
  auto bytes = ReadBytes(path);
  bytes.resize(bytes.size() - 1);
  WriteBytes(path, bytes);
  std::FILE* f = std::fopen(path.c_str(), "rb");
  RecordIndex index = ScanRecords(f);
  std::fclose(f);
  ASSERT_EQ(index.offsets.size(), 3u);
  EXPECT_EQ(index.offsets[2], 2u * (1024 + 30720));
  EXPECT_TRUE(index.truncated);
  EXPECT_EQ(index.totalSamples, 3u * 2560);
}

}  // namespace
