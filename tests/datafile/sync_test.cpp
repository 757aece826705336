#include "datafile/sync.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/datafile/writer_support.h"

namespace {

SynthOptions Recording(int records, double AcquireSeconds, uint64_t seed, uint32_t rate = 1000) {
  SynthOptions o = SmallRecording(records);
  o.start.second = AcquireSeconds;
  o.seed = seed;
  o.rateCode = rate;
  return o;
}

using SyncTest = WriterTest;

TEST_F(SyncTest, LaterStartIsReachedBySkippingSamplesAndReblocking) {
  std::string early = WriteRecording(dir, "early.bin", Recording(20, 10.0, 1));
  std::string late = WriteRecording(dir, "late.bin", Recording(20, 11.5, 2));
  SyncPlan plan;
  ASSERT_EQ(SynchronizeInto(s, {early, late}, nullptr, &plan), 2);
  ASSERT_EQ(plan.files.size(), 2u);
  EXPECT_EQ(plan.latest, 1);
  EXPECT_EQ(plan.files[0].SamplesToStart, 1500);
  EXPECT_EQ(plan.files[1].SamplesToStart, 0);
  EXPECT_EQ(plan.MinSamples, 46080);  // (51200 − 1500) down to a multiple of 5120
  EXPECT_NEAR(plan.clockRate, 32768000, 1);

  auto in = ReadRecords(early), out = ReadRecords(dir / "early_SYNC.bin");
  ASSERT_EQ(out.size(), 18u);
  // The first output record starts at the later file's start.
  EXPECT_NEAR(SecondsBetween(out[0].h.StartTime, ReadRecords(late)[0].h.StartTime), 0.0, 1e-6);
  for (size_t k = 0; k < out.size(); ++k) {
    // Rows 1500 … 2559 of input record k, then rows 0 … 1499 of record k + 1.
    for (int row = 0; row < 2560; row += 7)
      for (int j = 0; j < 4; ++j) {
        int32_t expected = row < 1060 ? SampleAt(in[k], row + 1500, j) : SampleAt(in[k + 1], row - 1060, j);
        ASSERT_EQ(SampleAt(out[k], row, j), expected) << k << " " << row;
      }
    if (k > 0) {
      EXPECT_EQ(out[k].header, in[k].header);  // later headers travel unchanged
    }
  }

  auto lateIn = ReadRecords(late), lateOut = ReadRecords(dir / "late_SYNC.bin");
  ASSERT_EQ(lateOut.size(), 18u);
  for (size_t k = 0; k < lateOut.size(); ++k) {
    EXPECT_EQ(lateOut[k].block, lateIn[k].block);
    EXPECT_EQ(lateOut[k].header, lateIn[k].header);  // the latest start keeps its tick count
  }
}

TEST_F(SyncTest, StartMoreThanARecordLaterSkipsWholeRecordsFirst) {
  std::string early = WriteRecording(dir, "early.bin", Recording(12, 10.0, 1));
  std::string late = WriteRecording(dir, "late.bin", Recording(12, 13.0, 2));
  SyncPlan plan;
  ASSERT_EQ(SynchronizeInto(s, {early, late}, nullptr, &plan), 2);
  EXPECT_EQ(plan.files[0].SamplesToStart, 3000);  // one record of 2560 and 440 samples
  auto in = ReadRecords(early), out = ReadRecords(dir / "early_SYNC.bin");
  ASSERT_EQ(out.size(), 10u);
  EXPECT_NEAR(SecondsBetween(out[0].h.StartTime, ReadRecords(late)[0].h.StartTime), 0.0, 1e-6);
  EXPECT_EQ(SampleAt(out[0], 0, 2), SampleAt(in[1], 440, 2));
  EXPECT_EQ(SampleAt(out[9], 2559, 3), SampleAt(in[11], 439, 3));
  EXPECT_EQ(out[1].header, in[2].header);
}

TEST_F(SyncTest, CommonLengthIsTheShortestFileInWholeMultiplesOf5120) {
  std::vector<std::string> paths;
  int records[] = {100, 90, 95};
  for (int i = 0; i < 3; ++i)
    paths.push_back(WriteRecording(dir, "f" + std::to_string(i) + ".bin", Recording(records[i], 10.0, i + 1)));
  SyncPlan plan;
  ASSERT_EQ(SynchronizeInto(s, paths, nullptr, &plan), 3);
  EXPECT_EQ(plan.MinSamples, 230400);
  for (int i = 0; i < 3; ++i) {
    auto out = ReadRecords(dir / ("f" + std::to_string(i) + "_SYNC.bin"));
    EXPECT_EQ(out.size(), 90u);
    EXPECT_EQ(out.back().block, ReadRecords(paths[static_cast<size_t>(i)])[89].block);
  }
}

TEST_F(SyncTest, ShortOrEmptyFilesAreLeftOutByName) {
  std::string a = WriteRecording(dir, "a.bin", Recording(10, 10.0, 1));
  std::string b = WriteRecording(dir, "b.bin", Recording(10, 10.5, 2));
  std::string one = WriteRecording(dir, "one.bin", Recording(1, 10.0, 3));
  std::string empty = dir / "empty.bin";
  WriteBytes(empty, {});
  std::vector<uint8_t> cut = ReadBytes(a);
  cut.resize(kHeaderBytes + 4 * 2560 * 3 + 700);
  std::string partial = dir / "partial.bin";
  WriteBytes(partial, cut);

  host.openFilesAnswers.push_back({empty, a, one, partial, b});
  SynchronizeFiles(s);
  for (const char* name : {"empty.bin", "one.bin", "partial.bin"})
    EXPECT_TRUE(Told(std::string(name) +
                     " is empty or ends inside its first two records; it is left out of the synchronization."))
        << name;
  EXPECT_TRUE(Told("2 Files Synchronized"));
  EXPECT_EQ(ReadRecords(dir / "a_SYNC.bin").size(), 8u);
  EXPECT_EQ(ReadRecords(dir / "b_SYNC.bin").size(), 8u);
  EXPECT_FALSE(std::filesystem::exists(dir / "one_SYNC.bin"));
  EXPECT_EQ(host.status[0], "Ready");
  bool processing = false;
  for (const auto& [part, text] : host.statusHistory) processing |= part == 0 && text == "processing b.bin";
  EXPECT_TRUE(processing);
}

TEST_F(SyncTest, DifferentRatesOrAnOutputThatIsAnInputWriteNothing) {
  std::string a = WriteRecording(dir, "a.bin", Recording(4, 10.0, 1));
  std::string b = WriteRecording(dir, "b.bin", Recording(4, 10.0, 2, 4000));
  EXPECT_EQ(SynchronizeInto(s, {a, b}), -1);
  EXPECT_TRUE(Told("Sampling frequencies must all be the same"));

  // a.bin's copy would be a_SYNC.bin, chosen as an input too.
  std::string c = WriteRecording(dir, "a_SYNC.bin", Recording(4, 10.0, 3));
  const std::vector<uint8_t> before = ReadBytes(c);
  host.messages.clear();
  EXPECT_EQ(SynchronizeInto(s, {c, a}), -1);
  EXPECT_EQ(host.MessageTexts(), std::vector<std::string>{c + " is one of the files being read; nothing was written."});
  EXPECT_EQ(ReadBytes(c), before);
  EXPECT_FALSE(std::filesystem::exists(dir / "a_SYNC_SYNC.bin"));
}

TEST_F(SyncTest, WriteErrorIsReportedAndEndsTheCommand) {
  std::string a = WriteRecording(dir, "a.bin", Recording(4, 10.0, 1));
  std::string b = WriteRecording(dir, "b.bin", Recording(4, 10.0, 2));
  FullDiskFileSystem full(kHeaderBytes + 5000);
  s.WriteSystem = &full;
  WriteReport report;
  EXPECT_EQ(SynchronizeInto(s, {a, b}, &report), -1);
  EXPECT_EQ(host.MessageTexts(), std::vector<std::string>{"SaveData Write error 28"});
  EXPECT_EQ(report.failedPath, dir / "a_SYNC.bin");
  EXPECT_FALSE(std::filesystem::exists(dir / "b_SYNC.bin"));
}

TEST_F(SyncTest, PosixSecondsCountFromTheEpoch) {
  EXPECT_EQ(PosixSeconds(1970, 1, 1, 0, 0, 0), 0);
  EXPECT_EQ(PosixSeconds(2000, 3, 1, 0, 0, 0), 951868800);
  EXPECT_EQ(PosixSeconds(2026, 12, 31, 23, 59, 59) + 1, PosixSeconds(2027, 1, 1, 0, 0, 0));
}

}  // namespace
