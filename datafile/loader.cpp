#include "datafile/loader.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "datafile/file_io.h"
#include "util/parallel.h"

const char* const kTruncatedPlotMessage = "Plot points exceed %d, plot truncated";

std::string WhyNotRecording(std::FILE* f, const std::string& title, int& err) {
  uint8_t raw[kHeaderBytes];
  RecorderHeader h{};
  const uint64_t bytes = FileBytesOf(f);
  RecordReadResult r = ReadHeader(f, raw, h);
  std::rewind(f);
  err = r.status == ReadStatus::Error ? r.err : 0;
  if (err) return "Cannot read " + title + ": " + std::strerror(r.err);
  if (r.status == ReadStatus::End) return title + " is not a recorder file (it is empty)";
  if (r.status == ReadStatus::Truncated)
    return title + " is not a recorder file (" + std::to_string(r.bytesRead) + " bytes, less than one record header)";
  if (!KnownRateCode(h.SampleRate))
    return title + " is not a recorder file (unknown sample rate code " + std::to_string(h.SampleRate) + ")";
  if (CountEnabled(h) == 0) return title + " is not a recorder file (no channel is enabled in its first record)";
  if (bytes < kHeaderBytes + BlockBytes(h))
    return title + " holds no complete record (the file ends inside its first record)";
  return {};
}

PageEnd::Kind PageBreakBetween(const RecordShape& prev, const RecordShape& cur, double* gap) {
  if (cur.channels != prev.channels || cur.blockBytes != prev.blockBytes || cur.rateCode != prev.rateCode)
    return PageEnd::Layout;
  const double g = cur.start - (prev.start + prev.samples / prev.rate);
  if (gap) *gap = g;
  return std::fabs(g) > 1.0 / prev.rate ? PageEnd::TimeGap : PageEnd::Full;
}

std::string TimeGapMessage(double gap, int record) {
  char text[96];
  std::snprintf(text, sizeof text,
                std::fabs(gap) >= 1 ? "Time gap of %.1f s before record %d: page ends"
                                    : "Time gap of %.3g s before record %d: page ends",
                gap, record);
  return text;
}

int PageLength(const RecordIndex& index, int first, int perPlot, PageEnd* end) {
  PageEnd e;
  const int size = static_cast<int>(index.shapes.size());
  int n = 0;
  long long points = 0;
  e.kind = PageEnd::FileEnd;
  for (int k = std::max(first, 0); k < size; ++k) {
    if (n >= perPlot) {
      e.kind = PageEnd::Full;
      break;
    }
    const RecordShape& cur = index.shapes[static_cast<size_t>(k)];
    if (n > 0) {
      PageEnd::Kind b = PageBreakBetween(index.shapes[static_cast<size_t>(k - 1)], cur, &e.gap);
      if (b != PageEnd::Full) {
        e.kind = b;
        break;
      }
    }
    if (points + cur.samples > MaxPlotPoints) {
      e.kind = PageEnd::PointCap;
      break;
    }
    points += cur.samples;
    ++n;
  }
  if (n >= perPlot) e.kind = PageEnd::Full;
  e.next = first + n;
  if (end) *end = e;
  return n;
}

long long PagePoints(const RecordIndex& index, int first, int records) {
  long long points = 0;
  const int end = std::min(first + records, static_cast<int>(index.shapes.size()));
  for (int k = std::max(first, 0); k < end; ++k) points += index.shapes[static_cast<size_t>(k)].samples;
  return points;
}

int PreviousPageStart(const RecordIndex& index, int current, int perPlot) {
  if (current <= 0) return -1;
  int start = 0;
  for (;;) {
    const int n = PageLength(index, start, perPlot);
    if (n <= 0 || start + n >= current) return start;
    start += n;
  }
}

double RecordPlotStart(const RecordIndex& index, int k) {
  const auto& shapes = index.shapes;
  if (k <= 0 || shapes.empty()) return 0.0;
  k = std::min(k, static_cast<int>(shapes.size()) - 1);
  double anchor = shapes[0].start;
  double rate = shapes[0].rate;
  long long since = 0;  // samples from the anchor
  for (int i = 1; i <= k; ++i) {
    since += shapes[static_cast<size_t>(i - 1)].samples;
    const RecordShape& cur = shapes[static_cast<size_t>(i)];
    const double nominal = anchor + static_cast<double>(since) / rate;
    if (cur.rate != rate || std::fabs(cur.start - nominal) > 1.0 / rate) {
      anchor = cur.start;
      rate = cur.rate;
      since = 0;
    }
  }
  return anchor + static_cast<double>(since) / rate;
}

long long PagePointsBound(std::FILE* f, int perPlot) {
  const long position = std::ftell(f);
  const uint64_t bytes = FileBytesOf(f);
  if (position < 0 || static_cast<uint64_t>(position) >= bytes) return 0;
  uint8_t raw[kHeaderBytes];
  RecorderHeader h{};
  const RecordReadResult r = ReadHeader(f, raw, h);
  std::fseek(f, position, SEEK_SET);
  if (r.status != ReadStatus::Ok || CountEnabled(h) == 0) return 0;
  const long long samples = SampsPerBlockOf(h);
  const uint64_t records = (bytes - static_cast<uint64_t>(position)) / (kHeaderBytes + BlockBytes(h));
  const long long fit = MaxPlotPoints / samples;
  return std::min({static_cast<long long>(std::max(perPlot, 0)), static_cast<long long>(records), fit}) * samples;
}

namespace {

// Bytes of records read before they are decoded together: a few megabytes, so
// the batch is still in the cache when it is decoded.
constexpr size_t kBatchBytes = size_t{4} << 20;

// A 24-bit big-endian two's-complement sample.
inline int32_t Sample24(const uint8_t* b) {
  return static_cast<int32_t>(static_cast<uint32_t>(b[0]) << 24 | static_cast<uint32_t>(b[1]) << 16 |
                              static_cast<uint32_t>(b[2]) << 8) >>
         8;
}

// Rows of N interleaved samples into N arrays; N fixed so the inner loop unrolls.
template <int N>
void DecodeRows(const uint8_t* b, int rows, double* const* to) {
  for (int i = 0; i < rows; ++i)
    for (int j = 0; j < N; ++j, b += 3) to[j][i] = Sample24(b);
}

// A record read whole into the batch buffer, waiting to be decoded.
struct ReadRecordAt {
  size_t offset = 0;  // of its block in the buffer
  long long point = 0;
  int samples = 0;
  double rate = 1;
  uint8_t channels = 0;  // enabled slots, bit k for slot k
};

// The block of one record into the arrays of its enabled slots from point p;
// slots that are not enabled get 0.
void DecodeBlock(const uint8_t* block, uint8_t channels, int rows, const PageBuffers& out, size_t p) {
  double* to[kChannels];
  int n = 0;
  for (int k = 0; k < kChannels; ++k) {
    double* row = out.counts[static_cast<size_t>(k)] + p;
    if (channels & (1u << k))
      to[n++] = row;
    else
      std::fill_n(row, rows, 0.0);
  }
  switch (n) {
    case 1: DecodeRows<1>(block, rows, to); break;
    case 2: DecodeRows<2>(block, rows, to); break;
    case 3: DecodeRows<3>(block, rows, to); break;
    case 4: DecodeRows<4>(block, rows, to); break;
    case 5: DecodeRows<5>(block, rows, to); break;
    case 6: DecodeRows<6>(block, rows, to); break;
    default: break;
  }
}

// The samples and times of the records read into bytes. Every record writes
// its own points only, so the records are split over the cores in contiguous
// runs; which thread decodes a record does not change a value. The first
// writes into fresh arrays (their page faults) are split the same way.
void DecodeRecords(const std::vector<ReadRecordAt>& records, const uint8_t* bytes, double startTime,
                   const PageBuffers& out) {
  const int count = static_cast<int>(records.size());
  const int parts = std::min(count, 8);
  ParallelFor(parts, [&](int part) {
    const int from = static_cast<int>(static_cast<long long>(count) * part / parts);
    const int to = static_cast<int>(static_cast<long long>(count) * (part + 1) / parts);
    for (int r = from; r < to; ++r) {
      const ReadRecordAt& rec = records[static_cast<size_t>(r)];
      const size_t p = static_cast<size_t>(rec.point);
      DecodeBlock(bytes + rec.offset, rec.channels, rec.samples, out, p);
      double* times = out.times + p;
      for (int i = 0; i < rec.samples; ++i) times[i] = startTime + static_cast<int>(rec.point + i) / rec.rate;
    }
  });
}

bool AtFileEnd(std::FILE* f) {
  if (std::feof(f)) return true;
  const int c = std::fgetc(f);
  if (c == EOF) return true;
  std::ungetc(c, f);
  return false;
}

}  // namespace

PageRead ReadPage(std::FILE* f, const PageRequest& request, const PageBuffers& out) {
  PageRead result;
  std::vector<uint8_t>& bytes = *out.scratch;
  RecorderHeader h = request.header;
  RecordTime fileStart = request.fileStart;
  RecordShape shape;
  long long p = 0;
  // Records are read one by one (each checked before the next is read) into a
  // batch, which is decoded once it holds kBatchBytes.
  std::vector<ReadRecordAt> batch;
  size_t used = 0;  // bytes of the batch in the buffer
  auto decodeBatch = [&] {
    if (!batch.empty()) DecodeRecords(batch, bytes.data(), request.startTime, out);
    batch.clear();
    used = 0;
  };
  // Stops before the record read last: the file goes back to its start.
  auto stopBefore = [&](PageStop why, size_t got) {
    result.stop = why;
    if (got > 0) std::fseek(f, -static_cast<long>(got), SEEK_CUR);
  };
  for (int r = 0; r < request.maxRecords && p < MaxPlotPoints; ++r) {
    // Records after the first are read whole in one read, sized as the page's records.
    const size_t want = kHeaderBytes + (r > 0 ? shape.blockBytes : 0);
    if (used > 0 && used + want > kBatchBytes) decodeBatch();
    if (bytes.size() < used + want) bytes.resize(used + want);
    uint8_t* record = bytes.data() + used;
    int err = 0;
    errno = 0;
    size_t got = ReadFully(f, record, want, &err);
    if (err) {
      result.err = err;
      stopBefore(PageStop::ReadError, got);
      break;
    }
    if (got == 0) {
      result.stop = PageStop::FileEnd;
      break;
    }
    if (got < kHeaderBytes) {
      stopBefore(PageStop::Incomplete, got);
      break;
    }
    DecodeHeader(record, h);
    if (r == 0) {
      result.haveFirst = true;
      result.first = h;
      std::memcpy(result.firstRaw.data(), record, kHeaderBytes);
      if (request.fileStartIsFirst) fileStart = h.StartTime;
    }
    if (CountEnabled(h) == 0) {
      stopBefore(PageStop::NoChannel, got);
      break;
    }
    const RecordShape cur = ShapeOf(h, fileStart);
    if (r > 0) {
      const PageEnd::Kind b = PageBreakBetween(shape, cur, &result.gap);
      if (b != PageEnd::Full) {
        // Another layout would misalign every later sample; a gap would make the clock axis lie.
        stopBefore(b == PageEnd::Layout ? PageStop::Layout : PageStop::TimeGap, got);
        break;
      }
    }
    shape = cur;
    if (p + shape.samples > MaxPlotPoints) {
      stopBefore(PageStop::PointCap, got);
      break;
    }
    const size_t whole = kHeaderBytes + shape.blockBytes;
    if (got < whole) {  // the first record: its block follows
      if (bytes.size() < used + whole) bytes.resize(used + whole);
      record = bytes.data() + used;
      errno = 0;
      got += ReadFully(f, record + got, whole - got, &err);
    }
    if (err || got < whole) {
      result.err = err;
      stopBefore(err ? PageStop::ReadError : PageStop::Incomplete, got);
      break;
    }
    if (static_cast<size_t>(p + shape.samples) > out.capacity) {
      stopBefore(PageStop::NoSpace, got);
      break;
    }
    batch.push_back({used + kHeaderBytes, p, shape.samples, shape.rate, shape.channels});
    used += whole;
    p += shape.samples;
    result.last = h;
    ++result.records;
  }
  decodeBatch();
  result.points = static_cast<int>(p);
  result.nothingAfter = result.stop == PageStop::FileEnd || AtFileEnd(f);
  return result;
}
