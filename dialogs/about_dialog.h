#pragma once
// The About dialog (2398): the program's name, version and date, and the platform.

#include <string>

#include "app/state.h"
#include "dialogs/dialog.h"

enum AboutDialogControl {
  kAboutDialogId = 2398,
  kAboutPlatform = 1251,  // read-only "Platform:" field
};

DialogTemplate AboutDialogTemplate();
/// Fills the platform field with platform ("Linux, Qt 6.4.2" as the host
/// reports it); OK or Cancel closes the dialog with its id.
DialogProcedure AboutDialogProcedure(const std::string& platform);
/// Shows the About dialog modally. Returns the button that closed it.
int ShowAboutDialog(AppState& s);
