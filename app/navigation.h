#pragma once
// Moving to any page of the open file: the first, the last, the page that
// holds a record or a time. Pages start at multiples of RecordsPerPlot, as
// stepping forward from the first page leaves them.

#include "app/state.h"

/// Complete records of the open file, from the loader's record index (0 without a file).
int RecordCount(AppState& s);

/// Start and end of record r (0-based) in seconds from the file's first
/// sample, from the record's own header. False when it cannot be read.
bool RecordSpan(AppState& s, int record, double& start, double& end);

/// The record holding the time seconds from the file's first sample; in a gap
/// between records, the record after it. -1 before the first sample, -2 after the last.
int RecordAtTime(AppState& s, double seconds);

/// First record of the page that holds record.
int PageStartOf(const AppState& s, int record);

/// Loads the page that holds record (0-based) and asks for a redraw. False,
/// with nothing changed, when there is no such record.
bool GoToRecord(AppState& s, int record);

void CmdFirstPage(AppState& s);
void CmdLastPage(AppState& s);
