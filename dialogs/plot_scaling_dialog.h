#pragma once
// The "Plot Scaling" dialog (1591): the X limits shared by every panel, log
// axes, and per channel autoscaled or fixed Y limits. It edits the state in
// place while open; Cancel puts back every limit and flag it found.

#include "app/state.h"
#include "dialogs/dialog.h"

enum PlotScalingControl {
  kPlotScalingDialogId = 1591,
  kScaleXMin = 1305,         // "&Minimum" of the X axis
  kScaleXMax = 1307,         // "Ma&ximum"
  kScaleXAuto = 1301,        // "&Autoscale": AutoscaleAll
  kScaleXLog = 2318,         // "Log": LogX
  kScaleChannel = 2313,      // "Channel" number shown, 1-based
  kScaleChannelSpin = 2315,  // its up-down control, 1..6
  kScaleDetector = 1034,     // "Detector": the channel's sensor type
  kScaleLabel = 1393,        // the channel's label ("HX" …)
  kScaleYMin = 1309,         // "&Minimum" of the Y axis of the channel shown
  kScaleYMax = 1311,         // "Ma&ximum"
  kScaleYAuto = 1303,        // "&Autoscale": AutoscaleChan of the channel shown
  kScaleYLog = 1304,         // "&Log": LogY
  kScaleApplyAll = 1306,     // "Apply to All Chans"
};

/// The name of a sensor type code: "Unknown sensor", "Unknown coil", …,
/// "LEMI-701"; codes outside 0 … 7 are "Unknown sensor".
const char* SensorTypeName(int code);

DialogTemplate PlotScalingTemplate();

/// The procedure over s. The Y edits show and set the channel's current
/// limits while it autoscales, its fixed limits otherwise; clicking into a
/// limit edit switches that axis's autoscaling off. Log Y is refused outside
/// Fourier mode while an enabled channel's limits reach 0 or below (a lower
/// limit of exactly 0 is accepted). "Apply to All Chans" fixes every enabled
/// channel (and the one shown) to the limits shown. Cancel without anything
/// changed leaves the picture as it is, without a full redraw.
DialogProcedure PlotScalingProcedure(AppState& s);

/// Settings, Plot Scaling: shows the dialog. Returns the button that closed it.
int RunPlotScalingDialog(AppState& s);
