#include "dialogs/dialog_support.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "app/analysis.h"
#include "app/open_file.h"
#include "datafile/header.h"
#include "platform/platform.h"
#include "spectral/polyfit.h"

std::string CutText(const std::string& text, size_t limit) {
  if (text.size() <= limit) return text;
  size_t n = limit;
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return text.substr(0, n);
}

std::string ReadEdit(DialogView& view, int id, size_t limit) { return CutText(view.GetText(id), limit); }

double ReadDecimal(DialogView& view, int id) {
  const double value = ParseDecimal(ReadEdit(view, id).c_str());
  return std::isfinite(value) ? value : 0.0;
}

long long ReadInteger(DialogView& view, int id) {
  const std::string text = ReadEdit(view, id);
  const long long value = std::strtoll(text.c_str(), nullptr, 10);
  if (value > 2147483647LL) return 2147483647LL;
  if (value < -2147483647LL - 1) return -2147483647LL - 1;
  return value;
}

int FitPageTrends(AppState& s) {
  const int n =
      static_cast<int>(std::min<size_t>(static_cast<size_t>(std::max(s.NumPlotPoints, 0)), s.xplotdata.size()));
  if (!s.FileLoaded || n == 0) return 0;
  // The filter carries its state from one full redraw to the next: this extra
  // pass must not move it.
  const LowPassState filter = s.DisplayFilter;
  const ChannelRows prev = s.yplotdata_prev;
  const int panels = s.NumEnabledChans;
  ComputeSensorScales(s, s.OutHeader);
  ComputeGains(s.OutHeader);
  ScaleRecordToUnits(s);
  s.DisplayFilter = filter;
  s.yplotdata_prev = prev;
  s.NumEnabledChans = panels;

  if (s.FitX.size() < static_cast<size_t>(n)) s.FitX.resize(static_cast<size_t>(n));
  for (int ch = 0; ch < kChannels; ++ch) {
    if (!s.OutHeader.ChannelEnabled[ch] || s.yplotdata[ch].size() < static_cast<size_t>(n)) continue;
    if (s.ypoly[ch].size() < static_cast<size_t>(n)) s.ypoly[ch].resize(static_cast<size_t>(n));
    PolyFit(s.xplotdata.data(), s.yplotdata[ch].data(), s.FitX.data(), s.ypoly[ch].data(), s.FitCoeffs, s.FitOrder, n,
            n, &s.FitRms);
  }
  return n;
}

void RedrawPlot(AppState& s, bool erase) {
  s.RedrawAll = 1;
  s.host->InvalidatePlot(erase);
}
