#pragma once
// "Qor Header Contents" (129), File Information: every recorder-level field
// of OutHeader read-only, the comments editable, and one channel at a time,
// chosen with the spin control, whose settings can be changed.

#include "app/state.h"
#include "dialogs/channel_controls.h"
#include "dialogs/dialog.h"

enum HeaderContentsControl {
  kHeaderContentsDialogId = 129,
  kInfoComments = 1020,
  kInfoGpsLocked = 1023,
  kInfoChannel = 1018,      // "Channel" number shown
  kInfoChannelSpin = 1025,  // 1..6
};

/// The channel controls of the dialog.
extern const ChannelControlIds kInfoChannelIds;

DialogTemplate HeaderContentsTemplate();

/// Shows channel c (1..6) of h in the dialog's channel controls.
void FillHeaderChannel(DialogView& view, const RecorderHeader& h, int c);

/// The procedure over s. Combo and box changes reach OutHeader at once; the
/// text fields when the spin control moves and on OK (with the comments).
/// Cancel restores OutHeader as the dialog found it. Every change repaints.
DialogProcedure HeaderContentsDialog(AppState& s);

/// File, File Information: shows the dialog. Returns the button that closed it.
int RunHeaderContentsDialog(AppState& s);
