#include "datafile/sync.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "datafile/loader.h"
#include "datafile/record_io.h"
#include "dialogs/header_fields.h"
#include "platform/platform.h"

namespace {

// Sample counts within this fraction of a sample below a whole number are
// taken as that number: start times carry rounding of a few nanoseconds.
constexpr double kSampleTolerance = 1e-3;

bool SameLayout(const RecorderHeader& a, const RecorderHeader& b) {
  for (int k = 0; k < kChannels; ++k)
    if ((a.ChannelEnabled[k] != 0) != (b.ChannelEnabled[k] != 0)) return false;
  return SampsPerBlockOf(a) == SampsPerBlockOf(b);
}

void LeaveOut(AppState& s, const std::string& path, const std::string& why) {
  ShowMessage(*s.host, FileTitleOf(path) + " " + why + "; it is left out of the synchronization.", MsgIcon::Warning);
}

enum class Survey { Taken, LeftOut, Error };

// Reads the first record's header and counts the complete records that share
// its channel set and length; keeps the second record's tick count.
Survey SurveyFile(AppState& s, const std::string& path, SyncFile& file, uint64_t& secondTicks) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    LeaveOut(s, path, std::string("cannot be opened (") + std::strerror(errno) + ")");
    return Survey::LeftOut;
  }
  const uint64_t fileBytes = FileBytesOf(f);
  uint8_t raw[kHeaderBytes];
  RecorderHeader h{};
  uint64_t offset = 0;
  int records = 0;
  Survey result = Survey::Taken;
  while (offset + kHeaderBytes <= fileBytes) {
    if (fseeko(f, static_cast<off_t>(offset), SEEK_SET) != 0) break;
    RecordReadResult r = ReadHeader(f, raw, h);
    if (r.status == ReadStatus::Error) {
      ReportErrorAndExit(*s.host, s.ProgramName, r.err);
      result = Survey::Error;
      break;
    }
    if (r.status != ReadStatus::Ok) break;
    if (records == 0) {
      file.first = h;
      if (CountEnabled(h) == 0) break;
    } else if (!SameLayout(h, file.first)) {
      ShowMessage(*s.host,
                  FileTitleOf(path) + " changes its channel set or record length at record " +
                      std::to_string(records + 1) + "; only the records before it are synchronized.",
                  MsgIcon::Warning);
      break;
    }
    const uint64_t end = offset + kHeaderBytes + BlockBytes(h);
    if (end > fileBytes) break;
    if (records == 1) secondTicks = h.FirstSampleTicks;
    ++records;
    offset = end;
  }
  std::fclose(f);
  if (result == Survey::Error) return result;
  if (records >= 1 && CountEnabled(file.first) == 0) {
    LeaveOut(s, path, "has no enabled channel");
    return Survey::LeftOut;
  }
  if (records < 2) {
    LeaveOut(s, path, "is empty or ends inside its first two records");
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

long long WholeSamples(double samples) {
  return static_cast<long long>(std::floor(samples + kSampleTolerance));
}

// Input records file i needs for its copy: the skipped ones, those written,
// and one more whose head completes the last output record.
long long RecordsNeeded(const SyncFile& f) {
  const long long skip = f.SamplesToStart / f.SampsPerBlock;
  const long long offset = f.SamplesToStart - skip * f.SampsPerBlock;
  return skip + f.recnum + (offset > 0 ? 1 : 0);
}

bool ReadExactly(AppState& s, std::FILE* f, uint8_t* buf, size_t n, const SyncFile& file, WriteReport* report) {
  int err = 0;
  if (ReadFully(f, buf, n, &err) == n) return true;
  if (err)
    ReportErrorAndExit(*s.host, s.ProgramName, err);
  else
    ShowMessage(*s.host, FileTitleOf(file.path) + " ended before its records were read; it changed on disk.",
                MsgIcon::Error);
  if (report) {
    report->err = err ? err : EIO;
    report->failedPath = file.path;
  }
  return false;
}

// Writes the synchronized copy of one file into out.
int WriteSyncCopy(AppState& s, const SyncFile& file, long long clockRate, std::FILE* in, OutputFile& out,
                  Progress& progress, WriteReport* report) {
  const int S = file.SampsPerBlock;
  const long long skip = file.SamplesToStart / S;
  const long long o = file.SamplesToStart - skip * S;
  const size_t L = static_cast<size_t>(file.blockBytes);
  const size_t b = static_cast<size_t>(o) * static_cast<size_t>(file.NumEnabledChans) * 3;
  const off_t start = static_cast<off_t>(skip) * static_cast<off_t>(kHeaderBytes + L);
  if (fseeko(in, start, SEEK_SET) != 0) {
    ReportErrorAndExit(*s.host, s.ProgramName, errno);
    return 0;
  }

  std::vector<uint8_t> cur(L), next(L), outBlock(L);
  uint8_t header[kHeaderBytes], nextHeader[kHeaderBytes];
  if (!ReadExactly(s, in, header, kHeaderBytes, file, report)) return 0;
  // The first output header: the file's first record moved to the common start.
  RecorderHeader h = file.first, o0 = file.first;
  h.FirstSampleTicks += static_cast<uint64_t>(static_cast<long long>(file.secs * static_cast<double>(clockRate)));
  EncodeHeader(header, h, o0);
  if (b > 0 && !ReadExactly(s, in, cur.data(), L, file, report)) return 0;

  for (int k = 0; k < file.recnum; ++k) {
    if (k > 0 && b == 0 && !ReadExactly(s, in, header, kHeaderBytes, file, report)) return 0;
    if (!out.Write(header, kHeaderBytes)) {
      ShowWriteError(s, true, out.error(), report);
      return 0;
    }
    const uint8_t* block = cur.data();
    if (b == 0) {
      if (!ReadExactly(s, in, cur.data(), L, file, report)) return 0;
    } else {
      // Rows o … S−1 of this record, then rows 0 … o−1 of the next, whose header comes next.
      if (!ReadExactly(s, in, nextHeader, kHeaderBytes, file, report)) return 0;
      if (!ReadExactly(s, in, next.data(), L, file, report)) return 0;
      std::memcpy(outBlock.data(), cur.data() + b, L - b);
      std::memcpy(outBlock.data() + (L - b), next.data(), b);
      block = outBlock.data();
      std::memcpy(header, nextHeader, kHeaderBytes);
      cur.swap(next);
    }
    if (!out.Write(block, L)) {
      ShowWriteError(s, false, out.error(), report);
      return 0;
    }
    progress.Add(kHeaderBytes + L);
  }
  return 1;
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

int PlanSynchronization(AppState& s, const std::vector<std::string>& paths, SyncPlan& plan) {
  plan = SyncPlan{};
  std::vector<FileId> inputs;
  uint64_t secondTicks = 0;
  for (const std::string& path : paths) {
    inputs.push_back(IdOfPath(path));
    SyncFile file;
    uint64_t ticks = 0;
    Survey survey = SurveyFile(s, path, file, ticks);
    if (survey == Survey::Error) return -1;
    if (survey == Survey::LeftOut) continue;
    if (plan.files.empty()) secondTicks = ticks;
    plan.files.push_back(file);
  }
  if (plan.files.size() < 2) return 0;

  const SyncFile& f0 = plan.files.front();
  const double fs0 = RateHz(f0.first.SampleRate);
  for (const SyncFile& f : plan.files)
    if (std::fabs(fs0 - RateHz(f.first.SampleRate)) > 1e-6) {
      ShowMessage(*s.host, "Sampling frequencies must all be the same");
      return -1;
    }
  // Ticks per second to move a first sample by: the clock the header decoder
  // reads the tick count with, so that the moved header decodes to the common
  // start. Only without a usable clock text is it estimated from the ticks
  // seen between the first two records of the first file.
  plan.clockRate = DecoderClockHz(f0.first);
  if (plan.clockRate <= 0) {
    const double tickSpan = static_cast<double>(static_cast<int64_t>(secondTicks - f0.first.FirstSampleTicks));
    plan.clockRate = static_cast<long long>(tickSpan * fs0 / f0.SampsPerBlock);
  }

  for (size_t i = 1; i < plan.files.size(); ++i)
    if (SecondsAfter(plan.files[i], plan.files[static_cast<size_t>(plan.latest)]) > 0)
      plan.latest = static_cast<int>(i);
  const SyncFile& latest = plan.files[static_cast<size_t>(plan.latest)];
  long long MinSamples = 1000000000;
  for (SyncFile& f : plan.files) {
    f.secs = SecondsAfter(latest, f);
    f.SamplesToStart = WholeSamples(f.secs * fs0);
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
    ShowMessage(*s.host,
                "The recordings overlap by less than " + std::to_string(kSyncSampleMultiple) +
                    " samples; nothing was synchronized.",
                MsgIcon::Error);
    return -1;
  }

  for (SyncFile& f : plan.files) {
    const std::string dir = s.SaveInDataDir ? DirectoryOf(f.path) : WithSeparator(s.WorkDir);
    f.outPath = dir + BaseOfTitle(FileTitleOf(f.path)) + "_SYNC.bin";
    if (IsOneOf(IdOfPath(f.outPath), inputs)) {
      ShowMessage(*s.host, f.outPath + " is one of the files being read; nothing was written.", MsgIcon::Error);
      return -1;
    }
  }
  return 1;
}

int SynchronizeInto(AppState& s, const std::vector<std::string>& paths, WriteReport* report, SyncPlan* planOut) {
  SyncPlan plan;
  const int planned = PlanSynchronization(s, paths, plan);
  if (planOut) *planOut = plan;
  if (planned <= 0) return planned;

  std::vector<FileId> inputs;
  for (const std::string& path : paths) inputs.push_back(IdOfPath(path));
  uint64_t total = 0;
  for (const SyncFile& f : plan.files) total += static_cast<uint64_t>(f.recnum) * (kHeaderBytes + f.blockBytes);

  s.host->SetCursor(CursorShape::Wait);
  Progress progress(s, "Synchronizing", total);
  int written = 0;
  for (const SyncFile& f : plan.files) {
    s.host->SetStatusText(0, "processing " + FileTitleOf(f.path));
    s.host->InvalidatePlot(false);
    std::FILE* in = OpenInputFile(f.path);
    if (!in) {
      ShowMessage(*s.host, "Cannot open " + f.path + ": " + std::strerror(errno), MsgIcon::Error);
      if (report) report->failedPath = f.path;
      written = -1;
      break;
    }
    CreateResult created = WriteSystemOf(s).Create(f.outPath, inputs);
    if (created.status != CreateStatus::Ok) {
      ShowMessage(*s.host,
                  created.status == CreateStatus::IsInput
                      ? f.outPath + " is one of the files being read; nothing was written."
                      : "Output file open failed",
                  MsgIcon::Error);
      if (report) {
        report->err = created.err;
        report->failedPath = f.outPath;
      }
      std::fclose(in);
      written = -1;
      break;
    }
    int ok = WriteSyncCopy(s, f, plan.clockRate, in, *created.file, progress, report);
    std::fclose(in);
    if (ok)
      ok = CloseOutput(s, *created.file, report);
    else
      created.file->Close();  // keeps what was written before the error
    if (report) {
      report->outputs.push_back(f.outPath);
      report->records.push_back(f.recnum);
      if (!ok && report->failedPath.empty()) report->failedPath = f.outPath;
    }
    if (!ok) {
      written = -1;
      break;
    }
    ++written;
  }
  if (written >= 0) progress.Finish();
  s.host->SetCursor(CursorShape::Arrow);
  return written;
}

void SynchronizeFiles(AppState& s) {
  const bool wasOpen = s.FileLoaded && !s.CurrentFilePath.empty();
  const std::string openPath = s.CurrentFilePath;
  const int shown = s.CurrentRecord;
  std::vector<std::string> paths =
      s.host->OpenFilesDialog(RecorderFileFilters(), s.DataDir, "Select recordings to synchronize");
  if (!paths.empty()) {
    s.DataDir = DirectoryOf(paths.front());
    RememberDirectories(s);
    // One file has nothing to be synchronized with.
    const int written = paths.size() >= 2 ? SynchronizeInto(s, paths) : 0;
    if (written >= 0) ShowMessage(*s.host, Format("%d Files Synchronized", written));
  }
  if (wasOpen) ReopenAtRecord(s, openPath, shown, true);
  if (!paths.empty()) s.host->SetStatusText(0, "Ready");
}
