#pragma once
// Spectrum of a real sequence through a complex transform of half its length.

/// On entry X[1 … N] holds N real samples (X[0] is not used); N is a power of
/// two, at least 2. On return X[2k+1], X[2k+2] hold the real and imaginary
/// parts of bin k = 0 … N/2 of X_k = Σ_j x_j·exp(isign·2πi·jk/N), unnormalised:
/// what four1 gives for the same samples as N complex points with zero
/// imaginary parts, within rounding. X must hold N + 3 doubles.
void RealSpectrum(double X[], unsigned long N, int isign);
