#pragma once
// "Edit File Header" (183), Settings, File Header: the settings of all six
// channels of OutHeader side by side, one row per channel, all editable.

#include "app/state.h"
#include "dialogs/channel_controls.h"
#include "dialogs/dialog.h"

constexpr int kEditHeaderDialogId = 183;

/// The controls of channel c (index 0 … 5).
extern const ChannelControlIds kEditHeaderIds[kChannels];

DialogTemplate EditHeaderTemplate();

/// The procedure over s. Combo and box changes reach OutHeader at once (an
/// "Enabled" change asks for a full redraw); OK stores every channel's text
/// fields; Cancel restores OutHeader as the dialog found it. "Replot" does
/// nothing: every change already repaints.
DialogProcedure EditHeaderDialog(AppState& s);

/// Settings, File Header: shows the dialog. Returns the button that closed it.
int RunEditHeaderDialog(AppState& s);
