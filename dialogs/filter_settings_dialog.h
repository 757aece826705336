#pragma once
// The "Filter Settings" dialog (180): the low-pass display filter on or off
// and its corner. Both act at once, so the plot behind the dialog follows.

#include "app/state.h"
#include "dialogs/dialog.h"

enum FilterSettingsControl {
  kFilterDialogId = 180,
  kFilterEnable = 2318,        // "Enable"
  kFilterCorner = 1384,        // "Corner, samples"
  kFilterRunningWidth = 1432,  // "Total width, samples " of the running average, always 0
};

DialogTemplate FilterSettingsTemplate();
/// The procedure over s: Cancel restores FilterOn and LowPassCorner.
DialogProcedure FilterSettingsProcedure(AppState& s);
/// Settings, Filter: shows the dialog. Returns the button that closed it.
int RunFilterSettingsDialog(AppState& s);
