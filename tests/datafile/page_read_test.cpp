#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "datafile/loader.h"
#include "tests/support/recordings.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr long kRecordBytes = 1024 + 4 * 2560 * 3;  // four channels

// Page arrays of capacity points per channel, filled with a marker value.
struct Arrays {
  std::vector<double> times;
  std::vector<std::vector<double>> counts;
  std::vector<uint8_t> scratch;
  PageBuffers out;
  explicit Arrays(size_t capacity) : times(capacity, -7.0), counts(kChannels, std::vector<double>(capacity, -7.0)) {
    out.times = times.data();
    for (int ch = 0; ch < kChannels; ++ch) out.counts[static_cast<size_t>(ch)] = counts[static_cast<size_t>(ch)].data();
    out.capacity = capacity;
    out.scratch = &scratch;
  }
};

struct File {
  std::FILE* f;
  explicit File(const std::string& path) : f(std::fopen(path.c_str(), "rb")) {}
  ~File() {
    if (f) std::fclose(f);
  }
};

PageRequest FromStart(int records) {
  PageRequest r;
  r.maxRecords = records;
  r.fileStartIsFirst = true;
  return r;
}

TEST(ReadPage, DecodesRecordsIntoTheArraysUpToTheLimit) {
  TempDir dir;
  const std::string path = WriteRecording(dir, "a.bin", SmallRecording(3));
  const auto bytes = ReadBytes(path);
  File file(path);
  Arrays a(3 * 2560);
  const PageRead page = ReadPage(file.f, FromStart(2), a.out);
  EXPECT_EQ(page.records, 2);
  EXPECT_EQ(page.points, 5120);
  EXPECT_EQ(page.stop, PageStop::Limit);
  EXPECT_FALSE(page.nothingAfter);
  EXPECT_EQ(std::ftell(file.f), 2 * kRecordBytes);  // at the next record
  ASSERT_TRUE(page.haveFirst);
  EXPECT_EQ(page.first.SampleRate, 1000u);
  EXPECT_EQ(a.counts[1][2561], DecodeSample(&bytes[static_cast<size_t>(kRecordBytes + 1024 + 12 + 3)]));
  EXPECT_EQ(a.counts[3][0], DecodeSample(&bytes[1024 + 9]));
  EXPECT_EQ(a.counts[5][100], 0.0);    // slot 5 is not enabled
  EXPECT_EQ(a.counts[0][5120], -7.0);  // nothing beyond the page
  EXPECT_DOUBLE_EQ(a.times[2560], 2.56);
}

TEST(ReadPage, StopsBeforeWhatCannotJoinThePageAndLeavesTheFileThere) {
  TempDir dir;
  const std::string path = WriteRecording(dir, "a.bin", SmallRecording(3));
  {
    // A record that does not fit the arrays.
    File file(path);
    Arrays a(2560 + 100);
    const PageRead page = ReadPage(file.f, FromStart(3), a.out);
    EXPECT_EQ(page.records, 1);
    EXPECT_EQ(page.stop, PageStop::NoSpace);
    EXPECT_EQ(std::ftell(file.f), kRecordBytes);
  }
  {
    // The end of the file, exactly after a record.
    File file(path);
    Arrays a(10 * 2560);
    const PageRead page = ReadPage(file.f, FromStart(10), a.out);
    EXPECT_EQ(page.records, 3);
    EXPECT_EQ(page.stop, PageStop::FileEnd);
    EXPECT_TRUE(page.nothingAfter);
  }
  // A record cut by the end of the file.
  auto bytes = ReadBytes(path);
  bytes.resize(static_cast<size_t>(2 * kRecordBytes + 1024 + 50));
  WriteBytes(path, bytes);
  {
    File file(path);
    Arrays a(10 * 2560);
    const PageRead page = ReadPage(file.f, FromStart(10), a.out);
    EXPECT_EQ(page.records, 2);
    EXPECT_EQ(page.stop, PageStop::Incomplete);
    EXPECT_EQ(std::ftell(file.f), 2 * kRecordBytes);
    EXPECT_FALSE(page.nothingAfter);
  }
}

TEST(ReadPage, EndsAtATimeGapAndSaysHowLong) {
  TempDir dir;
  SynthOptions later = SmallRecording(1);
  later.start.hour += 1;
  auto bytes = ReadBytes(WriteRecording(dir, "a.bin", SmallRecording(2)));
  const auto tail = ReadBytes(WriteRecording(dir, "b.bin", later));
  bytes.insert(bytes.end(), tail.begin(), tail.end());
  WriteBytes(dir / "gap.bin", bytes);
  File file(dir / "gap.bin");
  Arrays a(3 * 2560);
  const PageRead page = ReadPage(file.f, FromStart(3), a.out);
  EXPECT_EQ(page.records, 2);
  EXPECT_EQ(page.stop, PageStop::TimeGap);
  EXPECT_NEAR(page.gap, 3600 - 2 * 2.56, 1e-3);  // tick rounding
  EXPECT_EQ(std::ftell(file.f), 2 * kRecordBytes);
}

// Pages of megabytes are read in batches while earlier ones are decoded on
// both cores: every sample and time must land where a record-by-record read
// puts it, and a page break in a later batch must stop the page exactly there.
TEST(ReadPage, APageOfManyBatchesHoldsEverySampleAndStopsAtABreakInALaterOne) {
  TempDir dir;
  constexpr int kRecords = 320;
  constexpr long kBytes = 1024 + 3 * 2560 * 3;  // slots 0, 2 and 3 enabled
  SynthOptions later = SmallRecording(1, "Hx,,Ey,Ex");
  later.start.hour += 1;
  auto bytes = ReadBytes(WriteRecording(dir, "a.bin", SmallRecording(kRecords, "Hx,,Ey,Ex")));
  const auto tail = ReadBytes(WriteRecording(dir, "b.bin", later));
  bytes.insert(bytes.begin() + 300 * kBytes, tail.begin(), tail.end());  // a gap before record 301
  WriteBytes(dir / "gap.bin", bytes);

  for (int limit : {200, kRecords + 1}) {
    File file(dir / "gap.bin");
    Arrays a(static_cast<size_t>(kRecords + 1) * 2560);
    const PageRead page = ReadPage(file.f, FromStart(limit), a.out);
    const int records = std::min(limit, 300);
    ASSERT_EQ(page.records, records);
    EXPECT_EQ(page.points, records * 2560);
    EXPECT_EQ(page.stop, limit == 200 ? PageStop::Limit : PageStop::TimeGap);
    EXPECT_EQ(std::ftell(file.f), records * kBytes);
    const int slot[3] = {0, 2, 3};
    bool same = true;
    for (int r = 0; r < records; ++r)
      for (int i = 0; i < 2560; ++i) {
        const size_t p = static_cast<size_t>(r) * 2560 + static_cast<size_t>(i);
        const uint8_t* row = &bytes[static_cast<size_t>(r * kBytes + 1024 + i * 9)];
        for (int k = 0; k < 3; ++k)
          same = same && a.counts[static_cast<size_t>(slot[k])][p] == DecodeSample(row + 3 * k);
        same = same && a.counts[1][p] == 0.0 && a.counts[4][p] == 0.0 && a.counts[5][p] == 0.0;
        same = same && a.times[p] == static_cast<int>(p) / 1000.0;
      }
    EXPECT_TRUE(same) << limit;
    EXPECT_EQ(a.counts[0][static_cast<size_t>(records) * 2560], -7.0);  // nothing beyond the page
    EXPECT_EQ(a.times[static_cast<size_t>(records) * 2560], -7.0);
  }
}

TEST(PagePointsBound, RecordsThePageAndTheFileCanHold) {
  TempDir dir;
  File file(WriteRecording(dir, "a.bin", SmallRecording(3)));
  EXPECT_EQ(PagePointsBound(file.f, 10), 3 * 2560);
  EXPECT_EQ(PagePointsBound(file.f, 2), 2 * 2560);
  EXPECT_EQ(std::ftell(file.f), 0);
  std::fseek(file.f, 3 * kRecordBytes, SEEK_SET);
  EXPECT_EQ(PagePointsBound(file.f, 10), 0);  // nothing left
}

}  // namespace
