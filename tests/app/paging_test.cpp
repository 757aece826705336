// Paging through a recording: pages that end early (point limit, channel
// set, time gap), the way back, the status of every page and the cut last
// record.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "app/commands.h"
#include "app/open_file.h"
#include "tests/app/window_fixture.h"

namespace {

class PagingTest : public WindowTest {
 protected:
  static std::vector<char> Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  /// The records of the files one after another, each with its own header, as concat joins them.
  std::string Join(const std::vector<std::string>& parts, const std::string& name) {
    std::ofstream out(dir / name, std::ios::binary);
    for (const auto& p : parts) {
      auto b = Bytes(p);
      out.write(b.data(), static_cast<std::streamsize>(b.size()));
    }
    return dir / name;
  }
  void OpenPath(const std::string& path, const std::string& recordsPerPlot) {
    host.AnswerOpen(path, recordsPerPlot);
    ASSERT_EQ(CmdOpenFile(s), 1);
  }
  /// First and last record shown (1-based), as the status bar counts them.
  std::pair<int, int> Shown() const { return {s.CurrentRecord + 1, s.CurrentRecord + s.PageRecords}; }
  using Range = std::pair<int, int>;
};

// Also the loader's first page: it stops before the ten-millionth point.
TEST_F(PagingTest, APageCutByThePointLimitIsFollowedByItsNextRecord) {
  // 2100 one-channel records of 5120 samples: 1953 of them make 9,999,360 points.
  SynthOptions o = SmallRecording(2100, "Hx");
  o.samplesPerRecord = 5120;
  OpenPath(Write(o, "long.bin"), "2000");
  EXPECT_EQ(Shown(), Range(1, 1953));
  EXPECT_EQ(s.NumPlotPoints, 1953 * 5120);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "Plot points exceed 10000000, plot truncated");
  EXPECT_EQ(host.status[1], "Rec 1");
  EXPECT_EQ(s.EndOfFile, 0);
  // The file is left at the first record not loaded.
  EXPECT_EQ(std::ftell(s.DataFile), 1953L * (1024 + 5120 * 3));

  CmdStepForward(s);
  EXPECT_EQ(Shown(), Range(1954, 2100));
  EXPECT_EQ(s.NumPlotPoints, 147 * 5120);
  EXPECT_DOUBLE_EQ(s.PlotStartTime, 1953 * 5.12);
  EXPECT_EQ(host.status[1], "Rec 1954");  // the last page says its record too
  const double lastSample = s.xplotdata[static_cast<size_t>(s.NumPlotPoints - 1)];
  EXPECT_NEAR(lastSample, 2100 * 5.12 - 0.001, 1e-6);

  CmdStepBack(s);
  EXPECT_EQ(Shown(), Range(1, 1953));
  EXPECT_EQ(s.NumPlotPoints, 1953 * 5120);
  EXPECT_EQ(host.status[1], "Rec 1");

  CmdStepForward(s);
  CmdStepForward(s);
  EXPECT_EQ(Shown(), Range(1954, 2100));
  EXPECT_EQ(host.status[1], "EOF");
}

TEST_F(PagingTest, APageNeverSpansATimeGap) {
  // 100 records of 2.56 s from 13:45:10, then 100 more from 14:49:25.9: the
  // second part starts 3599.9 s after the first one ends.
  SynthOptions a = SmallRecording(100, "Hx,Hy");
  SynthOptions b = a;
  b.start = RecordTime{2026, 12, 7, 14, 49, 25.9};
  b.seed = 2;
  const std::string joined = Join({Write(a, "a.bin"), Write(b, "b.bin")}, "joined.bin");

  OpenPath(joined, "40");
  CmdStepForward(s);
  EXPECT_EQ(host.status[0], "joined.bin");
  CmdStepForward(s);
  EXPECT_EQ(Shown(), Range(81, 100));
  EXPECT_EQ(host.status[0], "Time gap of 3599.9 s before record 101: page ends");
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(host.status[1], "Rec 81");

  CmdStepForward(s);
  EXPECT_EQ(Shown(), Range(101, 140));
  EXPECT_EQ(host.status[0], "joined.bin");
  // The clock axis of the page after the gap is the recorder's.
  EXPECT_NEAR(s.PlotStartTime, 3855.9, 1e-4);
  EXPECT_NEAR(s.xplotdata[0], 3855.9, 1e-4);
  EXPECT_EQ(host.status[3], "14:49:25.900");

  CmdStepBack(s);
  EXPECT_EQ(Shown(), Range(81, 100));
  EXPECT_DOUBLE_EQ(s.PlotStartTime, 80 * 2.56);

  // A first page that reaches the gap ends before it too.
  OpenPath(joined, "150");
  EXPECT_EQ(Shown(), Range(1, 100));
  EXPECT_EQ(host.status[0], "Time gap of 3599.9 s before record 101: page ends");
  CmdStepForward(s);
  EXPECT_EQ(Shown(), Range(101, 200));
  EXPECT_EQ(host.status[1], "Rec 101");
  CmdStepForward(s);
  EXPECT_EQ(host.status[1], "EOF");
  EXPECT_EQ(Shown(), Range(101, 200));
}

TEST_F(PagingTest, BackFromAPageReachedWithoutPagingFollowsTheLayoutFromTheFirstRecord) {
  // Records 1-4 from 13:45:10, a restart, records 5-10: with three records a
  // page the pages are 1-3, 4, 5-7 and 8-10.
  SynthOptions a = SmallRecording(4, "Hx");
  SynthOptions b = SmallRecording(6, "Hx");
  b.start = RecordTime{2026, 12, 7, 15, 0, 0.0};
  const std::string joined = Join({Write(a, "a.bin"), Write(b, "b.bin")}, "restart.bin");
  OpenPath(joined, "3");
  ASSERT_EQ(LoadPageAt(s, 7), 3);  // as the command-line tool's --record 8 does
  CmdStepBack(s);
  EXPECT_EQ(Shown(), Range(5, 7));
  CmdStepBack(s);
  EXPECT_EQ(Shown(), Range(4, 4));
  CmdStepBack(s);
  EXPECT_EQ(Shown(), Range(1, 3));
  CmdStepBack(s);
  EXPECT_EQ(Shown(), Range(1, 3));

  // The page layout the back steps assume is the one forward steps make.
  const RecordIndex& index = OpenFileIndex(s);
  PageEnd end;
  EXPECT_EQ(PageLength(index, 3, 3, &end), 1);
  EXPECT_EQ(end.kind, PageEnd::TimeGap);
  EXPECT_EQ(end.next, 4);
  EXPECT_EQ(PreviousPageStart(index, 4, 3), 3);
  EXPECT_EQ(PreviousPageStart(index, 3, 3), 0);
  EXPECT_EQ(PreviousPageStart(index, 0, 3), -1);
}

TEST_F(PagingTest, AnotherChannelSetEndsThePage) {
  SynthOptions a = SmallRecording(3, "Hx,Hy");
  SynthOptions b = SmallRecording(3, "Hx,,Ex");
  b.start = RecordTime{2026, 12, 7, 13, 45, 17.68};  // right after the third record: no gap
  const std::string joined = Join({Write(a, "a.bin"), Write(b, "b.bin")}, "mixed.bin");
  OpenPath(joined, "5");
  EXPECT_EQ(Shown(), Range(1, 3));
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "Record 4 of mixed.bin has another channel set; the page ends before it.");
  CmdStepForward(s);
  EXPECT_EQ(Shown(), Range(4, 6));
  EXPECT_NEAR(s.PlotStartTime, 3 * 2.56, 1e-6);
  CmdStepBack(s);
  EXPECT_EQ(Shown(), Range(1, 3));
  EXPECT_EQ(host.messages.size(), 2u);
}

TEST_F(PagingTest, TheCutLastRecordIsSaidOnceWhenPagingMeetsIt) {
  const std::string path = Write(SmallRecording(3, "Hx"), "cut.bin");
  auto bytes = Bytes(path);
  bytes.resize(bytes.size() - 100);
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  OpenPath(path, "1");
  CmdStepForward(s);
  EXPECT_EQ(host.status[1], "Rec 2");
  EXPECT_TRUE(host.messages.empty());
  CmdStepForward(s);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "The last record of cut.bin is incomplete; it was ignored.");
  EXPECT_EQ(host.status[1], "EOF");
  EXPECT_EQ(Shown(), Range(2, 2));
  CmdStepForward(s);
  CmdStepBack(s);
  CmdStepForward(s);
  CmdStepForward(s);
  EXPECT_EQ(host.messages.size(), 1u);

  // A page that wants more records meets it at once.
  OpenPath(path, "2");
  CmdStepForward(s);
  EXPECT_EQ(host.status[1], "EOF");
  EXPECT_EQ(host.messages.size(), 2u);
  OpenPath(path, "3");
  EXPECT_EQ(host.messages.size(), 3u);
  EXPECT_EQ(host.status[1], "Rec 1");
}

TEST_F(PagingTest, FixedTimeLimitsMoveWithThePage) {
  Open(SmallRecording(10), "2");
  Paint();
  s.AutoscaleAll = 0;
  s.XMin = 1.0;
  s.XMax = 2.0;
  CmdStepForward(s);
  EXPECT_DOUBLE_EQ(s.XMin, 1.0 + 5.12);
  EXPECT_DOUBLE_EQ(s.XMax, 2.0 + 5.12);
  Paint();
  EXPECT_DOUBLE_EQ(s.XMin, 1.0 + 5.12);
  CmdStepBack(s);
  EXPECT_DOUBLE_EQ(s.XMin, 1.0);
  EXPECT_DOUBLE_EQ(s.XMax, 2.0);
  // Opening a file puts them on its first page.
  CmdStepForward(s);
  Open(SmallRecording(3), "1");
  EXPECT_DOUBLE_EQ(s.XMin, 1.0);
  EXPECT_DOUBLE_EQ(s.XMax, 2.0);
}

}  // namespace
