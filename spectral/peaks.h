#pragma once
// Peak search of the time series: the local extremes of each enabled channel
// that stand out from its noise level, marked on the plot, and for the
// extremes of channel index 2 that exceed channel 1 a direction and magnitude
// formed with channel 3, written to "PeakData.txt".

#include <string>

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

/// The directions and magnitudes of the peaks of channel 2 (peakX, peakY, with
/// its trend over the page x[0 … n−1]) that stand above channel 1's detrended
/// value a1 (below it for a trough), formed with channel 3's a3: one line
/// "%8.3f %8.3f" of direction (degrees) and magnitude per such peak. lines
/// receives the count.
std::string PeakDirectionsText(const double x[], int n, const double peakX[], const double peakY[], int peaks,
                               const double trend[], const double a1[], const double a3[], int* lines);
