#include "datafile/sync.h"

#include <gtest/gtest.h>

#include <cstring>
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
  auto lateIn = ReadRecords(late), lateOut = ReadRecords(dir / "late_SYNC.bin");
  ASSERT_EQ(out.size(), 18u);
  ASSERT_EQ(lateOut.size(), 18u);
  for (size_t k = 0; k < out.size(); ++k) {
    // Rows 1500 … 2559 of input record k, then rows 0 … 1499 of record k + 1.
    for (int row = 0; row < 2560; ++row)
      for (int j = 0; j < 4; ++j) {
        int32_t expected = row < 1060 ? SampleAt(in[k], row + 1500, j) : SampleAt(in[k + 1], row - 1060, j);
        ASSERT_EQ(SampleAt(out[k], row, j), expected) << k << " " << row;
      }
    // Every record states the input time of its own first sample, the same in both copies.
    RecordTime first = in[k].h.StartTime;
    AddSeconds(first, 1.5);
    EXPECT_NEAR(SecondsBetween(first, out[k].h.StartTime), 0.0, 1e-6) << k;
    EXPECT_NEAR(SecondsBetween(lateOut[k].h.StartTime, out[k].h.StartTime), 0.0, 1e-6) << k;
    // Only the first-sample count differs from the input header the data begins in.
    for (int b = 0; b < kHeaderBytes; ++b) {
      if (b >= 112 && b < 120) continue;
      ASSERT_EQ(out[k].header[b], in[k].header[b]) << k << " " << b;
    }
    EXPECT_EQ(lateOut[k].block, lateIn[k].block);
    EXPECT_EQ(lateOut[k].header, lateIn[k].header);  // the latest start keeps its headers
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
  auto lateOut = ReadRecords(dir / "late_SYNC.bin");
  EXPECT_EQ(SampleAt(out[0], 0, 2), SampleAt(in[1], 440, 2));
  EXPECT_EQ(SampleAt(out[9], 2559, 3), SampleAt(in[11], 439, 3));
  for (size_t k = 0; k < out.size(); ++k) {
    RecordTime first = in[k + 1].h.StartTime;
    AddSeconds(first, 0.44);
    EXPECT_NEAR(SecondsBetween(first, out[k].h.StartTime), 0.0, 1e-6) << k;
    EXPECT_NEAR(SecondsBetween(lateOut[k].h.StartTime, out[k].h.StartTime), 0.0, 1e-6) << k;
  }
}

TEST_F(SyncTest, WholeRecordsSkippedKeepTheirHeadersByteForByte) {
  std::string early = WriteRecording(dir, "early.bin", Recording(12, 10.0, 1));
  std::string late = WriteRecording(dir, "late.bin", Recording(12, 15.12, 2));  // two records of 2.56 s
  const std::string digest = Sha256Of(early);
  SyncPlan plan;
  ASSERT_EQ(SynchronizeInto(s, {early, late}, nullptr, &plan), 2);
  EXPECT_EQ(plan.files[0].SamplesToStart, 5120);
  auto in = ReadRecords(early), out = ReadRecords(dir / "early_SYNC.bin");
  ASSERT_EQ(out.size(), 10u);
  for (size_t k = 0; k < out.size(); ++k) {
    EXPECT_EQ(out[k].header, in[k + 2].header);
    EXPECT_EQ(out[k].block, in[k + 2].block);
  }
  EXPECT_EQ(Sha256Of(early), digest);
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

TEST_F(SyncTest, FilesThatCannotTakePartAreLeftOutByNameWithTheReason) {
  std::string a = WriteRecording(dir, "a.bin", Recording(10, 10.0, 1));
  std::string b = WriteRecording(dir, "b.bin", Recording(10, 10.5, 2));
  std::string one = WriteRecording(dir, "one.bin", Recording(1, 10.0, 3));
  std::string empty = dir / "empty.bin";
  WriteBytes(empty, {});
  std::vector<uint8_t> bytes = ReadBytes(a);
  std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + kHeaderBytes + 4 * 2560 * 3 + 700);
  std::string partial = dir / "partial.bin";
  WriteBytes(partial, cut);
  std::string head = dir / "head.bin";
  WriteBytes(head, std::vector<uint8_t>(bytes.begin(), bytes.begin() + 900));
  // Records whose enable mask is clear carry no channel.
  std::vector<uint8_t> zero(bytes.begin(), bytes.begin() + 4 * kHeaderBytes);
  zero[291] = 0;
  std::string nochannel = dir / "nochannel.bin";
  WriteBytes(nochannel, zero);
  // A GPS time that was never set names no instant.
  std::vector<uint8_t> unset = bytes;
  for (size_t r = 0; r < 10; ++r) {
    const char text[] = "$T,000000.000,00,00,0000";
    std::memcpy(&unset[r * (kHeaderBytes + 4 * 2560 * 3) + 76], text, 24);
  }
  std::string nogps = dir / "nogps.bin";
  WriteBytes(nogps, unset);
  std::vector<std::string> inputs{empty, a, one, partial, head, nochannel, nogps, b};
  std::vector<std::string> digests;
  for (const std::string& p : inputs) digests.push_back(Sha256Of(p));

  host.openFilesAnswers.push_back(inputs);
  SynchronizeFiles(s);
  const char* const tail = "; it is left out of the synchronization.";
  EXPECT_EQ(host.MessageTexts(),
            (std::vector<std::string>{
                std::string("empty.bin is empty") + tail, std::string("one.bin holds only one complete record") + tail,
                std::string("partial.bin holds only one complete record") + tail,
                std::string("head.bin ends inside its first record") + tail,
                std::string("nochannel.bin has no enabled channel in its first record") + tail,
                std::string("nogps.bin has no usable start time (GPS time \"$T,000000.000,00,00,0000\", first-sample "
                            "count ") +
                    std::to_string(ReadRecords(a)[0].h.FirstSampleTicks) + ")" + tail,
                "2 Files Synchronized"}));
  EXPECT_EQ(ReadRecords(dir / "a_SYNC.bin").size(), 8u);
  EXPECT_EQ(ReadRecords(dir / "b_SYNC.bin").size(), 8u);
  for (const char* name : {"empty", "one", "partial", "head", "nochannel", "nogps"})
    EXPECT_FALSE(std::filesystem::exists(dir / (std::string(name) + "_SYNC.bin"))) << name;
  for (size_t i = 0; i < inputs.size(); ++i) EXPECT_EQ(Sha256Of(inputs[i]), digests[i]) << inputs[i];
  EXPECT_EQ(host.status[0], "Ready");
  bool processing = false;
  for (const auto& [part, text] : host.statusHistory) processing |= part == 0 && text == "processing b.bin";
  EXPECT_TRUE(processing);
}

TEST_F(SyncTest, DifferentRatesAreNamedFileByFile) {
  std::string a = WriteRecording(dir, "a.bin", Recording(4, 10.0, 1));
  std::string b = WriteRecording(dir, "b.bin", Recording(4, 10.0, 2, 4000));
  EXPECT_EQ(SynchronizeInto(s, {a, b}), -1);
  EXPECT_EQ(host.MessageTexts(),
            std::vector<std::string>{"Sampling frequencies must all be the same: b.bin is 4000 Hz, a.bin 1000 Hz"});

  std::string north = WriteRecording(dir, "north_002.bin", Recording(4, 10.0, 3, 250));
  std::string south = WriteRecording(dir, "south_001.bin", Recording(4, 10.0, 4));
  std::string slow = WriteRecording(dir, "slow.bin", Recording(4, 10.0, 5, 62));
  host.messages.clear();
  EXPECT_EQ(SynchronizeInto(s, {north, south, a}), -1);
  EXPECT_EQ(host.MessageTexts(), std::vector<std::string>{"Sampling frequencies must all be the same: north_002.bin "
                                                          "is 250 Hz, the others 1000 Hz"});
  host.messages.clear();
  EXPECT_EQ(SynchronizeInto(s, {north, south, a, slow}), -1);
  EXPECT_EQ(host.MessageTexts(), std::vector<std::string>{"Sampling frequencies must all be the same: north_002.bin "
                                                          "is 250 Hz, slow.bin is 62.5 Hz, the others 1000 Hz"});
  for (const char* name : {"a_SYNC.bin", "b_SYNC.bin", "north_002_SYNC.bin", "south_001_SYNC.bin"})
    EXPECT_FALSE(std::filesystem::exists(dir / name)) << name;
}

TEST_F(SyncTest, AnOutputThatIsAnInputWritesNothing) {
  std::string a = WriteRecording(dir, "a.bin", Recording(4, 10.0, 1));
  // a.bin's copy would be a_SYNC.bin, chosen as an input too.
  std::string c = WriteRecording(dir, "a_SYNC.bin", Recording(4, 10.0, 3));
  const std::string before = Sha256Of(c);
  EXPECT_EQ(SynchronizeInto(s, {c, a}), -1);
  EXPECT_EQ(host.MessageTexts(), std::vector<std::string>{c + " is one of the files being read; nothing was written."});
  EXPECT_EQ(Sha256Of(c), before);
  EXPECT_FALSE(std::filesystem::exists(dir / "a_SYNC_SYNC.bin"));
}

// The recording open in the window is never overwritten, even when it is not
// one of the files being synchronized.
TEST_F(SyncTest, TheOpenRecordingIsNeverOneOfTheCopies) {
  std::string a = WriteRecording(dir, "a.bin", Recording(4, 10.0, 1));
  std::string b = WriteRecording(dir, "b.bin", Recording(4, 10.0, 2));
  std::string open = WriteRecording(dir, "a_SYNC.bin", Recording(4, 10.0, 3));
  ASSERT_EQ(Open(open), 1);
  const std::string before = Sha256Of(open);
  EXPECT_EQ(SynchronizeInto(s, {a, b}), -1);
  ASSERT_EQ(host.MessageTexts().size(), 1u);
  EXPECT_EQ(Sha256Of(open), before);
  EXPECT_FALSE(std::filesystem::exists(dir / "b_SYNC.bin"));
}

TEST_F(SyncTest, StartsThatDoNotFitACountAreRefusedByName) {
  // Years apart at a rate whose sample count of the gap would not fit 64 bits.
  SynthOptions o = Recording(4, 10.0, 1);
  std::string a = WriteRecording(dir, "a.bin", o);
  o.start.year = 9000;
  std::string b = WriteRecording(dir, "b.bin", o);
  for (const std::string& path : {a, b}) {
    std::vector<uint8_t> bytes = ReadBytes(path);
    for (size_t r = 0; r < 4; ++r) {
      uint8_t* header = &bytes[r * (kHeaderBytes + 4 * 2560 * 3)];
      header[108] = 0xEE, header[109] = 0x6B, header[110] = 0x28, header[111] = 0x00;  // 4,000,000,000 Hz
      // Records of 0.64 µs: every record starts with the first.
      std::memcpy(header + 76, &bytes[76], 24);
      std::memcpy(header + 112, &bytes[112], 8);
    }
    WriteBytes(path, bytes);
  }
  EXPECT_EQ(SynchronizeInto(s, {a, b}), -1);
  ASSERT_EQ(host.MessageTexts().size(), 1u);
  EXPECT_TRUE(host.MessageTexts()[0].starts_with("a.bin starts 2.20")) << host.MessageTexts()[0];
  EXPECT_TRUE(
      host.MessageTexts()[0].ends_with(" s before b.bin, too far to count in samples; nothing was "
                                       "synchronized."))
      << host.MessageTexts()[0];
  EXPECT_FALSE(std::filesystem::exists(dir / "a_SYNC.bin"));
}

TEST_F(SyncTest, ACutInsideRecordsNeedsAClockToStateTheirStart) {
  std::string early = WriteRecording(dir, "early.bin", Recording(6, 10.0, 1));
  std::string late = WriteRecording(dir, "late.bin", Recording(6, 11.5, 2));
  // Without a sync clock the start is the GPS time's alone: written to the
  // millisecond so the records still follow on.
  std::vector<uint8_t> bytes = ReadBytes(early);
  for (size_t r = 0; r < 6; ++r) {
    uint8_t* header = &bytes[r * (kHeaderBytes + 4 * 2560 * 3)];
    char gps[32];
    std::snprintf(gps, sizeof gps, "$T,1345%06.3f,07,12,2026", 10.0 + 2.56 * static_cast<double>(r) + 0.038 - 1.0);
    std::memcpy(header + 76, gps, 24);
    std::memcpy(header + 100, "none    ", 8);
  }
  WriteBytes(early, bytes);
  EXPECT_EQ(SynchronizeInto(s, {early, late}), -1);
  EXPECT_EQ(host.MessageTexts(),
            std::vector<std::string>{"early.bin has a record whose GPS sync clock or first-sample count cannot state "
                                     "the start of its synchronized copy; nothing was synchronized."});
  EXPECT_FALSE(std::filesystem::exists(dir / "early_SYNC.bin"));
  EXPECT_FALSE(std::filesystem::exists(dir / "late_SYNC.bin"));
}

TEST_F(SyncTest, WriteErrorRemovesTheFailedCopyAndSaysWhatBecameOfTheOthers) {
  std::string a = WriteRecording(dir, "a.bin", Recording(4, 10.0, 1));
  std::string b = WriteRecording(dir, "b.bin", Recording(4, 10.0, 2));
  const std::string digestA = Sha256Of(a), digestB = Sha256Of(b);
  for (uint64_t room : {uint64_t{kHeaderBytes + 5000}, uint64_t{4 * (kHeaderBytes + 4 * 2560 * 3) + 5000}}) {
    const bool second = room > 10000;
    std::filesystem::remove(dir / "a_SYNC.bin");
    host.messages.clear();
    FullDiskFileSystem full(room);
    s.WriteSystem = &full;
    WriteReport report;
    EXPECT_EQ(SynchronizeInto(s, {a, b}, &report), -1);
    const std::string failed = dir / (second ? "b_SYNC.bin" : "a_SYNC.bin");
    EXPECT_EQ(host.MessageTexts(),
              std::vector<std::string>{"SaveData Write error 28 (No space left on device) writing " + failed +
                                       "; the incomplete file was removed. " +
                                       (second ? "a_SYNC.bin is complete." : "b_SYNC.bin not written.")});
    EXPECT_EQ(report.failedPath, failed);
    EXPECT_EQ(report.outputs, second ? std::vector<std::string>{dir / "a_SYNC.bin"} : std::vector<std::string>{});
    EXPECT_EQ(std::filesystem::exists(dir / "a_SYNC.bin"), second);
    EXPECT_FALSE(std::filesystem::exists(dir / "b_SYNC.bin"));
    EXPECT_EQ(Sha256Of(a), digestA);
    EXPECT_EQ(Sha256Of(b), digestB);
  }
}

TEST_F(SyncTest, AGapInARecordingEndsItsSynchronizedPart) {
  // Six records, then six more that start 10 s after the first six end.
  std::string first = WriteRecording(dir, "first.bin", Recording(6, 10.0, 1));
  SynthOptions later = Recording(6, 0.0, 1);
  later.start.second = 10.0 + 6 * 2.56 + 10.0;
  std::string second = WriteRecording(dir, "second.bin", later);
  std::vector<uint8_t> joined = ReadBytes(first), tail = ReadBytes(second);
  joined.insert(joined.end(), tail.begin(), tail.end());
  std::string gap = dir / "gap.bin";
  WriteBytes(gap, joined);
  std::string other = WriteRecording(dir, "other.bin", Recording(12, 10.5, 2));
  SyncPlan plan;
  ASSERT_EQ(SynchronizeInto(s, {gap, other}, nullptr, &plan), 2);
  EXPECT_EQ(host.MessageTexts(),
            std::vector<std::string>{"gap.bin: record 7 does not start where record 6 ends (+10 s); only the records "
                                     "before it are synchronized."});
  EXPECT_EQ(plan.files[0].records, 6);
  EXPECT_EQ(ReadRecords(dir / "gap_SYNC.bin").size(), 4u);  // (6 · 2560 − 500) down to 10240 samples
}

TEST_F(SyncTest, PosixSecondsCountFromTheEpoch) {
  EXPECT_EQ(PosixSeconds(1970, 1, 1, 0, 0, 0), 0);
  EXPECT_EQ(PosixSeconds(2000, 3, 1, 0, 0, 0), 951868800);
  EXPECT_EQ(PosixSeconds(2026, 12, 31, 23, 59, 59) + 1, PosixSeconds(2027, 1, 1, 0, 0, 0));
}

}  // namespace
