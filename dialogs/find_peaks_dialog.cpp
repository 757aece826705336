#include "dialogs/find_peaks_dialog.h"

#include <memory>

#include "dialogs/dialog_support.h"
#include "dialogs/field_check.h"
#include "dialogs/header_fields.h"
#include "platform/platform.h"

namespace {

const int kNoiseIds[4] = {kPeaksHxNoise, kPeaksHyNoise, kPeaksExNoise, kPeaksEyNoise};

void ReadLevels(AppState& s, DialogView& view) {
  for (int i = 0; i < 4; ++i) s.NoiseLevel[i] = ReadDecimal(view, kNoiseIds[i]);
  s.SNCutoff = ReadDecimal(view, kPeaksCutoff);
}

}  // namespace

DialogTemplate FindPeaksTemplate() {
  DialogTemplate t;
  t.id = kFindPeaksDialogId;
  t.title = "Find Peaks";
  t.controls = {
      {kPeaksCutoff, ControlKind::Edit, "Signal-to-noise Cutoff", "", 0, 0},
      {kPeaksHxNoise, ControlKind::Edit, "Hx noise, pT", "", 1, 0},
      {kPeaksHyNoise, ControlKind::Edit, "Hy noise, pT", "", 1, 1},
      {kPeaksExNoise, ControlKind::Edit, "Ex noise, mV/km", "", 2, 0},
      {kPeaksEyNoise, ControlKind::Edit, "Ey noise, mV/km", "", 2, 1},
      {kPeaksRemove, ControlKind::Check, "Remove Peaks", "", 3, 0},
      {kIdReplot, ControlKind::Button, "Replot", "", 4, 0},
      {kIdOk, ControlKind::Button, "OK", "", 4, 1},
      {kIdCancel, ControlKind::Button, "Cancel", "", 4, 2},
  };
  return t;
}

DialogProcedure FindPeaksProcedure(AppState& s) {
  auto checks = std::make_shared<FieldChecks>();
  checks->Add(kPeaksCutoff, {"Signal-to-noise Cutoff", false, 0, 1000});
  const char* const noiseNames[4] = {"Hx noise, pT", "Hy noise, pT", "Ex noise, mV/km", "Ey noise, mV/km"};
  for (int i = 0; i < 4; ++i) checks->Add(kNoiseIds[i], {noiseNames[i], false, 0, 1e6});
  return [&s, checks](DialogView& view, const DialogMessage& message) {
    FollowFieldEvent(*checks, view, *s.host, message);
    if (message.event == DialogEvent::Init) {
      for (int i = 0; i < 4; ++i) view.SetText(kNoiseIds[i], Format("%8.3f", s.NoiseLevel[i]));
      view.SetText(kPeaksCutoff, Format("%8.2f", s.SNCutoff));
      view.SetCheck(kPeaksRemove, s.RemovePeaks != 0);
      return;
    }
    if (message.event != DialogEvent::Clicked) return;
    switch (message.controlId) {
      case kIdOk:
        if (!CheckTypedFields(*checks, view, *s.host)) break;
        ReadLevels(s, view);
        RedrawPlot(s);
        view.Close(kIdOk);
        break;
      case kIdReplot:
        if (!CheckTypedFields(*checks, view, *s.host)) break;
        ReadLevels(s, view);
        RedrawPlot(s);
        break;
      case kIdCancel:
        s.host->InvalidatePlot(false);
        view.Close(kIdCancel);
        break;
      case kPeaksRemove:
        s.RemovePeaks = view.GetCheck(kPeaksRemove) ? 1 : 0;
        s.host->InvalidatePlot(false);
        break;
      default: break;
    }
  };
}

int RunFindPeaksDialog(AppState& s) { return s.host->RunDialog(FindPeaksTemplate(), FindPeaksProcedure(s)); }
