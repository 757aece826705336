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
#include <cstdint>
#include <string>
#include <vector>

using Complex = std::complex<double>;

/// What the estimator works on: a page's spectra, its band cross-spectra
/// (spectral/spectrum.h) and how to estimate.
struct ImpedanceInput {
  const double* spectra[4] = {};  // Hx, Hy, Ex, Ey spectra, laid out as the transform leaves them
  int found[4] = {};              // Hx, Hy, Ex, Ey present (an electric one's spectrum may be null otherwise)
  const std::vector<double>* cross = nullptr;  // band cross-spectra
  int bands = 0;
  const std::vector<int>* bandBins = nullptr;        // bins each band averaged
  const std::vector<uint8_t>* notched = nullptr;     // bins the notch replaced; null without the notch
  long long M = 1;                                   // bins per band
  long long N = 2;                                   // transform length
  double fs = 1;                                     // sample rate, Hz
  int points = 0;                                    // samples of the page (before padding to N)
  bool leastSquares = true;                          // else the Sims estimates of simsElement
  int simsElement = -1;                              // 0 Zxx, 1 Zxy, 2 Zyx, 3 Zyy; −1: none
  const std::vector<double>* remoteCross = nullptr;  // remote-reference cross-spectra (mt/remote.h)
  int remoteBands = 0;
};

/// Everything estimated for one band; NaN where nothing was estimated.
struct ImpedanceBand {
  double freq = 0;                // Hz, the mean frequency of the bins the band kept
  bool estimated = false;         // false for a band whose bins the notch all replaced
  Complex Z[4];                   // least-squares Zxx, Zxy, Zyx, Zyy, (mV/km)/pT
  double magnitude[4];            // 1000·|Z|, (mV/km)/nT (the Sims estimates: of each panel's estimate)
  double resistivity[4];          // apparent resistivity, ohm-m
  double phase[4];                // degrees, 0 … 180
  double relError[4];             // relative error of |Z| (that of the resistivity is twice it)
  double phaseError[4];           // degrees
  double coherence[4];            // of Hx, Hy, Ex, Ey
  double residualEx, residualEy;  // residual powers of the E equations
  ImpedanceBand();
};

/// Mean frequency of band b's bins b·M … b·M + M − 1 (band 0 from bin 1):
/// (b·M + (M − 1)/2)·fs/N, and M/2·fs/N for band 0.
double BandFrequency(int band, int M, double fs, long long N);

/// det = a·d − b·c, and the inverse of [[a, b], [c, d]] as d/det, −b/det, −c/det, a/det.
Complex InvertTensor2x2(Complex a, Complex b, Complex c, Complex d, Complex inverse[4]);

/// Phase in degrees, 0 … 180, of element p (0 Zxx, 1 Zxy, 2 Zyx, 3 Zyy) of value z.
double ElementPhase(int element, Complex z);

/// For band b (out.freq set) of a least-squares estimate: magnitude, apparent
/// resistivity, phase and their errors, from one pass over the band's Fourier
/// coefficients: the residual powers of E predicted by Z (Σ|E' − E|² / (K − 2)
/// over the band's K kept bins) and of H predicted by Z⁻¹, and the coherences.
/// Values that need a missing electric channel are NaN, and so are the errors
/// and the coherences of a band of K <= 2 bins.
/// errorMatrix, when given, replaces the inverse magnetic power matrix in the
/// variances (a remote-referenced estimate: <H R*>⁻ᴴ<R R*><H R*>⁻¹, mt/remote.h).
void DeriveBandQuantities(const ImpedanceInput& in, int band, Complex Zxx, Complex Zxy, Complex Zyx, Complex Zyy,
                          const Complex* errorMatrix, ImpedanceBand& out);

/// Estimates the tensor of every band (least squares, with the remote
/// reference where it serves the band, or the Sims estimates with auxiliary
/// channels) and the quantities derived from it. A band's frequency is
/// BandFrequency, or the mean frequency of the bins it kept when the notch
/// replaced some of them.
std::vector<ImpedanceBand> EstimateImpedanceBands(const ImpedanceInput& in);

/// The tables' base: the data file's name without its directory, its last
/// four characters dropped when it contains ".bin" or ".BIN".
std::string ImpedanceTableBase(const std::string& fileName);
/// One row of an impedance table: frequency, value, its error, phase and its
/// error, each "%10.4e"; a value that was not estimated reads "nan".
std::string ImpedanceTableRow(double f, double z, double zStd, double phase, double phaseStd);
/// Path of table p (0 ZXX, 1 ZXY, 2 ZYX, 3 ZYY) for the data file at dataPath.
std::string ImpedanceTablePath(const std::string& dataPath, int p);
