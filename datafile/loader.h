#pragma once
// Reading pages of a recorder file: whether a file is a recording, where pages
// end, and the samples of a page's records decoded into the caller's arrays.
// Nothing here shows a message: results say what happened and the caller tells.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "datafile/header.h"
#include "datafile/record_io.h"

constexpr int MaxPlotPoints = 10'000'000;  // points per channel in one page
/// The most records a page can hold (records have at least 2560 samples): "Records/Plot" is clamped to it.
constexpr int kMaxRecordsPerPlot = MaxPlotPoints / 2560;

extern const char* const kTruncatedPlotMessage;  // "Plot points exceed %d, plot truncated"

/// Why the file open in f cannot be shown, or "" when its first record can
/// describe a recording: a known rate code, at least one enabled channel, and
/// the whole first record present. err is the read error, if one stopped it.
/// The file is left at its start.
std::string WhyNotRecording(std::FILE* f, const std::string& title, int& err);

/// Why a page ends where it does.
struct PageEnd {
  enum Kind {
    Full,      // it holds RecordsPerPlot records
    FileEnd,   // no further complete record
    PointCap,  // the next record would take it past MaxPlotPoints
    Layout,    // the next record has another channel set, block size or sample rate
    TimeGap,   // the next record does not start where this one ends
  } kind = Full;
  int next = 0;    // the record after the page (0-based)
  double gap = 0;  // s, for TimeGap: next start − (previous start + its duration)
};

/// Whether cur can follow prev on one page: the same channel set, block size
/// and rate, and cur starting within one sample period of where prev ends.
PageEnd::Kind PageBreakBetween(const RecordShape& prev, const RecordShape& cur, double* gap = nullptr);

/// "Time gap of 3599.9 s before record 101: page ends" (record 1-based).
std::string TimeGapMessage(double gap, int record);

/// Records of the page that starts at record first (0-based): up to perPlot,
/// fewer when a page break or the point limit comes first.
int PageLength(const RecordIndex& index, int first, int perPlot, PageEnd* end = nullptr);

/// Points per channel of those records.
long long PagePoints(const RecordIndex& index, int first, int records);

/// The first record of the page before the one that starts at current, as
/// paging from the first record lays the pages out; -1 when current is 0.
int PreviousPageStart(const RecordIndex& index, int current, int perPlot);

/// Seconds from the file's first record to where the points of record k are
/// drawn: the sample count since the last time gap, so contiguous records
/// join exactly, anchored again at the header's time wherever the two drift
/// apart by more than a sample period.
double RecordPlotStart(const RecordIndex& index, int k);

/// The most points per channel a page of up to perPlot records read from
/// the current position of f can need: the records of the next header's layout
/// that the rest of the file can hold, within MaxPlotPoints. The position is kept.
long long PagePointsBound(std::FILE* f, int perPlot);

/// Where a page's samples go: arrays of the caller holding capacity points each.
struct PageBuffers {
  double* times = nullptr;                  // s: start + i / rate
  std::array<double*, kChannels> counts{};  // raw counts per channel slot; 0 in slots not enabled
  size_t capacity = 0;
  std::vector<uint8_t>* scratch = nullptr;  // one record's bytes
};

struct PageRequest {
  int maxRecords = 1;
  double startTime = 0;           // s, the time of the page's first point
  RecordTime fileStart;           // the start of the file's first record, which record shapes are measured from
  bool fileStartIsFirst = false;  // the page starts the file: fileStart is its first record's start
  RecorderHeader header;          // decoded over, so ChannelInvert and ChannelGain keep their values
};

/// Why ReadPage stopped.
enum class PageStop {
  Limit,       // maxRecords records read
  FileEnd,     // the file ends after the last record read
  Incomplete,  // the file ends inside the next record
  NoChannel,   // the next record has no enabled channel, which ends the recording
  Layout,      // the next record has another channel set, block size or rate
  TimeGap,     // the next record does not start where the last one ends (gap)
  PointCap,    // the next record would take the page past MaxPlotPoints
  NoSpace,     // the next record does not fit the buffers
  ReadError,   // the system reported a read error (err)
};

struct PageRead {
  int records = 0;
  int points = 0;  // per channel
  PageStop stop = PageStop::Limit;
  double gap = 0;             // s, for TimeGap
  int err = 0;                // errno, for ReadError
  bool nothingAfter = false;  // no byte of the file follows the records read
  bool haveFirst = false;     // the first record's header was read (first, firstRaw)
  RecorderHeader first{};     // the page's first header
  RecorderHeader last{};      // the header of the last record read
  std::array<uint8_t, kHeaderBytes> firstRaw{};
};

/// Reads up to request.maxRecords records from the current position of f,
/// decoding their samples into out from point 0 on. It stops before a record
/// that cannot share the page (another layout, a time gap, no channel), would
/// pass the point limit or the buffers, or is cut by the end of the file; the
/// file is then left at that record's start.
PageRead ReadPage(std::FILE* f, const PageRequest& request, const PageBuffers& out);
