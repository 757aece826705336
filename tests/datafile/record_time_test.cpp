#include "datafile/record_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

RecordTime At(int y, int mo, int d, int h, int mi, double s) { return RecordTime{y, mo, d, h, mi, s}; }

void ExpectAt(const RecordTime& t, int y, int mo, int d, int h, int mi, double s) {
  EXPECT_EQ(t.year, y);
  EXPECT_EQ(t.month, mo);
  EXPECT_EQ(t.day, d);
  EXPECT_EQ(t.hour, h);
  EXPECT_EQ(t.minute, mi);
  EXPECT_NEAR(t.second, s, 1e-9);
}

TEST(AddSeconds, CarriesIntoMinutesHoursDaysMonthsAndYears) {
  RecordTime t = At(2026, 12, 31, 23, 59, 59.5);
  AddSeconds(t, 1.0);
  ExpectAt(t, 2027, 1, 1, 0, 0, 0.5);
  t = At(2026, 1, 31, 12, 0, 0);
  AddSeconds(t, 86400.0 * 2);
  ExpectAt(t, 2026, 2, 2, 12, 0, 0);
  t = At(2026, 3, 1, 0, 0, 0);
  AddSeconds(t, 3 * 3600 + 61.25);
  ExpectAt(t, 2026, 3, 1, 3, 1, 1.25);
}

TEST(AddSeconds, FebruaryHas29DaysInYearsDivisibleByFour) {
  RecordTime t = At(2024, 2, 28, 23, 59, 59);
  AddSeconds(t, 1);
  ExpectAt(t, 2024, 2, 29, 0, 0, 0);
  t = At(2026, 2, 28, 23, 59, 59);
  AddSeconds(t, 1);
  ExpectAt(t, 2026, 3, 1, 0, 0, 0);
}

TEST(AddSeconds, NegativeSecondsBorrow) {
  RecordTime t = At(2027, 1, 1, 0, 0, 0.25);
  AddSeconds(t, -1.0);
  ExpectAt(t, 2026, 12, 31, 23, 59, 59.25);
  t = At(2024, 3, 1, 0, 0, 0);
  AddSeconds(t, -36000);
  ExpectAt(t, 2024, 2, 29, 14, 0, 0);
  t = At(2026, 5, 10, 10, 30, 0);
  AddSeconds(t, 36000);
  AddSeconds(t, -36000);
  ExpectAt(t, 2026, 5, 10, 10, 30, 0);
}

TEST(AddSeconds, TakesTheSameTimeForAnyFiniteOffset) {
  // Centuries away, in one step (the month-by-month walk took hours for 1e32).
  RecordTime t = At(2026, 1, 1, 0, 0, 0);
  EXPECT_TRUE(AddSeconds(t, 1461.0 * 86400 * 75));  // 300 years of four-year cycles
  ExpectAt(t, 2326, 1, 1, 0, 0, 0);
  EXPECT_TRUE(AddSeconds(t, -1461.0 * 86400 * 75 - 0.5));
  ExpectAt(t, 2025, 12, 31, 23, 59, 59.5);
  t = At(2026, 5, 10, 10, 30, 0);
  EXPECT_TRUE(AddSeconds(t, 1e9));
  EXPECT_TRUE(AddSeconds(t, -1e9));
  ExpectAt(t, 2026, 5, 10, 10, 30, 0);
}

TEST(AddSeconds, RefusesNonFiniteAndAbsurdOffsets) {
  for (double s : {1e32, -1e32, 1e300, kMaxAddSeconds * 1.01, std::numeric_limits<double>::infinity(),
                   -std::numeric_limits<double>::infinity(), std::nan("")}) {
    RecordTime t = At(2026, 7, 4, 12, 0, 1.5);
    EXPECT_FALSE(AddSeconds(t, s)) << s;
    ExpectAt(t, 2026, 7, 4, 12, 0, 1.5);
  }
  RecordTime t = At(2026, 7, 4, 12, 0, 1e300);  // seconds text that read as 1e300
  EXPECT_FALSE(AddSeconds(t, 1.0));
}

TEST(TimeTexts, DateAndTimeFormats) {
  RecordTime t = At(2026, 12, 7, 3, 4, 5.25);
  EXPECT_EQ(FormatDate(t), "12/07/2026");
  EXPECT_EQ(FormatTime(t), "03:04:05.250");
  // Rounding to the millisecond carries into the minute, hour and date.
  RecordTime late = At(2026, 12, 31, 23, 59, 59.9996);
  EXPECT_EQ(FormatTime(late), "00:00:00.000");
  EXPECT_EQ(FormatDate(late), "01/01/2027");
  EXPECT_EQ(FormatTime(At(2026, 12, 7, 13, 45, 59.9994)), "13:45:59.999");
  ExpectAt(RoundedTime(At(2026, 2, 28, 23, 59, 59.96), 1), 2026, 3, 1, 0, 0, 0);
  EXPECT_DOUBLE_EQ(SecondsBetween(At(2026, 12, 31, 23, 0, 0), At(2027, 1, 1, 1, 0, 0.5)), 7200.5);
}

}  // namespace
