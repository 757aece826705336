#pragma once
// The About dialog (2398): the program's name, version and date, and the platform.

#include "app/state.h"
#include "dialogs/dialog.h"

enum AboutDialogControl {
  kAboutDialogId = 2398,
  kAboutPlatform = 1251,  // read-only "Platform:" field
};

DialogTemplate AboutDialogTemplate();
/// Fills the platform field; OK or Cancel closes the dialog with its id.
DialogProcedure AboutDialogProcedure();
/// Shows the About dialog modally. Returns the button that closed it.
int ShowAboutDialog(AppState& s);
