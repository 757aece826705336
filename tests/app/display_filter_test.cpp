// The display filter: the filter switched off gives back the scaled raw
// samples exactly; priming from yplotdata_prev; the histories carried from one
// paint to the next.

#include "app/display_filter.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/state.h"
#include "spectral/lowpass.h"

namespace {

// A state with one channel of raw counts ready for the display path.
AppState DisplayState(int n) {
  AppState s;
  for (int ch = 0; ch < kChannels; ++ch) {
    s.yplotdata[ch].assign(static_cast<size_t>(n), 0.0);
    s.yplotdata_orig[ch].assign(static_cast<size_t>(n), 0.0);
    s.yplotdata_prev[ch].assign(kHistoryPoints, 0.0);
  }
  for (int i = 0; i < n; ++i) s.yplotdata_orig[2][static_cast<size_t>(i)] = (i * 7919) % 2001 - 1000;
  s.NumPlotPoints = n;
  return s;
}

TEST(ScaleChannelForDisplay, WithoutTheFilterGivesTheScaledRawSamplesExactly) {
  AppState s = DisplayState(5120);
  const double factor = 0.000596046447753906;
  s.FilterOn = 1;
  ScaleChannelForDisplay(s, 2, factor);
  s.FilterOn = 0;
  ScaleChannelForDisplay(s, 2, factor);
  for (int i = 0; i < 5120; ++i)
    ASSERT_EQ(s.yplotdata[2][static_cast<size_t>(i)], s.yplotdata_orig[2][static_cast<size_t>(i)] * factor) << i;
  s.OutHeader.ChannelInvert[2] = 1;
  ScaleChannelForDisplay(s, 2, factor);
  for (int i = 0; i < 5120; ++i)
    ASSERT_EQ(s.yplotdata[2][static_cast<size_t>(i)], -(s.yplotdata_orig[2][static_cast<size_t>(i)] * factor)) << i;
}

TEST(ScaleChannelForDisplay, PrimesWithTheFirstCornerValuesOfThePreviousInputsThenFilters) {
  const int n = 1000;
  const double factor = 0.5;
  AppState s = DisplayState(n);
  s.FilterOn = 1;
  s.LowPassCorner = 2;  // 10 samples
  for (int i = 0; i < kHistoryPoints; ++i) s.yplotdata_prev[2][static_cast<size_t>(i)] = 100.0 + i;

  // The same steps by hand on a copy of the state.
  LowPassState ref = s.DisplayFilter;
  for (int i = 0; i < 10; ++i) LowPassStep(ref, 100.0 + i, 2, 2);
  std::vector<double> expected;
  for (int i = 0; i < n; ++i)
    expected.push_back(LowPassStep(ref, s.yplotdata_orig[2][static_cast<size_t>(i)] * factor, 2, 2));

  ScaleChannelForDisplay(s, 2, factor);
  for (int i = 0; i < n; ++i) ASSERT_EQ(s.yplotdata[2][static_cast<size_t>(i)], expected[static_cast<size_t>(i)]) << i;
  // The last 199 inputs are kept at the start of yplotdata_prev for the next paint.
  for (int k = 0; k < 199; ++k)
    ASSERT_EQ(s.yplotdata_prev[2][static_cast<size_t>(k)],
              s.yplotdata_orig[2][static_cast<size_t>(n - 199 + k)] * factor);
  EXPECT_EQ(s.yplotdata_prev[2][199], 100.0 + 199);  // entry 199 is not rewritten
  // Other channels are untouched.
  EXPECT_EQ(s.DisplayFilter.xv[1][8], 0.0);
}

TEST(ScaleChannelForDisplay, ARepaintStartsFromTheStateThePreviousPassLeft) {
  AppState s = DisplayState(600);
  s.FilterOn = 1;
  s.LowPassCorner = 5;
  ScaleChannelForDisplay(s, 2, 1.0);
  PageRow first = s.yplotdata[2];
  ScaleChannelForDisplay(s, 2, 1.0);
  EXPECT_NE(first, s.yplotdata[2]);  // the histories carry over between paints
}

TEST(ScaleChannelForDisplay, ShortPlotsKeepAllTheirInputsInsideTheHistory) {
  AppState s = DisplayState(50);
  s.FilterOn = 1;
  s.LowPassCorner = 6;  // primes with 200 values
  ScaleChannelForDisplay(s, 2, 2.0);
  for (int i = 0; i < 50; ++i)
    EXPECT_EQ(s.yplotdata_prev[2][static_cast<size_t>(149 + i)], s.yplotdata_orig[2][static_cast<size_t>(i)] * 2.0);
}

}  // namespace
