#include "dialogs/fourier_settings_dialog.h"

#include <cstring>
#include <memory>

#include "app/open_file.h"
#include "dialogs/dialog_support.h"
#include "dialogs/field_check.h"
#include "dialogs/header_fields.h"
#include "platform/platform.h"

namespace {

const int kWindowIds[4] = {kFourierNone, kFourierHanning, kFourierHamming, kFourierSlepian};

struct Saved {
  int FitOrder = 0, WindowType = 0;
  double FitCoeffs[22] = {};
};

// The test sine is gone and the settings may have changed: spectra anew,
// under the cursor of the window's mode.
void Finish(AppState& s, DialogView& view, int result) {
  s.SineTestOn = 0;
  s.host->SetCursor(s.ZoomMode ? CursorShape::Zoom : CursorShape::Arrow);
  view.Close(result);
  RedrawPlot(s);
}

}  // namespace

DialogTemplate FourierSettingsTemplate() {
  DialogTemplate t;
  t.id = kFourierDialogId;
  t.title = "Fourier Transform Settings";
  t.controls = {
      {kFourierNone, ControlKind::Radio, "None", "Windowing", 0, 0},
      {kFourierHanning, ControlKind::Radio, "Hanning", "Windowing", 0, 1},
      {kFourierHamming, ControlKind::Radio, "Hamming", "Windowing", 0, 2},
      {kFourierSlepian, ControlKind::Radio, "Slepian", "Windowing", 0, 3},
      {kFourierGainBw, ControlKind::Edit, "Gain BW Product", "Slepian Properties", 0, 0},
      {kFourierTapers, ControlKind::Edit, "Number of Tapers", "Slepian Properties", 0, 1},
      {kFourierSineTest, ControlKind::Check, "Enable", "Sine Wave Test", 0, 0},
      {kFourierTestFreq, ControlKind::Edit, "Test Frequency, Hz", "Sine Wave Test", 0, 1},
      {kFourierNotch, ControlKind::Check, "Power  harmonic Notch", "", 0, 0},
      {kIdReplot, ControlKind::Button, "Replot", "", 1, 0},
      {kIdOk, ControlKind::Button, "OK", "", 1, 1},
      {kIdCancel, ControlKind::Button, "Cancel", "", 1, 2},
  };
  return t;
}

DialogProcedure FourierSettingsProcedure(AppState& s) {
  auto saved = std::make_shared<Saved>();
  auto checks = std::make_shared<FieldChecks>();
  // A test sine above half the sample rate would only alias.
  const double nyquist = s.FileLoaded ? SamplesPerSecond(s) / 2 : 1e6;
  checks->Add(kFourierTestFreq, {"Test Frequency, Hz", false, 0, nyquist});
  return [&s, saved, checks](DialogView& view, const DialogMessage& message) {
    const int id = message.controlId;
    if (FollowFieldEvent(*checks, view, *s.host, message) == kFourierTestFreq) {
      // The refused text is gone: the sine follows the frequency the field shows again.
      s.SineTestFreq = ReadDecimal(view, kFourierTestFreq);
      RedrawPlot(s);
    }
    switch (message.event) {
      case DialogEvent::Init:
        saved->FitOrder = s.FitOrder;
        saved->WindowType = s.WindowType;
        std::memcpy(saved->FitCoeffs, s.FitCoeffs, sizeof saved->FitCoeffs);
        view.SetCheck(kFourierSineTest, s.SineTestOn != 0);
        view.SetCheck(kFourierNotch, s.NotchOn != 0);
        if (s.WindowType >= 0 && s.WindowType < 4) view.SetCheck(kWindowIds[s.WindowType], true);
        view.SetText(kFourierTestFreq, Format("%6.3f", s.SineTestFreq));
        // The taper is computed once at start-up; these two only name its properties.
        view.Enable(kFourierGainBw, false);
        view.Enable(kFourierTapers, false);
        s.host->SetCursor(CursorShape::Wait);  // until the dialog closes
        FitPageTrends(s);
        break;
      case DialogEvent::TextChanged:
        if (id != kFourierTestFreq) break;
        s.SineTestFreq = ReadDecimal(view, kFourierTestFreq);
        RedrawPlot(s);
        break;
      case DialogEvent::Clicked:
        for (int type = 0; type < 4; ++type)
          if (id == kWindowIds[type]) s.WindowType = type;
        if (id == kFourierSineTest) {
          s.SineTestOn = view.GetCheck(kFourierSineTest) ? 1 : 0;
          RedrawPlot(s);
        } else if (id == kFourierNotch) {
          s.NotchOn = view.GetCheck(kFourierNotch) ? 1 : 0;
        } else if (id == kIdReplot) {
          RedrawPlot(s);
        } else if (id == kIdOk) {
          if (!CheckTypedFields(*checks, view, *s.host)) {
            s.SineTestFreq = ReadDecimal(view, kFourierTestFreq);
            break;
          }
          s.SineTestFreq = ReadDecimal(view, kFourierTestFreq);
          Finish(s, view, kIdOk);
        } else if (id == kIdCancel) {
          s.FitOrder = saved->FitOrder;
          s.WindowType = saved->WindowType;
          std::memcpy(s.FitCoeffs, saved->FitCoeffs, sizeof saved->FitCoeffs);
          Finish(s, view, kIdCancel);
        }
        break;
      default: break;
    }
  };
}

int RunFourierSettingsDialog(AppState& s) {
  return s.host->RunDialog(FourierSettingsTemplate(), FourierSettingsProcedure(s));
}
