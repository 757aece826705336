#include "datafile/header.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

TEST(SampleCoding, DecodesTwosComplementBigEndian) {
  const uint8_t minusOne[3] = {0xFF, 0xFF, 0xFF};
  const uint8_t most[3] = {0x7F, 0xFF, 0xFF};
  const uint8_t least[3] = {0x80, 0x00, 0x00};
  const uint8_t mixed[3] = {0x01, 0x02, 0x03};
  EXPECT_EQ(DecodeSample(minusOne), -1);
  EXPECT_EQ(DecodeSample(most), 8388607);
  EXPECT_EQ(DecodeSample(least), -8388608);
  EXPECT_EQ(DecodeSample(mixed), 0x010203);
}

TEST(SampleCoding, EncodesFloorAndSaturates) {
  auto enc = [](double x) {
    uint8_t b[3];
    EncodeSample(x, b);
    return std::vector<int>{b[0], b[1], b[2]};
  };
  EXPECT_EQ(enc(-1.7), (std::vector<int>{0xFF, 0xFF, 0xFE}));
  EXPECT_EQ(enc(1.7), (std::vector<int>{0x00, 0x00, 0x01}));
  EXPECT_EQ(enc(-8388608.0), (std::vector<int>{0x80, 0x00, 0x00}));
  // Inverting the most negative count must not wrap back to it.
  EXPECT_EQ(enc(8388608.0), (std::vector<int>{0x7F, 0xFF, 0xFF}));
  EXPECT_EQ(enc(1e12), (std::vector<int>{0x7F, 0xFF, 0xFF}));
  EXPECT_EQ(enc(-1e12), (std::vector<int>{0x80, 0x00, 0x00}));
  for (int v : {-8388608, -65536, -1, 0, 1, 255, 8388607}) {
    uint8_t b[3];
    EncodeSample(v, b);
    EXPECT_EQ(DecodeSample(b), v);
  }
}

TEST(Gains, ProductOfMuxAndSelFactors) {
  RecorderHeader h;
  const int mux[4] = {40, 1, 8, 1};
  const int sel[4] = {1, 4, 16, 64};
  for (int m = 0; m < 4; ++m)
    for (int s = 0; s < 4; ++s) {
      h.GainMUX[0] = m;
      h.GainSEL[0] = s;
      ComputeGains(h);
      EXPECT_EQ(h.ChannelGain[0], mux[m] * sel[s]) << m << "," << s;
    }
}

TEST(BlockLayout, FpgaVersionChoosesRecordLength) {
  RecorderHeader h;
  for (int k = 0; k < 4; ++k) h.ChannelEnabled[k] = 1;
  h.VersionBytes[3] = 0x49;
  EXPECT_EQ(SampsPerBlockOf(h), 2560);
  EXPECT_EQ(BlockBytes(h), 30720u);
  h.VersionBytes[3] = 0x4A;
  EXPECT_EQ(SampsPerBlockOf(h), 5120);
  EXPECT_EQ(BlockBytes(h), 61440u);
  RecorderHeader none;
  EXPECT_EQ(BlockBytes(none), 0u);
}

TEST(RateCodes, SixtyTwoMeansSixtyTwoAndAHalf) {
  EXPECT_DOUBLE_EQ(RateHz(62), 62.5);
  EXPECT_DOUBLE_EQ(RateHz(250), 250.0);
  EXPECT_DOUBLE_EQ(RateHz(1000), 1000.0);
}

TEST(CodeTables, TextsForOutOfRangeCodes) {
  EXPECT_STREQ(SensorName(5), "LEMI-120");
  EXPECT_STREQ(SensorName(8), "Unknown sensor");
  EXPECT_STREQ(ChannelLabelName(3), "EX");
  EXPECT_STREQ(kGainMuxText[0], "1");
  EXPECT_EQ(kGainMuxFactor[0], 40);
}

}  // namespace
