#include "dialogs/plot_scaling_dialog.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "dialogs/dialog_support.h"
#include "dialogs/header_fields.h"
#include "platform/platform.h"

namespace {

constexpr int kAutoscaleButton = 410;
const char* const kLogRefused = "Cannot enable log display: negative or zero Y values";

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

std::string LimitText(double v) {
  return Format("%6.3e", v);
}

int Shown(const AppState& s) {
  return std::clamp(s.ScalingChannel, 1, kChannels) - 1;
}

// The limits the paint uses for channel k: its current ones while it
// autoscales, its fixed ones otherwise.
double& LowerLimit(AppState& s, int k) {
  return s.AutoscaleChan[k] ? s.YMinChan[k] : s.YMinManual[k];
}
double& UpperLimit(AppState& s, int k) {
  return s.AutoscaleChan[k] ? s.YMaxChan[k] : s.YMaxManual[k];
}

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

void StoreYEdits(AppState& s, DialogView& view) {
  const int k = Shown(s);
  LowerLimit(s, k) = ReadDecimal(view, kScaleYMin);
  UpperLimit(s, k) = ReadDecimal(view, kScaleYMax);
}

void ApplyEdits(AppState& s, DialogView& view) {
  s.XMin = ReadDecimal(view, kScaleXMin);
  s.XMax = ReadDecimal(view, kScaleXMax);
  s.AutoscaleAll = view.GetCheck(kScaleXAuto) ? 1 : 0;
  StoreYEdits(s, view);
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

// Log Y needs positive upper and non-negative lower limits on every panel of
// time series; spectra are positive anyway.
bool LogYAllowed(AppState& s) {
  if (s.FourierOn) return true;
  for (int k = 0; k < kChannels; ++k) {
    if (!s.OutHeader.ChannelEnabled[k]) continue;
    if (LowerLimit(s, k) < 0 || UpperLimit(s, k) <= 0) return false;
  }
  return true;
}

void ClickYLog(AppState& s, DialogView& view) {
  if (view.GetCheck(kScaleYLog)) {
    StoreYEdits(s, view);  // what is typed for the channel shown counts
    if (!LogYAllowed(s)) {
      s.host->MessageBox(kLogRefused, "Zorvan", MsgButtons::Ok, MsgIcon::Warning);
      view.SetCheck(kScaleYLog, false);
    }
  }
  s.LogY = view.GetCheck(kScaleYLog) ? 1 : 0;
  s.RedrawAll = 1;
}

void ApplyToAll(AppState& s, DialogView& view) {
  const double lo = ReadDecimal(view, kScaleYMin);
  const double hi = ReadDecimal(view, kScaleYMax);
  const int shown = Shown(s);
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
        StoreYEdits(s, view);
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
            s.LogX = view.GetCheck(kScaleXLog) ? 1 : 0;
            ShowXLimits(s, view);
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
            ApplyEdits(s, view);
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
          default:
            break;
        }
        break;
      default:
        break;
    }
  };
}

int RunPlotScalingDialog(AppState& s) {
  return s.host->RunDialog(PlotScalingTemplate(), PlotScalingProcedure(s));
}
