#include "dialogs/plot_scaling_dialog.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "dialogs/dialog_support.h"
#include "dialogs/header_fields.h"
#include "platform/platform.h"

namespace {

constexpr int kAutoscaleButton = 410;
const char* const kLogRefused = "Cannot enable log display: negative or zero Y values";
const char* const kLogXRefused = "Cannot enable log display on a time axis";
const char* const kXRangeRefused = "X Minimum must be below X Maximum: the previous X limits are kept";
const char* const kLogLimitRefused = "A log Y axis needs limits above 0: the previous Y limits are kept";

struct Snapshot {
  double XMin, XMax, YMin, YMax;
  int LogX, LogY, AutoscaleAll;
  int AutoscaleChan[kChannels];
  double YMinChan[kChannels], YMaxChan[kChannels], YMinManual[kChannels], YMaxManual[kChannels];
};

Snapshot Take(const AppState& s) {
  Snapshot v{s.XMin, s.XMax, s.YMin, s.YMax, s.LogX, s.LogY, s.AutoscaleAll, {}, {}, {}, {}, {}};
  std::memcpy(v.AutoscaleChan, s.AutoscaleChan, sizeof v.AutoscaleChan);
  std::memcpy(v.YMinChan, s.YMinChan, sizeof v.YMinChan);
  std::memcpy(v.YMaxChan, s.YMaxChan, sizeof v.YMaxChan);
  std::memcpy(v.YMinManual, s.YMinManual, sizeof v.YMinManual);
  std::memcpy(v.YMaxManual, s.YMaxManual, sizeof v.YMaxManual);
  return v;
}

void PutBack(AppState& s, const Snapshot& v) {
  s.XMin = v.XMin;
  s.XMax = v.XMax;
  s.YMin = v.YMin;
  s.YMax = v.YMax;
  s.LogX = v.LogX;
  s.LogY = v.LogY;
  s.AutoscaleAll = v.AutoscaleAll;
  std::memcpy(s.AutoscaleChan, v.AutoscaleChan, sizeof v.AutoscaleChan);
  std::memcpy(s.YMinChan, v.YMinChan, sizeof v.YMinChan);
  std::memcpy(s.YMaxChan, v.YMaxChan, sizeof v.YMaxChan);
  std::memcpy(s.YMinManual, v.YMinManual, sizeof v.YMinManual);
  std::memcpy(s.YMaxManual, v.YMaxManual, sizeof v.YMaxManual);
}

struct DialogState {
  Snapshot snapshot{};
  bool changed = false;    // anything was set
  bool replotted = false;  // the plot was redrawn with what was set
};

std::string LimitText(double v) { return Format("%6.3e", v); }

int Shown(const AppState& s) { return std::clamp(s.ScalingChannel, 1, kChannels) - 1; }

// The limits the paint uses for channel k: its current ones while it
// autoscales, its fixed ones otherwise.
double& LowerLimit(AppState& s, int k) { return s.AutoscaleChan[k] ? s.YMinChan[k] : s.YMinManual[k]; }
double& UpperLimit(AppState& s, int k) { return s.AutoscaleChan[k] ? s.YMaxChan[k] : s.YMaxManual[k]; }

void ShowChannel(AppState& s, DialogView& view) {
  const int k = Shown(s);
  const RecorderHeader& h = s.OutHeader;
  view.SetCheck(kScaleYAuto, s.AutoscaleChan[k] != 0);
  view.SetText(kScaleYMin, LimitText(LowerLimit(s, k)));
  view.SetText(kScaleYMax, LimitText(UpperLimit(s, k)));
  view.SetText(kScaleDetector, SensorTypeName(h.SensorID[k]));
  const int label = h.ChannelLabel[k];
  view.SetText(kScaleLabel, label >= 0 && label < 6 ? kChannelLabelText[label] : "");
  view.SetText(kScaleChannel, Format("%6d", k + 1));
  view.SetSpinPosition(kScaleChannelSpin, k + 1);
}

void Refuse(AppState& s, const std::string& text) {
  s.host->MessageBox(text, "Zorvan", MsgButtons::Ok, MsgIcon::Warning);
}

// The number an edit holds, or a message and the previous value back in the
// edit. Blanks around the number are allowed, nothing else.
bool ReadLimit(AppState& s, DialogView& view, int id, double previous, double& value) {
  const std::string text = view.GetText(id);
  const char* begin = text.c_str();
  char* end = nullptr;
  const double v = std::strtod(begin, &end);
  bool ok = end != begin && std::isfinite(v);
  for (const char* p = end; ok && *p; ++p)
    if (!std::isspace(static_cast<unsigned char>(*p))) ok = false;
  if (!ok) {
    Refuse(s, "\"" + text + "\" is not a number: the limit stays " + LimitText(previous));
    view.SetText(id, LimitText(previous));
    return false;
  }
  value = v;
  return true;
}

bool PanelShown(const AppState& s, int k) { return s.AppResOn ? k < 4 : s.OutHeader.ChannelEnabled[k] != 0; }

// Whether channel k's limits can be drawn on a log Y axis: above 0, unless
// the channel autoscales to a spectrum, whose values decide.
bool LogLimitsDrawable(const AppState& s, int k, double lo, double hi) {
  if ((s.FourierOn || s.AppResOn) && s.AutoscaleChan[k]) return true;
  return lo > 0 && hi > 0;
}

bool LogYShown(const AppState& s) { return s.LogY && !s.AmplPhaseOn && !s.CoherOn; }

// Stores the Y edits into the limits of the channel shown; refuses (and
// shows the previous limits again) what cannot be drawn.
bool StoreYEdits(AppState& s, DialogView& view) {
  const int k = Shown(s);
  double lo = LowerLimit(s, k), hi = UpperLimit(s, k);
  if (!ReadLimit(s, view, kScaleYMin, LowerLimit(s, k), lo)) return false;
  if (!ReadLimit(s, view, kScaleYMax, UpperLimit(s, k), hi)) return false;
  if (LogYShown(s) && PanelShown(s, k) && !LogLimitsDrawable(s, k, lo, hi)) {
    Refuse(s, kLogLimitRefused);
    view.SetText(kScaleYMin, LimitText(LowerLimit(s, k)));
    view.SetText(kScaleYMax, LimitText(UpperLimit(s, k)));
    return false;
  }
  LowerLimit(s, k) = lo;
  UpperLimit(s, k) = hi;
  return true;
}

bool ApplyEdits(AppState& s, DialogView& view) {
  s.AutoscaleAll = view.GetCheck(kScaleXAuto) ? 1 : 0;
  double xmin = s.XMin, xmax = s.XMax;
  bool ok = ReadLimit(s, view, kScaleXMin, s.XMin, xmin) && ReadLimit(s, view, kScaleXMax, s.XMax, xmax);
  if (ok && !(xmin < xmax)) {
    Refuse(s, kXRangeRefused);
    view.SetText(kScaleXMin, LimitText(s.XMin));
    view.SetText(kScaleXMax, LimitText(s.XMax));
    ok = false;
  }
  if (ok) {
    s.XMin = xmin;
    s.XMax = xmax;
  }
  return StoreYEdits(s, view) && ok;
}

void ShowXLimits(AppState& s, DialogView& view) {
  view.SetText(kScaleXMin, LimitText(s.XMin));
  view.SetText(kScaleXMax, LimitText(s.XMax));
}

void Init(AppState& s, DialogView& view) {
  view.SetCheck(kScaleXAuto, s.AutoscaleAll != 0);
  view.SetCheck(kScaleXLog, s.LogX != 0);
  view.SetCheck(kScaleYLog, s.LogY != 0);
  ShowXLimits(s, view);
  view.SetSpinRange(kScaleChannelSpin, 1, kChannels);
  ShowChannel(s, view);
}

// Log Y needs limits above 0 on every panel shown, except where a channel
// autoscales to a spectrum.
bool LogYAllowed(AppState& s) {
  if (s.AmplPhaseOn || s.CoherOn) return true;  // those panels stay linear
  for (int k = 0; k < kChannels; ++k)
    if (PanelShown(s, k) && !LogLimitsDrawable(s, k, LowerLimit(s, k), UpperLimit(s, k))) return false;
  return true;
}

void ClickYLog(AppState& s, DialogView& view) {
  if (view.GetCheck(kScaleYLog)) {
    // What is typed for the channel shown counts.
    if (!StoreYEdits(s, view) || !LogYAllowed(s)) {
      Refuse(s, kLogRefused);
      view.SetCheck(kScaleYLog, false);
    }
  }
  s.LogY = view.GetCheck(kScaleYLog) ? 1 : 0;
  s.RedrawAll = 1;
}

// A time axis has no logarithmic form: its origin is an arbitrary instant.
void ClickXLog(AppState& s, DialogView& view) {
  if (view.GetCheck(kScaleXLog) && !s.FourierOn && !s.AppResOn) {
    Refuse(s, kLogXRefused);
    view.SetCheck(kScaleXLog, false);
  }
  s.LogX = view.GetCheck(kScaleXLog) ? 1 : 0;
  ShowXLimits(s, view);
}

void ApplyToAll(AppState& s, DialogView& view) {
  const int shown = Shown(s);
  double lo = LowerLimit(s, shown), hi = UpperLimit(s, shown);
  if (!ReadLimit(s, view, kScaleYMin, LowerLimit(s, shown), lo)) return;
  if (!ReadLimit(s, view, kScaleYMax, UpperLimit(s, shown), hi)) return;
  if (LogYShown(s) && !(lo > 0 && hi > 0)) {
    Refuse(s, kLogLimitRefused);
    view.SetText(kScaleYMin, LimitText(LowerLimit(s, shown)));
    view.SetText(kScaleYMax, LimitText(UpperLimit(s, shown)));
    return;
  }
  for (int k = 0; k < kChannels; ++k) {
    if (!s.OutHeader.ChannelEnabled[k] && k != shown) continue;
    s.YMinManual[k] = lo;
    s.YMaxManual[k] = hi;
    s.AutoscaleChan[k] = 0;
  }
  view.SetCheck(kScaleYAuto, false);
}

bool AnyLimitChanged(const AppState& s, const Snapshot& v) {
  if (s.XMin != v.XMin || s.XMax != v.XMax) return true;
  for (int k = 0; k < kChannels; ++k)
    if (s.YMinManual[k] != v.YMinManual[k] || s.YMaxManual[k] != v.YMaxManual[k]) return true;
  return false;
}

bool AutoscaleShownFullyOn(const AppState& s) {
  if (!s.AutoscaleAll) return false;
  for (int k = 0; k < kChannels; ++k)
    if (s.OutHeader.ChannelEnabled[k] && !s.AutoscaleChan[k]) return false;
  return true;
}

}  // namespace

const char* SensorTypeName(int code) {
  static const char* const names[8] = {"Unknown sensor", "Unknown coil", "Unknown electrode", "User sensor",
                                       "LEMI-118",       "LEMI-120",     "LEMI-121",          "LEMI-701"};
  return code >= 0 && code < 8 ? names[code] : names[0];
}

DialogTemplate PlotScalingTemplate() {
  DialogTemplate t;
  t.id = kPlotScalingDialogId;
  t.title = "Plot Scaling";
  t.controls = {
      {kScaleXAuto, ControlKind::Check, "&Autoscale", "X Axis", 0, 0},
      {kScaleXLog, ControlKind::Check, "Log", "X Axis", 0, 1},
      {kScaleXMin, ControlKind::Edit, "&Minimum", "X Axis", 1, 0},
      {kScaleXMax, ControlKind::Edit, "Ma&ximum", "X Axis", 1, 1},
      {kScaleChannel, ControlKind::ReadOnly, "Channel", "", 0, 0},
      {kScaleChannelSpin, ControlKind::Spin, "", "", 0, 1, kScaleChannel},
      {kScaleLabel, ControlKind::ReadOnly, "", "", 0, 2},
      {kScaleDetector, ControlKind::ReadOnly, "Detector", "", 1, 0},
      {kScaleYAuto, ControlKind::Check, "&Autoscale", "Y Axis", 0, 0},
      {kScaleYLog, ControlKind::Check, "&Log", "Y Axis", 0, 1},
      {kScaleYMin, ControlKind::Edit, "&Minimum", "Y Axis", 1, 0},
      {kScaleYMax, ControlKind::Edit, "Ma&ximum", "Y Axis", 1, 1},
      {kScaleApplyAll, ControlKind::Button, "Apply to All Chans", "Y Axis", 2, 1},
      {kIdReplot, ControlKind::Button, "Replot", "", 0, 0},
      {kIdOk, ControlKind::Button, "&OK", "", 0, 1},
      {kIdCancel, ControlKind::Button, "&Cancel", "", 0, 2},
  };
  return t;
}

DialogProcedure PlotScalingProcedure(AppState& s) {
  auto d = std::make_shared<DialogState>();
  return [&s, d](DialogView& view, const DialogMessage& message) {
    const int id = message.controlId;
    switch (message.event) {
      case DialogEvent::Init:
        *d = DialogState{Take(s), false, false};
        Init(s, view);
        break;
      case DialogEvent::FocusGained:
        if (id == kScaleXMin || id == kScaleXMax) {
          view.SetCheck(kScaleXAuto, false);
          s.AutoscaleAll = 0;
        } else if (id == kScaleYMin || id == kScaleYMax) {
          view.SetCheck(kScaleYAuto, false);
          s.AutoscaleChan[Shown(s)] = 0;
        }
        break;
      case DialogEvent::SpinChanged:
        if (id != kScaleChannelSpin) break;
        StoreYEdits(s, view);  // a refused limit keeps the channel's previous one
        s.AutoscaleAll = view.GetCheck(kScaleXAuto) ? 1 : 0;
        s.ScalingChannel = std::clamp(view.GetSpinPosition(kScaleChannelSpin), 1, kChannels);
        ShowChannel(s, view);
        d->changed = true;
        break;
      case DialogEvent::Clicked:
        switch (id) {
          case kScaleYLog:
            ClickYLog(s, view);
            d->changed = true;
            break;
          case kScaleXLog:
            ClickXLog(s, view);
            d->changed = true;
            break;
          case kScaleYAuto:
            s.AutoscaleChan[Shown(s)] = view.GetCheck(kScaleYAuto) ? 1 : 0;
            d->changed = true;
            break;
          case kScaleApplyAll:
            ApplyToAll(s, view);
            d->changed = true;
            break;
          case kIdReplot:
            ApplyEdits(s, view);
            d->changed = d->replotted = true;
            RedrawPlot(s, true);
            break;
          case kIdOk:
            // A refused limit keeps the dialog open with the previous value shown.
            if (!ApplyEdits(s, view)) {
              d->changed = true;
              break;
            }
            if (AnyLimitChanged(s, d->snapshot)) d->changed = true;
            s.host->SetButtonPressed(kAutoscaleButton, AutoscaleShownFullyOn(s));
            view.Close(kIdOk);
            RedrawPlot(s, true);
            break;
          case kIdCancel:
            PutBack(s, d->snapshot);
            view.Close(kIdCancel);
            if (d->replotted) {
              RedrawPlot(s, true);  // the picture shows what was replotted: draw it as it was
            } else if (!d->changed) {
              s.RedrawAll = 0;  // nothing to recompute: the paint copies the picture
            }
            break;
          default: break;
        }
        break;
      default: break;
    }
  };
}

int RunPlotScalingDialog(AppState& s) { return s.host->RunDialog(PlotScalingTemplate(), PlotScalingProcedure(s)); }
