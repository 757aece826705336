#pragma once
// Opening a recorder file, loading its first page into the channel arrays,
// reading further records, and the scaling of raw counts to physical units.

#include <string>

#include "app/state.h"
#include "util/paths.h"

/// Shows the open dialog and loads the chosen file's first page.
/// Returns 1 when a file was opened, 0 when cancelled or it could not be opened.
int OpenRecorderFile(AppState& s);

/// Opens path and loads its first page of RecordsPerPlot records (the part of
/// OpenRecorderFile after the dialog). Returns 1 when the file was opened.
int LoadRecorderFile(AppState& s, const std::string& path);

/// Reads the next record of DataFile into Header, Counts and RawBlock.
/// Returns the header bytes read: 0 at the end of the file (EndOfFile set),
/// also for an incomplete last record or a read error, each reported once.
int ReadRecord(AppState& s);

void ComputeSensorScales(AppState& s, const RecorderHeader& h);

/// Physical units per raw count of channel ch with the gains of header h:
/// SensorScale · AdcSpanMilliVolts / 2^24 / ChannelGain.
double ChannelFactor(const AppState& s, const RecorderHeader& h, int ch);

/// Samples per second of the open file (62 is 62.5; a rate code of 0 counts as 1).
double SamplesPerSecond(const AppState& s);

extern const char* const kTruncatedPlotMessage;  // "Plot points exceed %d, plot truncated"

/// "The last record of FILE is incomplete; it was ignored.", once per opened file.
void TellIncompleteRecord(AppState& s);

/// Why a page ends where it does.
struct PageEnd {
  enum Kind {
    Full,      // it holds RecordsPerPlot records
    FileEnd,   // no further complete record
    PointCap,  // the next record would take it past MaxPlotPoints
    Layout,    // the next record has another channel set, block size or sample rate
    TimeGap,   // the next record does not start where this one ends
  } kind = Full;
  int next = 0;     // the record after the page (0-based)
  double gap = 0;   // s, for TimeGap: next start − (previous start + its duration)
};

/// Whether cur can follow prev on one page: the same channel set, block size
/// and rate, and cur starting within one sample period of where prev ends.
PageEnd::Kind PageBreakBetween(const RecordShape& prev, const RecordShape& cur, double* gap = nullptr);

/// "Time gap of 3599.9 s before record 101: page ends" (record 1-based).
std::string TimeGapMessage(double gap, int record);

/// Records of the page that starts at record first (0-based): up to perPlot,
/// fewer when a page break or the point limit comes first.
int PageLength(const RecordIndex& index, int first, int perPlot, PageEnd* end = nullptr);

/// The first record of the page before the one that starts at current, as
/// paging from the first record lays the pages out; -1 when current is 0.
int PreviousPageStart(const RecordIndex& index, int current, int perPlot);

/// Seconds from the file's first record to where the points of record k are
/// drawn: the sample count since the last time gap, so contiguous records
/// join exactly, anchored again at the header's time wherever the two drift
/// apart by more than a sample period.
double RecordPlotStart(const RecordIndex& index, int k);

/// The record index of the open file, scanned again when its size changed.
const RecordIndex& OpenFileIndex(AppState& s);

/// Loads the page of RecordsPerPlot records that starts at record firstRecord
/// (0-based) of the open file, seeking there through the record index: points
/// from 0, xplotdata from PlotStartTime = RecordPlotStart(firstRecord),
/// CurrentRecord = firstRecord, PageRecords, EndOfFile when the page holds the
/// last record. A page ends early at a page break or the point limit, and
/// says why. Returns the records read; 0 (and nothing changed) when that
/// record does not exist.
int LoadPageAt(AppState& s, int firstRecord);
