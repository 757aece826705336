#pragma once
// The "Find Noise" dialog (171): an empty confirmation box. OK asks for a
// full redraw; the other button changes nothing.

#include "app/state.h"
#include "dialogs/dialog.h"

constexpr int kFindNoiseDialogId = 171;

DialogTemplate FindNoiseTemplate();
DialogProcedure FindNoiseProcedure(AppState& s);
/// Command 176: shows the dialog. Returns the button that closed it.
int RunFindNoiseDialog(AppState& s);
