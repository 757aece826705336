#pragma once
// Spectra of the current page for the Fourier and MT displays: detrend,
// window, zero padding, transform, power-line notch, coil correction of the
// magnetic channels, power spectra and the band-averaged cross-spectra.
//
// Conventions: bin b of a page of n samples lies at b·df, df = rate / N, with
// N the transform length; complex spectra are X_b = Σ_j x_j·exp(+2πi·jb/N)
// (four1 with isign +1), unnormalised, stored in yplotdata2[ch] as
// X[2b+1] = real, X[2b+2] = imaginary part for b = 0 … N/2 − 1. Power spectra
// (yplotdata[ch][b]) are |X_b|²·scale², scale = 0.5·dt·N / (SampsPerBlock·R²).

#include <complex>

struct AppState;

/// MT channel order of the cross-spectra and of MtChannelFound.
enum MtChannel { kMtHx = 0, kMtHy = 1, kMtEx = 2, kMtEy = 3 };

/// Power-line harmonics the notch removes, Hz.
constexpr double kNotchHarmonics[4] = {60.0, 180.0, 300.0, 420.0};
/// Bins replaced on either side of a harmonic bin, and bins of each side band beyond them.
constexpr int kNotchGap = 200;
constexpr int kNotchSide = 100;

/// Finds the enabled channels labelled Hx, Hy, Ex, Ey into HxChan … EyChan and
/// MtChannelFound (a later channel with the same label replaces an earlier
/// one). Returns 1 when the estimates can be made: Hx, Hy and at least one of
/// Ex, Ey are present.
int FindMtChannels(AppState& s);

/// The transform length for a page of n samples: the smallest power of two ≥ n, at least 2.
unsigned long TransformLength(long long n);

/// Computes the spectra of the enabled channels (and, in MT mode, the
/// cross-spectra of Hx, Hy, Ex, Ey). Returns 0 when MT mode is on and Hx, Hy
/// and at least one of Ex, Ey are not all among the enabled channels
/// (AppResOn and FourierOn are then cleared), else 1.
int RunSpectrumPipeline(AppState& s);

/// The record to transform: (y − trend)[0 … n−1] (trend may be null) weighted
/// by the data window of the given type into out, as ApplyWindow weights it,
/// the Hanning and Hamming cosines taken by rotation (equal within rounding).
void WindowRecord(AppState& s, const double y[], const double trend[], double out[], int n, int type);

/// The bin c of 0 … bins−1 with |c·df − h| < df/2, or −1 (also when h lies
/// exactly half a bin from the nearest bin centre).
long HarmonicBin(double h, double df, unsigned long bins);

/// Notches the harmonics of kNotchHarmonics in channel ch's spectrum: for a
/// harmonic bin c whose side bands c − 300 … c − 201 and c + 200 … c + 299 lie
/// inside the spectrum, straight lines fitted over the side bands to |X| and
/// to Im X (abscissas at the bins' outer edges) replace the real and imaginary
/// parts of bins c − 200 … c + 199, evaluated at the bins' upper edges. Marks
/// the replaced bins in NotchedBins. Returns the number of harmonics notched.
int ApplyNotch(AppState& s, int ch);

/// Band-averaged cross-spectra of the channels hx, hy, ex, ey (a channel index,
/// or −1 for a channel that is missing: its entries become NaN). Bands are
/// contiguous blocks of M = CoeffsSummed bins, band j covering bins
/// j·M … j·M + M − 1, formed while M + 2·M·j < N − M. Bins marked in
/// NotchedBins are left out; BandBins holds the bins each band averaged. Sets
/// PlotCount to the number of bands.
void AccumulateCrossSpectra(AppState& s, int hx, int hy, int ex, int ey);

/// ⟨A C*⟩ of band b: the mean of X_a·conj(X_c) over the band's bins.
std::complex<double> CrossSpectrum(const AppState& s, int band, int a, int c);

/// The coil correction of bins 0 … N/2 − 1 of X at b·df by the response table:
/// each bin is multiplied by (200/A)·exp(i·(P − 90°)), which is what turning
/// magnitude m into 200·m/A and phase into P·π/180 − atan2(Re, Im) does. For a
/// table in increasing frequency order the rows are walked along with the bins
/// and the phase factor stepped within a row interval; any other table is
/// looked up bin by bin. Bins with amplitude 0 are left as they are.
void CorrectCoilSpectrum(const AppState& s, double X[], unsigned long N, double df);
