#pragma once
// Impedance tensor estimates per frequency band for the MT display, the
// quantities derived from them, and the four impedance tables.
//
// Units and conventions: E in mV/km, H in pT, Z in (mV/km)/pT; 1000·|Z| is in
// (mV/km)/nT and the apparent resistivity is 0.2·(1000·|Z|)²/f ohm-m. The
// spectra are analysed with exp(+2πi·jk/N) (an exp(−iωt) time dependence), so
// the complex Z is the conjugate of the exp(+iωt) impedance; the phases shown
// drop the sign (0 … 180°), and the phase of Zyx is taken of −Zyx, the usual
// quadrant convention under which a uniform half-space reads 45° in both Zxy
// and Zyx.

#include <complex>
#include <string>

struct AppState;

using Complex = std::complex<double>;

/// Mean frequency of band b's bins b·M … b·M + M − 1 (band 0 from bin 1):
/// (b·M + (M − 1)/2)·fs/N, and M/2·fs/N for band 0.
double BandFrequency(int band, int M, double fs, long long N);

/// det = a·d − b·c, and the inverse of [[a, b], [c, d]] as d/det, −b/det, −c/det, a/det.
Complex InvertTensor2x2(Complex a, Complex b, Complex c, Complex d, Complex inverse[4]);

/// Phase in degrees, 0 … 180, of element p (0 Zxx, 1 Zxy, 2 Zyx, 3 Zyy) of value z.
double ElementPhase(int element, Complex z);

/// For band b of a least-squares estimate: ZZ, ZZPhase, ZZStd, ZZPhaseStd of the
/// four panels (magnitude, apparent resistivity or coherence; relative error of
/// |Z|, doubled for the resistivity; phase and its error), from one pass over
/// the band's Fourier coefficients: the residual powers of E predicted by Z
/// (ResidualEx, ResidualEy: Σ|E' − E|² / (K − 2) over the band's K kept bins)
/// and of H predicted by Z⁻¹, and the coherences (BandCoherence). Values that
/// need a missing electric channel are NaN, and so are the errors and the
/// coherences of a band of K <= 2 bins.
/// errorMatrix, when given, replaces the inverse magnetic power matrix in the
/// variances (a remote-referenced estimate: <H R*>⁻ᴴ<R R*><H R*>⁻¹, mt/remote.h).
void DeriveBandQuantities(AppState& s, int band, Complex Zxx, Complex Zxy, Complex Zyx, Complex Zyy,
                          const Complex* errorMatrix = nullptr);

/// Estimates the tensor of every band left by the spectrum pipeline (least
/// squares, or the Sims estimates with auxiliary channels), fills ZZ, ZZStd,
/// ZZPhase, ZZPhaseStd of the four MT panels (NaN where nothing was estimated),
/// BandFreq (BandFrequency, or the mean frequency of the bins a band kept when
/// the notch replaced some of them) and BandZ, and rewrites the four impedance
/// tables beside the data file.
void EstimateImpedance(AppState& s);

/// The tables' base: the data file's name without its directory, its last
/// four characters dropped when it contains ".bin" or ".BIN".
std::string ImpedanceTableBase(const std::string& fileName);
/// Path of table p (0 ZXX, 1 ZXY, 2 ZYX, 3 ZYY) for the data file at dataPath.
std::string ImpedanceTablePath(const std::string& dataPath, int p);
