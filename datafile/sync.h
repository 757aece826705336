#pragma once
// Synchronizing recordings of one sampling frequency: every copy starts at
// the latest start among them and has their common length, a multiple of 5120
// samples. The copies re-block the input bytes unchanged; only the first
// output record's header is re-encoded, its first-sample tick count moved to
// the common start.

#include <cstdint>
#include <string>
#include <vector>

#include "datafile/writers.h"

constexpr int kSyncSampleMultiple = 5120;

/// One recording of a synchronization.
struct SyncFile {
  std::string path;
  std::string outPath;
  RecorderHeader first{};   // its first record's header
  int NumEnabledChans = 0;  // of the first record
  int SampsPerBlock = 0;    // of the first record
  uint64_t blockBytes = 0;  // of every record used
  int records = 0;          // complete records with the first record's channel set and length
  // AcquireTimes: the start of its first sample in seconds since 1970-01-01,
  // whole seconds and fraction apart so that differences keep their precision.
  int64_t AcquireSeconds = 0;
  double AcquireFraction = 0;
  bool clocksUsable = true;   // every record used has a GPS sync clock the decoder can count with
  int64_t largestClock = 0;   // Hz, over the records used
  uint64_t largestTicks = 0;  // largest first-sample count of the records used
  double secs = 0;            // delay of its start behind the latest start
  long long SamplesToStart = 0;
  int recnum = 0;  // records to write
};

struct SyncPlan {
  std::vector<SyncFile> files;  // the recordings taken, in the order given
  int latest = 0;               // index of the latest start
  long long clockRate = 0;      // sync-clock ticks per second of files[0]'s first record
  long long MinSamples = 0;     // common length in samples per channel
};

/// A synchronization of recordings.
struct SyncJob {
  std::vector<std::string> inPaths;
  bool besideInputs = true;  // each copy goes beside its input, else into outDir
  std::string outDir;
  WriterSetup setup;
};

/// Reads the recordings' first records and lengths and plans the copies
/// (each named <base>_SYNC.bin). A file that cannot be opened or read, is
/// empty, holds fewer than two complete records, has no enabled channel or no
/// usable start time is left out with a message naming it and the reason.
/// Returns 1 with the plan; 0 when fewer than two recordings remain (nothing
/// to do); -1 after an error was told (differing sampling frequencies, naming
/// the files; starts too far apart to count in samples; too short an overlap;
/// a header that cannot state its moved start; an output that would be one of
/// the inputs).
int PlanSynchronization(const SyncJob& job, WriterEvents& events, SyncPlan& plan);

/// Plans and writes the synchronized copies. Returns the number of files
/// written, or -1 after an error (told): the copy that failed is removed,
/// earlier ones are complete and stay, and the message says which.
int WriteSynchronizedCopies(const SyncJob& job, WriterEvents& events, WriteReport& report, SyncPlan* planOut = nullptr);

/// Seconds since 1970-01-01 00:00:00 of a calendar date and time (whole
/// seconds; Gregorian leap years).
int64_t PosixSeconds(int year, int month, int day, int hour, int minute, int second);
