#include "app/display_filter.h"

#include <algorithm>

#include "app/state.h"
#include "spectral/lowpass.h"

namespace {

// Number of the last inputs of a plot kept for priming the next paint.
constexpr int kKeptInputs = 199;

}  // namespace

void ScaleChannelForDisplay(AppState& s, int ch, double factor) {
  if (ch < 0 || ch >= kChannels) return;
  const int n = s.NumPlotPoints;
  const bool invert = s.OutHeader.ChannelInvert[ch] != 0;
  const double* orig = s.yplotdata_orig[ch].data();
  double* out = s.yplotdata[ch].data();
  if (!s.FilterOn) {
    for (int i = 0; i < n; ++i) {
      double v = orig[i] * factor;
      out[i] = invert ? -v : v;
    }
    return;
  }
  std::vector<double>& prev = s.yplotdata_prev[ch];
  if (prev.size() < static_cast<size_t>(kHistoryPoints)) prev.resize(kHistoryPoints, 0.0);
  const int corner = s.LowPassCorner;
  const int W = LowPassCornerSamples(corner);
  double primed[kHistoryPoints];
  LowPassBlock(s.DisplayFilter, prev.data(), primed, std::min(W, kHistoryPoints), corner, ch);
  for (int i = 0; i < n; ++i) out[i] = orig[i] * factor;
  const int firstKept = n - kKeptInputs;
  for (int i = std::max(0, firstKept); i < n; ++i) prev[static_cast<size_t>(i - firstKept)] = out[i];
  LowPassBlock(s.DisplayFilter, out, out, n, corner, ch);
  if (invert)
    for (int i = 0; i < n; ++i) out[i] = -out[i];
}
