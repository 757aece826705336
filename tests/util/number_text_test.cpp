// The fixed-precision formatter against snprintf, the reference, over random
// bit patterns, the range of power spectra, powers of ten and their
// neighbours, exact midpoints and the doubles either side of them, and the
// special values.
#include "util/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

std::string Printf(const char* format, double v) {
  char text[64];
  std::snprintf(text, sizeof text, format, v);
  return text;
}

std::string Ours(char* (*write)(char*, double), double v) {
  char text[kMaxNumberText + 8];
  std::memset(text, '#', sizeof text);
  char* end = write(text, v);
  EXPECT_LE(end - text, kMaxNumberText);
  return std::string(text, end);
}

// Each value, its negative and the doubles just either side.
std::vector<double> WithNeighbours(const std::vector<double>& values) {
  std::vector<double> all;
  for (double v : values)
    for (double w : {v, std::nextafter(v, 0.0), std::nextafter(v, HUGE_VAL)}) {
      all.push_back(w);
      all.push_back(-w);
    }
  return all;
}

std::vector<double> Cases() {
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<double> v = {0.0,
                           1.0,
                           0.5,
                           9.9999995,
                           9.99999995,
                           99999995.0,
                           999999995.0,
                           5.96046448e-05,
                           std::numeric_limits<double>::max(),
                           std::numeric_limits<double>::min(),
                           std::numeric_limits<double>::denorm_min(),
                           3 * std::numeric_limits<double>::denorm_min(),
                           1e-310,
                           inf,
                           std::numeric_limits<double>::quiet_NaN()};
  for (int e = -323; e <= 308; ++e) v.push_back(std::strtod(("1e" + std::to_string(e)).c_str(), nullptr));
  // Exact midpoints of the precisions: integers of 6, 8 and 10 digits ending
  // in 5, and dyadic fractions with 8 or 10 significant digits.
  std::mt19937_64 random(20261209);
  for (int i = 0; i < 2000; ++i) {
    v.push_back(static_cast<double>(10 * std::uniform_int_distribution<int64_t>(10000, 99999)(random) + 5));
    v.push_back(static_cast<double>(10 * std::uniform_int_distribution<int64_t>(1000000, 9999999)(random) + 5));
    v.push_back(static_cast<double>(10 * std::uniform_int_distribution<int64_t>(100000000, 999999999)(random) + 5));
    v.push_back(std::ldexp(static_cast<double>(2 * (random() % 1000000) + 1), -static_cast<int>(random() % 40)));
  }
  v.push_back(0.0029296875);     // 3/1024: 2.9296875, a midpoint of %.6e
  v.push_back(1.2345678125);     // a midpoint of %.9g
  v.push_back(0.0000999999999);  // rounds up across %.9g's switch to fixed notation
  // The frequencies of a page and the span of power spectra.
  for (int b = 0; b < 20000; ++b) v.push_back(b * (2 * 2.98023224e-05));
  for (int i = 0; i < 20000; ++i) v.push_back(std::pow(10.0, std::uniform_real_distribution<double>(-45, 15)(random)));
  // Any bit pattern: every exponent, subnormals, infinities and NaNs.
  for (int i = 0; i < 50000; ++i) {
    uint64_t bits = random();
    double d;
    std::memcpy(&d, &bits, sizeof d);
    v.push_back(d);
  }
  return WithNeighbours(v);
}

TEST(NumberText, EveryFormatIsPrintfsText) {
  const std::vector<double> cases = Cases();
  const struct {
    const char* format;
    char* (*write)(char*, double);
  } formats[] = {{"%.4e", WriteScientific4}, {"%.6e", WriteScientific6}, {"%.9g", WriteGeneral9}};
  for (const auto& f : formats) {
    int wrong = 0;
    for (double v : cases) {
      std::string want = Printf(f.format, v), got = Ours(f.write, v);
      if (got != want && ++wrong <= 20)
        ADD_FAILURE() << f.format << " of " << Printf("%.17g", v) << ": " << got << " not " << want;
    }
    EXPECT_EQ(wrong, 0) << f.format;
  }
}

TEST(NumberText, MidpointsRoundToEven) {
  EXPECT_EQ(Ours(WriteScientific6, 12345675.0), "1.234568e+07");
  EXPECT_EQ(Ours(WriteScientific6, 12345665.0), "1.234566e+07");
  EXPECT_EQ(Ours(WriteScientific6, 99999995.0), "1.000000e+08");
  EXPECT_EQ(Ours(WriteScientific4, 123455.0), "1.2346e+05");
  EXPECT_EQ(Ours(WriteScientific4, 123445.0), "1.2344e+05");
  EXPECT_EQ(Ours(WriteScientific4, 0.0), "0.0000e+00");
  EXPECT_EQ(Ours(WriteGeneral9, 1234567885.0), "1.23456788e+09");
  EXPECT_EQ(Ours(WriteGeneral9, 1234567895.0), "1.2345679e+09");
  EXPECT_EQ(Ours(WriteGeneral9, -0.0), "-0");
}

}  // namespace
