#pragma once
// Helpers the settings and header dialogs share: reading numbers from edits
// as the dialogs read them, and asking for a full redraw of the plot.

#include <string>

#include "app/state.h"
#include "dialogs/dialog.h"

/// Edits are read as at most this many characters.
constexpr size_t kEditReadLimit = 20;

/// text cut to at most limit bytes, never inside a UTF-8 character.
std::string CutText(const std::string& text, size_t limit);
/// The edit's text cut to limit characters (bytes).
std::string ReadEdit(DialogView& view, int id, size_t limit = kEditReadLimit);
/// The leading decimal number of the edit's text; 0 when it has none (or it is not finite).
double ReadDecimal(DialogView& view, int id);
/// The leading whole number of the edit's text, within the int range; 0 when it has none.
long long ReadInteger(DialogView& view, int id);

/// Fits the polynomial trend of order FitOrder to every enabled channel of the
/// page into ypoly, FitX, FitCoeffs and FitRms, against the time of each point.
/// The values fitted are the page in units as the next full redraw makes them
/// (scaled, filtered, inverted), whatever yplotdata holds now (spectra in
/// Fourier mode, residuals after a subtraction); the display filter's state is
/// left as it was. Returns the points fitted per channel (0 without a page).
int FitPageTrends(AppState& s);

/// The state changed: the next paint recomputes the picture.
void RedrawPlot(AppState& s, bool erase = false);

/// The "Replot" button of the settings dialogs.
constexpr int kIdReplot = 3;
