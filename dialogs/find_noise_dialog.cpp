#include "dialogs/find_noise_dialog.h"

#include "platform/platform.h"

DialogTemplate FindNoiseTemplate() {
  DialogTemplate t;
  t.id = kFindNoiseDialogId;
  t.title = "Find Noise";
  t.controls = {
      {kIdOk, ControlKind::Button, "OK", "", 0, 0},
      {kIdCancel, ControlKind::Button, "Cance", "", 0, 1},
  };
  return t;
}

DialogProcedure FindNoiseProcedure(AppState& s) {
  return [&s](DialogView& view, const DialogMessage& message) {
    if (message.event != DialogEvent::Clicked) return;
    if (message.controlId == kIdOk) {
      s.RedrawAll = 1;
      view.Close(kIdOk);
    } else if (message.controlId == kIdCancel) {
      view.Close(kIdCancel);
    }
  };
}

int RunFindNoiseDialog(AppState& s) { return s.host->RunDialog(FindNoiseTemplate(), FindNoiseProcedure(s)); }
