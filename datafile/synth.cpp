#include "datafile/synth.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>

#include "datafile/file_io.h"
#include "datafile/header.h"
#include "spectral/fft.h"

namespace {

using cplx = std::complex<double>;
constexpr double kMu0 = 4e-7 * M_PI;
constexpr double kPi = M_PI;
constexpr char kClockText[] = "32.76800";  // MHz
constexpr double kClockHz = 32768000.0;

// Response table rows: 10 per decade from 1e-4 to 1e4 Hz.
std::vector<double> ResponseFrequencies() {
  std::vector<double> f;
  for (int i = -40; i <= 40; ++i) f.push_back(std::pow(10.0, i / 10.0));
  return f;
}

void AnalyticCoil(bool realistic, double f, double& amplitude, double& phaseDeg) {
  if (!realistic) {
    amplitude = 200.0;
    phaseDeg = 90.0;
    return;
  }
  // An induction coil: derivative response below 0.5 Hz, gentle roll-off above 2 kHz.
  const double fc = 0.5, fh = 2000.0;
  cplx g = (cplx(0, f / fc) / cplx(1, f / fc)) / cplx(1, f / fh);
  amplitude = 200.0 * std::abs(g);
  phaseDeg = 90.0 + std::arg(g) * 180.0 / kPi;
}

template <size_t N>
void SetText(char (&field)[N], const std::string& text) {
  std::memset(field, 0, N);
  std::memcpy(field, text.data(), std::min(text.size(), N - 1));
}

// Produces the physical series (Hx, Hy, Hz, Ex, Ey in pT and mV/km) in
// periodic segments synthesised in the frequency domain.
class SignalSource {
 public:
  SignalSource(const SynthOptions& o, long long totalSamples, bool remote)
      : o_(o), rng_(o.seed), remoteRng_(o.seed ^ 0x9E3779B97F4A7C15ull), remote_(remote) {
    long long l = 1024;
    while (l < totalSamples && l < (1 << 20)) l <<= 1;
    length_ = static_cast<size_t>(l);
    for (auto& s : series_) s.assign(length_, 0.0);
    if (remote_)
      for (auto& s : remoteSeries_) s.assign(length_, 0.0);
    pos_ = length_;
  }

  // Values of the five series at the next sample, and at the remote station.
  void Next(double out[5], double remoteOut[5]) {
    if (pos_ >= length_) Generate();
    for (int c = 0; c < 5; ++c) out[c] = series_[c][pos_];
    if (remote_)
      for (int c = 0; c < 5; ++c) remoteOut[c] = remoteSeries_[c][pos_];
    ++pos_;
  }

 private:
  void Generate() {
    const size_t L = length_;
    const double rate = RateHz(o_.rateCode);
    std::normal_distribution<double> gauss(0.0, 1.0);
    std::vector<cplx> hx(L / 2), hy(L / 2);
    for (size_t k = 1; k < L / 2; ++k) {
      double f = k * rate / L;
      double amp = 1.0 / std::sqrt(1.0 + f * f);  // flat below 1 Hz, 1/f above
      hx[k] = amp * cplx(gauss(rng_), gauss(rng_));
      hy[k] = amp * cplx(gauss(rng_), gauss(rng_));
    }
    std::vector<double> work(2 * L + 1);
    auto synthesise = [&](int which, std::vector<double>& dest) {
      std::fill(work.begin(), work.end(), 0.0);
      for (size_t k = 1; k < L / 2; ++k) {
        double f = k * rate / L;
        cplx v;
        cplx z = which >= 3 ? ToComplex(LayeredEarthImpedance(o_.earth, f)) : cplx();
        switch (which) {
          case 0: v = hx[k]; break;
          case 1: v = hy[k]; break;
          case 2: v = 0.1 * hx[k] + 0.05 * hy[k]; break;
          case 3: v = z * hy[k]; break;
          default: v = -z * hx[k]; break;
        }
        if (which <= 1 && o_.realisticCoil) v *= RecordedGain(f);
        work[2 * k + 1] = v.real();
        work[2 * k + 2] = v.imag();
        work[2 * (L - k) + 1] = v.real();
        work[2 * (L - k) + 2] = -v.imag();
      }
      // Synthesis with exp(+iωt): x(t) = Σ X(f) exp(+2πi f t).
      four1(work.data(), L, +1);
      for (size_t t = 0; t < L; ++t) dest[t] = work[2 * t + 1];
    };
    for (int c = 0; c < 5; ++c) synthesise(c, series_[c]);

    if (scale_ == 0) {
      // Fix the scale and the noise levels on the first segment; later segments share them.
      double ss = 0;
      for (double v : series_[0]) ss += v * v;
      double rms = std::sqrt(ss / L);
      scale_ = rms > 0 ? o_.hRms / rms : 1.0;
      for (int c = 0; c < 5; ++c) {
        double s2 = 0;
        for (double v : series_[c]) s2 += v * v;
        noiseStd_[c] = o_.noise * std::sqrt(s2 / L) * scale_;
      }
    }
    // The remote station records the same field with noise of its own.
    if (remote_)
      for (int c = 0; c < 5; ++c)
        for (size_t t = 0; t < L; ++t)
          remoteSeries_[c][t] = series_[c][t] * scale_ + (noiseStd_[c] > 0 ? noiseStd_[c] * gauss(remoteRng_) : 0.0);
    for (int c = 0; c < 5; ++c)
      for (double& v : series_[c]) v = v * scale_ + (noiseStd_[c] > 0 ? noiseStd_[c] * gauss(rng_) : 0.0);
    pos_ = 0;
  }

  static cplx ToComplex(Complex2 z) { return {z.re, z.im}; }

  // What the coil makes of the field at f: (A/200)·exp(i(P − 90°)), with A and P
  // interpolated in the written table exactly as the response lookup does.
  cplx RecordedGain(double f) const {
    static const std::vector<double> freqs = ResponseFrequencies();
    double a0, p0, a1, p1;
    if (f <= freqs.front()) {
      AnalyticCoil(true, freqs.front(), a0, p0);
      return std::polar(a0 / 200.0, (p0 - 90.0) * kPi / 180.0);
    }
    if (f >= freqs.back()) {
      AnalyticCoil(true, freqs.back(), a0, p0);
      return std::polar(a0 / 200.0, (p0 - 90.0) * kPi / 180.0);
    }
    size_t i = 1;
    while (freqs[i] < f) ++i;
    double f0 = freqs[i - 1], f1 = freqs[i];
    AnalyticCoil(true, f0, a0, p0);
    AnalyticCoil(true, f1, a1, p1);
    double a = a0 + (f - f0) * (a1 - a0) / (f1 - f0);
    double p = p0 + (f - f0) * (p1 - p0) / (f1 - f0);
    return std::polar(a / 200.0, (p - 90.0) * kPi / 180.0);
  }

  const SynthOptions& o_;
  std::mt19937_64 rng_;
  std::mt19937_64 remoteRng_;
  bool remote_ = false;
  std::array<std::vector<double>, 5> remoteSeries_;
  size_t length_ = 0;
  size_t pos_ = 0;
  std::array<std::vector<double>, 5> series_;
  double scale_ = 0;
  double noiseStd_[5] = {};
};

std::string EarthDescription(const std::vector<EarthLayer>& earth) {
  std::string text = "Synthetic MT recording, earth:";
  char buf[64];
  for (size_t i = 0; i < earth.size(); ++i) {
    if (i + 1 < earth.size())
      std::snprintf(buf, sizeof buf, " %g ohm-m %g m,", earth[i].resistivity, earth[i].thickness);
    else
      std::snprintf(buf, sizeof buf, " %g ohm-m half-space", earth[i].resistivity);
    text += buf;
  }
  return text;
}

RecorderHeader MakeHeader(const SynthOptions& o, int record, const RecordTime& start) {
  RecorderHeader h;
  const uint8_t preamble[4] = {0xA5, 0x5A, 0x01, 0x00};
  std::memcpy(h.Preamble, preamble, 4);
  h.PacketLength = 1024;
  h.Field006 = 1;
  SetText(h.RecorderSerial, o.recorderSerial);
  h.SendPacketID = static_cast<uint32_t>(record + 1);
  h.SavePacketID = static_cast<uint32_t>(record + 1);
  h.VersionBytes[0] = 0x01;
  h.VersionBytes[1] = 0x23;
  h.VersionBytes[3] = o.samplesPerRecord >= 5120 ? 0x4A : 0x49;
  SetText(h.GpsPosition, o.gpsPosition);
  SetText(h.GpsSyncClock, kClockText);
  h.SampleRate = o.rateCode;

  // The GPS second and the tick count that decode back to this record's start.
  const double delay = FilterDelaySeconds(o.rateCode);
  RecordTime t = start;
  AddSeconds(t, delay);
  double whole = std::floor(t.second);
  double fraction = t.second - whole;
  t.second = whole;
  AddSeconds(t, -1.0);
  char gps[32];
  std::snprintf(gps, sizeof gps, "$T,%02d%02d%06.3f,%02d,%02d,%04d", t.hour, t.minute, t.second, t.day, t.month,
                t.year);
  SetText(h.GpsTime, gps);
  double clock = kClockHz;
  if (o.rateCode == 250 || o.rateCode == 62) clock /= 4;
  h.FirstSampleTicks = static_cast<uint64_t>(std::llround(fraction * clock));

  // Housekeeping values made from whole ADC codes, as the recorder measures them.
  const double lsb = 3.25 / 1024;
  h.MainTemperature = ((260 + record % 3) * lsb - 0.75) / 0.01 + 25.0;
  h.SystemCurrent = 100 * lsb * 1000 / 2;
  h.MinusFiveVolts = -(394 * lsb) * 20 / 4.99;
  h.PlusFiveVolts = 264 * lsb * 24.02 / 4.02;
  h.SystemVoltage = 350 * lsb * 22 / 2 + 0.6;

  for (int k = 0; k < kChannels; ++k) {
    const SynthChannel& c = o.channels[static_cast<size_t>(k)];
    if (!c.enabled) {
      // A slot that is off carries what the writers put in an unused slot.
      SetText(h.SensorSerial[k], std::string(16, ' '));
      h.ChannelLabel[k] = kLabelUnused;
      continue;
    }
    h.ChannelEnabled[k] = 1;
    h.ChannelLabel[k] = static_cast<int8_t>(c.label);
    h.GainMUX[k] = c.gainMux & 3;
    h.GainSEL[k] = c.gainSel & 3;
    h.LPF_MUX[k] = c.lpFilter & 3;
    h.SensorID[k] = static_cast<uint8_t>(c.sensorId);
    h.Spacing[k] = static_cast<uint16_t>(c.spacing);
    h.SensorAngle[k] = static_cast<uint16_t>(c.angle);
    SetText(h.SensorSerial[k], c.serial);
    h.Orientation[k][0] = c.orientation;
    h.DAOffset[k] = c.daOffset;
  }
  h.Status = 0x0000000000010008ull;  // GPS locked
  h.GpsLocked = 1;
  h.Bits11A = 1;
  SetText(h.SDFilename, "DATA0001.BIN");
  h.SDFileLimit = 2048;
  h.SDFileIndex = 1;
  h.SDSavedSectors = static_cast<uint16_t>(record * 7);
  h.SDFreeSpace = 87;
  SetText(h.Comments, o.comments.empty() ? EarthDescription(o.earth) : o.comments);
  h.SystemTime = start;
  h.SystemTime.second = std::floor(start.second);
  return h;
}

}  // namespace

std::array<SynthChannel, 6> SynthOptions::DefaultChannels() {
  std::array<SynthChannel, 6> c{};
  auto coil = [](int label, const char* serial, char orientation, int angle) {
    SynthChannel ch;
    ch.enabled = true;
    ch.label = label;
    ch.gainMux = 0;  // ×40
    ch.gainSel = 0;
    ch.sensorId = 5;  // LEMI-120
    ch.serial = serial;
    ch.orientation = orientation;
    ch.angle = angle;
    return ch;
  };
  auto dipole = [](int label, const char* serial, char orientation, int angle, double offset) {
    SynthChannel ch;
    ch.enabled = true;
    ch.label = label;
    ch.gainMux = 1;
    ch.gainSel = 2;   // ×16
    ch.sensorId = 2;  // electrode
    ch.spacing = 100;
    ch.serial = serial;
    ch.orientation = orientation;
    ch.angle = angle;
    ch.daOffset = offset;
    return ch;
  };
  c[0] = coil(0, "1045", 'N', 0);
  c[1] = coil(1, "1046", 'E', 90);
  c[2] = coil(2, "1047", 'Z', 0);
  c[3] = dipole(3, "E1", 'N', 0, -12.5);
  c[4] = dipole(4, "E2", 'E', 90, -7.5);
  c[5].label = 5;
  return c;
}

Complex2 LayeredEarthImpedance(const std::vector<EarthLayer>& earth, double f) {
  if (earth.empty() || f <= 0) return {};
  const double w = 2 * kPi * f;
  const cplx iwm(0, w * kMu0);
  auto intrinsic = [&](double rho) { return std::sqrt(iwm * rho); };  // ohm, exp(+iωt)
  cplx z = intrinsic(earth.back().resistivity);
  for (size_t j = earth.size() - 1; j-- > 0;) {
    cplx zj = intrinsic(earth[j].resistivity);
    cplx k = std::sqrt(iwm / earth[j].resistivity);
    cplx th = std::tanh(k * earth[j].thickness);
    z = zj * (z + zj * th) / (zj + z * th);
  }
  // E in mV/km over B in pT: 1e-6 · E/B = 1e-6 · Z/μ0.
  cplx field = z * 1e-6 / kMu0;
  return {field.real(), field.imag()};
}

void CoilResponse(bool realistic, double f, double& amplitude, double& phaseDeg) {
  AnalyticCoil(realistic, f, amplitude, phaseDeg);
}

std::string WriteResponseFiles(const std::string& dir, const SynthOptions& o) {
  if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) return "Cannot create " + dir + ": " + std::strerror(errno);
  std::vector<std::string> names{"LEMI-120.rsp"};
  std::vector<SynthChannel> coils(o.channels.begin(), o.channels.end());
  if (!o.remotePath.empty())
    for (const SynthChannel& c : RemoteStationOptions(o).channels) coils.push_back(c);
  for (const auto& c : coils)
    if (c.enabled && (c.label == 0 || c.label == 1)) names.push_back("LEMI-120_" + c.serial + ".rsp");
  for (const auto& name : names) {
    std::string path = dir + "/" + name;
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f) return "Cannot write " + path + ": " + std::strerror(errno);
    for (double freq : ResponseFrequencies()) {
      double a, p;
      AnalyticCoil(o.realisticCoil, freq, a, p);
      std::fprintf(f, "%.6g %.9g %.9g\n", freq, a, p);
    }
    if (std::fclose(f) != 0) return "Cannot write " + path + ": " + std::strerror(errno);
  }
  return {};
}

SynthOptions RemoteStationOptions(const SynthOptions& o) {
  SynthOptions r = o;
  r.recorderSerial = (o.recorderSerial + "-R").substr(0, 16);
  for (SynthChannel& c : r.channels)
    if (c.enabled) c.serial = ("R" + c.serial).substr(0, 16);
  r.gpsPosition = "N6452.5000 W14741.0000 A0140.0";
  AddSeconds(r.start, static_cast<double>(o.remoteDelayRecords) * o.samplesPerRecord / RateHz(o.rateCode));
  r.remotePath.clear();
  r.remoteDelayRecords = 0;
  return r;
}

namespace {

// One station's file, written record by record as the samples come.
class StationWriter {
 public:
  StationWriter(const std::string& path, const SynthOptions& o) : path_(path), o_(o) {
    for (int k = 0; k < kChannels; ++k)
      if (o.channels[static_cast<size_t>(k)].enabled) enabled_[n_++] = k;
    record_.resize(kHeaderBytes + static_cast<size_t>(n_) * o.samplesPerRecord * 3);
    f_ = std::fopen(path.c_str(), "wb");
    if (!f_) error_ = "Cannot create " + path + ": " + std::strerror(errno);
  }
  ~StationWriter() {
    if (f_) std::fclose(f_);
  }

  // Adds the next sample (Hx, Hy, Hz, Ex, Ey in pT and mV/km); a full record is written.
  void Add(const double phys[5]) {
    if (!error_.empty()) return;
    if (row_ == 0) StartRecord();
    uint8_t* block = record_.data() + kHeaderBytes;
    for (int j = 0; j < n_; ++j) {
      const int k = enabled_[j];
      const int label = o_.channels[static_cast<size_t>(k)].label;
      const double v = label >= 0 && label < 5 ? phys[label] : 0.0;
      const double counts = std::floor(v / factor_[k] + 0.5);
      if (counts > 8388607 || counts < -8388608) h_.OverRange[k] = 1;
      EncodeSample(counts, block + (static_cast<size_t>(row_) * n_ + j) * 3);
    }
    if (++row_ == o_.samplesPerRecord) FinishRecord();
  }

  std::string Close() {
    if (f_ && std::fclose(f_) != 0 && error_.empty()) error_ = "Cannot write " + path_ + ": " + std::strerror(errno);
    f_ = nullptr;
    return error_;
  }

 private:
  void StartRecord() {
    RecordTime start = o_.start;
    AddSeconds(start, static_cast<double>(record_index_) * o_.samplesPerRecord / RateHz(o_.rateCode));
    h_ = MakeHeader(o_, record_index_, start);
    ComputeGains(h_);
    for (int k = 0; k < kChannels; ++k) {
      const SynthChannel& c = o_.channels[static_cast<size_t>(k)];
      double scale = 1.0;
      if (c.sensorId == 2 || c.sensorId == 7)
        scale = c.spacing >= 1 ? 1000.0 / c.spacing : 1000.0 / 150.0;
      else if (c.sensorId >= 4 && c.sensorId <= 6)
        scale = 5.0;
      factor_[k] = scale * 10000.0 / 16777216.0 / h_.ChannelGain[k];
    }
  }

  void FinishRecord() {
    std::memset(record_.data(), 0, kHeaderBytes);
    EncodeHeaderAsIs(record_.data(), h_);
    if (std::fwrite(record_.data(), 1, record_.size(), f_) != record_.size())
      error_ = "Cannot write " + path_ + ": " + std::strerror(errno);
    row_ = 0;
    ++record_index_;
  }

  std::string path_;
  const SynthOptions& o_;
  std::FILE* f_ = nullptr;
  std::string error_;
  int enabled_[kChannels] = {};
  int n_ = 0;
  std::vector<uint8_t> record_;
  RecorderHeader h_{};
  double factor_[kChannels] = {};
  int row_ = 0;
  int record_index_ = 0;
};

}  // namespace

std::string WriteSynthFile(const std::string& path, const SynthOptions& o) {
  if (o.records < 0) return "The record count must not be negative";
  if (o.samplesPerRecord != 2560 && o.samplesPerRecord != 5120) return "Samples per record must be 2560 or 5120";
  if (o.rateCode == 0) return "The sample rate must not be 0";
  if (o.remoteDelayRecords < 0) return "The remote station's delay must not be negative";
  const bool remote = !o.remotePath.empty();
  if (remote && (o.remotePath == path || (IdOfPath(path) == IdOfPath(o.remotePath))))
    return "The remote station's file must differ from " + path;

  const long long S = o.samplesPerRecord;
  const long long localSamples = static_cast<long long>(o.records) * S;
  const long long delay = remote ? o.remoteDelayRecords * S : 0;
  const long long total = remote ? std::max(localSamples, delay + localSamples) : localSamples;
  const SynthOptions remoteOptions = remote ? RemoteStationOptions(o) : SynthOptions{};
  StationWriter local(path, o);
  std::unique_ptr<StationWriter> far;
  if (remote) far = std::make_unique<StationWriter>(o.remotePath, remoteOptions);
  SignalSource source(o, total, remote);
  for (long long g = 0; g < total; ++g) {
    double phys[5], remotePhys[5];
    source.Next(phys, remotePhys);
    if (g < localSamples) local.Add(phys);
    if (remote && g >= delay) far->Add(remotePhys);
  }
  std::string error = local.Close();
  if (far) {
    std::string e = far->Close();
    if (error.empty()) error = e;
  }
  return error;
}
