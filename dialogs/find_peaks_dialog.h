#pragma once
// The "Find Peaks" dialog (186): the noise levels of channels 1 to 4 and the
// signal-to-noise cutoff of the peak search, and the "Remove Peaks" box.

#include "app/state.h"
#include "dialogs/dialog.h"

enum FindPeaksControl {
  kFindPeaksDialogId = 186,
  kPeaksCutoff = 1070,   // "Signal-to-noise Cutoff"
  kPeaksHxNoise = 1066,  // "Hx noise, pT": NoiseLevel[0]
  kPeaksHyNoise = 1067,  // NoiseLevel[1]
  kPeaksExNoise = 1068,  // NoiseLevel[2]
  kPeaksEyNoise = 1069,  // NoiseLevel[3]
  kPeaksRemove = 2318,   // "Remove Peaks"
};

DialogTemplate FindPeaksTemplate();
/// The procedure over s. OK and Replot read the five edits (0 for text that
/// is not a number); values applied with Replot stay after Cancel.
DialogProcedure FindPeaksProcedure(AppState& s);
/// Settings, Find Peaks: shows the dialog. Returns the button that closed it.
int RunFindPeaksDialog(AppState& s);
