#include "datafile/synth.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <vector>

#include "app/commands.h"
#include "app/open_file.h"
#include "datafile/header.h"
#include "platform/headless/headless_platform.h"
#include "spectral/fft.h"
#include "tests/support/recordings.h"

namespace {

double ApparentResistivity(Complex2 z, double f) { return 0.2e6 * (z.re * z.re + z.im * z.im) / f; }
double PhaseDeg(Complex2 z) { return std::atan2(z.im, z.re) * 180.0 / M_PI; }

TEST(LayeredEarth, HalfSpaceGivesItsResistivityAndFortyFiveDegrees) {
  for (double rho : {1.0, 100.0, 10000.0})
    for (double f : {0.01, 1.0, 60.0, 400.0}) {
      Complex2 z = LayeredEarthImpedance({{rho, 0}}, f);
      EXPECT_NEAR(ApparentResistivity(z, f) / rho, 1.0, 1e-12);
      EXPECT_NEAR(PhaseDeg(z), 45.0, 1e-9);
    }
  // |Z| = 0.001 mV/km per pT at 1 Hz is 0.2 ohm-m.
  EXPECT_NEAR(ApparentResistivity({0.001, 0}, 1.0), 0.2, 1e-12);
}

TEST(LayeredEarth, TwoLayersTendToTheTopAtHighAndTheBottomAtLowFrequency) {
  std::vector<EarthLayer> earth{{100.0, 1000.0}, {10.0, 0}};
  Complex2 high = LayeredEarthImpedance(earth, 5000.0);
  Complex2 low = LayeredEarthImpedance(earth, 1e-4);
  EXPECT_NEAR(ApparentResistivity(high, 5000.0), 100.0, 1.0);
  EXPECT_NEAR(ApparentResistivity(low, 1e-4), 10.0, 0.2);
  // A conductive basement pulls the phase above 45° in between.
  EXPECT_GT(PhaseDeg(LayeredEarthImpedance(earth, 1.0)), 50.0);
}

// Over one whole synthesis period the spectra obey E = Z·H bin by bin.
void ExpectImpedanceInFile(uint32_t rate, bool realisticCoil) {
  TempDir dir;
  SynthOptions o = SmallRecording(32, "Hx,Hy,Ex,Ey");
  o.rateCode = rate;
  o.realisticCoil = realisticCoil;
  std::string path = WriteRecording(dir, "mt.bin", o);

  HeadlessPlatform host;
  AppState s;
  StartupOptions options;
  options.startDir = dir.path();
  options.useDirFile = false;
  options.changeToWorkDir = false;
  InitAppState(s, host, options);
  host.AnswerOpen(path, "32");
  ASSERT_EQ(CmdOpenFile(s), 1);
  // The file holds 81920 samples of a 131072-sample synthesis period: window the
  // first 65536 and compare E with Z·H on narrow bands, in physical units.
  const int n = 65536;
  auto spectrum = [&](int ch) {
    std::vector<double> d(2 * n + 1, 0.0);
    double factor = ChannelFactor(s, s.Header, ch);
    for (int i = 0; i < n; ++i) {
      double w = 0.5 - 0.5 * std::cos(2 * M_PI * i / n);  // Hanning: the page is not a whole period
      d[2 * i + 1] = s.yplotdata_orig[ch][i] * factor * w;
    }
    four1(d.data(), n, -1);  // exp(−iωt) analysis matches exp(+iωt) synthesis
    return d;
  };
  auto hy = spectrum(1), ex = spectrum(2);
  const double fs = RateHz(rate);
  for (double f0 : {3.0, 10.0, 25.0}) {
    std::complex<double> num = 0, den = 0;
    int k0 = static_cast<int>(f0 * n / fs);
    for (int k = k0; k < k0 + 20; ++k) {
      std::complex<double> e(ex[2 * k + 1], ex[2 * k + 2]), h(hy[2 * k + 1], hy[2 * k + 2]);
      num += e * std::conj(h);
      den += h * std::conj(h);
    }
    std::complex<double> z = num / den;
    double f = (k0 + 9.5) * fs / n;
    Complex2 expected = LayeredEarthImpedance(o.earth, f);
    if (realisticCoil) {
      // The recorded H carries the coil; undo it with the written response.
      double a, p;
      CoilResponse(true, f, a, p);
      z *= std::polar(a / 200.0, (p - 90.0) * M_PI / 180.0);
    }
    EXPECT_NEAR(ApparentResistivity({z.real(), z.imag()}, f) / 100.0, 1.0, 0.05) << "f " << f;
    EXPECT_NEAR(std::arg(z) * 180 / M_PI, PhaseDeg(expected), 2.0) << "f " << f;
  }
  ShutdownAppState(s);
}

TEST(SynthFile, ElectricFieldFollowsTheEarthImpedance) { ExpectImpedanceInFile(1000, false); }
TEST(SynthFile, ElectricFieldFollowsTheEarthImpedanceAtSixtyTwo) { ExpectImpedanceInFile(62, false); }
TEST(SynthFile, RealisticCoilIsUndoneByItsResponse) { ExpectImpedanceInFile(1000, true); }

TEST(SynthFile, HeadersRoundTripThroughTheEncoder) {
  TempDir dir;
  SynthOptions o = SmallRecording(3, "Hx,Hy,Hz,Ex,Ey");
  std::string path = WriteRecording(dir, "rt.bin", o);
  auto bytes = ReadBytes(path);
  const size_t recordBytes = 1024 + 5 * 2560 * 3;
  ASSERT_EQ(bytes.size(), 3 * recordBytes);
  for (size_t r = 0; r < 3; ++r) {
    const uint8_t* raw = bytes.data() + r * recordBytes;
    RecorderHeader h;
    DecodeHeader(raw, h);
    std::vector<uint8_t> out(raw, raw + 1024);
    EncodeHeader(out.data(), h, h);
    EXPECT_EQ(0, std::memcmp(out.data(), raw, 1024)) << "record " << r;
    // Consecutive records start one record length apart.
    RecordTime expected = o.start;
    AddSeconds(expected, r * 2.56);
    EXPECT_NEAR(SecondsBetween(expected, h.StartTime), 0.0, 1e-6);
  }
}

TEST(SynthFile, ResponseFilesForEveryCoil) {
  TempDir dir;
  SynthOptions o = SmallRecording(1, "Hx,Hy,Ex,Ey");
  ASSERT_EQ(WriteResponseFiles(dir / "LEMI", o), "");
  auto text = ReadBytes(dir / "LEMI/LEMI-120_1046.rsp");
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(std::string(text.begin(), text.begin() + 14), "0.0001 200 90\n");
  EXPECT_FALSE(ReadBytes(dir / "LEMI/LEMI-120.rsp").empty());
  EXPECT_NE(WriteResponseFiles("/proc/zorvan/none", o), "");
}

TEST(SynthFile, RefusesImpossibleOptions) {
  TempDir dir;
  SynthOptions o = SmallRecording(1);
  o.samplesPerRecord = 1000;
  EXPECT_NE(WriteSynthFile(dir / "x.bin", o), "");
  o = SmallRecording(1);
  EXPECT_NE(WriteSynthFile("/proc/zorvan/x.bin", o), "");
}

}  // namespace

namespace {

// Record r of a file: its decoded header and its sample block.
struct FileRecord {
  RecorderHeader h{};
  std::vector<uint8_t> block;
};

std::vector<FileRecord> ReadRecords(const std::string& path) {
  std::vector<FileRecord> out;
  std::vector<uint8_t> bytes = ReadBytes(path);
  size_t at = 0;
  while (at + kHeaderBytes <= bytes.size()) {
    FileRecord r;
    DecodeHeader(bytes.data() + at, r.h);
    const size_t n = BlockBytes(r.h);
    r.block.assign(bytes.begin() + static_cast<long>(at + kHeaderBytes),
                   bytes.begin() + static_cast<long>(at + kHeaderBytes + n));
    out.push_back(r);
    at += kHeaderBytes + n;
  }
  return out;
}

}  // namespace

// The second station records the same field: without noise its record r holds
// the local record r + delay sample for sample, with its own serials and
// position; with noise the two differ.
TEST(SynthFile, RemoteStationRecordsTheSameFieldLater) {
  TempDir dir;
  SynthOptions o = SmallRecording(5, "Hx,Hy,Hz,Ex,Ey");
  o.remotePath = dir / "remote.bin";
  o.remoteDelayRecords = 2;
  const std::vector<FileRecord> local = ReadRecords(WriteRecording(dir, "local.bin", o));
  const std::vector<FileRecord> remote = ReadRecords(o.remotePath);
  ASSERT_EQ(local.size(), 5u);
  ASSERT_EQ(remote.size(), 5u);
  for (int r = 0; r + 2 < 5; ++r) {
    EXPECT_EQ(remote[static_cast<size_t>(r)].block, local[static_cast<size_t>(r + 2)].block) << r;
    EXPECT_NEAR(
        SecondsBetween(local[static_cast<size_t>(r + 2)].h.StartTime, remote[static_cast<size_t>(r)].h.StartTime), 0.0,
        1e-6);
  }
  EXPECT_STREQ(remote[0].h.SensorSerial[0], "R1045");
  EXPECT_STREQ(remote[0].h.RecorderSerial, "QOR-0417-R");
  EXPECT_STRNE(remote[0].h.GpsPosition, local[0].h.GpsPosition);

  // The local file is what it is without a second station.
  SynthOptions alone = o;
  alone.remotePath.clear();
  alone.remoteDelayRecords = 0;
  SynthOptions paired = alone;
  paired.remotePath = dir / "remote2.bin";
  paired.noise = alone.noise = 0.05;
  EXPECT_EQ(ReadBytes(WriteRecording(dir, "alone.bin", alone)), ReadBytes(WriteRecording(dir, "paired.bin", paired)));
  EXPECT_NE(ReadRecords(dir / "remote2.bin")[0].block, ReadRecords(dir / "paired.bin")[0].block);

  // Response files for the remote's coils too.
  ASSERT_EQ(WriteResponseFiles(dir / "LEMI", o), "");
  EXPECT_FALSE(ReadBytes(dir / "LEMI/LEMI-120_R1046.rsp").empty());
  o.remotePath = dir / "local.bin";
  EXPECT_NE(WriteSynthFile(dir / "local.bin", o), "");
}
