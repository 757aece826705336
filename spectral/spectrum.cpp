#include "spectral/spectrum.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <limits>

#include "datafile/header.h"
#include "spectral/fft.h"
#include "spectral/polyfit.h"
#include "spectral/realfft.h"
#include "spectral/response.h"
#include "spectral/slepian.h"
#include "spectral/window.h"
#include "util/parallel.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

template <typename T>
void GrowTo(std::vector<T>& v, size_t n) {
  if (v.size() < n) v.resize(n);
}

}  // namespace

MtChannels LocateMtChannels(const int32_t enabled[], const int8_t labels[], int channels) {
  static const int kCodes[4] = {kLabelHx, kLabelHy, kLabelEx, kLabelEy};
  MtChannels m;
  for (int ch = 0; ch < channels; ++ch) {
    if (!enabled[ch]) continue;
    for (int k = 0; k < 4; ++k)
      if (labels[ch] == kCodes[k]) {
        m.index[k] = ch;
        m.found[k] = 1;
      }
  }
  return m;
}

namespace {

// The response at f as the lookup gives it, for a table in increasing order
// walked from row *seg upwards: amplitude, phase in degrees, and the phase's
// slope in degrees per Hz (0 outside the table). Returns the interval index,
// −1 below the table and rows − 1 above it.
int WalkResponse(const double (*T)[3], int rows, double f, int* seg, double* a, double* p, double* slope) {
  if (f < T[0][0] || rows == 1) {
    *a = T[0][1];
    *p = T[0][2];
    *slope = 0;
    return -1;
  }
  if (f > T[rows - 1][0]) {
    *a = T[rows - 1][1];
    *p = T[rows - 1][2];
    *slope = 0;
    return rows - 1;
  }
  while (*seg + 2 < rows && f > T[*seg + 1][0]) ++*seg;
  const double* r0 = T[*seg];
  const double* r1 = T[*seg + 1];
  const double span = r1[0] - r0[0];
  *slope = (r1[2] - r0[2]) / span;
  if (f == r1[0]) {
    *a = r1[1];
    *p = r1[2];
  } else {
    *a = r0[1] + (f - r0[0]) * (r1[1] - r0[1]) / span;
    *p = r0[2] + (f - r0[0]) * (r1[2] - r0[2]) / span;
  }
  return *seg;
}

}  // namespace

unsigned long TransformLength(long long n) {
  unsigned long N = 2;
  while (static_cast<long long>(N) < n) N *= 2;
  return N;
}

long HarmonicBin(double h, double df, unsigned long bins) {
  if (!(df > 0)) return -1;
  const double c = std::floor(h / df + 0.5);
  if (c < 0 || c >= static_cast<double>(bins)) return -1;
  return std::fabs(c * df - h) < df / 2 ? static_cast<long>(c) : -1;
}

void NotchWidths(double df, long* gap, long* side) {
  *gap = *side = 1;
  if (!(df > 0)) return;
  *gap = std::max(1L, std::lround(std::min(kNotchGapHz / df, 1e9)));
  *side = std::max(1L, std::lround(std::min(kNotchSideHz / df, 1e9)));
}

void DataSignature(const double* y, int n, int order, double out[3]) {
  double plain = 0, weighted = 0;
  for (int i = 0; i < n; ++i) {
    plain += y[i];
    weighted += y[i] * static_cast<double>((i & 1023) + 1);
  }
  out[0] = static_cast<double>(n) + 1e10 * order;
  out[1] = plain;
  out[2] = weighted;
}

long long BandFirstBin(long long band, long long M) { return band == 0 ? 1 : band * M; }

long long LargestCoeffsSummed(long long N) { return std::max(0LL, N / 2 - 1); }

std::string CoeffsSummedMessage(long long M, long long N) {
  const long long largest = LargestCoeffsSummed(N);
  if (M >= 1 && M <= largest) return {};
  if (largest < 1) return "This page is too short for any MT band";
  return "#Coeffs summed " + std::to_string(M) + " gives no band on this page: " + std::to_string(largest) +
         " is the largest that gives one";
}

int ApplyNotch(double X[], unsigned long N, double df, std::vector<uint8_t>& notchedBins) {
  const unsigned long bins = N / 2;
  GrowTo(notchedBins, bins);
  long gap = 0, side = 0;
  NotchWidths(df, &gap, &side);
  const size_t points = 2 * static_cast<size_t>(side);
  std::vector<double> fx(points), amp(points), imag(points);
  double xout[50], yout[50];
  int notched = 0;
  for (double h : kNotchHarmonics) {
    const long c = HarmonicBin(h, df, bins);
    // A harmonic whose side bands do not fit inside the spectrum is left alone.
    if (c < 0 || c - gap - side < 1 || c + gap + side - 1 > static_cast<long>(bins) - 1) continue;
    size_t k = 0;
    for (long b = c - gap - side; b < c - gap; ++b, ++k) {
      fx[k] = (static_cast<double>(b) - 0.5) * df;
      amp[k] = std::hypot(X[2 * b + 1], X[2 * b + 2]);
      imag[k] = X[2 * b + 2];
    }
    for (long b = c + gap; b < c + gap + side; ++b, ++k) {
      fx[k] = (static_cast<double>(b) + 0.5) * df;
      amp[k] = std::hypot(X[2 * b + 1], X[2 * b + 2]);
      imag[k] = X[2 * b + 2];
    }
    double a[3] = {0, 0, 0}, bcoef[3] = {0, 0, 0}, rms = 0;
    PolyFit(fx.data(), amp.data(), xout, yout, a, 1, static_cast<int>(points), 50, &rms);
    PolyFit(fx.data(), imag.data(), xout, yout, bcoef, 1, static_cast<int>(points), 50, &rms);
    for (long b = c - gap; b < c + gap; ++b) {
      const double f = (static_cast<double>(b) + 0.5) * df;
      X[2 * b + 1] = a[1] + a[2] * f;
      X[2 * b + 2] = bcoef[1] + bcoef[2] * f;
      notchedBins[static_cast<size_t>(b)] = 1;
    }
    ++notched;
  }
  return notched;
}

void RemoveCoilResponse(const ResponseTable& response, double y[], int n, unsigned long N, double rate, double work[]) {
  if (response.rows <= 0 || n < 2 || N < static_cast<unsigned long>(n) || !(rate > 0)) return;
  // The straight line through the series goes first, so the zero padding adds
  // no step that the correction would spread over the record.
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (int i = 0; i < n; ++i) {
    sx += i;
    sy += y[i];
    sxx += static_cast<double>(i) * i;
    sxy += i * y[i];
  }
  const double det = n * sxx - sx * sx;
  const double slope = det != 0 ? (n * sxy - sx * sy) / det : 0, offset = (sy - slope * sx) / n;
  double* X = work;
  X[0] = 0;
  for (int i = 0; i < n; ++i) X[static_cast<size_t>(i) + 1] = y[i] - (offset + slope * i);
  std::fill(X + 1 + n, X + N + 3, 0.0);
  RealSpectrum(X, N, +1);
  const double df = rate / static_cast<double>(N);
  CorrectCoilSpectrum(response, X, N, df);
  double A = 0, P = 0;
  const unsigned long H = N / 2;
  if (ResponseAt(response, 0.5 * rate, &A, &P) && A > 0 && std::isfinite(A)) X[N + 1] *= 200.0 / A;
  X[2] = X[N + 2] = 0.0;  // the series is real: its zero and Nyquist bins are too
  // Back to the series through a transform of half the length: z_m = x_2m +
  // i·x_2m+1 has the spectrum E_k + i·O_k, E and O those of the even and odd
  // samples, which bins k and N/2 − k of the Hermitian spectrum give. Bins k
  // and N/2 − k make z_k and z_N/2−k together, in place. The turn w_j =
  // e^(−2πij/N) is set afresh at every multiple of 256 and rotated between, the
  // same values for j = k and j = N/2 − k whichever order they are made in.
  const double theta = 2 * M_PI / static_cast<double>(N);
  const std::complex<double> step = std::polar(1.0, -theta);
  constexpr unsigned long kReseed = 256;
  auto turns = [&](unsigned long lo, unsigned long hi, std::complex<double>* out) {
    std::complex<double> w;
    for (unsigned long j = lo - lo % kReseed; j <= hi; ++j) {
      if (j % kReseed == 0) w = std::polar(1.0, -theta * static_cast<double>(j));
      if (j >= lo) out[j - lo] = w;
      w *= step;
    }
  };
  auto bin = [X](unsigned long k) { return std::complex<double>(X[2 * k + 1], X[2 * k + 2]); };
  auto make = [](std::complex<double> a, std::complex<double> b, std::complex<double> turn) {
    return 0.5 * (a + b) + std::complex<double>(0, 0.5) * (a - b) * turn;
  };
  std::complex<double> low[kReseed], high[kReseed];
  for (unsigned long first = 0; 2 * first <= H; first += kReseed) {
    const unsigned long last = std::min(first + kReseed - 1, H / 2);
    turns(first, last, low);
    turns(H - last, H - first, high);
    for (unsigned long k = first; k <= last; ++k) {
      const std::complex<double> lo = bin(k), hi = bin(H - k);
      const std::complex<double> z = make(lo, std::conj(hi), low[k - first]);
      if (k > 0 && 2 * k < H) {
        const std::complex<double> mirror = make(hi, std::conj(lo), high[last - k]);
        X[2 * (H - k) + 1] = mirror.real();
        X[2 * (H - k) + 2] = mirror.imag();
      }
      X[2 * k + 1] = z.real();
      X[2 * k + 2] = z.imag();
    }
  }
  four1(X, H, -1);
  const double scale = 1.0 / static_cast<double>(H);
  for (int i = 0; i < n; ++i) y[i] = X[static_cast<size_t>(i) + 1] * scale;
}

void CorrectCoilSpectrum(const ResponseTable& response, double X[], unsigned long N, double df) {
  const int rows = std::clamp(response.rows, 0, ResponseTable::kMaxRows);
  if (rows == 0) return;
  const auto* T = response.table;
  bool increasing = true;
  for (int i = 0; i < rows; ++i)
    if (!std::isfinite(T[i][0]) || !std::isfinite(T[i][1]) || !std::isfinite(T[i][2]) ||
        (i > 0 && !(T[i][0] > T[i - 1][0])))
      increasing = false;
  if (!increasing || !(df > 0)) {
    CorrectSpectrum(response, X, N, df);
    return;
  }
  constexpr double kRad = M_PI / 180.0;
  constexpr unsigned long kReseed = 256;  // phase factor set afresh at least this often
  int seg = 0, lastRegion = -2;
  unsigned long since = 0;
  double cr = 1, ci = 0, sr = 1, si = 0;
  for (unsigned long b = 0; b < N / 2; ++b) {
    const double f = static_cast<double>(b) * df;
    double A = 0, P = 0, slope = 0;
    const int region = WalkResponse(T, rows, f, &seg, &A, &P, &slope);
    if (region != lastRegion || since >= kReseed) {
      cr = std::cos((P - 90.0) * kRad);
      ci = std::sin((P - 90.0) * kRad);
      sr = std::cos(slope * df * kRad);
      si = std::sin(slope * df * kRad);
      lastRegion = region;
      since = 0;
    } else {
      const double t = cr;
      cr = t * sr - ci * si;
      ci = t * si + ci * sr;
    }
    ++since;
    if (A == 0.0) continue;
    const double g = 200.0 / A;
    const double re = X[2 * b + 1], im = X[2 * b + 2];
    X[2 * b + 1] = g * (re * cr - im * ci);
    X[2 * b + 2] = g * (re * ci + im * cr);
  }
}

namespace {

// The sums of AccumulateCrossSpectra over bins first … end − 1 when all four
// spectra are there and no bin is left out, with the general loop's operations
// in its order (the same bits), the sixteen sums held in registers. Returns the
// bins summed.
long long SumAllFour(const double* const X[4], long long first, long long end, double sum[4][4][2]) {
  double p0 = 0, p1 = 0, p2 = 0, p3 = 0;  // auto powers
  double r01 = 0, r02 = 0, r03 = 0, r12 = 0, r13 = 0, r23 = 0;
  double i01 = 0, i02 = 0, i03 = 0, i12 = 0, i13 = 0, i23 = 0;
  const double *x0 = X[0], *x1 = X[1], *x2 = X[2], *x3 = X[3];
  for (long long b = first; b < end; ++b) {
    const double a0 = x0[2 * b + 1], b0 = x0[2 * b + 2], a1 = x1[2 * b + 1], b1 = x1[2 * b + 2];
    const double a2 = x2[2 * b + 1], b2 = x2[2 * b + 2], a3 = x3[2 * b + 1], b3 = x3[2 * b + 2];
    p0 += a0 * a0 + b0 * b0;
    r01 += a0 * a1 + b0 * b1;
    i01 += b0 * a1 - a0 * b1;
    r02 += a0 * a2 + b0 * b2;
    i02 += b0 * a2 - a0 * b2;
    r03 += a0 * a3 + b0 * b3;
    i03 += b0 * a3 - a0 * b3;
    p1 += a1 * a1 + b1 * b1;
    r12 += a1 * a2 + b1 * b2;
    i12 += b1 * a2 - a1 * b2;
    r13 += a1 * a3 + b1 * b3;
    i13 += b1 * a3 - a1 * b3;
    p2 += a2 * a2 + b2 * b2;
    r23 += a2 * a3 + b2 * b3;
    i23 += b2 * a3 - a2 * b3;
    p3 += a3 * a3 + b3 * b3;
  }
  sum[0][0][0] = p0, sum[1][1][0] = p1, sum[2][2][0] = p2, sum[3][3][0] = p3;
  sum[0][1][0] = r01, sum[0][2][0] = r02, sum[0][3][0] = r03, sum[1][2][0] = r12, sum[1][3][0] = r13;
  sum[2][3][0] = r23;
  sum[0][1][1] = i01, sum[0][2][1] = i02, sum[0][3][1] = i03, sum[1][2][1] = i12, sum[1][3][1] = i13;
  sum[2][3][1] = i23;
  return end > first ? end - first : 0;
}

}  // namespace

BandCrossSpectra AccumulateCrossSpectra(const double* const X[4], long long M, long long N,
                                        const std::vector<uint8_t>* notched) {
  BandCrossSpectra r;
  long long bands = 0;
  if (M >= 1)
    while (M + 2 * M * bands < N - M) ++bands;
  r.bands = static_cast<int>(bands);
  r.cross.assign(static_cast<size_t>(32 * bands), 0.0);
  r.bins.assign(static_cast<size_t>(bands), 0);
  const bool skipNotched = notched && notched->size() >= static_cast<size_t>(N / 2);
  const bool all = X[0] && X[1] && X[2] && X[3];
  // Bands are independent: pieces of about 4096 bins on both cores.
  const int grain = static_cast<int>(M >= 1 ? std::max<long long>(1, 4096 / M) : 1);
  ParallelForBlocks(static_cast<int>(bands), grain, [&](int begin, int end) {
    for (long long j = begin; j < end; ++j) {
      double sum[4][4][2] = {};
      int kept = 0;
      if (all && !skipNotched) {
        kept = static_cast<int>(SumAllFour(X, BandFirstBin(j, M), (j + 1) * M, sum));
      } else {
        for (long long b = BandFirstBin(j, M); b < (j + 1) * M; ++b) {
          if (skipNotched && (*notched)[static_cast<size_t>(b)]) continue;
          ++kept;
          for (int a = 0; a < 4; ++a) {
            if (!X[a]) continue;
            const double ar = X[a][2 * b + 1], ai = X[a][2 * b + 2];
            sum[a][a][0] += ar * ar + ai * ai;
            for (int c = a + 1; c < 4; ++c) {
              if (!X[c]) continue;
              const double cr = X[c][2 * b + 1], ci = X[c][2 * b + 2];
              sum[a][c][0] += ar * cr + ai * ci;
              sum[a][c][1] += ai * cr - ar * ci;
            }
          }
        }
      }
      r.bins[static_cast<size_t>(j)] = kept;
      double* out = r.cross.data() + 32 * j;
      for (int a = 0; a < 4; ++a)
        for (int c = 0; c < 4; ++c) {
          double re, im;
          if (!X[a] || !X[c] || kept == 0) {
            re = im = kNaN;
          } else if (c >= a) {
            re = sum[a][c][0] / kept;
            im = sum[a][c][1] / kept;
          } else {  // the conjugate of the entry across the diagonal
            re = sum[c][a][0] / kept;
            im = -sum[c][a][1] / kept;
          }
          out[8 * a + 2 * c] = re;
          out[8 * a + 2 * c + 1] = im;
        }
    }
  });
  return r;
}

std::complex<double> CrossSpectrum(const std::vector<double>& cross, int band, int a, int c) {
  const double* e = cross.data() + 32 * static_cast<size_t>(band) + 8 * a + 2 * c;
  return {e[0], e[1]};
}

void WindowRecord(SlepianCache& tapers, const double y[], const double trend[], double out[], int n, int type,
                  double* weightPower) {
  if (weightPower) *weightPower = n > 0 ? n : 0;
  if (n <= 0) return;
  if (type != kWindowHanning && type != kWindowHamming) {
    // No window, the Slepian taper, or an unknown type (which leaves the record unweighted).
    if (trend)
      for (int i = 0; i < n; ++i) out[i] = y[i] - trend[i];
    else
      std::copy(y, y + n, out);
    if (type == kWindowSlepian) {
      const double* taper = SlepianWindow(tapers, n).data();
      double power = 0;
      for (int i = 0; i < n; ++i) {
        out[i] *= taper[i];
        power += taper[i] * taper[i];
      }
      if (weightPower) *weightPower = power;
    }
    return;
  }
  const double a = type == kWindowHanning ? 0.5 : 0.54, b = type == kWindowHanning ? 0.5 : 0.46;
  const int m = n / 2;
  auto value = [&](int i) { return trend ? y[i] - trend[i] : y[i]; };
  // cos(π(i − m)/m) for i = 0 … m − 1 by rotation, set afresh every kReseed samples.
  constexpr int kReseed = 256;
  const double step = M_PI / m;
  const double cs = std::cos(step), sn = std::sin(step);
  double c = 0, si = 0, power = 0;
  for (int i = 0; i < m; ++i) {
    if (i % kReseed == 0) {
      c = std::cos(step * (i - m));
      si = std::sin(step * (i - m));
    } else {
      const double t = c;
      c = t * cs - si * sn;
      si = si * cs + t * sn;
    }
    const double w = a + b * c;
    power += 2 * w * w;
    out[i] = value(i) * w;
    out[n - 1 - i] = value(n - 1 - i) * w;
  }
  for (int i = m; i < n - m; ++i) {
    out[i] = value(i);
    power += 1;
  }
  if (weightPower) *weightPower = power;
}

double TransformRecord(SlepianCache& tapers, const double y[], const double trend[], int n, unsigned long N,
                       int windowType, double X[]) {
  double weightPower = 0;
  WindowRecord(tapers, y, trend, X + 1, n, windowType, &weightPower);
  std::fill(X + 1 + n, X + 1 + N, 0.0);
  RealSpectrum(X, N, +1);
  return weightPower;
}

void PowerSpectralDensity(const double X[], unsigned long N, double dt, double weightPower, double power[]) {
  // The power of bin b and of its mirror N − b, per Hz of a page of Σ w_i²
  // effective samples.
  const double density = weightPower > 0 ? dt / weightPower : 0.0;
  for (unsigned long b = 0; b < N / 2; ++b)
    power[b] = (X[2 * b + 1] * X[2 * b + 1] + X[2 * b + 2] * X[2 * b + 2]) * (b == 0 ? density : 2 * density);
}
