#include "datafile/remote_samples.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "datafile/file_io.h"
#include "datafile/record_io.h"
#include "util/paths.h"

const char* const kRemoteWithout = "; the page is estimated without it.";

namespace {

// A remote sample must lie within this fraction of a sample of a page sample's time.
constexpr double kAlignment = 0.01;

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
    case 7: scale = h.Spacing[ch] >= 1 ? 1000.0 / h.Spacing[ch] : 1000.0 / 150.0; break;
    case 4:
    case 5:
    case 6: scale = 5.0; break;
    default: break;
  }
  const int gain = h.ChannelGain[ch] > 0 ? h.ChannelGain[ch] : 1;
  return scale * adcSpanMilliVolts / 16777216.0 / gain;
}

}  // namespace

bool MagneticChannels(const RecorderHeader& h, int chans[2]) {
  chans[0] = chans[1] = -1;
  for (int ch = 0; ch < kChannels; ++ch) {
    if (!h.ChannelEnabled[ch]) continue;
    if (h.ChannelLabel[ch] == kLabelHx) chans[0] = ch;
    if (h.ChannelLabel[ch] == kLabelHy) chans[1] = ch;
  }
  return chans[0] >= 0 && chans[1] >= 0;
}

namespace {

std::string RateText(uint32_t code) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", RateHz(code));
  return text;
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
  if (!remote) return "Cannot open the remote reference " + remotePath + ": " + std::strerror(errno) + kRemoteWithout;
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
  if (records.empty()) return title + " holds no complete record" + kRemoteWithout;
  if (records.front().h.SampleRate != first.SampleRate)
    return title + " is sampled at " + RateText(records.front().h.SampleRate) + " samples/s, the open recording at " +
           RateText(first.SampleRate) + kRemoteWithout;

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
          return "The samples of " + FileTitleOf(remotePath) + " fall between those of the page" + kRemoteWithout;
        j = whole;
        break;
      }
      if (j < 0) return title + " does not hold the whole time span of the page" + kRemoteWithout;
      const Record& rec = records[k];
      int chans[2];
      if (rec.h.SampleRate != first.SampleRate)
        return title + " changes its sample rate within the page's time span" + kRemoteWithout;
      if (!MagneticChannels(rec.h, chans)) return title + " has no enabled Hx and Hy channels" + kRemoteWithout;
      if (loaded != k) {
        if (std::fseek(remote.get(), static_cast<long>(rec.offset + kHeaderBytes), SEEK_SET) != 0 ||
            ReadBlock(remote.get(), BlockBytes(rec.h), block).status != ReadStatus::Ok)
          return "Cannot read the remote reference " + remotePath + kRemoteWithout;
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
