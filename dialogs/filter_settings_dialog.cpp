#include "dialogs/filter_settings_dialog.h"

#include <memory>

#include "dialogs/dialog_support.h"
#include "dialogs/header_fields.h"
#include "platform/platform.h"

namespace {

// The filter has no running average; its width is shown as 0.
constexpr int kRunningAverageWidth = 0;

void ReadCorner(AppState& s, DialogView& view) {
  const int i = view.GetComboSelection(kFilterCorner);
  if (i >= 0 && i < 6) s.LowPassCorner = i + 1;
}

// The filtered data differ: a trend fitted before no longer fits them, and the
// spectra are computed anew (as the toolbar's Filter button does).
void DataChanged(AppState& s) {
  s.FitValid = 0;
  RedrawPlot(s);
}

}  // namespace

DialogTemplate FilterSettingsTemplate() {
  DialogTemplate t;
  t.id = kFilterDialogId;
  t.title = "Filter Settings";
  t.controls = {
      {kFilterEnable, ControlKind::Check, "Enable", "Low Pass", 0, 0},
      {kFilterCorner, ControlKind::Combo, "Corner, samples", "Low Pass", 1, 0},
      {kFilterRunningWidth, ControlKind::ReadOnly, "Total width, samples ", "Running Average", 0, 0},
      {kIdOk, ControlKind::Button, "OK", "", 0, 0},
      {kIdCancel, ControlKind::Button, "Cancel", "", 0, 1},
  };
  return t;
}

DialogProcedure FilterSettingsProcedure(AppState& s) {
  struct Saved {
    int FilterOn, LowPassCorner;
  };
  auto saved = std::make_shared<Saved>();
  return [&s, saved](DialogView& view, const DialogMessage& message) {
    const int id = message.controlId;
    switch (message.event) {
      case DialogEvent::Init:
        *saved = {s.FilterOn, s.LowPassCorner};
        view.SetCheck(kFilterEnable, s.FilterOn != 0);
        view.SetText(kFilterRunningWidth, Format("%d", kRunningAverageWidth));
        view.SetComboItems(kFilterCorner, {"5", "10", "20", "50", "100", "200"});
        view.SetComboSelection(kFilterCorner, s.LowPassCorner - 1);
        s.host->InvalidatePlot(false);
        break;
      case DialogEvent::SelectionChanged:
        if (id != kFilterCorner) break;
        ReadCorner(s, view);
        DataChanged(s);
        break;
      case DialogEvent::Clicked:
        if (id == kFilterEnable) {
          s.FilterOn = view.GetCheck(kFilterEnable) ? 1 : 0;
          DataChanged(s);
        } else if (id == kIdOk) {
          ReadCorner(s, view);
          view.Close(kIdOk);
          RedrawPlot(s);
        } else if (id == kIdCancel) {
          s.FilterOn = saved->FilterOn;
          s.LowPassCorner = saved->LowPassCorner;
          DataChanged(s);
          view.Close(kIdCancel);
        }
        break;
      default: break;
    }
  };
}

int RunFilterSettingsDialog(AppState& s) {
  return s.host->RunDialog(FilterSettingsTemplate(), FilterSettingsProcedure(s));
}
