#include "dialogs/split_dialog.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/datafile/writer_support.h"

namespace {

using SplitDialogTest = WriterTest;

TEST_F(SplitDialogTest, ShowsTheFileAndFollowsTheBlocksAsTheyAreTyped) {
  std::string in = WriteRecording(dir, "site.bin", SmallRecording(3));
  ASSERT_EQ(Open(in), 1);
  std::map<int, std::string> shown, typed;
  host.dialogScripts.push_back([&](HeadlessDialog& d) {
    for (int id : {kSplitInputFile, kSplitSampleRate, kSplitBlockLength, kSplitBlocks, kSplitMinutes})
      shown[id] = d.GetText(id);
    d.Type(kSplitBlocks, "50");
    typed[kSplitMinutes] = d.GetText(kSplitMinutes);
    d.Type(kSplitBlocks, "x");
    typed[kSplitBlocks] = d.GetText(kSplitMinutes);
    d.Cancel();
  });
  EXPECT_EQ(SegmentFile(s), kIdCancel);
  EXPECT_EQ(host.dialogTitles, std::vector<std::string>{"Split File into Segments"});
  EXPECT_EQ(shown[kSplitInputFile], in);
  EXPECT_EQ(shown[kSplitSampleRate], "   1000");
  EXPECT_EQ(shown[kSplitBlockLength], "   2.56");
  EXPECT_EQ(shown[kSplitBlocks], "    100");
  EXPECT_EQ(shown[kSplitMinutes], "      4.27");
  EXPECT_EQ(typed[kSplitMinutes], "      2.13");
  EXPECT_EQ(typed[kSplitBlocks], "      0.00");
  EXPECT_EQ(s.BlocksPerSegment, 100u);  // Cancel restores it
  EXPECT_FALSE(std::filesystem::exists(dir / "site_01.bin"));
}

TEST_F(SplitDialogTest, SaveSplitsWithTheTypedSize) {
  SynthOptions o = SmallRecording(3);
  o.samplesPerRecord = 5120;
  std::string in = WriteRecording(dir, "site.bin", o);
  ASSERT_EQ(Open(in), 1);
  std::string blockLength;
  host.dialogScripts.push_back([&](HeadlessDialog& d) {
    blockLength = d.GetText(kSplitBlockLength);
    d.Type(kSplitBlocks, "2");
    d.Click(kSplitSave);
  });
  EXPECT_EQ(SegmentFile(s), kSplitSave);
  EXPECT_EQ(blockLength, "   5.12");  // records of 5120 samples last twice as long
  EXPECT_EQ(s.BlocksPerSegment, 2u);
  EXPECT_EQ(ReadRecords(dir / "site_01.bin").size(), 2u);
  EXPECT_EQ(ReadRecords(dir / "site_02.bin").size(), 1u);
}

TEST_F(SplitDialogTest, AnInvalidBlockCountKeepsTheDialogOpenWithTheMessage) {
  std::string in = WriteRecording(dir, "site.bin", SmallRecording(3));
  ASSERT_EQ(Open(in), 1);
  std::vector<bool> open;
  host.dialogScripts.push_back([&](HeadlessDialog& d) {
    for (const char* typed : {"0", "abc", "-4", "12x", ""}) {
      d.Type(kSplitBlocks, typed);
      d.Click(kSplitSave);
      open.push_back(!d.closed());
    }
    d.Type(kSplitBlocks, " 2 ");
    d.Click(kSplitSave);
  });
  EXPECT_EQ(SegmentFile(s), kSplitSave);
  EXPECT_EQ(open, std::vector<bool>(5, true));
  EXPECT_EQ(host.MessageTexts(),
            std::vector<std::string>(5,
                                     "Size of output files, blocks: type a whole number of records from 1 to "
                                     "1000000000."));
  EXPECT_EQ(ReadRecords(dir / "site_01.bin").size(), 2u);
  EXPECT_EQ(ReadRecords(dir / "site_02.bin").size(), 1u);
}

TEST_F(SplitDialogTest, RateCode62ShowsAs62Point5AndThePathShowsItsEnd) {
  SynthOptions o = SmallRecording(1);
  o.rateCode = 62;
  std::string in = WriteRecording(dir, "slow.bin", o);
  ASSERT_EQ(Open(in), 1);
  std::string rate, length;
  host.dialogScripts.push_back([&](HeadlessDialog& d) {
    rate = d.GetText(kSplitSampleRate);
    length = d.GetText(kSplitBlockLength);
    d.Cancel();
  });
  SegmentFile(s);
  EXPECT_EQ(rate, "   62.5");
  EXPECT_EQ(length, "  40.96");
  bool showEnd = false;
  for (const ControlTemplate& c : SplitDialogTemplate().controls) showEnd |= c.id == kSplitInputFile && c.showEnd;
  EXPECT_TRUE(showEnd);
}

TEST_F(SplitDialogTest, WithoutARecordingThereIsNothingToSplit) {
  EXPECT_EQ(SegmentFile(s), 0);
  EXPECT_EQ(host.MessageTexts(), std::vector<std::string>{"No data to save - read some first"});
  EXPECT_TRUE(host.dialogTitles.empty());
}

}  // namespace
