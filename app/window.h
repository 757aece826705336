#pragma once
// The main window's paint, size and keyboard handling over the state. A
// repaint has two halves: the full redraw into the off-screen image, which
// may show message boxes and so runs when the repaint is requested, and the
// paint proper, which shows a copy of that image with the rubber band, the
// cursor cross and the markers drawn over it.

#include "app/state.h"

class Surface;

// Key codes of the keys the window acts on.
constexpr int kKeyControl = 17;
constexpr int kKeyEscape = 27;
constexpr int kKeyLeft = 37;
constexpr int kKeyRight = 39;

/// Runs a full redraw into image when one is due (RedrawAll, nothing being
/// dragged) or no file is open, under the wait cursor, and shows the toggle
/// buttons as the redraw left the modes. Returns true when image was redrawn.
bool RedrawImage(AppState& s, Surface& image);

/// The paint proper. window already holds a copy of the off-screen image;
/// this draws the zoom rectangle in zoom mode, otherwise the cursor readout
/// at LastClick and the markers, and ends the arrow-key step.
void PaintWindow(AppState& s, Surface& window);

/// The plot area has a new size: the next paint lays everything out again.
void WindowResized(AppState& s, int width, int height);

/// Arrow keys move the cursor (and the last marker) one point per paint;
/// Control is held for markers; Escape ends a zoom (as Reset does).
void KeyDown(AppState& s, int key);
void KeyUp(AppState& s, int key);
