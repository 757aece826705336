#include "datafile/header.h"

#include <gtest/gtest.h>

#include <cmath>
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

namespace {

// A raw header with the start-time fields set.
std::vector<uint8_t> RawWithTime(const char* gpsTime, const char* clock, uint32_t rate, uint64_t ticks) {
  std::vector<uint8_t> raw(kHeaderBytes, 0);
  std::memcpy(raw.data() + 76, gpsTime, std::strlen(gpsTime));
  std::memcpy(raw.data() + 100, clock, std::strlen(clock));
  for (int i = 0; i < 4; ++i) raw[108 + i] = static_cast<uint8_t>(rate >> (24 - 8 * i));
  for (int i = 0; i < 8; ++i) raw[112 + i] = static_cast<uint8_t>(ticks >> (56 - 8 * i));
  return raw;
}

void ExpectTime(const RecordTime& t, int y, int mo, int d, int h, int mi, double s) {
  EXPECT_EQ(t.year, y);
  EXPECT_EQ(t.month, mo);
  EXPECT_EQ(t.day, d);
  EXPECT_EQ(t.hour, h);
  EXPECT_EQ(t.minute, mi);
  EXPECT_NEAR(t.second, s, 1e-6);
}

TEST(StartTime, GpsSecondPlusTicksLessFilterDelay) {
  // 1000 Hz: delay 38/1000 s; 16,384,000 ticks of a 32.768 MHz clock are 0.5 s.
  auto raw = RawWithTime("$T,134509.000,07,12,2026", "32.76800", 1000, 16384000);
  RecorderHeader h;
  DecodeHeader(raw.data(), h);
  ExpectTime(h.StartTime, 2026, 12, 7, 13, 45, 10.462);
  EXPECT_EQ(h.FirstSampleMicros, 462000u);
}

TEST(StartTime, RateSixtyTwoUsesSixtyTwoAndAHalfAndAQuarterClock) {
  // The clock is divided by 4: 8,192,000 ticks are 1 s. Delay 39/62.5 s.
  auto raw = RawWithTime("$T,000000.000,01,06,2026", "32.76800", 62, 8192000);
  RecorderHeader h;
  DecodeHeader(raw.data(), h);
  ExpectTime(h.StartTime, 2026, 6, 1, 0, 0, 2.0 - 39.0 / 62.5);
}

TEST(StartTime, CrossesNewYear) {
  auto raw = RawWithTime("$T,235959.000,31,12,2026", "32.76800", 1000, 3276800);  // 0.1 s
  RecorderHeader h;
  DecodeHeader(raw.data(), h);
  ExpectTime(h.StartTime, 2027, 1, 1, 0, 0, 0.062);
}

TEST(StartTime, TicksBelowTheDelayGiveAnEarlierTime) {
  auto raw = RawWithTime("$T,000000.000,01,01,2027", "32.76800", 1000, 0);
  RecorderHeader h;
  DecodeHeader(raw.data(), h);
  ExpectTime(h.StartTime, 2027, 1, 1, 0, 0, 0.962);
}

TEST(StartTime, ZeroSyncClockLeavesOutTheTickTerm) {
  auto raw = RawWithTime("$T,120000.000,15,03,2026", "", 1000, 123456789);
  RecorderHeader h;
  DecodeHeader(raw.data(), h);
  ExpectTime(h.StartTime, 2026, 3, 15, 12, 0, 0.962);
}

TEST(StartTime, NonNumericGpsTextParsesAsZero) {
  auto raw = RawWithTime("garbage garbage garbage!", "xyz", 1000, 5);
  RecorderHeader h;
  DecodeHeader(raw.data(), h);
  EXPECT_TRUE(std::isfinite(h.StartTime.second));
  EXPECT_EQ(h.StartTimeKnown, 0);
}

TEST(StartTime, AbsurdTextsAndTickCountsAreMarkedUnknownQuickly) {
  // Seconds texts that read as infinite, not a number or 1e300, and a tiny sync
  // clock with a huge tick count (centuries of ticks): each decodes at once,
  // with the start time marked unknown.
  const struct {
    const char* gps;
    const char* clock;
    uint64_t ticks;
  } cases[] = {
      {"$T,1345inf   ,07,12,2026", "32.76800", 0},
      {"$T,1345nan   ,07,12,2026", "32.76800", 0},
      {"$T,13451e300 ,07,12,2026", "32.76800", 0},
      {"$T,134509.000,07,12,2026", "0.000001", 0xFFFFFFFFFFFFFFFFull},
  };
  for (const auto& c : cases) {
    auto raw = RawWithTime(c.gps, c.clock, 1000, c.ticks);
    RecorderHeader h;
    DecodeHeader(raw.data(), h);
    EXPECT_EQ(h.StartTimeKnown, 0) << c.gps << " " << c.clock;
    EXPECT_LT(h.FirstSampleMicros, 1000000u);
  }
  auto raw = RawWithTime("$T,134509.000,07,12,2026", "32.76800", 1000, 16384000);
  RecorderHeader h;
  DecodeHeader(raw.data(), h);
  EXPECT_EQ(h.StartTimeKnown, 1);
}

TEST(RateCodes, RecorderRatesAndTheirDecimationsAreKnown) {
  for (uint32_t code : {62u, 250u, 1000u, 4000u, 25u, 12u, 5u, 100u, 50u, 20u, 1u})
    EXPECT_TRUE(KnownRateCode(code)) << code;
  for (uint32_t code : {0u, 213u, 999u, 1001u, 65536u, 0xFFFFFFFFu}) EXPECT_FALSE(KnownRateCode(code)) << code;
}

TEST(DaOffset, EveryCodeSurvivesDecodeAndEncode) {
  std::vector<uint8_t> raw(kHeaderBytes, 0);
  raw[291] = 0x01;
  for (int code = 0; code < 65536; ++code) {
    raw[292] = static_cast<uint8_t>(code >> 8);
    raw[293] = static_cast<uint8_t>(code);
    RecorderHeader h;
    DecodeHeader(raw.data(), h);
    std::vector<uint8_t> out(raw);
    EncodeHeader(out.data(), h, h);
    ASSERT_EQ(out[292] << 8 | out[293], code) << "offset " << h.DAOffset[0];
  }
}

TEST(DaOffset, KnownCodesAndSigns) {
  std::vector<uint8_t> raw(kHeaderBytes, 0);
  RecorderHeader h;
  raw[292] = 0x80;  // 32768
  raw[294] = 0x00;  // 0
  DecodeHeader(raw.data(), h);
  EXPECT_DOUBLE_EQ(h.DAOffset[0], 0.0);
  EXPECT_DOUBLE_EQ(h.DAOffset[1], 2500.0);

  // −100 mV and +100 mV both read back as themselves.
  h.ChannelEnabled[0] = h.ChannelEnabled[1] = 1;
  h.DAOffset[0] = -100.0;
  h.DAOffset[1] = 100.0;
  EncodeHeader(raw.data(), h, h);
  RecorderHeader back;
  DecodeHeader(raw.data(), back);
  EXPECT_NEAR(back.DAOffset[0], -100.0, 2500.0 / 32768.0 / 2);
  EXPECT_NEAR(back.DAOffset[1], 100.0, 2500.0 / 32768.0 / 2);
}

TEST(Housekeeping, EveryCodeSurvivesDecodeAndEncode) {
  std::vector<uint8_t> raw(kHeaderBytes, 0);
  for (int code = 0; code < 65536; code += 7) {
    for (int off = 122; off <= 130; off += 2) {
      raw[off] = static_cast<uint8_t>(code >> 8);
      raw[off + 1] = static_cast<uint8_t>(code);
    }
    RecorderHeader h;
    DecodeHeader(raw.data(), h);
    std::vector<uint8_t> out(raw);
    EncodeHeader(out.data(), h, h);
    for (int off = 122; off <= 130; off += 2) ASSERT_EQ(out[off] << 8 | out[off + 1], code) << "offset " << off;
  }
}

// A header with channels 0, 1 and 3 enabled and distinct settings per slot.
std::vector<uint8_t> SparseRaw() {
  std::vector<uint8_t> raw(kHeaderBytes, 0);
  for (int k = 0; k < 6; ++k) {
    raw[132 + 16 * k] = static_cast<uint8_t>('A' + k);
    raw[228 + k] = static_cast<uint8_t>('n' + k);
    raw[236 + 2 * k + 1] = static_cast<uint8_t>(10 + k);
    raw[248 + 2 * k + 1] = static_cast<uint8_t>(50 + k);
    raw[260 + k] = static_cast<uint8_t>(k);
    raw[700 + k] = static_cast<uint8_t>(k);
    raw[292 + 2 * k] = 0x80;
    raw[292 + 2 * k + 1] = static_cast<uint8_t>(k);
  }
  raw[291] = 0x0B;
  raw[0x11F] = 0xC0;  // GainMUX slot 3 = 3
  raw[0x11D] = 0x08;  // GainSEL slot 3 = 2
  raw[0x11C] = 0x40;  // LP slot 3 = 1
  raw[273] = 0x20;    // slot 3 over range
  raw[282] = 0xFD;    // upper six bits are not ours
  return raw;
}

TEST(Encoding, CompactsEnabledChannelsIntoLowSlots) {
  auto raw = SparseRaw();
  RecorderHeader h;
  DecodeHeader(raw.data(), h);
  EXPECT_EQ(CountEnabled(h), 3);
  EXPECT_EQ(h.OverRange[3], 1);
  std::vector<uint8_t> out(raw);
  EncodeHeader(out.data(), h, h);
  EXPECT_EQ(out[291], 0x07);
  // Channel 3's settings move to slot 2.
  EXPECT_EQ(out[132 + 32], 'D');
  EXPECT_EQ(out[228 + 2], 'q');
  EXPECT_EQ(out[236 + 5], 13);
  EXPECT_EQ(out[248 + 5], 53);
  EXPECT_EQ(out[262], 3);
  EXPECT_EQ(out[702], 3);
  EXPECT_EQ(out[296] << 8 | out[297], 0x8003);
  RecorderHeader back;
  DecodeHeader(out.data(), back);
  EXPECT_EQ(back.GainMUX[2], 3);
  EXPECT_EQ(back.GainSEL[2], 2);
  EXPECT_EQ(back.LPF_MUX[2], 1);
  EXPECT_EQ(back.OverRange[2], 1);
  // Unused slots.
  for (int j = 3; j < 6; ++j) {
    EXPECT_EQ(out[132 + 16 * j], ' ');
    EXPECT_EQ(out[700 + j], kLabelUnused);
    EXPECT_EQ(out[292 + 2 * j] << 8 | out[293 + 2 * j], 32768);
  }
  EXPECT_EQ(out[282], 0xFD);
}

TEST(Encoding, NoEnabledChannelGivesAnEmptyMask) {
  auto raw = SparseRaw();
  RecorderHeader h;
  DecodeHeader(raw.data(), h);
  for (auto& e : h.ChannelEnabled) e = 0;
  EncodeHeader(raw.data(), h, h);
  EXPECT_EQ(raw[291], 0);
  for (int j = 0; j < 6; ++j) EXPECT_EQ(raw[700 + j], kLabelUnused);
}

TEST(Encoding, ZeroOutputRateBecomesOne) {
  std::vector<uint8_t> raw(kHeaderBytes, 0);
  RecorderHeader h;
  EncodeHeader(raw.data(), h, h);
  EXPECT_EQ(h.SampleRate, 1u);
  EXPECT_EQ(raw[111], 1);
}

}  // namespace

namespace {

TEST(DecimalTexts, LeadingNumberOrZero) {
  EXPECT_DOUBLE_EQ(ParseDecimal("32.76800"), 32.768);
  EXPECT_DOUBLE_EQ(ParseDecimal("  +12.5 MHz"), 12.5);
  EXPECT_DOUBLE_EQ(ParseDecimal("-1e3"), -1000.0);
  EXPECT_DOUBLE_EQ(ParseDecimal("abc"), 0.0);
  EXPECT_DOUBLE_EQ(ParseDecimal(""), 0.0);
}

}  // namespace
