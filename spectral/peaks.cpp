#include "spectral/peaks.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "datafile/file_io.h"
#include "platform/platform.h"
#include "spectral/polyfit.h"

const char* const kPeakFileName = "PeakData.txt";

namespace {

constexpr double kPi = 3.141592653589793;
constexpr int kSkipAfterDeepMinimum = 5;

// Points of the current page that every array holding it can supply.
int PagePoints(const AppState& s) {
  return static_cast<int>(std::min<size_t>(static_cast<size_t>(std::max(s.NumPlotPoints, 0)), s.xplotdata.size()));
}

void EnsureSize(std::vector<double>& v, int n) {
  if (v.size() < static_cast<size_t>(n)) v.resize(static_cast<size_t>(n));
}

bool Searched(const AppState& s, int ch, int n) {
  return s.OutHeader.ChannelEnabled[ch] && s.yplotdata[ch].size() >= static_cast<size_t>(n);
}

void FitChannel(AppState& s, int ch, int n) {
  EnsureSize(s.ypoly[ch], n);
  EnsureSize(s.FitX, n);
  PolyFit(s.xplotdata.data(), s.yplotdata[ch].data(), s.FitX.data(), s.ypoly[ch].data(), s.FitCoeffs, s.FitOrder, n, n,
          &s.FitRms);
}

// Direction and magnitude of each peak of channel 2 that stands above channel 1
// (below it for a trough), formed with channel 3. Returns the lines written.
int WriteDirections(AppState& s, int n, std::FILE* f) {
  if (s.PeakCount[2] == 0 || !Searched(s, 1, n) || !Searched(s, 3, n)) return 0;
  const double* x = s.xplotdata.data();
  const double* trend = s.ypoly[2].data();
  const double* a1 = s.yplotdataFFT[1].data();
  const double* a3 = s.yplotdataFFT[3].data();
  int lines = 0;
  int j = 0;  // walks along the page with the peaks, which come in time order
  for (int k = 0; k < s.PeakCount[2]; ++k) {
    const double px = s.PeakX[2][static_cast<size_t>(k)];
    while (j < n && x[j] < px) ++j;
    if (j >= n) break;
    const double b = s.PeakY[2][static_cast<size_t>(k)] - trend[j];  // height above the trend
    const double a = a1[j];
    if (!((b > 0 && b > a) || (b < 0 && b < a))) continue;
    const double c = a3[j];
    const double direction = std::atan2(c, b) * 180.0 / kPi + 126.0;
    const double magnitude = std::sqrt(c * c + b * b);
    if (f) std::fprintf(f, "%8.3f %8.3f\n", direction, magnitude);
    ++lines;
  }
  return lines;
}

}  // namespace

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

PeakSearchResult FindPeaks(AppState& s) {
  PeakSearchResult result;
  result.path = s.StartDir + kPeakFileName;

  const int n = PagePoints(s);
  const bool fitValid = s.FitValid != 0;
  for (int ch = 0; ch < kChannels; ++ch) {
    s.PeakCount[ch] = 0;
    if (!Searched(s, ch, n)) continue;
    // A trend that another step fitted is reused; one it never sized is fitted here.
    if (!fitValid || s.ypoly[ch].size() < static_cast<size_t>(n)) FitChannel(s, ch, n);
    EnsureSize(s.yplotdataFFT[ch], n);
    EnsureSize(s.PeakX[ch], kMaxPeaks);
    EnsureSize(s.PeakY[ch], kMaxPeaks);
    const double* y = s.yplotdata[ch].data();
    const double* trend = s.ypoly[ch].data();
    double* detrended = s.yplotdataFFT[ch].data();
    for (int i = 0; i < n; ++i) detrended[i] = y[i] - trend[i];
    s.PeakCount[ch] = DetectPeaks(s.xplotdata.data(), detrended, n, trend, s.PeakX[ch].data(), s.PeakY[ch].data(),
                                  kMaxPeaks, s.NoiseLevel[ch], s.SNCutoff);
  }
  if (n > 0) s.FitValid = 1;

  // The list is formed in memory, then written through the check that keeps it
  // off the open recording (PeakData.txt may be a link to it).
  char* text = nullptr;
  size_t length = 0;
  std::FILE* f = open_memstream(&text, &length);
  result.lines = WriteDirections(s, n, f);
  if (f) std::fclose(f);
  result.why = WriteCheckedFile(WriteSystemOr(s.WriteSystem), result.path, text ? text : "", text ? length : 0,
                                IdsOfOpenFile(s.DataFile, s.CurrentFilePath));
  std::free(text);
  if (!result.why.empty()) result.err = EIO;
  if (result.err) {
    result.lines = 0;
    s.PeakFileFailed = 1;
    if (s.host) s.host->SetStatusText(0, result.why);
  } else if (s.PeakFileFailed) {
    s.PeakFileFailed = 0;
    if (s.host) s.host->SetStatusText(0, "Ready");
  }
  return result;
}
