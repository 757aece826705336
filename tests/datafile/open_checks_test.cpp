// What opening a file checks before it changes anything, and the inputs that
// used to hang, crash or show garbage: files that are not recordings, a GPS
// time that does not parse, absurd "Records/Plot" values, records without an
// enabled channel, and memory that runs out while a page is read.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <fstream>

#include "app/commands.h"
#include "datafile/loader.h"
#include "datafile/record_io.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/recording_surface.h"
#include "plot/paint.h"
#include "tests/support/recordings.h"
#include "tests/support/started_state.h"

namespace {

class OpenChecksTest : public StartedStateTest {
 protected:
  int Open(const std::string& path, const std::string& recordsPerPlot = "1") {
    host.AnswerOpen(path, recordsPerPlot);
    return CmdOpenFile(s);
  }
  // A recording open on its second page, with a zoom, a cursor and markers.
  std::string OpenBusyRecording() {
    std::string path = WriteRecording(dir, "site.bin", SmallRecording(4));
    EXPECT_EQ(Open(path, "1"), 1);
    CmdStepForward(s);
    s.Zoomed = 1;
    s.CursorShown = 1;
    s.CursorIndex = 77;
    s.MarkerCount = 2;
    s.Markers[0] = 5;
    s.Markers[1] = 9;
    host.messages.clear();
    return path;
  }
  void ExpectStillShown(const std::string& path) {
    EXPECT_EQ(s.CurrentFilePath, path);
    EXPECT_EQ(s.FileLoaded, 1);
    EXPECT_EQ(s.CurrentRecord, 1);
    EXPECT_EQ(s.RecordsPerPlot, 1);
    EXPECT_EQ(s.NumPlotPoints, 2560);
    EXPECT_EQ(s.Zoomed, 1);
    EXPECT_EQ(s.CursorShown, 1);
    EXPECT_EQ(s.CursorIndex, 77);
    EXPECT_EQ(s.MarkerCount, 2);
    EXPECT_EQ(s.Markers[1], 9);
    ASSERT_NE(s.DataFile, nullptr);
    // The open file is still the one paged: the next step reads its third record.
    CmdStepForward(s);
    EXPECT_EQ(s.CurrentRecord, 2);
  }
  std::vector<uint8_t> FirstHeaderOf(const std::string& path) {
    auto bytes = ReadBytes(path);
    bytes.resize(kHeaderBytes);
    return bytes;
  }
};

TEST_F(OpenChecksTest, WhatIsNotARecordingIsRefusedAndTheOpenFileStays) {
  const std::string path = OpenBusyRecording();
  std::vector<uint8_t> noise(100000);
  uint32_t x = 99;
  for (auto& b : noise) b = static_cast<uint8_t>((x = x * 1664525u + 1013904223u) >> 24);
  noise[108] = noise[109] = noise[110] = 0;
  noise[111] = 213;
  WriteBytes(dir / "noise.bin", noise);
  WriteBytes(dir / "empty.bin", {});
  WriteBytes(dir / "short.bin", std::vector<uint8_t>(700, 0x41));
  WriteBytes(dir / "header.bin", FirstHeaderOf(path));  // a card that filled up after the header
  const std::pair<const char*, const char*> cases[] = {
      {"noise.bin", "noise.bin is not a recorder file (unknown sample rate code 213)"},
      {"empty.bin", "empty.bin is not a recorder file (it is empty)"},
      {"short.bin", "short.bin is not a recorder file (700 bytes, less than one record header)"},
      {"header.bin", "header.bin holds no complete record (the file ends inside its first record)"},
  };
  for (const auto& [name, message] : cases) {
    SCOPED_TRACE(name);
    host.messages.clear();
    EXPECT_EQ(Open(dir / name, "5"), 0);  // another "Records/Plot" typed with it
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, message);
    ExpectStillShown(path);
    CmdStepBack(s);
  }
}

TEST_F(OpenChecksTest, AMissingFileChangesNothing) {
  const std::string path = OpenBusyRecording();
  EXPECT_EQ(Open(dir / "missing.bin", "7"), 0);
  ExpectStillShown(path);
}

TEST_F(OpenChecksTest, UnreadableGpsTimeShowsTheDataWithoutADate) {
  SynthOptions o = SmallRecording(2);
  std::string path = WriteRecording(dir, "nogps.bin", o);
  auto bytes = ReadBytes(path);
  for (size_t r = 0; r < 2; ++r) std::memcpy(&bytes[r * (kHeaderBytes + 30720) + 76], "$T,GPS NOT LOCKED......", 23);
  WriteBytes(path, bytes);
  ASSERT_EQ(Open(path), 1);
  EXPECT_EQ(s.NumPlotPoints, 2560);
  EXPECT_EQ(s.PlotTimeKnown, 0);
  EXPECT_EQ(host.status[2], "");
  EXPECT_EQ(host.status[3], "");
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "The GPS time of nogps.bin cannot be read; dates and times are not shown.");
  CmdStepForward(s);
  EXPECT_EQ(host.status[2], "");
  // A readable one shows its date again.
  ASSERT_EQ(Open(WriteRecording(dir, "gps.bin", o)), 1);
  EXPECT_EQ(s.PlotTimeKnown, 1);
  EXPECT_NE(host.status[2], "");
}

TEST_F(OpenChecksTest, RecordsPerPlotNearTwoToTheThirtyFirstIsClamped) {
  std::string path = WriteRecording(dir, "two.bin", SmallRecording(2));
  for (const char* typed : {"2000000000", "2147483647", "99999999999999999999"}) {
    SCOPED_TRACE(typed);
    host.messages.clear();
    ASSERT_EQ(Open(path, typed), 1);
    EXPECT_EQ(s.RecordsPerPlot, kMaxRecordsPerPlot);
    EXPECT_EQ(s.NumPlotPoints, 2 * 2560);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text,
              std::string("Records/Plot ") + typed + " is more than a page can hold; 3906 records are shown per page.");
    CmdStepForward(s);  // CurrentRecord + RecordsPerPlot stays far from overflow
    CmdStepBack(s);
    EXPECT_EQ(s.CurrentRecord, 0);
  }
}

TEST_F(OpenChecksTest, AnEmptyPageIsDrawnAsAnEmptyFrameAtOnce) {
  ASSERT_EQ(Open(WriteRecording(dir, "site.bin", SmallRecording(1))), 1);
  s.NumPlotPoints = 0;  // what an empty or header-only file left before it was refused
  for (int fourier = 0; fourier < 2; ++fourier) {
    s.FourierOn = s.LogY = fourier;
    s.RedrawAll = 1;
    RecordingSurface surface(800, 600);
    PaintPlotWindow(s, surface);
    EXPECT_TRUE(std::isfinite(s.XMin) && std::isfinite(s.XMax) && s.XMin < s.XMax) << s.XMin << " " << s.XMax;
    EXPECT_LT(s.XMax - s.XMin, 1e6);
  }
}

// A recording followed by zero bytes (a sparse or zero-filled card image).
std::string RecordingWithZeroTail(const TempDir& dir, size_t zeros) {
  std::string path = WriteRecording(dir, "tail.bin", SmallRecording(3));
  auto bytes = ReadBytes(path);
  bytes.resize(bytes.size() + zeros, 0);
  WriteBytes(path, bytes);
  return path;
}

TEST_F(OpenChecksTest, ARecordWithoutAChannelEndsTheRecording) {
  std::string path = RecordingWithZeroTail(dir, 2u << 20);
  std::FILE* f = std::fopen(path.c_str(), "rb");
  RecordIndex index = ScanRecords(f);
  std::fclose(f);
  EXPECT_EQ(index.offsets.size(), 3u);  // not 2048 empty "records"
  EXPECT_TRUE(index.noChannel);
  EXPECT_EQ(index.totalSamples, 3u * 2560);

  ASSERT_EQ(Open(path, "10"), 1);
  EXPECT_EQ(s.NumPlotPoints, 3 * 2560);
  EXPECT_EQ(s.EndOfFile, 1);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "Record 4 of tail.bin has no enabled channel; the recording ends there.");

  // Paging one record at a time meets it once.
  host.messages.clear();
  ASSERT_EQ(Open(path, "1"), 1);
  for (int i = 0; i < 5; ++i) CmdStepForward(s);
  EXPECT_EQ(s.CurrentRecord, 2);
  EXPECT_EQ(host.messages.size(), 1u);
}

#if !defined(__SANITIZE_ADDRESS__)
// Reads the page in a child whose address space is limited, so that growing the
// page arrays fails part way; the child checks that every array kept one length
// and pages on without writing past one.
TEST_F(OpenChecksTest, FailedAllocationLeavesArraysOfOneLength) {
  // Consecutive records: copies of one record would all start at one time, and the page would end at that gap.
  WriteRecording(dir, "long.bin", SmallRecording(1200, "Hx"));
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(pages) * 4096 + (120u << 20);
    setrlimit(RLIMIT_AS, &limit);
    host.AnswerOpen(dir / "long.bin", "1200");
    const int opened = CmdOpenFile(s);
    bool same = true;
    for (int ch = 0; ch < kChannels; ++ch)
      same = same && s.yplotdata[ch].size() == s.xplotdata.size() && s.yplotdata_orig[ch].size() == s.xplotdata.size();
    const bool told =
        !host.messages.empty() && host.messages.back().text.rfind("Unable to allocate memory for ", 0) == 0;
    const bool fits = static_cast<size_t>(s.NumPlotPoints) <= s.xplotdata.size();
    CmdStepForward(s);
    CmdStepBack(s);
    _exit(opened == 1 && same && told && fits && s.NumPlotPoints < 1200 * 2560 ? 0 : 3);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status)) << "the child died of signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}
#endif

}  // namespace
