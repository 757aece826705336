#include "dialogs/dialog_support.h"

#include <cmath>
#include <cstdlib>

#include "datafile/header.h"
#include "platform/platform.h"

std::string CutText(const std::string& text, size_t limit) {
  if (text.size() <= limit) return text;
  size_t n = limit;
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return text.substr(0, n);
}

std::string ReadEdit(DialogView& view, int id, size_t limit) {
  return CutText(view.GetText(id), limit);
}

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

void RedrawPlot(AppState& s, bool erase) {
  s.RedrawAll = 1;
  s.host->InvalidatePlot(erase);
}
