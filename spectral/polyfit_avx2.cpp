// PolyFit's passes four points per AVX2 register: u, its powers, the Horner
// sums and the squared residuals lane by lane with the portable passes'
// operations, and every running sum then taken point by point in order, so
// the same bits. This file alone is compiled with -mavx2 (without -mfma: no
// multiply and add may fuse into one rounding).

#include "spectral/polyfit_kernels.h"

#if defined(__AVX2__) && !defined(__FMA__)
#include <immintrin.h>

#include "spectral/polyfit.h"

namespace {

constexpr int kBlock = 16;  // points per block: four registers

inline __m256d Horner(const double b[], int m, __m256d u) {
  __m256d f = _mm256_set1_pd(b[m]);
  for (int j = m - 1; j >= 1; --j) f = _mm256_add_pd(_mm256_mul_pd(f, u), _mm256_set1_pd(b[j]));
  return f;
}

inline double HornerOne(const double b[], int m, double u) {
  double f = b[m];
  for (int j = m - 1; j >= 1; --j) f = f * u + b[j];
  return f;
}

void Extent(const double* x, int npts, double* lo, double* hi, double* sum) {
  __m256d l = _mm256_set1_pd(x[0]), g = l;
  double total = 0.0;
  int k = 0;
  for (; k + 4 <= npts; k += 4) {
    const __m256d v = _mm256_loadu_pd(x + k);
    l = _mm256_min_pd(v, l);
    g = _mm256_max_pd(v, g);
    total += x[k];
    total += x[k + 1];
    total += x[k + 2];
    total += x[k + 3];
  }
  alignas(32) double ls[4], gs[4];
  _mm256_store_pd(ls, l);
  _mm256_store_pd(gs, g);
  double least = ls[0], greatest = gs[0];
  for (int i = 1; i < 4; ++i) {
    least = ls[i] < least ? ls[i] : least;
    greatest = gs[i] > greatest ? gs[i] : greatest;
  }
  for (; k < npts; ++k) {
    least = x[k] < least ? x[k] : least;
    greatest = x[k] > greatest ? x[k] : greatest;
    total += x[k];
  }
  *lo = least, *hi = greatest, *sum = total;
}

// Adds the block's values to acc point by point, in order.
inline void AddInOrder(double& acc, const double* values) {
  double a = acc;
  for (int i = 0; i < kBlock; ++i) a += values[i];
  acc = a;
}

void Sums(const double* x, const double* y, int npts, double c, double h, int order, double su[], double sy[]) {
  const int m = order + 1, terms = su ? 2 * order + 1 : m;
  const __m256d C = _mm256_set1_pd(c), H = _mm256_set1_pd(h), one = _mm256_set1_pd(1.0);
  alignas(32) double pw[2 * kMaxFitTerms][kBlock];
  alignas(32) double ypw[kMaxFitTerms + 1][kBlock];
  int k = 0;
  for (; k + kBlock <= npts; k += kBlock) {
    for (int v = 0; v < kBlock; v += 4) {
      const __m256d u = _mm256_div_pd(_mm256_sub_pd(_mm256_loadu_pd(x + k + v), C), H);
      const __m256d Y = sy ? _mm256_loadu_pd(y + k + v) : one;
      __m256d p = one;
      for (int q = 0; q < terms; ++q) {
        if (su) _mm256_store_pd(pw[q] + v, p);
        if (sy && q < m) _mm256_store_pd(ypw[q] + v, _mm256_mul_pd(Y, p));
        p = _mm256_mul_pd(p, u);
      }
    }
    if (su)
      for (int q = 0; q < terms; ++q) AddInOrder(su[q], pw[q]);
    if (sy)
      for (int q = 0; q < m; ++q) AddInOrder(sy[q], ypw[q]);
  }
  for (; k < npts; ++k) {
    const double u = (x[k] - c) / h;
    double p = 1.0;
    for (int q = 0; q < terms; ++q) {
      if (su) su[q] += p;
      if (sy && q < m) sy[q] += y[k] * p;
      p *= u;
    }
  }
}

double Misfit(const double* x, const double* y, int npts, double c, double h, const double b[], int m) {
  const __m256d C = _mm256_set1_pd(c), H = _mm256_set1_pd(h);
  alignas(32) double rr[kBlock];
  double ss = 0.0;
  int k = 0;
  for (; k + kBlock <= npts; k += kBlock) {
    for (int v = 0; v < kBlock; v += 4) {
      const __m256d u = _mm256_div_pd(_mm256_sub_pd(_mm256_loadu_pd(x + k + v), C), H);
      const __m256d r = _mm256_sub_pd(_mm256_loadu_pd(y + k + v), Horner(b, m, u));
      _mm256_store_pd(rr + v, _mm256_mul_pd(r, r));
    }
    for (int i = 0; i < kBlock; ++i) ss += rr[i];
  }
  for (; k < npts; ++k) {
    const double r = y[k] - HornerOne(b, m, (x[k] - c) / h);
    ss += r * r;
  }
  return ss;
}

void Curve(double x0, double step, int nout, double c, double h, const double b[], int m, double* xout, double* yout) {
  const __m256d C = _mm256_set1_pd(c), H = _mm256_set1_pd(h), X0 = _mm256_set1_pd(x0), S = _mm256_set1_pd(step);
  const __m256d four = _mm256_set1_pd(4.0);
  __m256d index = _mm256_set_pd(3.0, 2.0, 1.0, 0.0);  // whole numbers: exact as doubles
  int i = 0;
  for (; i + 4 <= nout; i += 4, index = _mm256_add_pd(index, four)) {
    const __m256d xi = _mm256_add_pd(X0, _mm256_mul_pd(index, S));
    if (xout) _mm256_storeu_pd(xout + i, xi);
    _mm256_storeu_pd(yout + i, Horner(b, m, _mm256_div_pd(_mm256_sub_pd(xi, C), H)));
  }
  for (; i < nout; ++i) {
    const double xi = x0 + i * step;
    if (xout) xout[i] = xi;
    yout[i] = HornerOne(b, m, (xi - c) / h);
  }
}

}  // namespace

const PolyFitKernels* Avx2PolyFitKernels() {
  static const PolyFitKernels kernels{Extent, Sums, Misfit, Curve};
  return &kernels;
}

#else

const PolyFitKernels* Avx2PolyFitKernels() { return nullptr; }

#endif
