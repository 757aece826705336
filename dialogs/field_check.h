#pragma once
// Numbers typed into dialog fields are checked when the user leaves the field
// and again on OK: text that is not a number of the field's kind, or lies
// outside its range, is refused with a warning that names the field and the
// range, and the field gets back the text it had; the dialog stays open.

#include <optional>
#include <string>
#include <vector>

#include "dialogs/dialog.h"

class Platform;

struct NumberRule {
  std::string field;  // the name the message gives the field
  bool whole = true;  // a whole number, else a decimal one
  double low = 0;
  double high = 0;
};

/// "Records/Plot" of the open dialog: 1 up to the records of the shortest kind that fill a page.
NumberRule RecordsPerPlotRule();

/// The value of text (spaces around it allowed) when it is a number of the
/// rule's kind within its range.
std::optional<double> CheckedNumber(const std::string& text, const NumberRule& rule);
/// "<field> must be a whole number from <low> to <high>." (or "a number").
std::string RefusalText(const NumberRule& rule);

struct CheckedField {
  int id = 0;
  NumberRule rule;
  std::string accepted;  // the text the field had when the user entered it
  bool typed = false;    // the user changed it since
};

/// The checked fields of one dialog. Only what the user typed is checked, so
/// values the program shows are never refused.
struct FieldChecks {
  std::vector<CheckedField> fields;
  void Add(int id, NumberRule rule) { fields.push_back({id, std::move(rule), {}, false}); }
};

/// Follows the user through the fields: FocusGained remembers the text,
/// TextChanged marks it typed, EditFinished checks it. Returns the id of a
/// field whose text was refused and put back (the procedure re-reads it), else 0.
int FollowFieldEvent(FieldChecks& checks, DialogView& view, Platform& host, const DialogMessage& message);
/// On OK: checks every typed field; false after refusing the first bad one.
bool CheckTypedFields(FieldChecks& checks, DialogView& view, Platform& host);
