#pragma once
// Data windows applied to one channel's record before its transform.

#include "spectral/slepian.h"

/// Window types of WindowType: the four radio buttons of the Fourier settings.
enum WindowTypeCode { kWindowNone = 0, kWindowHanning = 1, kWindowHamming = 2, kWindowSlepian = 3 };

/// Writes the windowed record of in[0 … n−1] to out (a distinct buffer).
/// m = trunc(fraction·n/2); types 0, 1, 2 weight sample i and its mirror
/// n−1−i (i < m) by 1, 0.5·(1 + cos(π(i−m)/m)) or 0.54 + 0.46·cos(π(i−m)/m),
/// and copy the samples between them (the middle one for odd n) with weight 1.
/// (m is kept within 0 … n/2.) Type 3 multiplies by the first Slepian taper of length n (NW 3.0, Σx² = n),
/// computed on first use and kept in tapers. Any other type leaves out unchanged.
void ApplyWindow(SlepianCache& tapers, const double in[], double out[], int n, double fraction, int type);
