#include "dialogs/general_settings_dialog.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "dialogs/dialog_support.h"
#include "dialogs/field_check.h"
#include "dialogs/header_fields.h"
#include "platform/platform.h"

namespace {

const std::vector<std::string> kDecimationItems = {"1", "40", "80", "200"};
const int kDecimationFactors[] = {1, 40, 80, 200};
const std::vector<std::string> kCornerItems = {"5", "10", "20", "50", "100", "200"};

// What Cancel puts back.
struct Saved {
  int SaveCorner, DecimationFactor, FitOrder;
  double FitCoeffs[22];
  int SimsZxxOn, SimsZxyOn, SimsZyyOn, SimsZyxOn, LeastSquaresOn, AmplPhaseOn, ResistivityOn;
};

Saved Save(const AppState& s) {
  Saved v{s.SaveCorner,     s.DecimationFactor, s.FitOrder,     {}, s.SimsZxxOn, s.SimsZxyOn, s.SimsZyyOn, s.SimsZyxOn,
          s.LeastSquaresOn, s.AmplPhaseOn,      s.ResistivityOn};
  std::memcpy(v.FitCoeffs, s.FitCoeffs, sizeof v.FitCoeffs);
  return v;
}

void Restore(AppState& s, const Saved& v) {
  s.SaveCorner = v.SaveCorner;
  s.DecimationFactor = v.DecimationFactor;
  s.FitOrder = v.FitOrder;
  std::memcpy(s.FitCoeffs, v.FitCoeffs, sizeof v.FitCoeffs);
  s.SimsZxxOn = v.SimsZxxOn;
  s.SimsZxyOn = v.SimsZxyOn;
  s.SimsZyyOn = v.SimsZyyOn;
  s.SimsZyxOn = v.SimsZyxOn;
  s.LeastSquaresOn = v.LeastSquaresOn;
  s.AmplPhaseOn = v.AmplPhaseOn;
  s.ResistivityOn = v.ResistivityOn;
}

// Fits every enabled channel and shows the fit over the time series.
void ShowFitOverlay(AppState& s) {
  s.PolyOverlayCount = FitPageTrends(s);
  s.FitValid = 1;
  s.PolyOverlayOn = 1;
}

void ShowEstimateChoice(DialogView& view, const AppState& s) {
  view.SetCheck(kGenLsEnable, s.LeastSquaresOn != 0);
  view.SetCheck(kGenSimsEnable, s.LeastSquaresOn == 0);
}

void ShowAmplPhase(DialogView& view, const AppState& s) {
  view.SetCheck(kGenSimsAmplPhase, s.AmplPhaseOn == 0);
  view.SetCheck(kGenLsAmplPhase, s.AmplPhaseOn == 0);
}

void SetSims(AppState& s, int id) {
  s.SimsZxxOn = id == kGenSimsZxx;
  s.SimsZxyOn = id == kGenSimsZxy;
  s.SimsZyxOn = id == kGenSimsZyx;
  s.SimsZyyOn = id == kGenSimsZyy;
}

void SetEstimateDisplay(AppState& s, int id) {
  s.ResistivityOn = id == kGenResistivity;
  s.ImpedanceOn = id == kGenImpedance;
  s.CoherOn = id == kGenCoherence;
}

void SetTimeFormat(AppState& s, int hst) {
  s.TimeFormatHST = hst;
  if (!s.FileLoaded) return;
  // The date and time of the page in the status bar follow the new format.
  s.RecordTimeShown = ShownTime(s, s.PlotStartTime);
  s.host->SetStatusText(2, FormatDate(s.RecordTimeShown));
  s.host->SetStatusText(3, FormatTime(s.RecordTimeShown));
}

void ClickShowFit(AppState& s, DialogView& view) {
  if (s.SubtractPolyOn) {
    // The fit is being subtracted; showing it as well is refused.
    view.SetCheck(kGenShowFit, s.ShowPolyOn != 0);
    return;
  }
  if (s.ShowPolyOn) {
    s.ShowPolyOn = 0;
    s.FitValid = 0;
    s.PolyOverlayOn = 0;
  } else {
    s.ShowPolyOn = 1;
    ShowFitOverlay(s);
  }
  view.SetCheck(kGenShowFit, s.ShowPolyOn != 0);
  RedrawPlot(s);
}

void ClickSubtract(AppState& s, DialogView& view) {
  if (s.SubtractPolyOn) {
    s.SubtractPolyOn = 0;
    s.ShowPolyOn = s.ShowPolySaved;
    s.PolyOverlayOn = s.ShowPolyOn;
  } else {
    if (!s.FitValid) {
      FitPageTrends(s);
      s.FitValid = 1;
    }
    s.SubtractPolyOn = 1;
    s.ShowPolySaved = s.ShowPolyOn;
    s.ShowPolyOn = 0;
    s.PolyOverlayOn = 0;
  }
  view.SetCheck(kGenSubtract, s.SubtractPolyOn != 0);
  view.SetCheck(kGenShowFit, s.ShowPolyOn != 0);
  RedrawPlot(s);
}

void ChangeOrder(AppState& s, DialogView& view) {
  s.FitOrder = std::clamp(view.GetSpinPosition(kGenFitOrderSpin), 1, 20);
  view.SetText(kGenFitOrder, Format("%6d", s.FitOrder));
  if (!s.ShowPolyOn) return;
  ShowFitOverlay(s);
  RedrawPlot(s);
}

void Init(AppState& s, DialogView& view) {
  view.SetText(kGenCoeffsSummed, Format("%d", s.CoeffsSummed));
  view.SetText(kGenOverlap, Format("%d", s.OverlapPct));
  view.Enable(kGenOverlap, false);  // the spectra take no overlap: the field only shows the setting
  const int sims[] = {s.SimsZxxOn, s.SimsZxyOn, s.SimsZyxOn, s.SimsZyyOn};
  const int simsIds[] = {kGenSimsZxx, kGenSimsZxy, kGenSimsZyx, kGenSimsZyy};
  for (int i = 0; i < 4; ++i)
    if (sims[i]) view.SetCheck(simsIds[i], true);
  ShowEstimateChoice(view, s);
  view.SetCheck(kGenResistivity, s.ResistivityOn != 0);
  view.SetCheck(kGenCoherence, s.CoherOn != 0);
  view.SetCheck(kGenImpedance, s.ImpedanceOn != 0);
  view.SetCheck(kGenShowFit, s.ShowPolyOn != 0);
  view.SetCheck(kGenSubtract, s.SubtractPolyOn != 0);
  view.SetCheck(kGenMisfit, s.MisfitErrorsOn != 0);
  view.SetCheck(s.TimeFormatHST ? kGenHst : kGenUtc, true);
  ShowAmplPhase(view, s);
  view.SetComboItems(kGenDecimation, kDecimationItems);
  int decimation = 0;
  for (int i = 0; i < 4; ++i)
    if (kDecimationFactors[i] == s.DecimationFactor) decimation = i;
  view.SetComboSelection(kGenDecimation, decimation);
  view.SetComboItems(kGenSaveCorner, kCornerItems);
  view.SetComboSelection(kGenSaveCorner, s.SaveCorner - 1);
  view.SetSpinRange(kGenFitOrderSpin, 1, 20);
  view.SetSpinPosition(kGenFitOrderSpin, s.FitOrder);
  view.SetText(kGenFitOrder, Format("%6d", s.FitOrder));
  if (s.ShowPolyOn) {
    ShowFitOverlay(s);
    RedrawPlot(s);
  }
}

void Ok(AppState& s, DialogView& view) {
  const long long coeffs = ReadInteger(view, kGenCoeffsSummed);
  if (coeffs >= 1) {
    s.CoeffsSummed = static_cast<int>(coeffs);
  } else {
    // The spectral bands advance by 2·CoeffsSummed bins; fewer than one would never end.
    ShowMessage(*s.host, Format("\"#Coeffs summed\" must be at least 1; it stays %d.", s.CoeffsSummed),
                MsgIcon::Warning);
  }
  s.OverlapPct = static_cast<int>(ReadInteger(view, kGenOverlap));
  s.LeastSquaresOn = view.GetCheck(kGenLsEnable) ? 1 : 0;
  s.OutHeader.SampleRate = static_cast<uint32_t>(s.SampleRate / std::max(1, s.DecimationFactor));
  view.Close(kIdOk);
  s.PolyOverlayOn = 0;
  RedrawPlot(s);
}

}  // namespace

DialogTemplate GeneralSettingsTemplate() {
  DialogTemplate t;
  t.id = kGeneralDialogId;
  t.title = "General Settings";
  const char* saved = "Saved File";
  const char* sims = "Sims, Bostick Estimates";
  const char* impedance = "Impedance Estimates";
  const char* time = "Time Format";
  const char* poly = "Polynomial Fitting";
  const char* ls = "Least Squares Estimates";
  t.controls = {
      {kGenDecimation, ControlKind::Combo, "Decimation Factor", saved, 0, 0},
      {kGenSaveCorner, ControlKind::Combo, "LP Filter Corner, samples", saved, 0, 1},
      {kGenLsEnable, ControlKind::Check, "Enable", ls, 0, 0},
      {kGenResistivity, ControlKind::Radio, "Apparent Resistivies", ls, 1, 0},
      {kGenImpedance, ControlKind::Radio, "Impedances", ls, 1, 1},
      {kGenCoherence, ControlKind::Radio, "Coherencies", ls, 1, 2},
      {kGenLsAmplPhase, ControlKind::Check, "Ampl/Phase", ls, 2, 0},
      {kGenMisfit, ControlKind::Check, "Misfit Errors", ls, 2, 1},
      {kGenSimsEnable, ControlKind::Check, "Enable", sims, 0, 0},
      {kGenSimsZxx, ControlKind::Radio, "Zxx", sims, 1, 0},
      {kGenSimsZxy, ControlKind::Radio, "Zxy", sims, 1, 1},
      {kGenSimsZyx, ControlKind::Radio, "Zyx", sims, 1, 2},
      {kGenSimsZyy, ControlKind::Radio, "Zyy", sims, 1, 3},
      {kGenSimsAmplPhase, ControlKind::Check, "Ampl/Phase", sims, 2, 0},
      {kGenCoeffsSummed, ControlKind::Edit, "#Coeffs summed", impedance, 0, 0},
      {kGenOverlap, ControlKind::ReadOnly, "Overlap, %", impedance, 0, 1},
      {kGenFitOrder, ControlKind::ReadOnly, "Or&der", poly, 0, 0},
      {kGenFitOrderSpin, ControlKind::Spin, "", poly, 0, 1, kGenFitOrder},
      {kGenShowFit, ControlKind::Check, "Show Fit", poly, 0, 2},
      {kGenSubtract, ControlKind::Check, "Subtract", poly, 0, 3},
      {kGenUtc, ControlKind::Radio, "UTC", time, 0, 0},
      {kGenHst, ControlKind::Radio, "HST", time, 0, 1},
      {kIdOk, ControlKind::Button, "OK", "", 0, 0},
      {kIdCancel, ControlKind::Button, "Cancel", "", 0, 1},
      {kIdReplot, ControlKind::Button, "Replot", "", 0, 2},
  };
  return t;
}

DialogProcedure GeneralSettingsDialog(AppState& s) {
  auto saved = std::make_shared<Saved>(Save(s));
  auto checks = std::make_shared<FieldChecks>();
  // A band of more bins than any page has would leave no band at all.
  checks->Add(kGenCoeffsSummed, {"#Coeffs summed", true, 1, MaxPlotPoints / 2});
  return [&s, saved, checks](DialogView& view, const DialogMessage& message) {
    const int id = message.controlId;
    FollowFieldEvent(*checks, view, *s.host, message);
    switch (message.event) {
      case DialogEvent::Init:
        *saved = Save(s);
        Init(s, view);
        break;
      case DialogEvent::SelectionChanged:
        if (id == kGenDecimation) {
          const int i = view.GetComboSelection(id);
          if (i >= 0 && i < 4) s.DecimationFactor = kDecimationFactors[i];
        } else if (id == kGenSaveCorner) {
          const int i = view.GetComboSelection(id);
          if (i >= 0 && i < 6) s.SaveCorner = i + 1;
        }
        break;
      case DialogEvent::SpinChanged:
        if (id == kGenFitOrderSpin) ChangeOrder(s, view);
        break;
      case DialogEvent::Clicked:
        switch (id) {
          case kGenSimsEnable:
          case kGenLsEnable:
            s.LeastSquaresOn = id == kGenLsEnable;
            ShowEstimateChoice(view, s);
            RedrawPlot(s);
            break;
          case kGenSimsZxx:
          case kGenSimsZxy:
          case kGenSimsZyx:
          case kGenSimsZyy:
            SetSims(s, id);
            RedrawPlot(s);
            break;
          case kGenSimsAmplPhase:
          case kGenLsAmplPhase:
            s.AmplPhaseOn = !s.AmplPhaseOn;
            ShowAmplPhase(view, s);
            RedrawPlot(s);
            break;
          case kGenResistivity:
          case kGenImpedance:
          case kGenCoherence:
            SetEstimateDisplay(s, id);
            RedrawPlot(s);
            break;
          case kGenMisfit:
            s.MisfitErrorsOn = view.GetCheck(kGenMisfit) ? 1 : 0;
            RedrawPlot(s);
            break;
          case kGenUtc:
          case kGenHst:
            SetTimeFormat(s, id == kGenHst);
            RedrawPlot(s);
            break;
          case kGenShowFit: ClickShowFit(s, view); break;
          case kGenSubtract: ClickSubtract(s, view); break;
          case kIdReplot: RedrawPlot(s); break;
          case kIdOk:
            if (CheckTypedFields(*checks, view, *s.host)) Ok(s, view);
            break;
          case kIdCancel:
            Restore(s, *saved);
            view.Close(kIdCancel);
            s.PolyOverlayOn = 0;
            RedrawPlot(s);
            break;
          default: break;
        }
        break;
      default: break;
    }
  };
}

int RunGeneralSettingsDialog(AppState& s) {
  return s.host->RunDialog(GeneralSettingsTemplate(), GeneralSettingsDialog(s));
}
