#include "datafile/writers.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "datafile/record_io.h"
#include "datafile/sample_rows.h"
#include "spectral/lowpass.h"
#include "util/parallel.h"
#include "util/paths.h"
#include "util/text.h"

namespace {

const char* const kHeaderWriteError = "SaveData Header Write error %d";
const char* const kBlockWriteError = "SaveData Write error %d";
constexpr double kCountsPerSpan = 16777216.0;  // 2^24 counts span AdcSpanMilliVolts

// A count as mV at the recorder's input (no sensor scale), and back.
double CountsToMv(double counts, double span, int gain) { return counts * span / kCountsPerSpan / gain; }
double MvToCounts(double mv, double span, int gain) { return mv * kCountsPerSpan * gain / span; }

// Order-4 rows of the decimating filter for the corners whose display filter
// is of order 8, with the design table's gain. The filter divides by the gain
// at zero frequency of the coefficients themselves, as the display filter
// does, so that a constant comes out unchanged.
struct Order4Row {
  double c[4];
  double tableGain;
};
const Order4Row kDecimationRows[3] = {
    {{-0.030118875, 0.1826756978, -0.6799785269, 0.782095198}, 21.46710182},
    {{-0.1873794924, 1.0546654059, -2.3139884144, 2.3695130072}, 207.2820954},
    {{-0.4382651423, 2.1121553551, -3.861194349, 3.1806385489}, 2400.388646},
};

// The decoder reads the tick count with a clock and subtracts a filter delay,
// both depending on the rate code: the tick count that keeps the record's
// start time under the rate code to.
uint64_t TicksForRate(const RecorderHeader& h, uint32_t to) {
  auto clock = [&](uint32_t rate) {
    RecorderHeader at = h;
    at.SampleRate = rate;
    return DecoderClockHz(at);
  };
  auto delay = FilterDelaySeconds;
  const int32_t from = clock(h.SampleRate), onto = clock(to);
  if (from <= 0 || onto <= 0) return h.FirstSampleTicks;
  const double seconds = static_cast<double>(h.FirstSampleTicks) / from + delay(to) - delay(h.SampleRate);
  const double ticks = seconds * onto;
  if (!(ticks >= 0 && ticks < 1.8e19)) return h.FirstSampleTicks;  // beyond any count the field holds
  return static_cast<uint64_t>(ticks + 0.5);
}

// Records of one decimation group must share channels, length and rate.
bool SameLayout(const RecorderHeader& a, const RecorderHeader& b) {
  for (int k = 0; k < kChannels; ++k)
    if ((a.ChannelEnabled[k] != 0) != (b.ChannelEnabled[k] != 0)) return false;
  return SampsPerBlockOf(a) == SampsPerBlockOf(b) && a.SampleRate == b.SampleRate;
}

// Factors a decimation offers.
constexpr int kDecimationFactors[] = {40, 80, 200};

std::string HzText(double hz) { return Format("%.10g Hz", hz); }

int OutputChannels(const RecorderHeader& o, int (&channels)[kChannels]) {
  int m = 0;
  for (int k = 0; k < kChannels; ++k)
    if (o.ChannelEnabled[k]) channels[m++] = k;
  return m;
}

}  // namespace

// ---- Names ---------------------------------------------------------------

std::string BaseOfTitle(const std::string& title) {
  const size_t n = title.size();
  auto lower = [&](size_t i) { return static_cast<char>(std::tolower(static_cast<unsigned char>(title[i]))); };
  if (n >= 4 && title[n - 4] == '.' && lower(n - 3) == 'b' && lower(n - 2) == 'i' && lower(n - 1) == 'n')
    return title.substr(0, n - 4);
  return title;
}

// ---- Reading -------------------------------------------------------------

std::string NoRecordReason(const std::string& path, int need, RecorderHeader* first) {
  const std::string name = FileTitleOf(path);
  std::FILE* f = std::fopen(path.c_str(), "rb");  // a few small reads: a stream's own buffer
  if (!f) return name + " cannot be opened (" + std::strerror(errno) + ")";
  const uint64_t fileBytes = FileBytesOf(f);
  uint8_t raw[kHeaderBytes];
  RecorderHeader h{}, head{};
  uint64_t offset = 0;
  int records = 0;
  std::string why;
  while (records < need) {
    if (fseeko(f, static_cast<off_t>(offset), SEEK_SET) != 0) {
      why = name + " cannot be read (" + std::strerror(errno) + ")";
      break;
    }
    RecordReadResult r = ReadHeader(f, raw, h);
    if (r.status == ReadStatus::Error) {
      why = name + " cannot be read (" + std::strerror(r.err) + ")";
      break;
    }
    if (records == 0) {
      if (r.status == ReadStatus::End) {
        why = name + " is empty";
        break;
      }
      if (r.status == ReadStatus::Truncated) {
        why = name + " ends inside the header of its first record (" + std::to_string(fileBytes) + " bytes)";
        break;
      }
      head = h;
      if (first) *first = h;
      if (CountEnabled(h) == 0) {
        why = name + " has no enabled channel in its first record";
        break;
      }
      if (offset + kHeaderBytes + BlockBytes(h) > fileBytes) {
        why = name + " ends inside the sample block of its first record";
        break;
      }
    } else if (r.status != ReadStatus::Ok || !SameLayout(h, head) ||
               offset + kHeaderBytes + BlockBytes(h) > fileBytes) {
      why = name + " holds " + std::to_string(records) + (records == 1 ? " complete record" : " complete records") +
            ", fewer than a group of " + std::to_string(need);
      break;
    }
    offset += kHeaderBytes + BlockBytes(h);
    ++records;
  }
  std::fclose(f);
  return why;
}

uint32_t DecimatedRateCode(uint32_t code, int factor) {
  if (factor < 1) return 0;
  const double hz = RateHz(code) / factor;
  if (hz == 62.5) return 62;
  // Whole hertz from 1 on; 62 itself would read back as 62.5 Hz.
  if (hz < 1 || hz != std::floor(hz) || hz == 62 || hz > 4294967295.0) return 0;
  return static_cast<uint32_t>(hz);
}

std::string DecimationRefusal(uint32_t code, int factor) {
  if (DecimatedRateCode(code, factor)) return "";
  std::vector<int> work;
  for (int f : kDecimationFactors)
    if (DecimatedRateCode(code, f)) work.push_back(f);
  std::string which;
  if (work.empty()) {
    which = "no factor of 40, 80 or 200 works for this file";
  } else {
    for (size_t i = 0; i < work.size(); ++i)
      which += (i == 0 ? "" : i + 1 == work.size() ? " and " : ", ") + std::to_string(work[i]);
    which = (work.size() == 1 ? "factor " + which + " works" : "factors " + which + " work");
  }
  return HzText(RateHz(code)) + " by " + std::to_string(factor) + " gives " + HzText(RateHz(code) / factor) +
         ", which a recorder header cannot state; " + which;
}

bool OpenWriterInput(WriterEvents& events, const std::string& path, WriterInput& in) {
  in = WriterInput{};
  in.path = path;
  in.title = FileTitleOf(path);
  in.f = OpenInputFile(path);
  if (!in.f) {
    events.Tell("Cannot open " + path + ": " + std::strerror(errno), WriterEvents::Kind::Error);
    return false;
  }
  in.id = IdOfFile(in.f);
  in.bytes = FileBytesOf(in.f);
  return true;
}

void CloseWriterInput(WriterInput& in) {
  if (in.f) std::fclose(in.f);
  in.f = nullptr;
}

NextRecord ReadNextRecord(WriterEvents& events, WriterInput& in, InputRecord& rec) {
  RecordReadResult r = ReadHeader(in.f, rec.raw, rec.h);
  if (r.status == ReadStatus::Ok) {
    rec.blockBytes = BlockBytes(rec.h);
    r = ReadBlock(in.f, rec.blockBytes, rec.block);
  }
  switch (r.status) {
    case ReadStatus::Ok:
      ComputeGains(rec.h);
      ++in.records;
      return NextRecord::Record;
    case ReadStatus::End: return NextRecord::End;
    case ReadStatus::Truncated:
      events.Tell("The last record of " + in.title + " is incomplete; it was not copied.", WriterEvents::Kind::Warning);
      return NextRecord::Truncated;
    case ReadStatus::Error: break;
  }
  in.err = r.err ? r.err : EIO;
  return NextRecord::Error;
}

void TellNoChannels(WriterEvents& events, const WriterInput& in) {
  events.Tell(
      "Record " + std::to_string(in.records) + " of " + in.title + " has no enabled channel; the copy ends before it.",
      WriterEvents::Kind::Warning);
}

Progress::Progress(WriterEvents& events, std::string what, uint64_t totalBytes)
    : events_(events), what_(std::move(what)), total_(totalBytes) {}

void Progress::Add(uint64_t bytes) {
  done_ += bytes;
  if (total_ == 0) return;
  int percent = static_cast<int>(std::min<uint64_t>(done_ * 100 / total_, 99));
  if (percent == shown_) return;
  shown_ = percent;
  events_.ShowProgress(what_, percent / 100.0);
}

void Progress::Finish() {
  if (shown_ == 100) return;
  shown_ = 100;
  events_.ShowProgress(what_, 1.0);
}

// ---- Writing -------------------------------------------------------------

std::unique_ptr<OutputFile> CreateOutput(WriterEvents& events, FileWriteSystem& system, const std::string& outPath,
                                         const std::vector<FileId>& inputs, WriteReport* report) {
  CreateResult created = system.Create(outPath, inputs);
  if (created.status == CreateStatus::Ok) return std::move(created.file);
  if (created.status == CreateStatus::IsInput)
    events.Tell(outPath + " is one of the files being read; nothing was written.", WriterEvents::Kind::Error);
  else
    events.Tell("Cannot create " + outPath + ": " + std::strerror(created.err), WriterEvents::Kind::Error);
  if (report) {
    report->err = created.status == CreateStatus::IsInput ? EEXIST : created.err;
    report->failedPath = outPath;
  }
  return nullptr;
}

void NoteWriteError(bool header, int err, WriteReport* report) {
  if (!report) return;
  report->err = err ? err : EIO;
  report->headerWrite = header;
  report->readFailed = false;
}

void NoteReadError(const std::string& path, int err, WriteReport* report) {
  if (!report) return;
  report->err = err ? err : EIO;
  report->readFailed = true;
  report->failedPath = path;
}

int CloseOutput(OutputFile& out, WriteReport* report) {
  if (out.Close()) return 1;
  NoteWriteError(false, out.error(), report);
  return 0;
}

void AbandonOutput(WriterEvents& events, const std::string& programName, OutputFile& out, const std::string& outPath,
                   WriteReport& report, const std::string& more) {
  const bool existed = IdOfPath(outPath).known;
  report.removed = out.Discard();
  std::string text;
  WriterEvents::Kind kind = WriterEvents::Kind::Error;
  if (!report.failure.empty()) {
    text = report.failure;
  } else if (report.readFailed) {
    text = programName + " failed with error " + std::to_string(report.err) + ": " + std::strerror(report.err) +
           " (reading " + report.failedPath + ")";
    kind = WriterEvents::Kind::SystemError;
  } else {
    text = Format(report.headerWrite ? kHeaderWriteError : kBlockWriteError, report.err) + " (" +
           std::strerror(report.err) + ") writing " + outPath;
    report.failedPath = outPath;
  }
  if (report.removed)
    text += "; the incomplete file was removed.";
  else if (existed && IdOfPath(outPath).known && std::filesystem::is_regular_file(outPath))
    text += "; it could not be removed and is incomplete.";
  else
    text += ".";
  if (!more.empty()) text += " " + more;
  events.Tell(text, kind);
}

namespace {

// The filtered samples of a record into work.outBlock, for the m output
// channels outCh: every sample of the record's channels in mV at the input
// (no sensor scale), through the low-pass filter of corner, negated where o
// inverts, back to counts; a channel the record does not carry is written as
// zeros.
void FilterRecord(const InputRecord& rec, const RecorderHeader& o, double span, int corner, const int* outCh, int m,
                  PipelineWork& work) {
  const RecorderHeader& h = rec.h;
  int inCh[kChannels];
  const int n = OutputChannels(h, inCh);
  OutputColumn cols[kChannels];
  for (int j = 0; j < m; ++j)
    cols[j] = {outCh[j], h.ChannelGain[outCh[j]], h.ChannelEnabled[outCh[j]] != 0, o.ChannelInvert[outCh[j]] != 0};
  FilterSampleBlock(rec.block.data(), SampsPerBlockOf(h), inCh, n, h.ChannelGain, cols, m, span, corner, work.filter,
                    work.outBlock.data());
}

}  // namespace

PipelineResult WriteThroughPipeline(InputRecord& rec, RecorderHeader& o, const SampleFilter& sampleFilter,
                                    OutputFile& out, PipelineWork& work, WriteReport* report) {
  const bool filter = sampleFilter.on;
  const RecorderHeader& h = rec.h;
  if (CountEnabled(h) == 0) return PipelineResult::NoChannels;
  EncodeHeader(rec.raw, h, o);
  if (!out.Write(rec.raw, kHeaderBytes)) {
    NoteWriteError(true, out.error(), report);
    return PipelineResult::WriteError;
  }

  int outCh[kChannels];
  const int m = OutputChannels(o, outCh);
  const int S = SampsPerBlockOf(h);
  bool sameSet = true, invert = false;
  for (int k = 0; k < kChannels; ++k) {
    if ((o.ChannelEnabled[k] != 0) != (h.ChannelEnabled[k] != 0)) sameSet = false;
    if (o.ChannelEnabled[k] && o.ChannelInvert[k]) invert = true;
  }
  if (!filter && sameSet && !invert) {
    // Re-encoding unchanged counts gives back the very bytes read.
    if (!out.Write(rec.block.data(), rec.blockBytes)) {
      NoteWriteError(false, out.error(), report);
      return PipelineResult::WriteError;
    }
    return PipelineResult::Written;
  }

  const double span = sampleFilter.adcSpanMv;
  const size_t outBytes = static_cast<size_t>(m) * static_cast<size_t>(S) * 3;
  if (work.outBlock.size() < outBytes) work.outBlock.resize(outBytes);
  if (filter) {
    FilterRecord(rec, o, span, sampleFilter.corner, outCh, m, work);
  } else {
    UnpackBlock(rec.block.data(), h, S, work.counts);
    uint8_t* p = work.outBlock.data();
    for (int r = 0; r < S; ++r) {
      for (int j = 0; j < m; ++j, p += 3) {
        const int k = outCh[j];
        double x = 0.0;  // a channel the record does not carry is written as zeros
        if (h.ChannelEnabled[k]) {
          // Unfiltered samples stay exact counts: no round trip through millivolts.
          x = work.counts[static_cast<size_t>(r)][k];
          if (o.ChannelInvert[k]) x = -x;
        }
        EncodeSample(x, p);
      }
    }
  }
  if (!out.Write(work.outBlock.data(), outBytes)) {
    NoteWriteError(false, out.error(), report);
    return PipelineResult::WriteError;
  }
  return PipelineResult::Written;
}

namespace {

// Tells held back by the reading side of the filtered copy, told once every
// record read before them has been written: the caller hears warnings and
// progress in the order of a copy that goes one record at a time.
class HeldEvents : public WriterEvents {
 public:
  std::vector<std::pair<std::string, Kind>> held;
  void Tell(const std::string& text, Kind kind) override { held.emplace_back(text, kind); }
};

// Records of the filtered copy that go through its three stages together:
// read, filtered and encoded, written.
struct FilteredBatch {
  struct Record {
    InputRecord in;                // as read
    uint8_t header[kHeaderBytes];  // the output header, encoded
    size_t firstByte = 0;          // its output block in FilteredBatch::blocks
    size_t outBytes = 0;
    int n = 0;  // the record's channels
    int inCh[kChannels];
    int m = 0;  // output columns
    OutputColumn cols[kChannels];
  };
  std::vector<Record> records;
  int count = 0;
  std::vector<uint8_t> blocks;           // every record's output block, filtered and encoded
  NextRecord stop = NextRecord::Record;  // Record: the batch is full; else why reading ended
  bool noChannels = false;               // reading ended at a record without enabled channels
  HeldEvents told;                       // what reading told
  bool noRoom = false;                   // no memory for the output blocks: nothing of it is written
  int written = 0;                       // records written
  bool writeFailed = false, headerFailed = false;
  int err = 0;
};

// Input bytes a batch gathers before it is handed on: large enough that
// the hand-over costs little, small enough that it stays in cache.
constexpr uint64_t kBatchInputBytes = 1u << 18;

// Reads records into batch with their output headers and columns. No
// memory for a record ends the input with a read error.
void ReadRecords(WriterInput& in, RecorderHeader* outHeader, FilteredBatch& batch) {
  batch.count = 0;
  batch.stop = NextRecord::Record;
  batch.noChannels = false;
  batch.told.held.clear();
  size_t bytesOut = 0;
  uint64_t bytesIn = 0;
  while (bytesIn < kBatchInputBytes) {
    if (batch.records.size() <= static_cast<size_t>(batch.count)) batch.records.emplace_back();
    FilteredBatch::Record& r = batch.records[static_cast<size_t>(batch.count)];
    const NextRecord next = ReadNextRecord(batch.told, in, r.in);
    if (next != NextRecord::Record) {
      batch.stop = next;
      return;
    }
    const RecorderHeader& h = r.in.h;
    if (CountEnabled(h) == 0) {
      batch.stop = NextRecord::End;
      batch.noChannels = true;
      return;
    }
    RecorderHeader own{};
    RecorderHeader* o = outHeader;
    if (!o) {
      own = h;  // its invert flags are clear: nothing in the file sets them
      o = &own;
    }
    std::memcpy(r.header, r.in.raw, kHeaderBytes);
    EncodeHeader(r.header, h, *o);
    int outCh[kChannels];
    r.m = OutputChannels(*o, outCh);
    for (int j = 0; j < r.m; ++j)
      r.cols[j] = {outCh[j], h.ChannelGain[outCh[j]], h.ChannelEnabled[outCh[j]] != 0, o->ChannelInvert[outCh[j]] != 0};
    r.n = OutputChannels(h, r.inCh);
    r.outBytes = static_cast<size_t>(r.m) * static_cast<size_t>(SampsPerBlockOf(h)) * 3;
    r.firstByte = bytesOut;
    bytesOut += r.outBytes;
    ++batch.count;
    bytesIn += kHeaderBytes + r.in.blockBytes;
  }
}

void ReadBatch(WriterInput& in, RecorderHeader* outHeader, FilteredBatch& batch) {
  try {
    ReadRecords(in, outHeader, batch);
  } catch (const std::bad_alloc&) {
    batch.stop = NextRecord::Error;  // the records counted so far are whole
    in.err = ENOMEM;
  }
}

// Filters and encodes the records of batch, the filter's histories carried on in work.filter.
void FilterBatch(const SampleFilter& filter, PipelineWork& work, FilteredBatch& batch) {
  const size_t bytes = batch.count ? batch.records[static_cast<size_t>(batch.count - 1)].firstByte +
                                         batch.records[static_cast<size_t>(batch.count - 1)].outBytes
                                   : 0;
  batch.noRoom = false;
  try {
    if (batch.blocks.size() < bytes) batch.blocks.resize(bytes);
  } catch (const std::bad_alloc&) {
    batch.noRoom = true;
    return;
  }
  for (int i = 0; i < batch.count; ++i) {
    const FilteredBatch::Record& r = batch.records[static_cast<size_t>(i)];
    const RecorderHeader& h = r.in.h;
    FilterSampleBlock(r.in.block.data(), SampsPerBlockOf(h), r.inCh, r.n, h.ChannelGain, r.cols, r.m, filter.adcSpanMv,
                      filter.corner, work.filter, batch.blocks.data() + r.firstByte);
  }
}

// Writes each record of batch, its header and block; stops at the first write that fails.
void WriteBatch(OutputFile& out, FilteredBatch& batch) {
  batch.written = 0;
  batch.writeFailed = false;
  if (batch.noRoom) {
    batch.writeFailed = true;
    batch.headerFailed = false;
    batch.err = ENOMEM;
    return;
  }
  for (int i = 0; i < batch.count; ++i) {
    const FilteredBatch::Record& r = batch.records[static_cast<size_t>(i)];
    if (!out.Write(r.header, kHeaderBytes)) {
      batch.writeFailed = batch.headerFailed = true;
      batch.err = out.error();
      return;
    }
    if (!out.Write(batch.blocks.data() + r.firstByte, r.outBytes)) {
      batch.writeFailed = true;
      batch.headerFailed = false;
      batch.err = out.error();
      return;
    }
    ++batch.written;
  }
}

// Batches in flight: enough that each stage can run on for a while when
// another is held up.
constexpr int kBatchesInFlight = 4;

// The stages of a batch, in order; the last tells the caller what was written.
enum Stage { kRead, kFiltered, kWritten, kAccounted, kStages };

// Batch i of the filtered copy lives in slot i % kBatchesInFlight and goes
// through the stages in order, each stage taking the batches one after
// another; a slot is read into again once its last batch is accounted.
class StageRing {
 public:
  // Waits until batch i may enter stage: the batch has passed the stage
  // before, or for reading, the slot's last batch is accounted. False when
  // the copy was stopped.
  bool Await(long i, Stage stage) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return stopped_ || Ready(i, stage); });
    return !stopped_;
  }
  enum class Wake { Ready, Written, Stopped };
  // Waits until batch i may be filtered, or batches beyond the first
  // `accounted` are written (told first, so that a failed write is
  // accounted before the stop it brings), or the copy was stopped.
  Wake AwaitFilterOrAccount(long i, long accounted) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return stopped_ || passed_[kWritten] > accounted || Ready(i, kFiltered); });
    if (passed_[kWritten] > accounted) return Wake::Written;
    return stopped_ ? Wake::Stopped : Wake::Ready;
  }
  // Batch i has passed stage.
  void Passed(long i, Stage stage) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      passed_[stage] = i + 1;
    }
    changed_.notify_all();
  }
  // Ends the copy early: every wait returns false from now on.
  void Stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopped_ = true;
    }
    changed_.notify_all();
  }
  long Written() {
    std::lock_guard<std::mutex> lock(mutex_);
    return passed_[kWritten];
  }

 private:
  bool Ready(long i, Stage stage) const {
    return stage == kRead ? passed_[kAccounted] > i - kBatchesInFlight : passed_[stage - 1] > i;
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  long passed_[kStages] = {};  // batches that have passed each stage
  bool stopped_ = false;
};

// SaveData with the filter on. With two cores, records are read on one
// thread and written on another while the calling thread (which alone tells
// the caller anything) filters and encodes them; the filter sees the records
// in file order, so the bytes are those of one thread.
int SaveFiltered(WriterEvents& events, WriterInput& in, OutputFile& out, RecorderHeader* outHeader,
                 const SampleFilter& filter, Progress& progress, int& recordsWritten, PipelineWork& work,
                 WriteReport* report) {
  FilteredBatch batches[kBatchesInFlight];
  auto slot = [&](long i) -> FilteredBatch& { return batches[i % kBatchesInFlight]; };
  long accounted = 0;
  // Tells the caller of the batches written since the last time; the failed one when one failed.
  auto account = [&](long upTo) -> FilteredBatch* {
    for (; accounted < upTo; ++accounted) {
      FilteredBatch& b = slot(accounted);
      for (int i = 0; i < b.written; ++i) {
        ++recordsWritten;
        const InputRecord& r = b.records[static_cast<size_t>(i)].in;
        progress.Add(kHeaderBytes + r.blockBytes);
      }
      if (b.writeFailed) return &b;
    }
    return nullptr;
  };
  FilteredBatch* last = nullptr;
  FilteredBatch* failed = nullptr;
  bool threaded = false;
  if (WorkerThreads() >= 2) {
    StageRing ring;
    std::thread writer, reader;
    try {
      // The writer first: until a batch is filtered it only waits, so a
      // reader that cannot start leaves nothing read or written.
      writer = std::thread([&] {
        for (long i = 0; ring.Await(i, kWritten); ++i) {
          WriteBatch(out, slot(i));
          // Once passed on, the slot is the other threads' (the reader may
          // fill it with a later batch): what is needed of it is read before.
          const bool failedHere = slot(i).writeFailed, lastHere = slot(i).stop != NextRecord::Record;
          // A failed batch counts as written: its records are accounted up to the failure.
          ring.Passed(i, kWritten);
          if (failedHere) ring.Stop();
          if (failedHere || lastHere) return;
        }
      });
      reader = std::thread([&] {
        for (long i = 0; ring.Await(i, kRead); ++i) {
          ReadBatch(in, outHeader, slot(i));
          const bool lastHere = slot(i).stop != NextRecord::Record;
          ring.Passed(i, kRead);
          if (lastHere) return;
        }
      });
      threaded = true;
    } catch (const std::system_error&) {
      ring.Stop();  // no threads to be had: the copy runs on this one
      if (writer.joinable()) writer.join();
    }
    for (long i = 0; threaded;) {
      const StageRing::Wake wake = ring.AwaitFilterOrAccount(i, accounted);
      if (wake == StageRing::Wake::Written) {
        failed = account(ring.Written());
        ring.Passed(accounted - 1, kAccounted);
        if (failed) break;
        continue;
      }
      if (wake == StageRing::Wake::Stopped) break;
      FilterBatch(filter, work, slot(i));
      const bool lastHere = slot(i).stop != NextRecord::Record;
      ring.Passed(i, kFiltered);
      if (lastHere) {
        last = &slot(i);  // read again only once the other threads have ended
        break;
      }
      ++i;
    }
    if (threaded) {
      if (failed) ring.Stop();  // the reader may be waiting for a slot
      writer.join();
      reader.join();
      if (!failed) failed = account(ring.Written());
    }
  }
  for (long i = 0; !threaded && !last && !failed; ++i) {
    FilteredBatch& batch = slot(i);
    ReadBatch(in, outHeader, batch);
    FilterBatch(filter, work, batch);
    WriteBatch(out, batch);
    failed = account(i + 1);
    if (batch.stop != NextRecord::Record) last = &batch;
  }
  if (failed) {
    NoteWriteError(failed->headerFailed, failed->err, report);
    return 0;
  }
  for (const auto& [text, kind] : last->told.held) events.Tell(text, kind);
  if (last->stop == NextRecord::Error) {
    NoteReadError(in.path, in.err, report);
    return 0;
  }
  if (last->noChannels) TellNoChannels(events, in);
  return 1;
}

}  // namespace

int SaveData(WriterEvents& events, WriterInput& in, OutputFile& out, RecorderHeader* outHeader,
             const SampleFilter& filter, Progress& progress, int& recordsWritten, PipelineWork& work,
             WriteReport* report) {
  if (filter.on) return SaveFiltered(events, in, out, outHeader, filter, progress, recordsWritten, work, report);
  InputRecord rec;
  RecorderHeader own{};
  for (;;) {
    NextRecord next = ReadNextRecord(events, in, rec);
    if (next == NextRecord::End || next == NextRecord::Truncated) return 1;
    if (next == NextRecord::Error) {
      NoteReadError(in.path, in.err, report);
      return 0;
    }
    RecorderHeader* o = outHeader;
    if (!o) {
      own = rec.h;  // its invert flags are clear: nothing in the file sets them
      o = &own;
    }
    switch (WriteThroughPipeline(rec, *o, filter, out, work, report)) {
      case PipelineResult::Written: break;
      case PipelineResult::NoChannels: TellNoChannels(events, in); return 1;
      case PipelineResult::WriteError: return 0;
    }
    ++recordsWritten;
    progress.Add(kHeaderBytes + rec.blockBytes);
  }
}

bool DecimationFilter(int corner, double c[4], double& gain) {
  if (corner >= 1 && corner <= 3) {
    const Order4Row& row = kDecimationRows[corner - 1];
    double feedback = 0;
    for (int i = 0; i < 4; ++i) feedback += c[i] = row.c[i];
    gain = 16.0 / (1.0 - feedback);  // Σ of the weights 1, 4, 6, 4, 1
    return true;
  }
  const LowPassDesign* design = LowPassDesignOf(corner);
  if (!design || design->order != 4) return false;
  for (int i = 0; i < 4; ++i) c[i] = design->c[i];
  gain = design->gain;
  return true;
}

int DecimateToFile(WriterEvents& events, WriterInput& in, OutputFile& out, const RecorderHeader& outHeader, int factor,
                   int corner, double adcSpanMv, Progress& progress, int& recordsWritten, WriteReport* report) {
  const int F = factor;
  double c[4], G = 1;
  if (F < 2 || !DecimationFilter(corner, c, G)) {
    events.Tell("Decimation needs a factor of 2 or more and a corner of 5, 10, 20, 50, 100 or 200 samples.",
                WriterEvents::Kind::Error);
    return 0;
  }
  const RecorderHeader& oh = outHeader;
  int outCh[kChannels];
  const int m = OutputChannels(oh, outCh);
  const double span = adcSpanMv;

  InputRecord rec;
  std::vector<std::array<int32_t, kChannels>> counts;
  uint8_t groupRaw[kHeaderBytes];
  RecorderHeader first{};
  std::array<std::vector<double>, kChannels> kept;  // the kept samples of the group, per channel
  LowPassState filter;                              // the decimation's own, at rest at the start
  std::vector<uint8_t> outBlock;
  int S = 0;
  for (;;) {
    for (int k = 0; k < F; ++k) {
      NextRecord next = ReadNextRecord(events, in, rec);
      if (next == NextRecord::Error) {
        NoteReadError(in.path, in.err, report);
        return 0;
      }
      if (next != NextRecord::Record) {
        // Only complete groups are written.
        if (report) report->recordsLeftOut += k;
        return 1;
      }
      if (k == 0) {
        std::memcpy(groupRaw, rec.raw, kHeaderBytes);
        first = rec.h;
        S = SampsPerBlockOf(first);
        if (CountEnabled(first) == 0) {
          TellNoChannels(events, in);
          return 1;
        }
        for (auto& row : kept) row.assign(static_cast<size_t>(S), 0.0);
      } else if (!SameLayout(rec.h, first)) {
        if (report) report->recordsLeftOut += k;
        events.Tell("Record " + std::to_string(in.records) + " of " + in.title +
                        " has another channel set, block length or rate than the records before it; the decimated "
                        "copy ends before its group.",
                    WriterEvents::Kind::Warning);
        return 1;
      }
      UnpackBlock(rec.block.data(), rec.h, S, counts);
      for (int ch = 0; ch < kChannels; ++ch) {
        if (!rec.h.ChannelEnabled[ch]) continue;
        const int gain = rec.h.ChannelGain[ch];
        const bool neg = oh.ChannelInvert[ch] != 0;
        // The filter's histories, held in locals over the record.
        double* xv = filter.xv[ch];
        double* yv = filter.yv[ch];
        double xOut = xv[0], x0 = xv[1], x1 = xv[2], x2 = xv[3], x3 = xv[4];
        double yOut = yv[0], y0 = yv[1], y1 = yv[2], y2 = yv[3], y3 = yv[4];
        double* keptRow = kept[static_cast<size_t>(ch)].data();
        // Every F-th sample of the group's continuous stream: index g = k·S + i.
        long long g = static_cast<long long>(k) * S;
        int nextKept = static_cast<int>((F - g % F) % F);
        for (int i = 0; i < S; ++i) {
          const double x4 = CountsToMv(counts[static_cast<size_t>(i)][ch], span, gain);
          const double y4 = (x0 + x4) + 4 * (x1 + x3) + 6 * x2 + c[0] * y0 + c[1] * y1 + c[2] * y2 + c[3] * y3;
          if (i == nextKept) {
            const double y = y4 / G;
            keptRow[(g + i) / F] = neg ? -y : y;
            nextKept += F;
          }
          xOut = x0, x0 = x1, x1 = x2, x2 = x3, x3 = x4;
          yOut = y0, y0 = y1, y1 = y2, y2 = y3, y3 = y4;
        }
        xv[0] = xOut, xv[1] = x0, xv[2] = x1, xv[3] = x2, xv[4] = x3;
        yv[0] = yOut, yv[1] = y0, yv[2] = y1, yv[3] = y2, yv[4] = y3;
      }
      progress.Add(kHeaderBytes + rec.blockBytes);
    }

    // One output record: the group's first header with the output rate, S kept samples per channel.
    RecorderHeader o = oh;
    o.SampleRate = DecimatedRateCode(first.SampleRate, F);
    if (o.SampleRate == 0) {
      // A header cannot state the output rate: the copy ends before this group.
      if (report) report->recordsLeftOut += F;
      events.Tell("Record " + std::to_string(in.records - F + 1) + " of " + in.title + ": " +
                      DecimationRefusal(first.SampleRate, F) + "; the decimated copy ends before its group.",
                  WriterEvents::Kind::Warning);
      return 1;
    }
    first.FirstSampleTicks = TicksForRate(first, o.SampleRate);
    EncodeHeader(groupRaw, first, o);
    if (!out.Write(groupRaw, kHeaderBytes)) {
      NoteWriteError(true, out.error(), report);
      return 0;
    }
    const size_t outBytes = static_cast<size_t>(m) * static_cast<size_t>(S) * 3;
    if (outBlock.size() < outBytes) outBlock.resize(outBytes);
    uint8_t* p = outBlock.data();
    for (int r = 0; r < S; ++r)
      for (int j = 0; j < m; ++j, p += 3) {
        const int ch = outCh[j];
        EncodeSample(first.ChannelEnabled[ch] ? MvToCounts(kept[static_cast<size_t>(ch)][static_cast<size_t>(r)], span,
                                                           first.ChannelGain[ch])
                                              : 0.0,
                     p);
      }
    if (!out.Write(outBlock.data(), outBytes)) {
      NoteWriteError(false, out.error(), report);
      return 0;
    }
    ++recordsWritten;
    events.RecordsWritten(recordsWritten);
  }
}

int WriteProcessedCopy(SaveJob& job, WriterEvents& events, WriteReport& r) {
  const bool decimate = job.decimation >= 2;
  const int F = decimate ? job.decimation : 1;
  // An input that cannot give one output record writes no file.
  RecorderHeader first{};
  if (std::string why = NoRecordReason(job.inPath, F, &first); !why.empty()) {
    events.Tell(why + "; nothing was written.", WriterEvents::Kind::Error);
    return 0;
  }
  if (decimate)
    if (std::string why = DecimationRefusal(first.SampleRate, F); !why.empty()) {
      events.Tell(why + "; nothing was written.", WriterEvents::Kind::Error);
      return 0;
    }
  if (CountEnabled(job.outHeader) == 0) {
    events.Tell("No channel is enabled in the output header; nothing was written.", WriterEvents::Kind::Error);
    return 0;
  }
  WriterInput in;
  if (!OpenWriterInput(events, job.inPath, in)) return 0;
  std::vector<FileId> inputs{in.id};
  inputs.insert(inputs.end(), job.setup.keep.begin(), job.setup.keep.end());
  std::unique_ptr<OutputFile> out = CreateOutput(events, WriteSystemOr(job.setup.system), job.outPath, inputs, &r);
  if (!out) {
    CloseWriterInput(in);
    return 0;
  }
  events.SetBusy(true);
  const SampleFilter& samples = job.samples;
  Progress progress(events, decimate ? "Decimating " + in.title : "Saving " + in.title, in.bytes);
  int records = 0;
  PipelineWork work;
  int ok = decimate ? DecimateToFile(events, in, *out, job.outHeader, F, job.decimationCorner, samples.adcSpanMv,
                                     progress, records, &r)
                    : SaveData(events, in, *out, &job.outHeader, samples, progress, records, work, &r);
  if (ok && records == 0) {
    // The input changed since it was checked, or its first record ends the copy.
    out->Discard();
    events.Tell(in.title + " gave no record to write; nothing was written.", WriterEvents::Kind::Error);
    r.failedPath = job.outPath;
    ok = 0;
  } else if (ok && !CloseOutput(*out, &r)) {
    ok = 0;
    AbandonOutput(events, job.setup.programName, *out, job.outPath, r);
  } else if (!ok) {
    AbandonOutput(events, job.setup.programName, *out, job.outPath, r);
  }
  if (ok) {
    progress.Finish();
    r.outputs.push_back(job.outPath);
    r.records.push_back(records);
  }
  CloseWriterInput(in);
  events.SetBusy(false);
  return ok;
}
