#include "dialogs/remote_reference_dialog.h"

#include "app/remote_reference.h"
#include "platform/platform.h"

DialogTemplate RemoteReferenceDialogTemplate() {
  DialogTemplate t;
  t.id = kRemoteDialogId;
  t.title = "Remote Reference";
  t.controls = {
      {kRemoteFile, ControlKind::ReadOnly, "Remote recording", "", 0, 0},
      {kRemoteOpen, ControlKind::Button, "Open...", "", 1, 0},
      {kRemoteNone, ControlKind::Button, "None", "", 1, 1},
      {kIdCancel, ControlKind::Button, "Cancel", "", 1, 2},
  };
  return t;
}

DialogProcedure RemoteReferenceDialogProcedure(AppState& s) {
  return [&s](DialogView& view, const DialogMessage& message) {
    if (message.event == DialogEvent::Init) {
      view.SetText(kRemoteFile, s.RemotePath.empty() ? "None" : s.RemotePath);
      return;
    }
    if (message.event != DialogEvent::Clicked) return;
    switch (message.controlId) {
      case kRemoteOpen: {
        const std::vector<std::string> paths = s.host->OpenFilesDialog(RecorderFileFilters(), s.DataDir);
        if (paths.empty()) return;
        if (paths.size() > 1) {
          ShowMessage(*s.host, "Choose one recording as the remote reference.");
          return;
        }
        const std::string error = SetRemoteReference(s, paths.front());
        if (!error.empty()) {
          ShowMessage(*s.host, error, MsgIcon::Warning);
          return;
        }
        view.Close(kRemoteOpen);
        break;
      }
      case kRemoteNone:
        ClearRemoteReference(s);
        view.Close(kRemoteNone);
        break;
      case kIdCancel: view.Close(kIdCancel); break;
      default: break;
    }
  };
}

int ChooseRemoteReference(AppState& s) {
  const int result = s.host->RunDialog(RemoteReferenceDialogTemplate(), RemoteReferenceDialogProcedure(s));
  if (result == kRemoteOpen || result == kRemoteNone) {
    s.RedrawAll = 1;
    s.host->InvalidatePlot(true);
  }
  return result;
}
