#include "dialogs/goto_dialog.h"

#include <cctype>
#include <cstdio>

#include "app/navigation.h"
#include "dialogs/dialog_support.h"
#include "dialogs/header_fields.h"
#include "platform/platform.h"

namespace {

constexpr double kHstOffsetSeconds = 36000.0;  // HST is UTC − 10 h

std::string Trim(const std::string& text) {
  size_t a = 0, b = text.size();
  while (a < b && std::isspace(static_cast<unsigned char>(text[a]))) ++a;
  while (b > a && std::isspace(static_cast<unsigned char>(text[b - 1]))) --b;
  return text.substr(a, b - a);
}

bool AllDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

bool ValidClock(int hour, int minute, double second) {
  return hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60;
}

std::string Zone(const AppState& s) { return s.TimeFormatHST ? "HST" : "UTC"; }

std::string Shown(const AppState& s, double seconds) {
  const RecordTime t = ShownTime(s, seconds);
  return FormatDate(t) + " " + FormatTime(t);
}

struct FileSpan {
  int records = 0;
  double start = 0, end = 0;  // seconds from the first sample
};

FileSpan SpanOf(AppState& s) {
  FileSpan f;
  f.records = RecordCount(s);
  double a = 0, b = 0;
  if (f.records > 0 && RecordSpan(s, 0, a, b)) f.start = a;
  if (f.records > 0 && RecordSpan(s, f.records - 1, a, b)) f.end = b;
  return f;
}

std::string RangeText(const AppState& s, const FileSpan& f) {
  return Format("Records 1 to %d, from %s to %s %s", f.records, Shown(s, f.start).c_str(), Shown(s, f.end).c_str(),
                Zone(s).c_str());
}

void Refuse(AppState& s, const std::string& text) { ShowMessage(*s.host, text, MsgIcon::Warning); }

// The record the text names, or -1 after telling the user why there is none.
int TargetRecord(AppState& s, const std::string& typed) {
  const FileSpan f = SpanOf(s);
  const std::string text = Trim(typed);
  if (AllDigits(text)) {
    const long long n = text.size() > 10 ? -1 : std::stoll(text);
    if (n >= 1 && n <= f.records) return static_cast<int>(n - 1);
    Refuse(s, Format("Record %s is outside %s: it holds records 1 to %d.", text.c_str(), s.CurrentFileTitle.c_str(),
                     f.records));
    return -1;
  }
  const std::optional<TypedTime> t = ParseTypedTime(text, s.TimeFormatHST != 0);
  if (!t) {
    Refuse(s, Format("\"Record or time\" must be a record number from 1 to %d or a date and time such as %s %s.",
                     f.records, Shown(s, f.start).c_str(), Zone(s).c_str()));
    return -1;
  }
  // Seconds from the first sample, as recorded (UTC).
  RecordTime utc = t->time;
  if (!t->dateGiven) {
    const RecordTime first = ShownTime(s, f.start);
    utc.year = first.year;
    utc.month = first.month;
    utc.day = first.day;
  }
  if (t->hst) AddSeconds(utc, kHstOffsetSeconds);
  const double seconds = SecondsBetween(s.PlotFirstRecordTime, utc);
  int record = RecordAtTime(s, seconds);
  // A clock time alone before the file's start may be on the next day of a file that runs past midnight.
  if (record == -1 && !t->dateGiven) record = RecordAtTime(s, seconds + 86400.0);
  if (record >= 0) return record;
  RecordTime asShown = utc;
  if (t->hst) AddSeconds(asShown, -kHstOffsetSeconds);
  Refuse(s, Format("%s %s %s is outside %s: it runs from %s to %s %s.", FormatDate(asShown).c_str(),
                   FormatTime(asShown).c_str(), t->hst ? "HST" : "UTC", s.CurrentFileTitle.c_str(),
                   Shown(s, f.start).c_str(), Shown(s, f.end).c_str(), Zone(s).c_str()));
  return -1;
}

}  // namespace

std::optional<TypedTime> ParseTypedTime(const std::string& typed, bool shownHst) {
  std::string text = Trim(typed);
  TypedTime out;
  out.hst = shownHst;
  for (const char* zone : {"UTC", "HST"}) {
    const size_t n = text.size();
    if (n >= 3 && text.compare(n - 3, 3, zone) == 0) {
      out.hst = zone[0] == 'H';
      text = Trim(text.substr(0, n - 3));
      break;
    }
  }
  int a = 0, b = 0, c = 0, hour = 0, minute = 0;
  double second = 0;
  // Each form with and without seconds; the whole text must match.
  auto scan = [&text, &second](const char* withSeconds, const char* withoutSeconds, auto*... fields) {
    const int n = static_cast<int>(sizeof...(fields));
    int used = -1;
    second = 0;
    if (std::sscanf(text.c_str(), withSeconds, fields..., &second, &used) == n + 1 &&
        used == static_cast<int>(text.size()))
      return true;
    used = -1;
    second = 0;
    return std::sscanf(text.c_str(), withoutSeconds, fields..., &used) == n && used == static_cast<int>(text.size());
  };
  RecordTime& t = out.time;
  if (scan("%d/%d/%d %d:%d:%lf%n", "%d/%d/%d %d:%d%n", &a, &b, &c, &hour, &minute)) {
    t.month = a;
    t.day = b;
    t.year = c < 100 ? 2000 + c : c;
    out.dateGiven = true;
  } else if (scan("%d-%d-%d%*[ T]%d:%d:%lf%n", "%d-%d-%d%*[ T]%d:%d%n", &a, &b, &c, &hour, &minute)) {
    t.year = a;
    t.month = b;
    t.day = c;
    out.dateGiven = true;
  } else if (!scan("%d:%d:%lf%n", "%d:%d%n", &hour, &minute)) {
    return std::nullopt;
  }
  if (!ValidClock(hour, minute, second)) return std::nullopt;
  if (out.dateGiven && (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.year < 1970 || t.year > 9999))
    return std::nullopt;
  t.hour = hour;
  t.minute = minute;
  t.second = second;
  return out;
}

DialogTemplate GoToTemplate() {
  DialogTemplate t;
  t.id = kGoToDialogId;
  t.title = "Go To";
  t.controls = {
      {kGoToRange, ControlKind::Label, "", "", 0, 0},
      {kGoToTarget, ControlKind::Edit, "&Record or time", "", 1, 0},
      {kIdOk, ControlKind::Button, "OK", "", 2, 0},
      {kIdCancel, ControlKind::Button, "Cancel", "", 2, 1},
  };
  return t;
}

DialogProcedure GoToProcedure(AppState& s) {
  return [&s](DialogView& view, const DialogMessage& message) {
    if (message.event == DialogEvent::Init) {
      view.SetText(kGoToRange, RangeText(s, SpanOf(s)));
      view.SetText(kGoToTarget, std::to_string(s.CurrentRecord + 1));
      return;
    }
    if (message.event != DialogEvent::Clicked) return;
    if (message.controlId == kIdCancel) {
      view.Close(kIdCancel);
    } else if (message.controlId == kIdOk) {
      const int record = TargetRecord(s, view.GetText(kGoToTarget));
      if (record >= 0 && GoToRecord(s, record)) view.Close(kIdOk);
    }
  };
}

int RunGoToDialog(AppState& s) {
  if (!s.FileLoaded) return 0;
  return s.host->RunDialog(GoToTemplate(), GoToProcedure(s));
}
