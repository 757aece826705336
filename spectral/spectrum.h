#pragma once
// Spectra of the current page for the Fourier and MT displays: detrend,
// window, zero padding, transform, power-line notch, coil correction of the
// magnetic channels, power spectra and the band-averaged cross-spectra.
//
// Conventions: bin b of a page of n samples lies at b·df, df = rate / N, with
// N the transform length; complex spectra are X_b = Σ_j x_j·exp(+2πi·jb/N)
// (four1 with isign +1), unnormalised, stored in yplotdata2[ch] as
// X[2b+1] = real, X[2b+2] = imaginary part for b = 0 … N/2 − 1. Power spectra
// (yplotdata[ch][b]) are one-sided power spectral densities in squared units
// per Hz: 2·dt·|X_b|² / Σ w_i² for 0 < b < N/2 and dt·|X_0|² / Σ w_i² at
// b = 0, X the transform of the detrended, windowed record and w the window's
// weights, so a level does not depend on the page length or the window.

#include <complex>
#include <cstdint>
#include <string>
#include <vector>

#include "spectral/response.h"
#include "spectral/slepian.h"

/// MT channel order of the cross-spectra and of MtChannelFound.
enum MtChannel { kMtHx = 0, kMtHy = 1, kMtEx = 2, kMtEy = 3 };

/// Power-line harmonics the notch removes, Hz.
constexpr double kNotchHarmonics[4] = {60.0, 180.0, 300.0, 420.0};
/// Width the notch replaces on either side of a harmonic, and width of each
/// side band beyond it, Hz: 200 and 100 bins of a page of 8 records of 2560
/// samples at 1000 Hz (N = 32768).
constexpr double kNotchGapHz = 200 * 1000.0 / 32768;
constexpr double kNotchSideHz = 100 * 1000.0 / 32768;

/// The notch's widths in bins at bin spacing df: kNotchGapHz and kNotchSideHz
/// rounded to whole bins, at least 1 bin each.
void NotchWidths(double df, long* gap, long* side);

/// The first bin of band b of M bins: b·M, except band 0, which starts at
/// bin 1 (the zero-frequency bin holds the trend's residue, and a coil
/// response clamped at its lowest row amplifies it by thousands).
long long BandFirstBin(long long band, long long M);

/// The largest M = CoeffsSummed for which AccumulateCrossSpectra forms a band
/// on a transform of N points: N/2 − 1 (0 when no M does).
long long LargestCoeffsSummed(long long N);
/// When M = CoeffsSummed forms no band on a transform of N points, the message
/// that says so and names the largest value that does; else "".
std::string CoeffsSummedMessage(long long M, long long N);

/// The channels of the MT estimates, in the order of MtChannel.
struct MtChannels {
  int index[4] = {-1, -1, -1, -1};  // channel of Hx, Hy, Ex, Ey; −1 when not found
  int found[4] = {};
  /// The estimates can be made: Hx, Hy and at least one of Ex, Ey are present.
  bool Usable() const { return found[kMtHx] && found[kMtHy] && (found[kMtEx] || found[kMtEy]); }
};
/// The enabled channels (of `channels`) labelled Hx, Hy, Ex, Ey; a later
/// channel with the same label replaces an earlier one.
MtChannels LocateMtChannels(const int32_t enabled[], const int8_t labels[], int channels);

/// The transform length for a page of n samples: the smallest power of two ≥ n, at least 2.
unsigned long TransformLength(long long n);

/// Three numbers that identify the data a trend of the given order was fitted
/// to: the point count with the order, and two weighted sums of y[0 … n−1].
void DataSignature(const double* y, int n, int order, double out[3]);

/// The record to transform: (y − trend)[0 … n−1] (trend may be null) weighted
/// by the data window of the given type into out, as ApplyWindow weights it,
/// the Hanning and Hamming cosines taken by rotation (equal within rounding).
/// When weightPower is given it receives Σ w_i², the sum of the squared weights.
void WindowRecord(SlepianCache& tapers, const double y[], const double trend[], double out[], int n, int type,
                  double* weightPower = nullptr);

/// The complex spectrum of one record into X (N + 3 doubles, the layout above):
/// (y − trend)[0 … n−1] windowed, zero padded to N points and transformed.
/// Returns Σ w_i² of the window.
double TransformRecord(SlepianCache& tapers, const double y[], const double trend[], int n, unsigned long N,
                       int windowType, double X[]);

/// The one-sided power spectral density of bins 0 … N/2 − 1 of X into power
/// (which may be the record transformed): dt·|X_b|²/Σw² at b = 0, twice that above.
void PowerSpectralDensity(const double X[], unsigned long N, double dt, double weightPower, double power[]);

/// The bin c of 0 … bins−1 with |c·df − h| < df/2, or −1 (also when h lies
/// exactly half a bin from the nearest bin centre).
long HarmonicBin(double h, double df, unsigned long bins);

/// Notches the harmonics of kNotchHarmonics in channel ch's spectrum, with
/// gap and side from NotchWidths: for a harmonic bin c whose side bands
/// c − gap − side … c − gap − 1 and c + gap … c + gap + side − 1 lie inside the
/// spectrum above the zero-frequency bin, straight lines fitted over the side bands to |X| and to Im X
/// (abscissas at the bins' outer edges) replace the real and imaginary parts
/// of bins c − gap … c + gap − 1, evaluated at the bins' upper edges. Marks
/// the replaced bins in notched (grown to the bins of X when shorter). X holds
/// a transform of N points at bin spacing df. Returns the number of harmonics notched.
int ApplyNotch(double X[], unsigned long N, double df, std::vector<uint8_t>& notched);

/// Band cross-spectra of a page: per band b, cross[32·b + 8·a + 2·c + {0 re, 1 im}]
/// = mean of X_a·conj(X_c) over the band's bins, channels in MtChannel order.
struct BandCrossSpectra {
  int bands = 0;
  std::vector<double> cross;
  std::vector<int> bins;  // bins each band averaged
};

/// Band-averaged cross-spectra of the spectra X[0 … 3] of Hx, Hy, Ex, Ey (null
/// for a channel that is missing: its entries become NaN), transforms of N
/// points. Bands are contiguous blocks of M bins, band j covering bins
/// j·M … j·M + M − 1 (band 0 without bin 0), formed while M + 2·M·j < N − M.
/// Bins marked in notched (when given) are left out.
BandCrossSpectra AccumulateCrossSpectra(const double* const X[4], long long M, long long N,
                                        const std::vector<uint8_t>* notched);

/// ⟨A C*⟩ of band b: the mean of X_a·conj(X_c) over the band's bins.
std::complex<double> CrossSpectrum(const std::vector<double>& cross, int band, int a, int c);

/// The coil correction of bins 0 … N/2 − 1 of X at b·df by the response table:
/// each bin is multiplied by (200/A)·exp(i·(P − 90°)), which is what turning
/// magnitude m into 200·m/A and phase into P·π/180 − atan2(Re, Im) does. For a
/// table in increasing frequency order the rows are walked along with the bins
/// and the phase factor stepped within a row interval; any other table is
/// looked up bin by bin. Bins with amplitude 0 are left as they are.
void CorrectCoilSpectrum(const ResponseTable& response, double X[], unsigned long N, double df);

/// Removes the coil response from the recorded series y[0 … n − 1] (sampled at
/// rate per second) in the time domain: the series less its straight line,
/// zero-padded to N ≥ n points, is transformed, corrected bin by bin as
/// CorrectCoilSpectrum corrects (its mirror bins conjugate, the Nyquist bin by
/// the amplitude alone) and transformed back. The trend and the window that
/// follow then act on the field itself, as for a recording through a flat
/// response: correcting the windowed spectrum instead mixes neighbouring bins
/// of very different gain where the coil's response is steep (band 0 read 6 to
/// 18 % low). An empty table leaves y as it is. work holds N + 3 doubles
/// (the caller's, so a page's transforms allocate nothing).
void RemoveCoilResponse(const ResponseTable& response, double y[], int n, unsigned long N, double rate, double work[]);
