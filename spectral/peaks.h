#pragma once
// Peak search of the time series: the local extremes of each enabled channel
// that stand out from its noise level, marked on the plot, and for the
// extremes of channel index 2 that exceed channel 1 a direction and magnitude
// formed with channel 3, written to "PeakData.txt".

#include <string>

#include "app/state.h"

constexpr int kMaxPeaks = 2000;          // peaks kept per channel; further ones are dropped
extern const char* const kPeakFileName;  // "PeakData.txt"

/// The extremes of the detrended series y[0 … n−1] (abscissas x), examined
/// at i = 3 … n−4. A maximum rises above both neighbours and more than 2σ
/// above the sample two before or two after; a minimum likewise below. A
/// minimum more than cutoff·σ below either of those hides the next 5 samples.
/// Each extreme goes to peakX = x[i], peakY = y[i] + trend[i] (the value with
/// its trend); at most capacity are stored. Returns how many.
int DetectPeaks(const double x[], const double y[], int n, const double trend[], double peakX[], double peakY[],
                int capacity, double sigma, double cutoff);

struct PeakSearchResult {
  std::string path;  // where PeakData.txt was written, or could not be
  int lines = 0;     // directions written
  int err = 0;       // nonzero when the file was not written (an errno value where one applies)
  std::string why;   // the one-line reason when it was not written
};

/// The whole search over the current page: PeakCount, PeakX and PeakY of every
/// channel (0 for those not enabled), FitValid set, and PeakData.txt rewritten
/// in StartDir. When the file cannot be written the marks still stand and
/// status part 0 says so.
PeakSearchResult FindPeaks(AppState& s);
