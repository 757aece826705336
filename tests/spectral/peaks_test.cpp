// DetectPeaks on hand-made series (spikes, deep and shallow minima, short
// series, the capacity) and FindPeaks over a page: the trend, the marks, the
// PeakData.txt lines and a file that cannot be written.

#include "spectral/peaks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "app/analysis.h"
#include "platform/headless/headless_platform.h"
#include "tests/app/window_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

struct Series {
  std::vector<double> x, y, trend;
  explicit Series(int n) : x(n), y(n, 0.0), trend(n, 0.0) {
    for (int i = 0; i < n; ++i) x[i] = 0.001 * i;
  }
  int Detect(double sigma, double cutoff, int capacity = kMaxPeaks) {
    px.assign(capacity, 0.0);
    py.assign(capacity, 0.0);
    return DetectPeaks(x.data(), y.data(), static_cast<int>(y.size()), trend.data(), px.data(), py.data(), capacity,
                       sigma, cutoff);
  }
  std::vector<double> px, py;
};

TEST(DetectPeaks, ASpikeIsOneMaximumWhenItExceedsTwiceTheNoise) {
  Series s(40);
  s.y[20] = 10;
  s.trend.assign(40, 1.5);
  ASSERT_EQ(s.Detect(0.5, 2.0), 1);
  EXPECT_EQ(s.px[0], s.x[20]);
  EXPECT_EQ(s.py[0], 11.5);          // the value with its trend
  EXPECT_EQ(s.Detect(6.0, 2.0), 0);  // 10 is not greater than 12
  EXPECT_EQ(s.Detect(5.0, 2.0), 0);  // nor than 10
}

TEST(DetectPeaks, ShortSeriesAndTheEdgesAreNotExamined) {
  for (int n = 0; n <= 6; ++n) {
    Series s(n);
    for (int i = 0; i < n; ++i) s.y[i] = i % 2 ? 5.0 : -5.0;
    EXPECT_EQ(s.Detect(0.0, 2.0), 0) << n;
  }
  Series s(7);
  s.y[3] = 4;
  EXPECT_EQ(s.Detect(0.5, 2.0), 1);  // the only position examined
  Series edges(12);
  edges.y[2] = 4;
  edges.y[8] = 4;  // n − 4 is the last position examined; 9 is beyond it
  edges.y[9] = 0;
  ASSERT_EQ(edges.Detect(0.5, 2.0), 1);
  EXPECT_EQ(edges.px[0], edges.x[8]);
}

TEST(DetectPeaks, ADeepMinimumHidesTheNextFiveSamples) {
  Series s(40);
  s.y[10] = -10;  // deeper than C·σ = 1
  s.y[15] = 10;   // 5 after: hidden
  s.y[22] = 10;   // found
  ASSERT_EQ(s.Detect(0.5, 2.0), 2);
  EXPECT_EQ(s.px[0], s.x[10]);
  EXPECT_EQ(s.py[0], -10);
  EXPECT_EQ(s.px[1], s.x[22]);

  Series t(40);
  t.y[10] = -10;
  t.y[16] = 10;  // 6 after: found
  EXPECT_EQ(t.Detect(0.5, 2.0), 2);

  // A minimum between 2σ and C·σ deep hides nothing; maxima never do.
  Series u(40);
  u.y[10] = -3;
  u.y[13] = 10;
  u.y[16] = -3;
  EXPECT_EQ(u.Detect(0.5, 10.0), 3);
}

TEST(DetectPeaks, KeepsTheFirstPeaksUpToTheCapacity) {
  Series s(20000);
  for (int i = 0; i < 20000; ++i) s.y[i] = i % 4 == 1 ? 1.0 : 0.0;  // a maximum every 4 samples
  const int count = s.Detect(0.1, 2.0);
  EXPECT_EQ(count, kMaxPeaks);
  EXPECT_EQ(s.px[0], s.x[5]);
  EXPECT_EQ(s.px[kMaxPeaks - 1], s.x[5 + 4 * (kMaxPeaks - 1)]);
  EXPECT_EQ(s.Detect(0.1, 2.0, 3), 3);
}

// A page set into the state by hand: channels 0 … 3 enabled, flat but for what a test puts in.
class FindPeaksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    s.host = &host;
    s.StartDir = dir.path() + "/";
    s.NumPlotPoints = n;
    s.xplotdata.resize(n);
    for (int i = 0; i < n; ++i) s.xplotdata[i] = 100.0 + 0.001 * i;
    for (int ch = 0; ch < kChannels; ++ch) s.yplotdata[ch].assign(n, 0.0);
    for (int ch = 0; ch < 4; ++ch) s.OutHeader.ChannelEnabled[ch] = 1;
    s.FitOrder = 1;
  }
  std::string PeakFile() {
    std::ifstream in(dir / "PeakData.txt");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  static constexpr int n = 1000;
  TempDir dir;
  HeadlessPlatform host;
  AppState s;
};

TEST_F(FindPeaksTest, WritesADirectionForEachPeakOfChannelTwoAboveChannelOne) {
  s.yplotdata[2][100] = 10;  // above channel 1: written
  s.yplotdata[3][100] = 5;
  s.yplotdata[2][300] = -8;  // a trough below channel 1: written
  s.yplotdata[3][300] = -2;
  s.yplotdata[2][500] = 10;  // under channel 1's 20 at the same time: left out
  s.yplotdata[1][500] = 20;
  for (int i = 0; i < n; ++i) s.yplotdata[0][i] = 0.002 * i;  // a pure trend: no peaks
  s.yplotdata[0][700] += 3;

  PeakSearchResult r = FindPeaks(s);
  EXPECT_EQ(r.err, 0);
  EXPECT_EQ(r.path, dir / "PeakData.txt");
  EXPECT_EQ(r.lines, 2);
  EXPECT_EQ(s.FitValid, 1);
  EXPECT_EQ(s.PeakCount[2], 3);
  ASSERT_EQ(s.PeakCount[0], 1);
  EXPECT_DOUBLE_EQ(s.PeakX[0][0], s.xplotdata[700]);
  EXPECT_NEAR(s.PeakY[0][0], 1.4 + 3, 0.02);  // the value as plotted, trend included
  EXPECT_EQ(s.PeakCount[4], 0);

  std::string text = PeakFile();
  double d1, m1, d2, m2;
  ASSERT_EQ(std::sscanf(text.c_str(), "%lf %lf\n%lf %lf\n", &d1, &m1, &d2, &m2), 4) << text;
  EXPECT_EQ(text.size(), 2 * 18u);  // "%8.3f %8.3f\n"
  const double kDeg = 180.0 / 3.141592653589793;
  EXPECT_NEAR(d1, std::atan2(5.0, 10.0) * kDeg + 126, 0.05);
  EXPECT_NEAR(m1, std::sqrt(125.0), 0.05);
  EXPECT_NEAR(d2, std::atan2(-2.0, -8.0) * kDeg + 126, 0.05);
  EXPECT_NEAR(m2, std::sqrt(68.0), 0.05);
}

TEST_F(FindPeaksTest, WithoutPeaksOfChannelTwoTheFileIsEmpty) {
  { std::ofstream(dir / "PeakData.txt") << "old contents\n"; }
  s.yplotdata[0][50] = 10;
  PeakSearchResult r = FindPeaks(s);
  EXPECT_EQ(r.lines, 0);
  EXPECT_EQ(s.PeakCount[0], 1);
  EXPECT_EQ(s.PeakCount[2], 0);
  EXPECT_EQ(PeakFile(), "");

  // Peaks of channel 2 but channel 3 switched off: no directions can be formed.
  s.yplotdata[2][50] = 10;
  s.OutHeader.ChannelEnabled[3] = 0;
  EXPECT_EQ(FindPeaks(s).lines, 0);
  EXPECT_EQ(s.PeakCount[2], 1);
  EXPECT_EQ(PeakFile(), "");
}

TEST_F(FindPeaksTest, AFileThatCannotBeWrittenKeepsTheMarksAndSaysSo) {
  s.StartDir = dir / "missing/";
  s.yplotdata[2][100] = 10;
  PeakSearchResult r = FindPeaks(s);
  EXPECT_NE(r.err, 0);
  EXPECT_EQ(s.PeakCount[2], 1);
  EXPECT_EQ(host.status[0], "Cannot create " + s.StartDir + "PeakData.txt: No such file or directory");
  EXPECT_TRUE(host.messages.empty());

  s.StartDir = dir.path() + "/";
  EXPECT_EQ(FindPeaks(s).err, 0);
  EXPECT_EQ(host.status[0], "Ready");
}

TEST_F(FindPeaksTest, AFitAlreadyValidIsReused) {
  for (int i = 0; i < n; ++i) s.yplotdata[2][i] = 7.0;
  s.yplotdata[2][400] = 17.0;
  s.FitValid = 1;
  for (int ch = 0; ch < kChannels; ++ch) s.ypoly[ch].assign(n, 2.0);  // as another step left it
  FindPeaks(s);
  ASSERT_EQ(s.PeakCount[2], 1);
  EXPECT_EQ(s.PeakY[2][0], 17.0);
  EXPECT_EQ(s.ypoly[2][0], 2.0);
  EXPECT_EQ(s.yplotdataFFT[2][0], 5.0);

  // A page shorter than the trend's arrays and pages without points are fine too.
  s.NumPlotPoints = 3;
  FindPeaks(s);
  EXPECT_EQ(s.PeakCount[2], 0);
  s.NumPlotPoints = 0;
  s.FitValid = 0;
  FindPeaks(s);
  EXPECT_EQ(s.FitValid, 0);
}

using PeakMarksTest = WindowTest;

TEST_F(PeakMarksTest, EveryFullRedrawSearchesAndMarksThePeaks) {
  Open(SmallRecording(1));
  s.FindPeaksOn = 1;
  Paint();
  int peaks = 0;
  for (int ch = 0; ch < kChannels; ++ch) peaks += s.PeakCount[ch];
  EXPECT_GT(s.PeakCount[0], 0);
  int marks = 0;
  for (const RecordedLine& l : image.lines)
    if (l.pen.color == kRed && l.pen.width == 2 * s.StandardLineWidth && l.x0 == l.x1 && l.y0 - l.y1 == 5) ++marks;
  EXPECT_EQ(marks, peaks);
  std::ifstream file(dir / "PeakData.txt");
  EXPECT_TRUE(file.good());
}

}  // namespace
