#pragma once
// The "Fourier Transform Settings" dialog (181): the data window, the sine-wave
// test and the power-harmonic notch of the spectra.

#include "app/state.h"
#include "dialogs/dialog.h"

enum FourierSettingsControl {
  kFourierDialogId = 181,
  kFourierNone = 1385,  // window radio buttons: WindowType 0 … 3
  kFourierHanning = 1386,
  kFourierHamming = 1387,
  kFourierSlepian = 1388,
  kFourierGainBw = 1450,    // "Gain BW Product": the taper is fixed, shown empty and disabled
  kFourierTapers = 1065,    // "Number of Tapers": likewise
  kFourierSineTest = 2318,  // "Enable" of the sine-wave test
  kFourierTestFreq = 1391,  // "Test Frequency, Hz"
  kFourierNotch = 2321,     // "Power  harmonic Notch"
};

DialogTemplate FourierSettingsTemplate();

/// The procedure over s. Opening refits the page's polynomial trend. The test
/// frequency follows the edit as it is typed (0 for text that is not a
/// number) and the sine test only lasts while the dialog is open. Cancel
/// restores the window type, the fit order and its coefficients; the notch and
/// the test frequency keep what was set.
DialogProcedure FourierSettingsProcedure(AppState& s);

/// Settings, Fourier Transform: shows the dialog. Returns the button that closed it.
int RunFourierSettingsDialog(AppState& s);
