#include "datafile/split.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "datafile/loader.h"
#include "tests/datafile/writer_support.h"

namespace {

constexpr size_t kRecordBytes = kHeaderBytes + 4 * 2560 * 3;

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, size_t firstRecord, size_t records) {
  return {bytes.begin() + static_cast<long>(firstRecord * kRecordBytes),
          bytes.begin() + static_cast<long>((firstRecord + records) * kRecordBytes)};
}

using SplitTest = WriterTest;

TEST_F(SplitTest, SegmentsHoldTheirShareOfRecordsAndAFullLastOneLeavesAnEmptyFile) {
  for (int records : {250, 200}) {
    std::string in = WriteRecording(dir, "site" + std::to_string(records) + ".bin", SmallRecording(records));
    ASSERT_EQ(Open(in), 1);
    const std::vector<uint8_t> bytes = ReadBytes(in);
    WriteReport report;
    ASSERT_EQ(SplitFile(s, in, 100, &report), 1);
    const std::string base = dir / ("site" + std::to_string(records));
    EXPECT_EQ(report.outputs, (std::vector<std::string>{base + "_01.bin", base + "_02.bin", base + "_03.bin"}));
    EXPECT_EQ(ReadBytes(base + "_01.bin"), Slice(bytes, 0, 100));
    EXPECT_EQ(ReadBytes(base + "_02.bin"), Slice(bytes, 100, 100));
    EXPECT_EQ(ReadBytes(base + "_03.bin"), Slice(bytes, 200, static_cast<size_t>(records - 200)));
    EXPECT_TRUE(std::filesystem::exists(base + "_03.bin"));
    EXPECT_FALSE(std::filesystem::exists(base + "_04.bin"));
  }
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(SplitTest, SegmentBaseDropsOnlyTheFileNamesLastExtension) {
  EXPECT_EQ(SegmentBase("/data/site.v2/run.1.bin"), "/data/site.v2/run.1");
  EXPECT_EQ(SegmentBase("/data/site.v2/run"), "/data/site.v2/run");
  EXPECT_EQ(SegmentBase("run.BIN"), "run");
  EXPECT_EQ(SegmentName("/d/run", 7), "/d/run_07.bin");
  EXPECT_EQ(SegmentName("/d/run", 123), "/d/run_123.bin");
}

TEST_F(SplitTest, SegmentThatWouldBeTheInputRefusesTheWholeSplit) {
  std::string in = WriteRecording(dir, "a.bin", SmallRecording(5));
  const std::vector<uint8_t> before = ReadBytes(in);
  ASSERT_EQ(symlink(in.c_str(), (dir / "a_02.bin").c_str()), 0);
  ASSERT_EQ(Open(in), 1);
  EXPECT_EQ(SplitFile(s, in, 2), 0);
  EXPECT_TRUE(Told(dir / "a_02.bin" + " is one of the files being read; nothing was written."));
  EXPECT_FALSE(std::filesystem::exists(dir / "a_01.bin"));
  EXPECT_EQ(ReadBytes(in), before);
}

TEST_F(SplitTest, WriteErrorStopsTheSplitWithItsMessage) {
  std::string in = WriteRecording(dir, "a.bin", SmallRecording(5));
  ASSERT_EQ(Open(in), 1);
  FullDiskFileSystem full(3 * kRecordBytes + 2000);
  s.WriteSystem = &full;
  EXPECT_EQ(SplitFile(s, in, 2), 0);
  EXPECT_EQ(host.MessageTexts(), std::vector<std::string>{"SaveData Write error 28"});
  EXPECT_EQ(ReadBytes(dir / "a_02.bin").size(), kRecordBytes + 2000);
  EXPECT_FALSE(std::filesystem::exists(dir / "a_03.bin"));
}

TEST_F(SplitTest, ConcatenationKeyStartsThreeCharactersBeforeTheFirstDotB) {
  EXPECT_EQ(ConcatenationKey("/d/X_007.bin"), "007.bin");
  EXPECT_EQ(ConcatenationKey("/d/ab.bin"), "ab.bin");  // ".b" too early: the whole name
  EXPECT_EQ(ConcatenationKey("/d/site_3"), "site_3");  // no ".b": the whole name
  EXPECT_EQ(ConcatenationKey("/d.b/run_2"), "run_2");  // only the file name counts
  EXPECT_EQ(SortForConcatenation({"/d/north_002.bin", "/d/south_001.bin", "/d/east_003.bin"}),
            (std::vector<std::string>{"/d/south_001.bin", "/d/north_002.bin", "/d/east_003.bin"}));
}

TEST_F(SplitTest, ConcatenationJoinsInKeyOrderUnderTheFirstFilesName) {
  std::vector<std::string> names{"north_002.bin", "south_001.bin", "east_003.bin"};
  std::vector<std::string> paths;
  for (size_t i = 0; i < names.size(); ++i) {
    SynthOptions o = SmallRecording(static_cast<int>(i) + 2);
    o.seed = i + 7;
    paths.push_back(WriteRecording(dir, names[i], o));
  }
  std::string in = WriteRecording(dir, "open.bin", SmallRecording(3));
  ASSERT_EQ(Open(in), 1);
  s.OutHeader.ChannelInvert[1] = 1;  // an edit of the open file's header stays with it
  host.openFilesAnswers.push_back(paths);
  const std::string expectedName = dir / "south_001_CONCAT.bin";
  host.saveAnswers.push_back(expectedName);
  ConcatenateFiles(s);

  EXPECT_EQ(host.MessageTexts(), std::vector<std::string>{"3 Files Concatenated"});
  std::vector<uint8_t> expected;
  for (const std::string& p : {paths[1], paths[0], paths[2]}) {
    auto bytes = ReadBytes(p);
    expected.insert(expected.end(), bytes.begin(), bytes.end());
  }
  EXPECT_EQ(ReadBytes(expectedName), expected);
  EXPECT_EQ(ConcatenationName(s, paths[1]), expectedName);
  EXPECT_EQ(s.CurrentFilePath, in);
  EXPECT_EQ(s.OutHeader.ChannelInvert[1], 1);
}

TEST_F(SplitTest, OneFileJoinsNothing) {
  std::string a = WriteRecording(dir, "a.bin", SmallRecording(1));
  host.openFilesAnswers.push_back({a});
  ConcatenateFiles(s);
  EXPECT_EQ(host.MessageTexts(), std::vector<std::string>{"0 Files Concatenated"});
  EXPECT_FALSE(std::filesystem::exists(dir / "a_CONCAT.bin"));
}

TEST_F(SplitTest, ConcatenationRefusesAnOutputThatIsAnInputAndReportsWriteErrors) {
  std::string a = WriteRecording(dir, "a_001.bin", SmallRecording(2));
  std::string b = WriteRecording(dir, "b_002.bin", SmallRecording(2));
  const std::vector<uint8_t> before = ReadBytes(b);
  EXPECT_EQ(ConcatenateInto(s, {a, b}, b), -1);
  EXPECT_TRUE(Told(b + " is one of the files being read; nothing was written."));
  EXPECT_EQ(ReadBytes(b), before);

  host.messages.clear();
  FullDiskFileSystem full(3 * kRecordBytes + 10);
  s.WriteSystem = &full;
  EXPECT_EQ(ConcatenateInto(s, {a, b}, dir / "out.bin"), -1);
  EXPECT_EQ(host.MessageTexts(), std::vector<std::string>{"SaveData Header Write error 28"});
}

}  // namespace
