#include "dialogs/about_dialog.h"

#include "platform/platform.h"

DialogTemplate AboutDialogTemplate() {
  DialogTemplate t;
  t.id = kAboutDialogId;
  t.title = "About Zorvan";
  t.controls = {
      {0, ControlKind::Label, "Magnetotelluric Plotting & Analysis", "", 0, 0},
      {0, ControlKind::Label, "Version 2.37", "", 1, 0},
      {0, ControlKind::Label, " 11/6/2013", "", 2, 0},
      {kAboutPlatform, ControlKind::ReadOnly, "Platform:", "", 3, 0},
      {kIdOk, ControlKind::Button, "OK", "", 4, 0},
      {kIdCancel, ControlKind::Button, "Cancel", "", 4, 1},
  };
  return t;
}

DialogProcedure AboutDialogProcedure(const std::string& platform) {
  return [platform](DialogView& view, const DialogMessage& message) {
    if (message.event == DialogEvent::Init) {
      view.SetText(kAboutPlatform, platform);
    } else if (message.event == DialogEvent::Clicked &&
               (message.controlId == kIdOk || message.controlId == kIdCancel)) {
      view.Close(message.controlId);
    }
  };
}

int ShowAboutDialog(AppState& s) {
  return s.host->RunDialog(AboutDialogTemplate(), AboutDialogProcedure(s.host->PlatformDescription()));
}
