#include "datafile/writers.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>

#include "app/open_file.h"
#include "spectral/lowpass.h"
#include "tests/datafile/writer_support.h"

namespace {

constexpr size_t kRecordBytes4 = kHeaderBytes + 4 * 2560 * 3;  // a record of four channels

// The order-4 recurrence written out plainly, as the decimating writer must run it.
struct ReferenceOrder4 {
  double c[4];
  double gain;
  double xv[5] = {}, yv[5] = {};
  double Step(double x) {
    for (int i = 0; i < 4; ++i) {
      xv[i] = xv[i + 1];
      yv[i] = yv[i + 1];
    }
    xv[4] = x;
    yv[4] =
        (xv[0] + xv[4]) + 4 * (xv[1] + xv[3]) + 6 * xv[2] + c[0] * yv[0] + c[1] * yv[1] + c[2] * yv[2] + c[3] * yv[3];
    return yv[4] / gain;
  }
};

double Millivolts(int32_t count, int gain) { return count * 10000.0 / 16777216.0 / gain; }
int32_t CountOf(double mv, int gain) {
  uint8_t b[3];
  EncodeSample(mv * 16777216.0 * gain / 10000.0, b);
  return DecodeSample(b);
}

class SaveTest : public WriterTest {
 protected:
  // Saves the open file to out, answering the "Load Modified File?" question.
  int Save(const std::string& out, MsgAnswer load = MsgAnswer::No) {
    host.saveAnswers.push_back(out);
    host.messageAnswers.push_back(load);
    return SaveProcessedFile(s);
  }
};

TEST_F(SaveTest, UnchangedUnfilteredSaveIsAByteCopyOfTheInput) {
  std::string in = WriteRecording(dir, "site.bin", SmallRecording(5));
  // Bytes the header encoder does not interpret must travel unchanged.
  std::vector<uint8_t> bytes = ReadBytes(in);
  const std::pair<int, int> untouched[] = {{24, 25},   {120, 121}, {270, 271}, {280, 281}, {288, 290},
                                           {392, 535}, {664, 683}, {691, 699}, {706, 1023}};
  uint32_t noise = 12345;
  for (size_t record = 0; record < 5; ++record)
    for (auto [from, to] : untouched)
      for (int b = from; b <= to; ++b) {
        noise = noise * 1103515245u + 12345u;
        bytes[record * kRecordBytes4 + static_cast<size_t>(b)] = static_cast<uint8_t>(noise >> 16);
      }
  WriteBytes(in, bytes);
  ASSERT_EQ(Open(in), 1);

  std::string out = dir / "copy.bin";
  ASSERT_EQ(Save(out), 1);
  EXPECT_TRUE(Told("5 Records Filtered & Saved\n\nLoad Modified File?"));
  EXPECT_EQ(ReadBytes(out), bytes);
}

TEST_F(SaveTest, InvertedChannelIsNegatedCountForCount) {
  std::string in = WriteRecording(dir, "site.bin", SmallRecording(2));
  std::vector<uint8_t> bytes = ReadBytes(in);
  // The most negative count has no positive twin: it saturates.
  const size_t first = kHeaderBytes + 2 * 3;
  bytes[first] = 0x80, bytes[first + 1] = 0, bytes[first + 2] = 0;
  WriteBytes(in, bytes);
  ASSERT_EQ(Open(in), 1);
  s.OutHeader.ChannelInvert[2] = 1;
  std::string out = dir / "inv.bin";
  ASSERT_EQ(Save(out), 1);

  auto input = ReadRecords(in), output = ReadRecords(out);
  ASSERT_EQ(output.size(), 2u);
  for (size_t r = 0; r < 2; ++r)
    for (int row = 0; row < 2560; ++row)
      for (int j = 0; j < 4; ++j) {
        int32_t x = SampleAt(input[r], row, j);
        int32_t expected = j != 2 ? x : (x == -8388608 ? 8388607 : -x);
        ASSERT_EQ(SampleAt(output[r], row, j), expected) << r << " " << row << " " << j;
      }
  EXPECT_EQ(SampleAt(output[0], 0, 2), 8388607);
}

TEST_F(SaveTest, DroppedChannelMovesTheOthersDownASlot) {
  std::string in = WriteRecording(dir, "site.bin", SmallRecording(2, "Hx,Hy,-,Ex"));
  ASSERT_EQ(Open(in), 1);
  s.OutHeader.ChannelEnabled[1] = 0;  // drop Hy; Ex in slot 3 moves to slot 1
  std::string out = dir / "drop.bin";
  ASSERT_EQ(Save(out), 1);

  auto input = ReadRecords(in), output = ReadRecords(out);
  ASSERT_EQ(output.size(), 2u);
  EXPECT_EQ(input[0].header[291], 0x0B);
  EXPECT_EQ(output[0].header[291], 0x03);
  EXPECT_EQ(output[0].block.size(), 2u * 2560 * 3);
  EXPECT_EQ(output[0].h.ChannelLabel[0], kLabelHx);
  EXPECT_EQ(output[0].h.ChannelLabel[1], kLabelEx);
  EXPECT_EQ(output[0].h.ChannelLabel[2], kLabelUnused);
  EXPECT_STREQ(output[0].h.SensorSerial[1], input[0].h.SensorSerial[3]);
  EXPECT_EQ(output[0].h.Spacing[1], input[0].h.Spacing[3]);
  for (int row = 0; row < 2560; ++row) {
    ASSERT_EQ(SampleAt(output[1], row, 0), SampleAt(input[1], row, 0));
    ASSERT_EQ(SampleAt(output[1], row, 1), SampleAt(input[1], row, 2));
  }
}

TEST_F(SaveTest, ChannelMissingFromARecordIsWrittenAsZeros) {
  std::string four = WriteRecording(dir, "four.bin", SmallRecording(1, "Hx,Hy,Ex,Ey"));
  std::string three = WriteRecording(dir, "three.bin", SmallRecording(1, "Hx,Hy,Ex"));
  std::vector<uint8_t> joined = ReadBytes(four), tail = ReadBytes(three);
  joined.insert(joined.end(), tail.begin(), tail.end());
  std::string in = dir / "mixed.bin";
  WriteBytes(in, joined);
  ASSERT_EQ(Open(in), 1);
  std::string out = dir / "out.bin";
  ASSERT_EQ(Save(out), 1);

  auto output = ReadRecords(out), second = ReadRecords(three);
  ASSERT_EQ(output.size(), 2u);
  ASSERT_EQ(CountEnabled(output[1].h), 4);
  for (int row = 0; row < 2560; ++row) {
    for (int j = 0; j < 3; ++j) ASSERT_EQ(SampleAt(output[1], row, j), SampleAt(second[0], row, j));
    ASSERT_EQ(SampleAt(output[1], row, 3), 0) << row;
  }
}

TEST_F(SaveTest, CopyEndsAtTheLastCompleteRecord) {
  std::string in = WriteRecording(dir, "site.bin", SmallRecording(5));
  std::vector<uint8_t> bytes = ReadBytes(in);
  for (size_t cut : {size_t{100}, kRecordBytes4 - 500}) {
    std::vector<uint8_t> shorter(bytes.begin(), bytes.end() - static_cast<long>(cut));
    std::string path = dir / ("cut" + std::to_string(cut) + ".bin");
    WriteBytes(path, shorter);
    ASSERT_EQ(Open(path), 1);
    std::string out = dir / ("out" + std::to_string(cut) + ".bin");
    ASSERT_EQ(Save(out), 1);
    EXPECT_TRUE(Told("The last record of " + FileTitleOf(path) + " is incomplete; it was not copied."));
    EXPECT_TRUE(Told("4 Records Filtered & Saved\n\nLoad Modified File?"));
    EXPECT_EQ(ReadBytes(out), std::vector<uint8_t>(bytes.begin(), bytes.begin() + 4 * kRecordBytes4));
  }
}

TEST_F(SaveTest, FilteredSaveRunsTheFilterOnMillivoltsAtTheInput) {
  std::string in = WriteRecording(dir, "site.bin", SmallRecording(2));
  ASSERT_EQ(Open(in), 1);
  s.FilterOn = 1;
  s.LowPassCorner = 2;  // order 8
  s.OutHeader.ChannelInvert[1] = 1;
  std::string out = dir / "lp.bin";
  ASSERT_EQ(Save(out), 1);

  LowPassState reference;
  auto input = ReadRecords(in), output = ReadRecords(out);
  ASSERT_EQ(output.size(), 2u);
  for (size_t r = 0; r < 2; ++r)
    for (int j = 0; j < 4; ++j) {
      const int gain = input[r].h.ChannelGain[j];
      for (int row = 0; row < 2560; ++row) {
        double y = LowPassStep(reference, Millivolts(SampleAt(input[r], row, j), gain), 2, j);
        ASSERT_EQ(SampleAt(output[r], row, j), CountOf(j == 1 ? -y : y, gain)) << r << " " << j << " " << row;
      }
    }
}

TEST_F(SaveTest, AFilteredSaveStartsAtRestAndLeavesTheDisplayFilterAlone) {
  std::string in = WriteRecording(dir, "site.bin", SmallRecording(2));
  ASSERT_EQ(Open(in), 1);
  s.FilterOn = 1;
  s.LowPassCorner = 5;  // order 4
  // Histories the display left behind, from another page or file.
  for (int ch = 0; ch < kChannels; ++ch)
    for (int i = 0; i < kLowPassTaps; ++i) s.DisplayFilter.xv[ch][i] = s.DisplayFilter.yv[ch][i] = 5000.0 + i;
  const LowPassState display = s.DisplayFilter;
  std::string first = dir / "first.bin", second = dir / "second.bin";
  ASSERT_EQ(Save(first), 1);
  EXPECT_EQ(std::memcmp(&display, &s.DisplayFilter, sizeof display), 0);
  ASSERT_EQ(Save(second), 1);
  EXPECT_EQ(ReadBytes(first), ReadBytes(second));  // the same file every time

  LowPassState reference;
  auto input = ReadRecords(in), output = ReadRecords(first);
  ASSERT_EQ(output.size(), 2u);
  for (size_t r = 0; r < 2; ++r)
    for (int row = 0; row < 2560; ++row) {
      const int gain = input[r].h.ChannelGain[3];
      double y = LowPassStep(reference, Millivolts(SampleAt(input[r], row, 3), gain), 5, 3);
      ASSERT_EQ(SampleAt(output[r], row, 3), CountOf(y, gain)) << r << " " << row;
    }
}

TEST_F(SaveTest, LoadingTheModifiedFileShowsItAtThePageShownBefore) {
  std::string in = WriteRecording(dir, "site.bin", SmallRecording(8));
  auto input = ReadRecords(in);
  for (MsgAnswer answer : {MsgAnswer::Yes, MsgAnswer::No}) {
    ASSERT_EQ(Open(in, "2"), 1);
    ASSERT_EQ(LoadPageAt(s, 4), 2);
    s.OutHeader.ChannelInvert[0] = 1;
    std::string out = dir / (answer == MsgAnswer::Yes ? "yes.bin" : "no.bin");
    ASSERT_EQ(Save(out, answer), 1);
    EXPECT_EQ(s.CurrentRecord, 4);
    EXPECT_EQ(host.status[1], "Rec 5");
    EXPECT_EQ(s.NumPlotPoints, 5120);
    const double first = SampleAt(input[4], 0, 0);
    if (answer == MsgAnswer::Yes) {
      EXPECT_EQ(s.CurrentFilePath, out);
      EXPECT_EQ(s.yplotdata_orig[0][0], -first);
      EXPECT_EQ(s.OutHeader.ChannelInvert[0], 0);  // the new file already holds the inversion
    } else {
      EXPECT_EQ(s.CurrentFilePath, in);
      EXPECT_EQ(s.yplotdata_orig[0][0], first);
      EXPECT_EQ(s.OutHeader.ChannelInvert[0], 1);
    }
    s.OutHeader.ChannelInvert[0] = 0;
  }
}

TEST_F(SaveTest, NothingIsWrittenWithoutAFileOrAfterCancel) {
  EXPECT_EQ(SaveProcessedFile(s), 0);
  EXPECT_TRUE(Told("No data to save - read some first"));
  std::string in = WriteRecording(dir, "site.bin", SmallRecording(1));
  ASSERT_EQ(Open(in), 1);
  EXPECT_EQ(SaveProcessedFile(s), 0);  // the save dialog is cancelled
  EXPECT_EQ(host.messages.size(), 1u);
}

TEST_F(SaveTest, DefaultNamesDropTheExtensionAndNameTheKindOfCopy) {
  s.DataDir = "/data/";
  s.WorkDir = "/work";
  s.CurrentFileTitle = "site1.BIN";
  EXPECT_EQ(DefaultSaveName(s), "/data/site1_MOD.bin");
  s.DecimationFactor = 40;
  EXPECT_EQ(DefaultSaveName(s), "/data/site1_DEC.bin");
  s.DecimationFactor = 1;
  s.CurrentFileTitle = "site1";
  EXPECT_EQ(DefaultSaveName(s), "/data/site1_MOD.bin");
  s.SaveInDataDir = 0;
  EXPECT_EQ(DefaultSaveName(s), "/work/site1_MOD.bin");
}

TEST_F(SaveTest, DecimationBy40JoinsFortyRecordsIntoOneAndDropsAnIncompleteGroup) {
  std::string in = WriteRecording(dir, "site.bin", SmallRecording(90));
  ASSERT_EQ(Open(in), 1);
  s.DecimationFactor = 40;
  s.OutHeader.ChannelInvert[3] = 1;
  const std::string digest = Sha256Of(in);
  std::string out = dir / "dec.bin";
  ASSERT_EQ(Save(out), 1);
  EXPECT_EQ(host.MessageTexts(),
            std::vector<std::string>{"2 Records Filtered & Saved; the last 10 records were left out (fewer than a "
                                     "group of 40)"});
  EXPECT_EQ(Sha256Of(in), digest);

  auto input = ReadRecords(in), output = ReadRecords(out);
  ASSERT_EQ(output.size(), 2u);
  EXPECT_EQ(ReadBytes(out).size(), 2 * kRecordBytes4);
  for (size_t g = 0; g < 2; ++g) {
    EXPECT_EQ(output[g].h.SampleRate, 25u);
    // The decoder's filter delay depends on the rate: the tick count keeps the start.
    EXPECT_NEAR(SecondsBetween(input[g * 40].h.StartTime, output[g].h.StartTime), 0.0, 1e-6);
  }
  for (int j = 0; j < 4; ++j) {
    // The 5-sample row; divided by its gain at zero frequency, 16 / (1 − Σ c) ≈ 21.46710182.
    ReferenceOrder4 f{{-0.030118875, 0.1826756978, -0.6799785269, 0.782095198},
                      16.0 / (1.0 - (-0.030118875 + 0.1826756978 + -0.6799785269 + 0.782095198))};
    const int gain = input[0].h.ChannelGain[j];
    for (size_t r = 0; r < 80; ++r)
      for (int row = 0; row < 2560; ++row) {
        double y = f.Step(Millivolts(SampleAt(input[r], row, j), gain));
        if (row % 40 != 0) continue;
        const int q = static_cast<int>(r % 40) * 64 + row / 40;
        ASSERT_EQ(SampleAt(output[r / 40], q, j), CountOf(j == 3 ? -y : y, gain)) << r << " " << row << " " << j;
      }
  }
  EXPECT_EQ(s.OutHeader.SampleRate, 1000u);  // the output rate is the writer's own
}

TEST_F(SaveTest, DecimationWritesOnlyRatesAHeaderCanState) {
  EXPECT_EQ(DecimatedRateCode(1000, 40), 25u);
  EXPECT_EQ(DecimatedRateCode(1000, 80), 0u);  // 12.5 Hz
  EXPECT_EQ(DecimatedRateCode(4000, 80), 50u);
  EXPECT_EQ(DecimatedRateCode(2500, 40), 62u);  // 62.5 Hz has its own code
  EXPECT_EQ(DecimatedRateCode(2480, 40), 0u);   // a whole 62 Hz would read back as 62.5
  EXPECT_EQ(DecimatedRateCode(62, 40), 0u);
  EXPECT_EQ(DecimatedRateCode(40, 200), 0u);  // below 1 Hz
  EXPECT_EQ(DecimationRefusal(1000, 40), "");
  EXPECT_EQ(DecimationRefusal(62, 80),
            "62.5 Hz by 80 gives 0.78125 Hz, which a recorder header cannot state; no "
            "factor of 40, 80 or 200 works for this file");

  struct Case {
    uint32_t rate;
    int factor;
    const char* message;
  } cases[] = {
      {1000, 80, "1000 Hz by 80 gives 12.5 Hz, which a recorder header cannot state; factors 40 and 200 work"},
      {250, 40,
       "250 Hz by 40 gives 6.25 Hz, which a recorder header cannot state; no factor of 40, 80 or 200 works "
       "for this file"},
      {4000, 200, ""},
  };
  for (const Case& c : cases) {
    SynthOptions o = SmallRecording(200, "Hx");
    o.rateCode = c.rate;
    std::string in = WriteRecording(dir, "r" + std::to_string(c.rate) + ".bin", o);
    const std::string digest = Sha256Of(in);
    ASSERT_EQ(Open(in), 1);
    host.messages.clear();
    s.DecimationFactor = c.factor;
    std::string out = dir / "dec.bin";
    std::filesystem::remove(out);
    if (*c.message) {
      // Refused before the save dialog, and by the writer itself.
      EXPECT_EQ(SaveProcessedFile(s), 0);
      EXPECT_EQ(host.MessageTexts(), std::vector<std::string>{std::string(c.message) + "; nothing was written."});
      EXPECT_EQ(WriteProcessedFile(s, out), 0);
      EXPECT_FALSE(std::filesystem::exists(out));
    } else {
      ASSERT_EQ(Save(out), 1);
      auto output = ReadRecords(out), input = ReadRecords(in);
      ASSERT_EQ(output.size(), 1u);
      EXPECT_EQ(output[0].h.SampleRate, 20u);
      EXPECT_NEAR(SecondsBetween(input[0].h.StartTime, output[0].h.StartTime), 0.0, 1e-6);
    }
    EXPECT_EQ(Sha256Of(in), digest);
  }
}

TEST_F(SaveTest, InputThatGivesNoRecordWritesNoFileAndSaysWhy) {
  std::string in = WriteRecording(dir, "site.bin", SmallRecording(30));
  const std::vector<uint8_t> bytes = ReadBytes(in);
  std::string empty = dir / "empty.bin", header = dir / "header.bin", block = dir / "block.bin",
              none = dir / "none.bin";
  WriteBytes(empty, {});
  WriteBytes(header, std::vector<uint8_t>(bytes.begin(), bytes.begin() + 700));
  WriteBytes(block, std::vector<uint8_t>(bytes.begin(), bytes.begin() + 2000));
  std::vector<uint8_t> zeroMask(bytes.begin(), bytes.begin() + static_cast<long>(kRecordBytes4));
  zeroMask[291] = 0;
  WriteBytes(none, zeroMask);
  EXPECT_EQ(NoRecordReason(empty, 1), "empty.bin is empty");
  EXPECT_EQ(NoRecordReason(header, 1), "header.bin ends inside the header of its first record (700 bytes)");
  EXPECT_EQ(NoRecordReason(block, 1), "block.bin ends inside the sample block of its first record");
  EXPECT_EQ(NoRecordReason(none, 1), "none.bin has no enabled channel in its first record");
  EXPECT_EQ(NoRecordReason(in, 30), "");
  EXPECT_EQ(NoRecordReason(in, 40), "site.bin holds 30 complete records, fewer than a group of 40");
  EXPECT_EQ(NoRecordReason(dir / "missing.bin", 1), "missing.bin cannot be opened (No such file or directory)");

  // Fewer records than one group: no file, the reason, a failure.
  ASSERT_EQ(Open(in), 1);
  host.messages.clear();
  s.DecimationFactor = 40;
  EXPECT_EQ(Save(dir / "dec.bin"), 0);
  EXPECT_EQ(host.MessageTexts(), std::vector<std::string>{"site.bin holds 30 complete records, fewer than a group of "
                                                          "40; nothing was written."});
  EXPECT_FALSE(std::filesystem::exists(dir / "dec.bin"));
  EXPECT_EQ(ReadBytes(in), bytes);
}

TEST_F(SaveTest, DecimationBy200KeepsEqualSpacingAcrossRecords) {
  std::string in = WriteRecording(dir, "site.bin", SmallRecording(200, "Hx"));
  ASSERT_EQ(Open(in), 1);
  s.DecimationFactor = 200;
  s.SaveCorner = 4;  // 50 samples
  std::string out = dir / "dec.bin";
  ASSERT_EQ(Save(out), 1);

  auto input = ReadRecords(in), output = ReadRecords(out);
  ASSERT_EQ(output.size(), 1u);
  EXPECT_EQ(output[0].h.SampleRate, 5u);
  const LowPassDesign* design = LowPassDesignOf(4);
  ReferenceOrder4 f{{design->c[0], design->c[1], design->c[2], design->c[3]}, design->gain};
  const int gain = input[0].h.ChannelGain[0];
  long long g = 0;
  for (size_t r = 0; r < 200; ++r)
    for (int row = 0; row < 2560; ++row, ++g) {
      double y = f.Step(Millivolts(SampleAt(input[r], row, 0), gain));
      if (g % 200 == 0) {
        ASSERT_EQ(SampleAt(output[0], static_cast<int>(g / 200), 0), CountOf(y, gain)) << g;
      }
    }
}

TEST_F(SaveTest, DecimationKeepsAConstantForEveryCorner) {
  std::string in = WriteRecording(dir, "flat.bin", SmallRecording(80, "Hx"));
  std::vector<uint8_t> bytes = ReadBytes(in);
  const size_t record = kHeaderBytes + 2560 * 3;
  for (size_t r = 0; r < 80; ++r)
    for (size_t i = 0; i < 2560; ++i) {
      uint8_t* p = &bytes[r * record + kHeaderBytes + i * 3];
      p[0] = 0, p[1] = 0x30, p[2] = 0x39;  // 12345 counts
    }
  WriteBytes(in, bytes);
  for (int corner = 1; corner <= 6; ++corner) {
    ASSERT_EQ(Open(in), 1);
    s.DecimationFactor = 40;
    s.SaveCorner = corner;
    std::string out = dir / "flat_dec.bin";
    ASSERT_EQ(Save(out), 1);
    auto output = ReadRecords(out);
    ASSERT_EQ(output.size(), 2u);
    for (int row = 0; row < 2560; ++row) ASSERT_NEAR(SampleAt(output[1], row, 0), 12345, 1) << corner << " " << row;
  }
}

TEST_F(SaveTest, WriteErrorInTheMiddleIsReportedAndTheInputIsUntouched) {
  std::string in = WriteRecording(dir, "site.bin", SmallRecording(6));
  const std::string before = Sha256Of(in);
  struct Case {
    uint64_t room;
    int factor;
    const char* message;
  } cases[] = {
      {3 * kRecordBytes4 + 1000, 1, "SaveData Header Write error 28"},
      {3 * kRecordBytes4 + 2000, 1, "SaveData Write error 28"},
      {500, 2, "SaveData Header Write error 28"},
      {2000, 2, "SaveData Write error 28"},
      {6 * kRecordBytes4 - 10, 1, "SaveData Write error 28"},  // in the last block
  };
  for (const Case& c : cases) {
    ASSERT_EQ(Open(in), 1);
    host.messages.clear();
    FullDiskFileSystem full(c.room);
    s.WriteSystem = &full;
    s.DecimationFactor = c.factor;
    std::string out = dir / "out.bin";
    EXPECT_EQ(Save(out, MsgAnswer::Yes), 0) << c.message;
    EXPECT_EQ(host.MessageTexts(),
              std::vector<std::string>{std::string(c.message) + " (No space left on device) writing " + out +
                                       "; the incomplete file was removed."});
    EXPECT_FALSE(std::filesystem::exists(out));  // no partial output is left behind
    EXPECT_EQ(Sha256Of(in), before);
    EXPECT_EQ(s.CurrentFilePath, in);
    EXPECT_EQ(s.NumPlotPoints, 2560);
    s.WriteSystem = nullptr;
  }
}

TEST_F(SaveTest, FullDeviceIsReportedAsAWriteError) {
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  std::string in = WriteRecording(dir, "site.bin", SmallRecording(40));
  ASSERT_EQ(Open(in), 1);
  WriteReport report;
  EXPECT_EQ(WriteProcessedFile(s, "/dev/full", &report), 0);
  EXPECT_EQ(host.MessageTexts(),
            std::vector<std::string>{"SaveData Write error 28 (No space left on device) writing /dev/full."});
  EXPECT_EQ(report.err, ENOSPC);
  EXPECT_TRUE(std::filesystem::exists("/dev/full"));  // a device is never removed
}

// A host that records the progress reports and the cursor shown with each.
class ProgressHost : public HeadlessPlatform {
 public:
  std::vector<std::pair<double, CursorShape>> reports;
  void ReportProgress(const std::string& what, double fraction) override {
    if (what.find("site.bin") != std::string::npos) reports.emplace_back(fraction, cursor);
  }
};

TEST(SaveProgress, RisesToTheEndUnderTheWaitCursor) {
  TempDir dir;
  std::string in = WriteRecording(dir, "site.bin", SmallRecording(120));
  ProgressHost host;
  AppState s;
  InitAppState(s, host, StartupOptions{dir.path(), false, false});
  ASSERT_EQ(LoadRecorderFile(s, in), 1);
  s.FileLoaded = 1;
  for (int factor : {1, 40}) {
    host.reports.clear();
    s.DecimationFactor = factor;
    ASSERT_EQ(WriteProcessedFile(s, dir / "out.bin"), 1);
    ASSERT_GT(host.reports.size(), 50u);
    for (size_t i = 1; i < host.reports.size(); ++i) ASSERT_GT(host.reports[i].first, host.reports[i - 1].first);
    EXPECT_EQ(host.reports.back().first, 1.0);
    for (const auto& report : host.reports) EXPECT_EQ(report.second, CursorShape::Wait);
    EXPECT_EQ(host.cursor, CursorShape::Arrow);
  }
  ShutdownAppState(s);
}

TEST_F(SaveTest, OutputThatIsTheInputUnderAnyNameIsRefused) {
  std::string in = WriteRecording(dir, "site.bin", SmallRecording(3));
  const std::vector<uint8_t> before = ReadBytes(in);
  ASSERT_EQ(symlink(in.c_str(), (dir / "soft.bin").c_str()), 0);
  ASSERT_EQ(link(in.c_str(), (dir / "hard.bin").c_str()), 0);
  for (const std::string& out : {in, dir / "soft.bin", dir / "hard.bin", dir.path() + "/./site.bin"}) {
    ASSERT_EQ(Open(in), 1);
    host.messages.clear();
    s.OutHeader.ChannelInvert[0] = 1;
    EXPECT_EQ(Save(out), 0);
    EXPECT_EQ(host.MessageTexts(),
              std::vector<std::string>{out + " is one of the files being read; nothing was written."});
    EXPECT_EQ(ReadBytes(in), before);
    EXPECT_TRUE(std::filesystem::exists(out));
  }
}

TEST(Sha256, MatchesTheStandardsExamples) {
  const std::string abc = "abc";
  EXPECT_EQ(Sha256(std::vector<uint8_t>(abc.begin(), abc.end())),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Sha256({}), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  const std::string two = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";  // two blocks of padding
  EXPECT_EQ(Sha256(std::vector<uint8_t>(two.begin(), two.end())),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

}  // namespace
