#pragma once
// The "General Settings" dialog (184): decimated saves, the impedance
// estimates and how they are shown, the time format and the polynomial fit of
// the time series. Buttons and boxes act at once; the two edits are read on OK.

#include "app/state.h"
#include "dialogs/dialog.h"

enum GeneralSettingsControl {
  kGeneralDialogId = 184,
  kGenDecimation = 1433,  // "Decimation Factor"
  kGenSaveCorner = 1384,  // "LP Filter Corner, samples"
  kGenSimsEnable = 2331,  // "Enable" of the Sims estimates
  kGenSimsZxx = 1437,
  kGenSimsZxy = 1438,
  kGenSimsZyx = 1439,
  kGenSimsZyy = 1440,
  kGenSimsAmplPhase = 2321,  // "Ampl/Phase" of the Sims group
  kGenCoeffsSummed = 1431,   // "#Coeffs summed"
  kGenOverlap = 1432,        // "Overlap, %"
  kGenUtc = 1443,
  kGenHst = 1444,
  kGenFitOrder = 9013,  // "Order"
  kGenFitOrderSpin = 1494,
  kGenShowFit = 1446,
  kGenSubtract = 1447,
  kGenLsEnable = 2318,     // "Enable" of the least-squares estimates
  kGenResistivity = 2320,  // "Apparent Resistivies"
  kGenImpedance = 1385,    // "Impedances"
  kGenCoherence = 2323,    // "Coherencies"
  kGenLsAmplPhase = 2324,  // "Ampl/Phase" of the least-squares group
  kGenMisfit = 2319,       // "Misfit Errors"
};

/// Both "Ampl/Phase" boxes are ticked while the estimates are shown as
/// amplitudes (AmplPhaseOn clear) and cleared while phases are shown.
DialogTemplate GeneralSettingsTemplate();

/// The procedure over s. Cancel restores the save options, the fit order and
/// coefficients, the estimate choice and AmplPhaseOn; the other boxes keep
/// what they set. OK reads "#Coeffs summed" (a value below 1 keeps the
/// previous one, with a message) and sets OutHeader.SampleRate to the rate of
/// a decimated save.
DialogProcedure GeneralSettingsDialog(AppState& s);

/// Settings, General: shows the dialog. Returns the button that closed it.
int RunGeneralSettingsDialog(AppState& s);
