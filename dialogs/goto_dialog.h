#pragma once
// The "Go To" dialog: a record number, or a date and time as the plot shows
// them (UTC or HST), and the page that holds it is loaded.

#include <optional>
#include <string>

#include "app/state.h"
#include "datafile/record_time.h"
#include "dialogs/dialog.h"

enum GoToControl {
  kGoToDialogId = 2400,
  kGoToRange = 2401,   // what the file holds: its records and its first and last time
  kGoToTarget = 2402,  // "Record or time"
};

/// A time typed by the user: "MM/DD/YYYY HH:MM:SS.sss" (a two-digit year is
/// 20YY), "YYYY-MM-DD HH:MM:SS.sss" (or with a T), or "HH:MM[:SS.sss]" on the
/// date of reference; "UTC" or "HST" may follow. hst tells whether the time
/// is Hawaii Standard Time (the shown format when no zone is given).
struct TypedTime {
  RecordTime time;
  bool dateGiven = false;
  bool hst = false;
};
std::optional<TypedTime> ParseTypedTime(const std::string& text, bool shownHst);

DialogTemplate GoToTemplate();
/// OK loads the page and closes; a text that is neither a record number nor a
/// time, or one outside the file, gets a warning and the dialog stays open.
DialogProcedure GoToProcedure(AppState& s);
/// Ctrl+G: shows the dialog when a file is open. Returns the button that closed it (0 without a file).
int RunGoToDialog(AppState& s);
