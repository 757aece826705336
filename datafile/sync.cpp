#include "datafile/sync.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

#include "datafile/record_io.h"
#include "util/paths.h"
#include "util/text.h"

namespace {

// Sample counts within this fraction of a sample below a whole number are
// taken as that number: start times carry rounding of a few nanoseconds.
constexpr double kSampleTolerance = 1e-3;
// Sample and tick counts are held in 64 bits; doubles beyond this are refused
// rather than converted.
constexpr double kLargestCount = 9.0e18;

bool SameLayout(const RecorderHeader& a, const RecorderHeader& b) {
  for (int k = 0; k < kChannels; ++k)
    if ((a.ChannelEnabled[k] != 0) != (b.ChannelEnabled[k] != 0)) return false;
  return SampsPerBlockOf(a) == SampsPerBlockOf(b) && a.SampleRate == b.SampleRate;
}

void LeaveOut(WriterEvents& events, const std::string& path, const std::string& why) {
  events.Tell(FileTitleOf(path) + " " + why + "; it is left out of the synchronization.", WriterEvents::Kind::Warning);
}

// A start time that names a calendar instant: a GPS time whose fields are a
// date and a time of day, and a decoded start within the calendar. Its seconds
// since 1970 then fit 64 bits, and differences between files are plain
// numbers of seconds.
bool UsableStartTime(const RecorderHeader& h) {
  auto field = [&](int from, int count) {
    char buf[8] = {};
    std::memcpy(buf, h.GpsTime + from, static_cast<size_t>(count));
    return ParseDecimal(buf);
  };
  const double hour = field(3, 2), minute = field(5, 2), second = field(7, 6), day = field(14, 2), month = field(17, 2),
               year = field(20, 4);
  if (!(hour < 24 && minute < 60 && second >= 0 && second < 61 && day >= 1 && day <= 31 && month >= 1 && month <= 12 &&
        year >= 1))
    return false;
  const RecordTime& t = h.StartTime;
  return std::isfinite(t.second) && t.second >= 0 && t.second < 61 && t.minute >= 0 && t.minute < 60 && t.hour >= 0 &&
         t.hour < 24 && t.day >= 1 && t.day <= 31 && t.month >= 1 && t.month <= 12 && t.year >= 1 && t.year <= 1000000;
}

enum class Survey { Taken, LeftOut, Error };

// Reads the first record's header and counts the complete records that share
// its channel set, length and rate; notes whether every one of them can have
// its first-sample count moved within a record.
Survey SurveyFile(WriterEvents& events, const std::string& path, SyncFile& file) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    LeaveOut(events, path, std::string("cannot be opened (") + std::strerror(errno) + ")");
    return Survey::LeftOut;
  }
  const uint64_t fileBytes = FileBytesOf(f);
  uint8_t raw[kHeaderBytes];
  RecorderHeader h{};
  uint64_t offset = 0;
  int records = 0;
  std::string why;
  RecordTime previous;
  while (offset + kHeaderBytes <= fileBytes) {
    if (fseeko(f, static_cast<off_t>(offset), SEEK_SET) != 0) break;
    RecordReadResult r = ReadHeader(f, raw, h);
    if (r.status == ReadStatus::Error) {
      why = std::string("cannot be read (") + std::strerror(r.err) + ")";
      break;
    }
    if (r.status != ReadStatus::Ok) break;
    if (records == 0) {
      file.first = h;
      if (CountEnabled(h) == 0) {
        why = "has no enabled channel in its first record";
        break;
      }
      if (!UsableStartTime(h)) {
        why = std::string("has no usable start time (GPS time \"") + h.GpsTime + "\", first-sample count " +
              std::to_string(h.FirstSampleTicks) + ")";
        break;
      }
    } else if (CountEnabled(h) == 0) {
      // A record without channels ends the recording.
      events.Tell(FileTitleOf(path) + " has no enabled channel in record " + std::to_string(records + 1) +
                      "; only the records before it are synchronized.",
                  WriterEvents::Kind::Warning);
      break;
    } else if (!SameLayout(h, file.first)) {
      events.Tell(FileTitleOf(path) + " changes its channel set, record length or rate at record " +
                      std::to_string(records + 1) + "; only the records before it are synchronized.",
                  WriterEvents::Kind::Warning);
      break;
    }
    const uint64_t end = offset + kHeaderBytes + BlockBytes(h);
    if (end > fileBytes) break;
    if (records > 0) {
      // Re-blocking joins neighbouring records: they must follow on without a gap.
      const double fs = RateHz(h.SampleRate);
      const double off = SecondsBetween(previous, h.StartTime) - SampsPerBlockOf(h) / fs;
      // Half a sample, but no finer than the start times' own precision.
      if (fs > 0 && std::isfinite(off) && std::fabs(off) > std::max(0.5 / fs, 1e-4)) {
        events.Tell(FileTitleOf(path) + ": record " + std::to_string(records + 1) + " does not start where record " +
                        std::to_string(records) + " ends (" + Format("%+.6g", off) +
                        " s); only the records before it are synchronized.",
                    WriterEvents::Kind::Warning);
        break;
      }
    }
    previous = h.StartTime;
    const int32_t clock = DecoderClockHz(h);
    if (clock <= 0) file.clocksUsable = false;
    file.largestClock = std::max<int64_t>(file.largestClock, clock);
    file.largestTicks = std::max(file.largestTicks, h.FirstSampleTicks);
    ++records;
    offset = end;
  }
  std::fclose(f);
  if (why.empty()) {
    if (fileBytes == 0)
      why = "is empty";
    else if (records == 0)
      why = "ends inside its first record";
    else if (records == 1)
      why = "holds only one complete record";
  }
  if (!why.empty()) {
    LeaveOut(events, path, why);
    return Survey::LeftOut;
  }
  file.path = path;
  file.records = records;
  file.NumEnabledChans = CountEnabled(file.first);
  file.SampsPerBlock = SampsPerBlockOf(file.first);
  file.blockBytes = BlockBytes(file.first);
  // The start's seconds already hold the fraction of the first-sample time.
  const RecordTime& t = file.first.StartTime;
  const double whole = std::floor(t.second);
  file.AcquireSeconds = PosixSeconds(t.year, t.month, t.day, t.hour, t.minute, static_cast<int>(whole));
  file.AcquireFraction = t.second - whole;
  return Survey::Taken;
}

double SecondsAfter(const SyncFile& a, const SyncFile& b) {
  return static_cast<double>(a.AcquireSeconds - b.AcquireSeconds) + (a.AcquireFraction - b.AcquireFraction);
}

// Input records file i needs for its copy: the skipped ones, those written,
// and one more whose head completes the last output record.
long long RecordsNeeded(const SyncFile& f) {
  const long long skip = f.SamplesToStart / f.SampsPerBlock;
  const long long offset = f.SamplesToStart - skip * f.SampsPerBlock;
  return skip + f.recnum + (offset > 0 ? 1 : 0);
}

// "Sampling frequencies must all be the same: north_002.bin is 250 Hz, the
// others 1000 Hz": the files off the most common rate, by name.
std::string RateMismatch(const std::vector<SyncFile>& files) {
  std::vector<double> rates;
  for (const SyncFile& f : files) rates.push_back(RateHz(f.first.SampleRate));
  double common = rates.front();
  long best = 0;
  for (double r : rates) {
    const long n = std::count(rates.begin(), rates.end(), r);
    if (n > best) best = n, common = r;
  }
  std::string text = "Sampling frequencies must all be the same: ";
  std::string others;
  size_t odd = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string name = FileTitleOf(files[i].path);
    if (std::fabs(rates[i] - common) > 1e-6) {
      text += (odd++ ? ", " : "") + name + " is " + Format("%.10g Hz", rates[i]);
    } else {
      others = name;
    }
  }
  const size_t rest = files.size() - odd;
  return text + ", " + (rest == 1 ? others : "the others") + " " + Format("%.10g Hz", common);
}

void WriteTicks(uint8_t* raw, uint64_t ticks) {
  for (int i = 0; i < 8; ++i) raw[112 + i] = static_cast<uint8_t>(ticks >> (56 - 8 * i));
}

bool ReadExactly(std::FILE* f, uint8_t* buf, size_t n, const SyncFile& file, WriteReport& r) {
  int err = 0;
  if (ReadFully(f, buf, n, &err) == n) return true;
  NoteReadError(file.path, err, &r);
  if (!err) r.failure = FileTitleOf(file.path) + " ended before its records were read; it changed on disk";
  return false;
}

// Writes the synchronized copy of one file into out. Every output record
// carries the header of the input record its first sample comes from, its
// first-sample count moved on by the samples cut from that record's front, so
// that it decodes to the time of its own first sample.
int WriteSyncCopy(const SyncFile& file, std::FILE* in, OutputFile& out, Progress& progress, WriteReport& r) {
  const int S = file.SampsPerBlock;
  const long long skip = file.SamplesToStart / S;
  const long long o = file.SamplesToStart - skip * S;
  const size_t L = static_cast<size_t>(file.blockBytes);
  const size_t b = static_cast<size_t>(o) * static_cast<size_t>(file.NumEnabledChans) * 3;
  const double fs = RateHz(file.first.SampleRate);
  const off_t start = static_cast<off_t>(skip) * static_cast<off_t>(kHeaderBytes + L);
  if (fseeko(in, start, SEEK_SET) != 0) {
    NoteReadError(file.path, errno, &r);
    return 0;
  }

  std::vector<uint8_t> cur(L), next(L), outBlock(L);
  uint8_t header[kHeaderBytes], nextHeader[kHeaderBytes], outHeader[kHeaderBytes];
  if (!ReadExactly(in, header, kHeaderBytes, file, r) || !ReadExactly(in, cur.data(), L, file, r)) return 0;
  RecorderHeader h{};
  for (int k = 0; k < file.recnum; ++k) {
    if (k > 0 && b == 0 &&
        (!ReadExactly(in, header, kHeaderBytes, file, r) || !ReadExactly(in, cur.data(), L, file, r)))
      return 0;
    std::memcpy(outHeader, header, kHeaderBytes);
    if (o > 0) {
      DecodeHeader(header, h);
      const double moved = static_cast<double>(o) * DecoderClockHz(h) / fs;  // checked by the plan
      WriteTicks(outHeader, h.FirstSampleTicks + static_cast<uint64_t>(std::llround(moved)));
    }
    if (!out.Write(outHeader, kHeaderBytes)) {
      NoteWriteError(true, out.error(), &r);
      return 0;
    }
    const uint8_t* block = cur.data();
    if (b > 0) {
      // Rows o … S−1 of this record, then rows 0 … o−1 of the next, whose header comes next.
      if (!ReadExactly(in, nextHeader, kHeaderBytes, file, r) || !ReadExactly(in, next.data(), L, file, r)) return 0;
      std::memcpy(outBlock.data(), cur.data() + b, L - b);
      std::memcpy(outBlock.data() + (L - b), next.data(), b);
      block = outBlock.data();
      std::memcpy(header, nextHeader, kHeaderBytes);
      cur.swap(next);
    }
    if (!out.Write(block, L)) {
      NoteWriteError(false, out.error(), &r);
      return 0;
    }
    progress.Add(kHeaderBytes + L);
  }
  return 1;
}

std::string NameList(const std::vector<std::string>& paths) {
  std::string text;
  for (size_t i = 0; i < paths.size(); ++i)
    text += (i == 0 ? "" : i + 1 == paths.size() ? " and " : ", ") + FileTitleOf(paths[i]);
  return text;
}

}  // namespace

int64_t PosixSeconds(int year, int month, int day, int hour, int minute, int second) {
  // Days from the civil date (proleptic Gregorian calendar).
  const int64_t y = static_cast<int64_t>(year) - (month <= 2 ? 1 : 0);
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t mp = (month + 9) % 12;
  const int64_t doy = (153 * mp + 2) / 5 + day - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const int64_t days = era * 146097 + doe - 719468;
  return days * 86400 + static_cast<int64_t>(hour) * 3600 + static_cast<int64_t>(minute) * 60 + second;
}

int PlanSynchronization(const SyncJob& job, WriterEvents& events, SyncPlan& plan) {
  plan = SyncPlan{};
  std::vector<FileId> inputs;
  for (const std::string& path : job.inPaths) {
    inputs.push_back(IdOfPath(path));
    SyncFile file;
    Survey survey = SurveyFile(events, path, file);
    if (survey == Survey::Error) return -1;
    if (survey == Survey::LeftOut) continue;
    plan.files.push_back(file);
  }
  if (plan.files.size() < 2) return 0;

  const SyncFile& f0 = plan.files.front();
  const double fs0 = RateHz(f0.first.SampleRate);
  for (const SyncFile& f : plan.files)
    if (std::fabs(fs0 - RateHz(f.first.SampleRate)) > 1e-6) {
      events.Tell(RateMismatch(plan.files), WriterEvents::Kind::Warning);
      return -1;
    }
  plan.clockRate = DecoderClockHz(f0.first);

  for (size_t i = 1; i < plan.files.size(); ++i)
    if (SecondsAfter(plan.files[i], plan.files[static_cast<size_t>(plan.latest)]) > 0)
      plan.latest = static_cast<int>(i);
  const SyncFile& latest = plan.files[static_cast<size_t>(plan.latest)];
  long long MinSamples = std::numeric_limits<long long>::max();
  for (SyncFile& f : plan.files) {
    f.secs = SecondsAfter(latest, f);
    const double samples = std::floor(f.secs * fs0 + kSampleTolerance);
    if (!(samples >= 0 && samples < kLargestCount)) {
      events.Tell(FileTitleOf(f.path) + " starts " + Format("%.6g", f.secs) + " s before " + FileTitleOf(latest.path) +
                      ", too far to count in samples; nothing was synchronized.",
                  WriterEvents::Kind::Error);
      return -1;
    }
    f.SamplesToStart = static_cast<long long>(samples);
    MinSamples = std::min(MinSamples, static_cast<long long>(f.records) * f.SampsPerBlock - f.SamplesToStart);
  }
  MinSamples = MinSamples > 0 ? MinSamples / kSyncSampleMultiple * kSyncSampleMultiple : 0;
  // Every copy has exactly the common length: shorten it while a copy would
  // need samples beyond the end of its input.
  for (;;) {
    bool fits = true;
    for (SyncFile& f : plan.files) {
      f.recnum = static_cast<int>(MinSamples / f.SampsPerBlock);
      if (RecordsNeeded(f) > f.records) fits = false;
    }
    if (fits || MinSamples <= 0) break;
    MinSamples -= kSyncSampleMultiple;
  }
  plan.MinSamples = MinSamples;
  if (MinSamples <= 0) {
    events.Tell("The recordings overlap by less than " + std::to_string(kSyncSampleMultiple) +
                    " samples; nothing was synchronized.",
                WriterEvents::Kind::Error);
    return -1;
  }

  // A copy cut inside its records moves their first-sample counts: every
  // header must have a clock to count with and room for the move.
  for (const SyncFile& f : plan.files) {
    const long long o = f.SamplesToStart % f.SampsPerBlock;
    if (o == 0) continue;
    const double move = static_cast<double>(o) * static_cast<double>(f.largestClock) / fs0 + 1;
    if (!f.clocksUsable || static_cast<double>(f.largestTicks) + move >= 18446744073709549568.0) {
      events.Tell(FileTitleOf(f.path) +
                      " has a record whose GPS sync clock or first-sample count cannot state the "
                      "start of its synchronized copy; nothing was synchronized.",
                  WriterEvents::Kind::Error);
      return -1;
    }
  }

  for (SyncFile& f : plan.files) {
    const std::string dir = job.besideInputs ? DirectoryOf(f.path) : WithSeparator(job.outDir);
    f.outPath = dir + BaseOfTitle(FileTitleOf(f.path)) + "_SYNC.bin";
    if (IsOneOf(IdOfPath(f.outPath), inputs)) {
      events.Tell(f.outPath + " is one of the files being read; nothing was written.", WriterEvents::Kind::Error);
      return -1;
    }
  }
  return 1;
}

int WriteSynchronizedCopies(const SyncJob& job, WriterEvents& events, WriteReport& r, SyncPlan* planOut) {
  SyncPlan plan;
  const int planned = PlanSynchronization(job, events, plan);
  if (planOut) *planOut = plan;
  if (planned <= 0) return planned;

  std::vector<FileId> inputs;
  for (const std::string& path : job.inPaths) inputs.push_back(IdOfPath(path));
  inputs.insert(inputs.end(), job.setup.keep.begin(), job.setup.keep.end());
  uint64_t total = 0;
  for (const SyncFile& f : plan.files) total += static_cast<uint64_t>(f.recnum) * (kHeaderBytes + f.blockBytes);

  events.SetBusy(true);
  Progress progress(events, "Synchronizing", total);
  int written = 0;
  for (size_t i = 0; i < plan.files.size(); ++i) {
    const SyncFile& f = plan.files[i];
    events.Copying(f.path);
    // What became of the copies besides the failed one.
    std::vector<std::string> rest;
    for (size_t j = i + 1; j < plan.files.size(); ++j) rest.push_back(plan.files[j].outPath);
    std::string more;
    if (!r.outputs.empty()) more = NameList(r.outputs) + (r.outputs.size() == 1 ? " is" : " are") + " complete.";
    if (!rest.empty()) more += (more.empty() ? "" : " ") + NameList(rest) + " not written.";

    std::FILE* in = OpenInputFile(f.path);
    if (!in) {
      events.Tell("Cannot open " + f.path + ": " + std::strerror(errno) + ". " + more, WriterEvents::Kind::Error);
      r.failedPath = f.path;
      written = -1;
      break;
    }
    CreateResult created = WriteSystemOr(job.setup.system).Create(f.outPath, inputs);
    if (created.status != CreateStatus::Ok) {
      events.Tell((created.status == CreateStatus::IsInput
                       ? f.outPath + " is one of the files being read; it was not written."
                       : "Output file open failed: " + f.outPath + " (" + std::strerror(created.err) + ").") +
                      (more.empty() ? "" : " " + more),
                  WriterEvents::Kind::Error);
      r.err = created.err;
      r.failedPath = f.outPath;
      std::fclose(in);
      written = -1;
      break;
    }
    int ok = WriteSyncCopy(f, in, *created.file, progress, r);
    std::fclose(in);
    if (ok) ok = CloseOutput(*created.file, &r);
    if (!ok) {
      AbandonOutput(events, job.setup.programName, *created.file, f.outPath, r, more);
      written = -1;
      break;
    }
    r.outputs.push_back(f.outPath);
    r.records.push_back(f.recnum);
    ++written;
  }
  if (written >= 0) progress.Finish();
  events.SetBusy(false);
  return written;
}
