#include "datafile/loader.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// The same sample read as one 4-byte word whose last byte is the next
// sample's: one load and a byte swap instead of three loads. Only for samples
// that have a byte after them in the block.
inline int32_t Sample24InWord(const uint8_t* b) {
  uint32_t w;
  std::memcpy(&w, b, 4);
  if constexpr (std::endian::native == std::endian::little) w = __builtin_bswap32(w);
  return static_cast<int32_t>(w) >> 8;
}

// Rows of N interleaved samples into N arrays, one array at a time: the record
// stays in the cache while each array is written as one sequential stream.
template <int N>
void DecodeRows(const uint8_t* b, int rows, double* const* to) {
  for (int j = 0; j < N; ++j) {
    double* row = to[j];
    const uint8_t* from = b + 3 * j;
    int i = 0;
    for (; i < rows - 1; ++i, from += 3 * N) row[i] = Sample24InWord(from);
    for (; i < rows; ++i, from += 3 * N) row[i] = Sample24(from);  // the block's last row
  }
}

// times[i] = start + (first + i) / rate for i < n, two at a time where SSE2
// is there: the same conversion, division and sum as one at a time, so the
// same bits.
void FillTimes(double* times, int n, int first, double start, double rate) {
  int i = 0;
#if defined(__SSE2__)
  const __m128d start2 = _mm_set1_pd(start), rate2 = _mm_set1_pd(rate);
  const __m128i two = _mm_set1_epi32(2);
  __m128i index = _mm_setr_epi32(first, first + 1, 0, 0);
  for (; i + 2 <= n; i += 2) {
    _mm_storeu_pd(times + i, _mm_add_pd(start2, _mm_div_pd(_mm_cvtepi32_pd(index), rate2)));
    index = _mm_add_epi32(index, two);
  }
#endif
  for (; i < n; ++i) times[i] = start + (first + i) / rate;
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

// Part part of parts of the records read into bytes: their samples and times.
// Every record writes its own points only, so the records are split into
// contiguous runs decoded on either core; which thread decodes a record does
// not change a value. The first writes into fresh arrays (their page faults)
// are split the same way.
void DecodeRecords(const std::vector<ReadRecordAt>& records, const uint8_t* bytes, int part, int parts,
                   double startTime, const PageBuffers& out) {
  const long long count = static_cast<long long>(records.size());
  const auto from = static_cast<size_t>(count * part / parts);
  const auto to = static_cast<size_t>(count * (part + 1) / parts);
  for (size_t r = from; r < to; ++r) {
    const ReadRecordAt& rec = records[r];
    const size_t p = static_cast<size_t>(rec.point);
    DecodeBlock(bytes + rec.offset, rec.channels, rec.samples, out, p);
    FillTimes(out.times + p, rec.samples, static_cast<int>(rec.point), startTime, rec.rate);
  }
}

// Reads a page's records one by one, each checked before the next is read,
// into batches of about kBatchBytes; the records of a batch are decoded later.
class PageReader {
 public:
  PageReader(std::FILE* f, const PageRequest& request, const PageBuffers& out, PageRead& result)
      : f_(f), request_(request), out_(out), result_(result), h_(request.header), fileStart_(request.fileStart) {}

  bool done() const { return done_; }
  long long points() const { return p_; }

  // The next batch: its bytes from the start of bytes, its records in records (emptied first).
  void ReadBatch(std::vector<uint8_t>& bytes, std::vector<ReadRecordAt>& records) {
    records.clear();
    size_t used = 0;
    while (!done_ && !(used > 0 && used + NextWant() > kBatchBytes)) used += ReadRecord(bytes, used, records);
  }

 private:
  // Records after the first are read whole in one read, sized as the page's records.
  size_t NextWant() const { return kHeaderBytes + (r_ > 0 ? shape_.blockBytes : 0); }

  // Stops before the record read last: the file goes back to its start.
  void StopBefore(PageStop why, size_t got) {
    result_.stop = why;
    if (got > 0) std::fseek(f_, -static_cast<long>(got), SEEK_CUR);
    done_ = true;
  }

  // One record at bytes[used]; returns the bytes it takes there (0 when the page stops before it).
  size_t ReadRecord(std::vector<uint8_t>& bytes, size_t used, std::vector<ReadRecordAt>& records) {
    if (r_ >= request_.maxRecords || p_ >= MaxPlotPoints) {
      done_ = true;
      return 0;
    }
    const size_t want = NextWant();
    if (bytes.size() < used + want) bytes.resize(used + want);
    int err = 0;
    errno = 0;
    size_t got = ReadFully(f_, bytes.data() + used, want, &err);
    if (err) {
      result_.err = err;
      StopBefore(PageStop::ReadError, got);
      return 0;
    }
    if (got == 0) {
      result_.stop = PageStop::FileEnd;
      done_ = true;
      return 0;
    }
    if (got < kHeaderBytes) {
      StopBefore(PageStop::Incomplete, got);
      return 0;
    }
    DecodeHeader(bytes.data() + used, h_);
    if (r_ == 0) {
      result_.haveFirst = true;
      result_.first = h_;
      std::memcpy(result_.firstRaw.data(), bytes.data() + used, kHeaderBytes);
      if (request_.fileStartIsFirst) fileStart_ = h_.StartTime;
    }
    if (CountEnabled(h_) == 0) {
      StopBefore(PageStop::NoChannel, got);
      return 0;
    }
    const RecordShape cur = ShapeOf(h_, fileStart_);
    if (r_ > 0) {
      const PageEnd::Kind b = PageBreakBetween(shape_, cur, &result_.gap);
      if (b != PageEnd::Full) {
        // Another layout would misalign every later sample; a gap would make the clock axis lie.
        StopBefore(b == PageEnd::Layout ? PageStop::Layout : PageStop::TimeGap, got);
        return 0;
      }
    }
    shape_ = cur;
    if (p_ + shape_.samples > MaxPlotPoints) {
      StopBefore(PageStop::PointCap, got);
      return 0;
    }
    const size_t whole = kHeaderBytes + shape_.blockBytes;
    if (got < whole) {  // the first record: its block follows
      if (bytes.size() < used + whole) bytes.resize(used + whole);
      errno = 0;
      got += ReadFully(f_, bytes.data() + used + got, whole - got, &err);
    }
    if (err || got < whole) {
      result_.err = err;
      StopBefore(err ? PageStop::ReadError : PageStop::Incomplete, got);
      return 0;
    }
    if (static_cast<size_t>(p_ + shape_.samples) > out_.capacity) {
      StopBefore(PageStop::NoSpace, got);
      return 0;
    }
    records.push_back({used + kHeaderBytes, p_, shape_.samples, shape_.rate, shape_.channels});
    p_ += shape_.samples;
    result_.last = h_;
    ++result_.records;
    ++r_;
    return whole;
  }

  std::FILE* f_;
  const PageRequest& request_;
  const PageBuffers& out_;
  PageRead& result_;
  RecorderHeader h_;
  RecordTime fileStart_;
  RecordShape shape_;
  long long p_ = 0;
  int r_ = 0;
  bool done_ = false;
};

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
  PageReader reader(f, request, out, result);
  // Two batches: while one is decoded (on both cores), the next is read into the other.
  std::vector<uint8_t> spare;
  std::vector<uint8_t>* bytes[2] = {out.scratch, &spare};
  std::vector<ReadRecordAt> records[2];
  reader.ReadBatch(*bytes[0], records[0]);
  for (int cur = 0; !records[cur].empty(); cur = 1 - cur) {
    const int next = 1 - cur;
    const bool more = !reader.done();
    if (!more) records[next].clear();
    const int parts = static_cast<int>(std::min<size_t>(records[cur].size(), 8));
    const uint8_t* batch = bytes[cur]->data();
    ParallelFor(parts + (more ? 1 : 0), [&](int i) {
      if (more && i == 0)
        reader.ReadBatch(*bytes[next], records[next]);
      else
        DecodeRecords(records[cur], batch, more ? i - 1 : i, parts, request.startTime, out);
    });
  }
  result.points = static_cast<int>(reader.points());
  result.nothingAfter = result.stop == PageStop::FileEnd || AtFileEnd(f);
  return result;
}
