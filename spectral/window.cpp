#include "spectral/window.h"

#include <cmath>
#include <vector>

#include "spectral/slepian.h"

void ApplyWindow(SlepianCache& tapers, const double in[], double out[], int n, double fraction, int type) {
  if (n <= 0) return;
  if (type == kWindowSlepian) {
    const std::vector<double>& taper = SlepianWindow(tapers, n);
    for (int i = 0; i < n; ++i) out[i] = in[i] * taper[static_cast<size_t>(i)];
    return;
  }
  if (type != kWindowNone && type != kWindowHanning && type != kWindowHamming) return;

  int m = static_cast<int>(fraction * n / 2);
  if (m > n / 2) m = n / 2;  // a fraction above 1 would reach past the mirror sample
  if (m < 0) m = 0;
  const double pi = std::acos(-1.0);
  for (int i = 0; i < m; ++i) {
    double w = 1.0;
    if (type == kWindowHanning) w = 0.5 * (1.0 + std::cos(pi * (i - m) / m));
    if (type == kWindowHamming) w = 0.54 + 0.46 * std::cos(pi * (i - m) / m);
    out[i] = in[i] * w;
    out[n - 1 - i] = in[n - 1 - i] * w;
  }
  // Between the two tapered ends (the middle sample for odd n) the weight is 1.
  for (int i = m; i < n - m; ++i) out[i] = in[i];
}
