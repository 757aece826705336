#pragma once
// The paint pipeline: from the state to the picture. A full redraw has the
// page analysed (app/analysis.h), lays out one panel per enabled channel (four
// MT panels in apparent-resistivity mode) and draws every panel into the
// off-screen image.

#include "app/state.h"

class Surface;

/// Runs a paint request on the off-screen image (its size is the client
/// area). With RedrawAll set, nothing being dragged and a file loaded, the
/// whole picture is recomputed and drawn; without a file the image is grey.
/// Returns true when the image was redrawn.
bool PaintPlotWindow(AppState& s, Surface& image);

/// The rubber band of a zoom drag, drawn over the window's copy of the image.
void DrawZoomRectangle(AppState& s, Surface& window);

/// X values, point count, autoscaled limits and zoom limits of the next draw.
void SetupPlotAxes(AppState& s);
/// Axis titles and label of the panel of channel (panel index in MT mode), and its Y tick step.
void SetPanelLabels(AppState& s, int channel, int panel);

/// Lays out the panels for the client size and NumEnabledChans.
void LayoutPanels(AppState& s);
