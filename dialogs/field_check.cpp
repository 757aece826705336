#include "dialogs/field_check.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "app/state.h"
#include "dialogs/header_fields.h"
#include "platform/platform.h"

namespace {

std::string NumberText(double v) {
  if (v == std::floor(v) && std::fabs(v) < 1e15) return Format("%.0f", v);
  return Format("%g", v);
}

CheckedField* Find(FieldChecks& checks, int id) {
  for (CheckedField& f : checks.fields)
    if (f.id == id) return &f;
  return nullptr;
}

// Refuses the field's text unless it is valid; returns true when it was refused.
bool Refused(CheckedField& f, DialogView& view, Platform& host) {
  if (!f.typed) return false;
  f.typed = false;
  const std::string text = view.GetText(f.id);
  if (CheckedNumber(text, f.rule)) {
    f.accepted = text;
    return false;
  }
  // The text goes back before the message, so the field never keeps a refused value.
  view.SetText(f.id, f.accepted);
  ShowMessage(host, RefusalText(f.rule), MsgIcon::Warning);
  return true;
}

}  // namespace

NumberRule RecordsPerPlotRule() { return {"Records/Plot", true, 1, MaxPlotPoints / 2560}; }

std::optional<double> CheckedNumber(const std::string& text, const NumberRule& rule) {
  const char* begin = text.c_str();
  while (*begin == ' ' || *begin == '\t') ++begin;
  if (*begin == '\0') return std::nullopt;
  char* end = nullptr;
  errno = 0;
  double value = 0;
  if (rule.whole) {
    const long long v = std::strtoll(begin, &end, 10);
    value = static_cast<double>(v);
  } else {
    value = std::strtod(begin, &end);
  }
  if (end == begin || errno == ERANGE || !std::isfinite(value)) return std::nullopt;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end != '\0') return std::nullopt;
  if (value < rule.low || value > rule.high) return std::nullopt;
  return value;
}

std::string RefusalText(const NumberRule& rule) {
  return rule.field + " must be " + (rule.whole ? "a whole number" : "a number") + " from " + NumberText(rule.low) +
         " to " + NumberText(rule.high) + ".";
}

int FollowFieldEvent(FieldChecks& checks, DialogView& view, Platform& host, const DialogMessage& message) {
  CheckedField* f = Find(checks, message.controlId);
  if (!f) return 0;
  switch (message.event) {
    case DialogEvent::FocusGained:
      f->accepted = view.GetText(f->id);
      f->typed = false;
      return 0;
    case DialogEvent::TextChanged: f->typed = true; return 0;
    case DialogEvent::EditFinished: return Refused(*f, view, host) ? f->id : 0;
    default: return 0;
  }
}

bool CheckTypedFields(FieldChecks& checks, DialogView& view, Platform& host) {
  for (CheckedField& f : checks.fields)
    if (Refused(f, view, host)) return false;
  return true;
}
