#include "spectral/peaks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

const char* const kPeakFileName = "PeakData.txt";

namespace {

constexpr double kPi = 3.141592653589793;
constexpr int kSkipAfterDeepMinimum = 5;

}  // namespace

std::string PeakDirectionsText(const double x[], int n, const double peakX[], const double peakY[], int peaks,
                               const double trend[], const double a1[], const double a3[], int* lines) {
  std::string text;
  *lines = 0;
  int j = 0;  // walks along the page with the peaks, which come in time order
  for (int k = 0; k < peaks; ++k) {
    const double px = peakX[k];
    while (j < n && x[j] < px) ++j;
    if (j >= n) break;
    const double b = peakY[k] - trend[j];  // height above the trend
    const double a = a1[j];
    if (!((b > 0 && b > a) || (b < 0 && b < a))) continue;
    const double c = a3[j];
    const double direction = std::atan2(c, b) * 180.0 / kPi + 126.0;
    const double magnitude = std::sqrt(c * c + b * b);
    const int len = std::snprintf(nullptr, 0, "%8.3f %8.3f\n", direction, magnitude);
    if (len > 0) {
      std::string line(static_cast<size_t>(len) + 1, '\0');
      std::snprintf(line.data(), line.size(), "%8.3f %8.3f\n", direction, magnitude);
      text.append(line.data(), static_cast<size_t>(len));
    }
    ++*lines;
  }
  return text;
}

int DetectPeaks(const double x[], const double y[], int n, const double trend[], double peakX[], double peakY[],
                int capacity, double sigma, double cutoff) {
  int k = 0;
  for (int i = 3; i < n - 3 && k < capacity; ++i) {
    const double dm1 = y[i] - y[i - 1];
    const double dp1 = y[i] - y[i + 1];
    const double dm2 = y[i] - y[i - 2];
    const double dp2 = y[i] - y[i + 2];
    const bool maximum = dm1 > 0 && dp1 > 0 && (dm2 > 2 * sigma || dp2 > 2 * sigma);
    const bool minimum = dm1 < 0 && dp1 < 0 && (std::fabs(dm2) > 2 * sigma || std::fabs(dp2) > 2 * sigma);
    if (!maximum && !minimum) continue;
    peakX[k] = x[i];
    peakY[k] = y[i] + trend[i];
    ++k;
    if (minimum && (std::fabs(dm2) > cutoff * sigma || std::fabs(dp2) > cutoff * sigma)) i += kSkipAfterDeepMinimum;
  }
  return k;
}
