#pragma once
// One panel's frame: four sides with inward ticks, tick labels (clock times,
// numbers or powers of ten), the panel title, the vertical Y-axis label and
// the X-axis title.

#include <string>

struct AppState;
class Surface;

struct FrameSpec {
  int left = 0, top = 0;      // top-left corner of the panel, pixels
  int width = 0, height = 0;  // panel size, pixels
  double xmin = 0, xmax = 0;  // seconds from the file's first record on a time axis
  double ymin = 0, ymax = 0;
  double xstep = 1, ystep = 1;  // major tick steps (TimeStep / NiceStep)
  std::string XAxisTitle;
  std::string YAxisLabel;
  std::string PanelTitle;
  int logx = 0, logy = 0;
  int XLabelsOn = 0;  // bottom panel: X tick labels and the X-axis title
};

/// Draws one panel's frame. Reads FourierOn, AppResOn, TimeFormatHST,
/// PlotFirstRecordTime and StandardLineWidth. The surface's pen and font are
/// restored. Nothing is drawn when xmax equals xmin; a logarithmic Y axis with
/// a limit of 0 or less is drawn linear. Clock labels show each tick's time in
/// the zone shown with the decimals the step needs; labels that would overlap
/// are thinned to every k-th tick; a logarithmic axis always carries numbers.
void DrawPlotFrame(AppState& s, Surface& surface, const FrameSpec& f);

/// 1, 2, 2.5, 5 or 10 times a power of ten, near a fifth of the range; 10 for 0.
double NiceStep(double range);
/// Tick step for a time axis of the given range in seconds.
double TimeStep(double range);

struct TickLabel {
  std::string label;     // "-12E-6" in exponent form
  std::string display;   // "-12x10": what the frame draws, the exponent as a superscript
  std::string exponent;  // "-6"; empty in plain form, "0" for a zero value
};
/// Text of a linear-axis tick at value with the given step.
TickLabel FormatTickLabel(double value, double step);
