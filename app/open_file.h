#pragma once
// Opening a recorder file into the state, paging through it, and the scaling
// of raw counts to physical units. The reading itself is datafile/loader.

#include <string>

#include "app/state.h"
#include "datafile/loader.h"

/// Shows the open dialog and loads the chosen file's first page.
/// Returns 1 when a file was opened, 0 when cancelled or it could not be opened.
int OpenRecorderFile(AppState& s);

/// Opens path and loads its first page of RecordsPerPlot records (the part of
/// OpenRecorderFile after the dialog). Returns 1 when the file was opened.
int LoadRecorderFile(AppState& s, const std::string& path);

/// Reads the next record of DataFile: its header into Header, its bytes into RawBlock.
/// Returns the header bytes read: 0 at the end of the file (EndOfFile set),
/// also for an incomplete last record or a read error, each reported once.
int ReadRecord(AppState& s);

void ComputeSensorScales(AppState& s, const RecorderHeader& h);

/// Physical units per raw count of channel ch with the gains of header h:
/// SensorScale · AdcSpanMilliVolts / 2^24 / ChannelGain.
double ChannelFactor(const AppState& s, const RecorderHeader& h, int ch);

/// Samples per second of the open file (62 is 62.5; a rate code of 0 counts as 1).
double SamplesPerSecond(const AppState& s);

/// "The last record of FILE is incomplete; it was ignored.", once per opened file.
void TellIncompleteRecord(AppState& s);

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
