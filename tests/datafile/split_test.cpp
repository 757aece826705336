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

TEST_F(SplitTest, SegmentsHoldTheirShareOfRecordsAndNoneIsEmpty) {
  for (int records : {250, 200}) {
    std::string in = WriteRecording(dir, "site" + std::to_string(records) + ".bin", SmallRecording(records));
    ASSERT_EQ(Open(in), 1);
    const std::vector<uint8_t> bytes = ReadBytes(in);
    const std::string digest = Sha256(bytes);
    WriteReport report;
    ASSERT_EQ(SplitFile(s, in, 100, &report), 1);
    const std::string base = dir / ("site" + std::to_string(records));
    std::vector<std::string> expected{base + "_01.bin", base + "_02.bin"};
    if (records == 250) expected.push_back(base + "_03.bin");
    EXPECT_EQ(report.outputs, expected);
    EXPECT_EQ(ReadBytes(base + "_01.bin"), Slice(bytes, 0, 100));
    EXPECT_EQ(ReadBytes(base + "_02.bin"), Slice(bytes, 100, 100));
    if (records == 250) {
      EXPECT_EQ(ReadBytes(base + "_03.bin"), Slice(bytes, 200, 50));
    }
    // 200 records in blocks of 100 make two files, not a third empty one.
    EXPECT_EQ(std::filesystem::exists(base + "_03.bin"), records == 250);
    EXPECT_FALSE(std::filesystem::exists(base + "_04.bin"));
    for (const std::string& segment : expected)
      for (const FileRecord& r : ReadRecords(segment)) EXPECT_EQ(r.h.SampleRate, 1000u);
    EXPECT_EQ(Sha256Of(in), digest);
  }
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(SplitTest, RecordingWithoutACompleteRecordMakesNoSegment) {
  std::string whole = WriteRecording(dir, "whole.bin", SmallRecording(2));
  ASSERT_EQ(Open(whole), 1);
  std::vector<uint8_t> bytes = ReadBytes(whole);
  std::string cut = dir / "cut.bin";
  WriteBytes(cut, std::vector<uint8_t>(bytes.begin(), bytes.begin() + 2000));
  host.messages.clear();
  EXPECT_EQ(SplitFile(s, cut, 1), 0);
  EXPECT_EQ(host.MessageTexts(),
            std::vector<std::string>{"cut.bin ends inside the sample block of its first record; nothing was written."});
  EXPECT_FALSE(std::filesystem::exists(dir / "cut_01.bin"));
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
  const std::string digest = Sha256Of(in);
  FullDiskFileSystem full(3 * kRecordBytes + 2000);
  s.WriteSystem = &full;
  WriteReport report;
  EXPECT_EQ(SplitFile(s, in, 2, &report), 0);
  EXPECT_EQ(host.MessageTexts(),
            std::vector<std::string>{"SaveData Write error 28 (No space left on device) writing " + dir / "a_02.bin" +
                                     "; the incomplete file was removed. a_01.bin is complete."});
  // The failed segment is gone and not listed as written; the one before it is whole.
  EXPECT_EQ(report.outputs, std::vector<std::string>{dir / "a_01.bin"});
  EXPECT_EQ(ReadBytes(dir / "a_01.bin"), Slice(ReadBytes(in), 0, 2));
  EXPECT_FALSE(std::filesystem::exists(dir / "a_02.bin"));
  EXPECT_FALSE(std::filesystem::exists(dir / "a_03.bin"));
  EXPECT_EQ(Sha256Of(in), digest);
}

TEST_F(SplitTest, ConcatenationKeyStartsThreeCharactersBeforeTheFirstDotB) {
  EXPECT_EQ(ConcatenationKey("/d/X_007.bin"), "007.bin");
  EXPECT_EQ(ConcatenationKey("/d/ab.bin"), "ab.bin");  // ".b" too early: the whole name
  EXPECT_EQ(ConcatenationKey("/d/site_3"), "site_3");  // no ".b": the whole name
  EXPECT_EQ(ConcatenationKey("/d.b/run_2"), "run_2");  // only the file name counts
  EXPECT_EQ(SortForConcatenation({"/d/north_002.bin", "/d/south_001.bin", "/d/east_003.bin"}),
            (std::vector<std::string>{"/d/south_001.bin", "/d/north_002.bin", "/d/east_003.bin"}));
  // Upper and lower case alike, in the extension and in the name.
  EXPECT_EQ(ConcatenationKey("/d/NORTH_002.BIN"), "002.bin");
  EXPECT_EQ(SortForConcatenation({"/d/NORTH_002.BIN", "/d/SOUTH_001.BIN", "/d/EAST_003.BIN"}),
            (std::vector<std::string>{"/d/SOUTH_001.BIN", "/d/NORTH_002.BIN", "/d/EAST_003.BIN"}));
  EXPECT_EQ(SortForConcatenation({"/d/north_002.BIN", "/d/south_001.bin", "/d/East_003.Bin"}),
            (std::vector<std::string>{"/d/south_001.bin", "/d/north_002.BIN", "/d/East_003.Bin"}));
  EXPECT_EQ(SortForConcatenation({"/d/run_B.bin", "/d/run_a.bin"}),
            (std::vector<std::string>{"/d/run_a.bin", "/d/run_B.bin"}));
  s.DataDir = "/d";
  EXPECT_EQ(ConcatenationName(s, "/d/SOUTH_001.BIN"), "/d/SOUTH_001_CONCAT.bin");
  EXPECT_EQ(ConcatenationName(s, "/d/south_001.Bin"), "/d/south_001_CONCAT.bin");
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

  // Nor onto the recording open in the window.
  std::string open = WriteRecording(dir, "open.bin", SmallRecording(1));
  ASSERT_EQ(Open(open), 1);
  const std::vector<uint8_t> openBefore = ReadBytes(open);
  host.messages.clear();
  EXPECT_EQ(ConcatenateInto(s, {a, b}, open), -1);
  EXPECT_EQ(host.MessageTexts().size(), 1u);
  EXPECT_EQ(ReadBytes(open), openBefore);

  host.messages.clear();
  const std::string digestA = Sha256Of(a), digestB = Sha256Of(b);
  FullDiskFileSystem full(3 * kRecordBytes + 10);
  s.WriteSystem = &full;
  EXPECT_EQ(ConcatenateInto(s, {a, b}, dir / "out.bin"), -1);
  EXPECT_EQ(host.MessageTexts(),
            std::vector<std::string>{"SaveData Header Write error 28 (No space left on device) writing " +
                                     dir / "out.bin" + "; the incomplete file was removed."});
  EXPECT_FALSE(std::filesystem::exists(dir / "out.bin"));
  EXPECT_EQ(Sha256Of(a), digestA);
  EXPECT_EQ(Sha256Of(b), digestB);
}

TEST_F(SplitTest, ConcatenationNamesTheInputsThatAddNothing) {
  std::string a = WriteRecording(dir, "a_001.bin", SmallRecording(2));
  std::string b = WriteRecording(dir, "b_002.bin", SmallRecording(3));
  std::string empty = dir / "c_003.bin";
  WriteBytes(empty, {});
  WriteReport report;
  EXPECT_EQ(ConcatenateInto(s, {a, empty, b}, dir / "out.bin", &report), 2);
  EXPECT_EQ(host.MessageTexts(), std::vector<std::string>{"c_003.bin is empty; it is left out of the concatenation."});
  EXPECT_EQ(report.leftOut, std::vector<std::string>{empty});
  EXPECT_EQ(ReadRecords(dir / "out.bin").size(), 5u);

  // Nothing to join: no file.
  host.messages.clear();
  EXPECT_EQ(ConcatenateInto(s, {empty, empty}, dir / "none.bin"), -1);
  EXPECT_EQ(host.MessageTexts().back(), "None of the files holds a complete record; nothing was written.");
  EXPECT_FALSE(std::filesystem::exists(dir / "none.bin"));
}

}  // namespace
