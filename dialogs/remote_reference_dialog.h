#pragma once
// The "Remote Reference" dialog of the Transform menu: shows the remote
// recording in use, opens another (an open dialog for a recording) or sets
// None, after which the estimates use the page's own magnetic field.

#include "app/state.h"
#include "dialogs/dialog.h"

enum RemoteReferenceControl {
  kRemoteDialogId = 2501,
  kRemoteFile = 2502,  // read-only "Remote recording": its path, or "None"
  kRemoteOpen = 2503,  // "Open..."
  kRemoteNone = 2504,  // "None"
};

DialogTemplate RemoteReferenceDialogTemplate();

/// Open... asks for one recording and makes it the remote reference (a
/// recording that cannot serve is refused with a message and the dialog stays);
/// None clears it; Cancel leaves it. The dialog closes with the button's id.
DialogProcedure RemoteReferenceDialogProcedure(AppState& s);

/// The Transform menu's "Remote Reference..." command: the dialog, then a
/// repaint when the choice changed. Returns the dialog's result.
int ChooseRemoteReference(AppState& s);
