#include "mt/remote.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "app/state.h"
#include "datafile/header.h"
#include "app/open_file.h"
#include "datafile/record_io.h"
#include "mt/impedance.h"
#include "platform/platform.h"
#include "spectral/polyfit.h"
#include "spectral/realfft.h"
#include "spectral/response.h"
#include "spectral/spectrum.h"

namespace {

using Complex = std::complex<double>;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// A remote sample must lie within this fraction of a sample of a page sample's time.
constexpr double kAlignment = 0.01;
constexpr const char* kWithout = "; the page is estimated without it.";

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

struct Record {
  uint64_t offset = 0;
  RecorderHeader h{};
  double start = 0;  // seconds after the page's first sample
  int samples = 0;
};

bool ReadHeaderAt(std::FILE* f, uint64_t offset, RecorderHeader& h) {
  uint8_t raw[kHeaderBytes];
  if (std::fseek(f, static_cast<long>(offset), SEEK_SET) != 0) return false;
  return ReadHeader(f, raw, h).status == ReadStatus::Ok;
}

// Physical units per count of channel ch, by the record's own sensor and gains.
double CountFactor(const RecorderHeader& h, int ch, double adcSpanMilliVolts) {
  double scale = 1.0;
  switch (h.SensorID[ch]) {
    case 2:
    case 7:
      scale = h.Spacing[ch] >= 1 ? 1000.0 / h.Spacing[ch] : 1000.0 / 150.0;
      break;
    case 4:
    case 5:
    case 6:
      scale = 5.0;
      break;
    default:
      break;
  }
  const int gain = h.ChannelGain[ch] > 0 ? h.ChannelGain[ch] : 1;
  return scale * adcSpanMilliVolts / 16777216.0 / gain;
}

// The enabled channels labelled Hx and Hy (a later one replaces an earlier one); false without both.
bool MagneticChannels(const RecorderHeader& h, int chans[2]) {
  chans[0] = chans[1] = -1;
  for (int ch = 0; ch < kChannels; ++ch) {
    if (!h.ChannelEnabled[ch]) continue;
    if (h.ChannelLabel[ch] == kLabelHx) chans[0] = ch;
    if (h.ChannelLabel[ch] == kLabelHy) chans[1] = ch;
  }
  return chans[0] >= 0 && chans[1] >= 0;
}

std::string RateText(uint32_t code) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", RateHz(code));
  return text;
}

// What identifies the remote's contents: its path, size and modification time.
std::string FileStamp(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return path;
  return path + '\n' + std::to_string(st.st_size) + '\n' + std::to_string(st.st_mtim.tv_sec) + '.' +
         std::to_string(st.st_mtim.tv_nsec);
}

}  // namespace

std::string ReadRemoteSamples(const std::string& localPath, int firstRecord, int n, const std::string& remotePath,
                              double adcSpanMilliVolts, std::vector<double>& hx, std::vector<double>& hy,
                              std::string serials[2]) {
  const std::string title = "The remote reference " + FileTitleOf(remotePath);
  FilePtr local(OpenInputFile(localPath));
  if (!local) return "Cannot read " + localPath + ": " + std::strerror(errno);
  const RecordIndex li = ScanRecords(local.get());
  if (firstRecord < 0 || static_cast<size_t>(firstRecord) >= li.offsets.size())
    return "Cannot read the page's records of " + FileTitleOf(localPath);

  // The page's records: where each starts in the page and at what time.
  struct Segment {
    int point, count;
    double start;
  };
  std::vector<Segment> segments;
  RecorderHeader first{};
  RecordTime reference{};
  for (size_t r = static_cast<size_t>(firstRecord), p = 0; p < static_cast<size_t>(n); ++r) {
    RecorderHeader h{};
    if (r >= li.offsets.size() || !ReadHeaderAt(local.get(), li.offsets[r], h))
      return "Cannot read the page's records of " + FileTitleOf(localPath);
    if (segments.empty()) {
      first = h;
      reference = h.StartTime;
    }
    const int samples = CountEnabled(h) > 0 ? SampsPerBlockOf(h) : 0;
    if (samples <= 0) return "Cannot read the page's records of " + FileTitleOf(localPath);
    const int count = std::min(samples, n - static_cast<int>(p));
    segments.push_back({static_cast<int>(p), count, SecondsBetween(reference, h.StartTime)});
    p += static_cast<size_t>(count);
  }

  FilePtr remote(OpenInputFile(remotePath));
  if (!remote) return "Cannot open the remote reference " + remotePath + ": " + std::strerror(errno) + kWithout;
  const RecordIndex ri = ScanRecords(remote.get());
  std::vector<Record> records;
  records.reserve(ri.offsets.size());
  for (uint64_t offset : ri.offsets) {
    Record rec;
    rec.offset = offset;
    if (!ReadHeaderAt(remote.get(), offset, rec.h)) break;
    ComputeGains(rec.h);
    rec.start = SecondsBetween(reference, rec.h.StartTime);
    rec.samples = CountEnabled(rec.h) > 0 ? SampsPerBlockOf(rec.h) : 0;
    records.push_back(rec);
  }
  if (records.empty()) return title + " holds no complete record" + kWithout;
  if (records.front().h.SampleRate != first.SampleRate)
    return title + " is sampled at " + RateText(records.front().h.SampleRate) + " samples/s, the open recording at " +
           RateText(first.SampleRate) + kWithout;

  const double rate = RateHz(first.SampleRate);
  const double dt = 1.0 / (rate > 0 ? rate : 1.0);
  hx.assign(static_cast<size_t>(n), 0.0);
  hy.assign(static_cast<size_t>(n), 0.0);
  std::vector<uint8_t> block;
  std::vector<std::array<int32_t, kChannels>> counts;
  size_t loaded = records.size();  // the record whose samples are in counts
  bool serialsTaken = false;
  for (const Segment& seg : segments) {
    for (int m = 0; m < seg.count;) {
      const double t = seg.start + m * dt;
      // The remote record holding the sample at t.
      size_t k = 0;
      long long j = -1;
      for (; k < records.size(); ++k) {
        const double at = (t - records[k].start) / dt;
        if (at < -0.5 || at >= records[k].samples - 0.5) continue;
        const long long whole = std::clamp<long long>(std::llround(at), 0, records[k].samples - 1);
        if (std::fabs(at - static_cast<double>(whole)) > kAlignment)
          return "The samples of " + FileTitleOf(remotePath) + " fall between those of the page" + kWithout;
        j = whole;
        break;
      }
      if (j < 0) return title + " does not hold the whole time span of the page" + kWithout;
      const Record& rec = records[k];
      int chans[2];
      if (rec.h.SampleRate != first.SampleRate)
        return title + " changes its sample rate within the page's time span" + kWithout;
      if (!MagneticChannels(rec.h, chans)) return title + " has no enabled Hx and Hy channels" + kWithout;
      if (loaded != k) {
        if (std::fseek(remote.get(), static_cast<long>(rec.offset + kHeaderBytes), SEEK_SET) != 0 ||
            ReadBlock(remote.get(), BlockBytes(rec.h), block).status != ReadStatus::Ok)
          return "Cannot read the remote reference " + remotePath + kWithout;
        UnpackBlock(block.data(), rec.h, rec.samples, counts);
        loaded = k;
      }
      if (!serialsTaken) {
        serials[0] = SensorSerialText(rec.h.SensorSerial[chans[0]]);
        serials[1] = SensorSerialText(rec.h.SensorSerial[chans[1]]);
        serialsTaken = true;
      }
      const double fx = CountFactor(rec.h, chans[0], adcSpanMilliVolts);
      const double fy = CountFactor(rec.h, chans[1], adcSpanMilliVolts);
      const int run = static_cast<int>(std::min<long long>(seg.count - m, rec.samples - j));
      for (int i = 0; i < run; ++i) {
        const auto& row = counts[static_cast<size_t>(j + i)];
        hx[static_cast<size_t>(seg.point + m + i)] = row[static_cast<size_t>(chans[0])] * fx;
        hy[static_cast<size_t>(seg.point + m + i)] = row[static_cast<size_t>(chans[1])] * fy;
      }
      m += run;
    }
  }
  return {};
}

std::string SetRemoteReference(AppState& s, const std::string& path) {
  const std::string title = FileTitleOf(path);
  FilePtr f(OpenInputFile(path));
  if (!f) return "Cannot open " + path + ": " + std::strerror(errno);
  if (s.DataFile && IdOfFile(f.get()) == IdOfFile(s.DataFile))
    return title + " is the open recording; choose the recording of another station.";
  uint8_t raw[kHeaderBytes];
  RecorderHeader h{};
  if (ReadHeader(f.get(), raw, h).status != ReadStatus::Ok) return title + " holds no complete record.";
  int chans[2];
  if (!MagneticChannels(h, chans)) return title + " has no enabled Hx and Hy channels to serve as a remote reference.";
  s.RemotePath = path;
  s.RemoteTitle = title;
  s.RemoteSeriesKey.clear();
  s.RemoteToldKey.clear();
  s.RemoteBands = 0;
  if (s.host && s.FileLoaded) s.host->SetStatusText(0, FileStatusText(s));
  return {};
}

void ClearRemoteReference(AppState& s) {
  s.RemotePath.clear();
  s.RemoteTitle.clear();
  s.RemoteSeriesKey.clear();
  s.RemoteToldKey.clear();
  s.RemoteProblem.clear();
  s.RemoteBands = 0;
  s.RemoteCrossSpec.clear();
  if (s.host && s.FileLoaded) s.host->SetStatusText(0, FileStatusText(s));
}

void AddRemoteInput(const AppState& s, std::vector<FileId>& inputs) {
  if (s.RemotePath.empty()) return;
  const FileId id = IdOfPath(s.RemotePath);
  if (id.known) inputs.push_back(id);
}

void ComputeRemoteSpectra(AppState& s) {
  s.RemoteBands = 0;
  const int n = s.NumPlotPoints;
  // The Sims estimates do not use a remote: nothing to read or tell.
  if (s.RemotePath.empty() || !s.AppResOn || !s.LeastSquaresOn || s.SineTestOn || n <= 0 || !s.MtChannelFound[kMtHx] ||
      !s.MtChannelFound[kMtHy])
    return;
  const std::string key = s.CurrentFilePath + '\n' + std::to_string(s.CurrentRecord) + '\n' + std::to_string(n) + '\n' +
                          FileStamp(s.RemotePath);
  if (key != s.RemoteSeriesKey) {
    s.RemoteSeriesKey = key;
    std::string serials[2];
    if (s.DataFile && IdOfPath(s.RemotePath) == IdOfFile(s.DataFile))
      s.RemoteProblem = "The remote reference " + s.RemoteTitle + " is the open recording itself" + kWithout;
    else
      s.RemoteProblem = ReadRemoteSamples(s.CurrentFilePath, s.CurrentRecord, n, s.RemotePath, s.AdcSpanMilliVolts,
                                          s.RemoteSeries[0], s.RemoteSeries[1], serials);
    s.RemoteSerial[0] = serials[0];
    s.RemoteSerial[1] = serials[1];
  }
  if (!s.RemoteProblem.empty()) {
    if (s.RemoteToldKey != key && s.host) {
      s.RemoteToldKey = key;
      ShowMessage(*s.host, s.RemoteProblem, MsgIcon::Warning);
    }
    return;
  }

  // The page's pipeline on the remote Hx, Hy: trend, window, transform, notch, coil.
  const unsigned long N = static_cast<unsigned long>(s.FftLength);
  if (N < 2 || static_cast<long long>(N) < n) return;
  const double df = SamplesPerSecond(s) / static_cast<double>(N);
  std::vector<double> trend(static_cast<size_t>(n)), xout(static_cast<size_t>(n));
  const int channel[2] = {s.HxChan, s.HyChan};
  for (int r = 0; r < 2; ++r) {
    std::vector<double>& y = s.RemoteSeries[static_cast<size_t>(r)];
    std::vector<double>& X = s.RemoteSpectrum[static_cast<size_t>(r)];
    double coeffs[kMaxFitTerms + 2] = {}, rms = 0;
    if (!PolyFit(s.xplotdata.data(), y.data(), xout.data(), trend.data(), coeffs, s.FitOrder, n, n, &rms))
      std::fill(trend.begin(), trend.end(), 0.0);
    X.assign(N + 3, 0.0);
    WindowRecord(s, y.data(), trend.data(), X.data() + 1, n, s.WindowType);
    RealSpectrum(X.data(), N, +1);
    const int ch = channel[r];
    if (s.NotchOn) {
      // The notch works on a channel's spectrum: lend it the remote's for the call.
      std::swap(s.yplotdata2[ch], X);
      ApplyNotch(s, ch);
      std::swap(s.yplotdata2[ch], X);
    }
    // The coil file is the one of the serial OutHeader gives the channel: lend it the remote's.
    char saved[sizeof s.OutHeader.SensorSerial[0]];
    std::memcpy(saved, s.OutHeader.SensorSerial[ch], sizeof saved);
    std::memset(s.OutHeader.SensorSerial[ch], 0, sizeof saved);
    std::memcpy(s.OutHeader.SensorSerial[ch], s.RemoteSerial[r].data(), std::min(s.RemoteSerial[r].size(), size_t{16}));
    LoadResponse(s, ch);
    std::memcpy(s.OutHeader.SensorSerial[ch], saved, sizeof saved);
    CorrectCoilSpectrum(s, X.data(), N, df);
  }

  // Band cross-spectra with the remote, over the bins the local bands averaged.
  const int bands = s.PlotCount;
  const long long M = s.CoeffsSummed;
  if (bands <= 0 || M < 1 || static_cast<long long>(bands + 1) * M > static_cast<long long>(N / 2) + M) return;
  const bool skipNotched = s.NotchOn && s.NotchedBins.size() >= N / 2;
  const int chans[4] = {s.HxChan, s.HyChan, s.ExChan, s.EyChan};
  const double* A[6] = {};
  for (int a = 0; a < 4; ++a)
    if (s.MtChannelFound[a]) A[a] = s.yplotdata2[chans[a]].data();
  A[4] = s.RemoteSpectrum[0].data();
  A[5] = s.RemoteSpectrum[1].data();
  s.RemoteCrossSpec.assign(24 * static_cast<size_t>(bands), kNaN);
  for (long long j = 0; j < bands; ++j) {
    Complex sum[6][2];
    int kept = 0;
    for (long long b = BandFirstBin(j, M); b < (j + 1) * M; ++b) {
      if (skipNotched && s.NotchedBins[static_cast<size_t>(b)]) continue;
      ++kept;
      const Complex rc[2] = {std::conj(Complex(A[4][2 * b + 1], A[4][2 * b + 2])),
                             std::conj(Complex(A[5][2 * b + 1], A[5][2 * b + 2]))};
      for (int a = 0; a < 6; ++a) {
        if (!A[a]) continue;
        const Complex v(A[a][2 * b + 1], A[a][2 * b + 2]);
        sum[a][0] += v * rc[0];
        sum[a][1] += v * rc[1];
      }
    }
    if (kept == 0) continue;
    double* out = s.RemoteCrossSpec.data() + 24 * j;
    for (int a = 0; a < 6; ++a) {
      if (!A[a]) continue;
      for (int r = 0; r < 2; ++r) {
        out[4 * a + 2 * r] = sum[a][r].real() / kept;
        out[4 * a + 2 * r + 1] = sum[a][r].imag() / kept;
      }
    }
  }
  s.RemoteBands = bands;
}

bool RemoteReferenceTensor(const AppState& s, int b, Complex Z[4], Complex V[4]) {
  if (b < 0 || b >= s.RemoteBands || s.RemoteCrossSpec.size() < 24 * static_cast<size_t>(b + 1)) return false;
  auto c = [&](int a, int r) {
    const double* e = s.RemoteCrossSpec.data() + 24 * static_cast<size_t>(b) + 4 * a + 2 * r;
    return Complex(e[0], e[1]);
  };
  constexpr int kRx = 4, kRy = 5;
  Complex A[4];  // <H R*>⁻¹
  InvertTensor2x2(c(kMtHx, 0), c(kMtHx, 1), c(kMtHy, 0), c(kMtHy, 1), A);
  for (const Complex& a : A)
    if (!std::isfinite(a.real()) || !std::isfinite(a.imag())) return false;
  // Each row of E: [<E Rx*> <E Ry*>]·<H R*>⁻¹.
  for (int row = 0; row < 2; ++row) {
    const int E = row == 0 ? kMtEx : kMtEy;
    const Complex e0 = c(E, 0), e1 = c(E, 1);
    Z[2 * row] = e0 * A[0] + e1 * A[2];
    Z[2 * row + 1] = e0 * A[1] + e1 * A[3];
  }
  const Complex RR[2][2] = {{c(kRx, 0), c(kRx, 1)}, {c(kRy, 0), c(kRy, 1)}};
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j) {
      Complex v;
      for (int k = 0; k < 2; ++k)
        for (int l = 0; l < 2; ++l) v += std::conj(A[2 * k + i]) * RR[k][l] * A[2 * l + j];
      V[2 * i + j] = v;
    }
  return true;
}
