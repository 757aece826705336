#include "spectral/polyfit.h"

#include <cmath>
#include <utility>

#include "spectral/polyfit_kernels.h"

double IntPow(double x, int n) {
  // The magnitude as unsigned so that the most negative int has one.
  unsigned int k = n < 0 ? 0u - static_cast<unsigned int>(n) : static_cast<unsigned int>(n);
  double result = 1.0;
  double base = x;
  while (k != 0) {
    if (k & 1u) result *= base;
    k >>= 1;
    if (k != 0) base *= base;
  }
  return n < 0 ? 1.0 / result : result;
}

void FindPivot(FitMatrix& A, int m, int ORD[], int k) {
  int prow = k;
  int pcol = k;
  double big = std::fabs(A[k][k]);
  for (int i = k; i <= m; ++i)
    for (int j = k; j <= m; ++j)
      if (std::fabs(A[i][j]) > big) {
        big = std::fabs(A[i][j]);
        prow = i;
        pcol = j;
      }
  if (pcol != k) {
    for (int i = 1; i <= m; ++i) std::swap(A[i][k], A[i][pcol]);
    std::swap(ORD[k], ORD[pcol]);
  }
  if (prow != k)
    for (int j = 1; j <= m + 1; ++j) std::swap(A[k][j], A[prow][j]);
}

int SolveLinear(FitMatrix& A, int m, double X[]) {
  int ORD[kMaxFitTerms + 1];
  double work[kMaxFitTerms + 1];
  for (int i = 1; i <= m; ++i) ORD[i] = i;
  for (int k = 1; k <= m - 1; ++k) {
    FindPivot(A, m, ORD, k);
    if (std::fabs(A[k][k]) <= kSingularPivot) return 0;
    for (int i = k + 1; i <= m; ++i) {
      double factor = A[i][k] / A[k][k];
      for (int l = k; l <= m + 1; ++l) A[i][l] -= factor * A[k][l];
    }
  }
  for (int i = 1; i <= m; ++i)
    if (std::fabs(A[i][i]) <= kSingularPivot) return 0;
  work[m] = A[m][m + 1] / A[m][m];
  for (int i = m - 1; i >= 1; --i) {
    double sum = A[i][m + 1];
    for (int l = i + 1; l <= m; ++l) sum -= A[i][l] * work[l];
    work[i] = sum / A[i][i];
  }
  for (int i = 1; i <= m; ++i) X[ORD[i]] = work[i];
  return 1;
}

namespace {

// Σ_{j=1…m} c[j]·t^(j−1), term by term with the integer power routine.
double EvalTerms(const double c[], int m, double t) {
  double f = 0.0;
  for (int j = 1; j <= m; ++j) f += c[j] * IntPow(t, j - 1);
  return f;
}

// The same sum by Horner's rule, for the centred abscissa (|t| <= 1) where
// it agrees with the term-by-term sum to rounding.
double EvalHorner(const double c[], int m, double t) {
  double f = c[m];
  for (int j = m - 1; j >= 1; --j) f = f * t + c[j];
  return f;
}

void PortableExtent(const double* x, int npts, double* lo, double* hi, double* sum) {
  double l = x[0], g = x[0], total = 0.0;
  for (int k = 0; k < npts; ++k) {
    l = x[k] < l ? x[k] : l;
    g = x[k] > g ? x[k] : g;
    total += x[k];
  }
  *lo = l, *hi = g, *sum = total;
}

void PortableSums(const double* x, const double* y, int npts, double c, double h, int order, double su[], double sy[]) {
  const int m = order + 1;
  for (int k = 0; k < npts; ++k) {
    double u = (x[k] - c) / h;
    double pw = 1.0;
    for (int q = 0; q <= 2 * order; ++q) {
      if (su) su[q] += pw;
      if (sy && q < m) sy[q] += y[k] * pw;
      pw *= u;
    }
  }
}

double PortableMisfit(const double* x, const double* y, int npts, double c, double h, const double b[], int m) {
  double ss = 0.0;
  for (int k = 0; k < npts; ++k) {
    double r = y[k] - EvalHorner(b, m, (x[k] - c) / h);
    ss += r * r;
  }
  return ss;
}

void PortableCurve(double x0, double step, int nout, double c, double h, const double b[], int m, double* xout,
                   double* yout) {
  for (int i = 0; i < nout; ++i) {
    const double xi = x0 + i * step;
    if (xout) xout[i] = xi;
    yout[i] = EvalHorner(b, m, (xi - c) / h);
  }
}

const PolyFitKernels* ChooseKernels() {
  const PolyFitKernels* vector = Avx2PolyFitKernels();
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  __builtin_cpu_init();
  if (vector && __builtin_cpu_supports("avx2")) return vector;
#endif
  return &PortablePolyFitKernels();
}

}  // namespace

const PolyFitKernels& PortablePolyFitKernels() {
  static const PolyFitKernels kernels{PortableExtent, PortableSums, PortableMisfit, PortableCurve};
  return kernels;
}

namespace {

const PolyFitKernels& ActiveKernels() {
  static const PolyFitKernels* kernels = ChooseKernels();
  return *kernels;
}

}  // namespace

int PolyFit(const double x[], const double y[], double xout[], double yout[], double coeffs[], int order, int npts,
            int nout, double* rms) {
  return PolyFitWith(ActiveKernels(), PolyFitAbscissasWith(ActiveKernels(), x, npts, order), x, y, xout, yout, coeffs,
                     nout, rms);
}

PolyAbscissas PolyFitAbscissas(const double x[], int npts, int order) {
  return PolyFitAbscissasWith(ActiveKernels(), x, npts, order);
}

int PolyFit(const PolyAbscissas& a, const double x[], const double y[], double xout[], double yout[], double coeffs[],
            int nout, double* rms) {
  return PolyFitWith(ActiveKernels(), a, x, y, xout, yout, coeffs, nout, rms);
}

PolyAbscissas PolyFitAbscissasWith(const PolyFitKernels& kernels, const double x[], int npts, int order) {
  PolyAbscissas a;
  if (npts < 1 || order < 0 || order > kMaxFitOrder) return a;
  a.npts = npts;
  a.order = order;
  // The centred and scaled abscissa u = (x − c) / h keeps the normal equations
  // well conditioned whatever the offset of x (seconds since the file's start).
  double lo, hi, sum;
  kernels.extent(x, npts, &lo, &hi, &sum);
  a.c = sum / npts;
  a.h = 0.5 * (hi - lo);
  // A NaN among x makes the mean NaN: such abscissas are never used.
  a.usable = a.h > 0.0 && std::isfinite(a.h) && std::isfinite(a.c);
  if (a.usable) kernels.sums(x, nullptr, npts, a.c, a.h, order, a.su, nullptr);
  return a;
}

int PolyFitWith(const PolyFitKernels& kernels, const PolyAbscissas& a, const double x[], const double y[],
                double xout[], double yout[], double coeffs[], int nout, double* rms) {
  if (a.order < 0) {
    if (rms) *rms = 0.0;
    return 0;
  }
  const int order = a.order, npts = a.npts, m = order + 1;
  const double c = a.c, h = a.h;

  double b[kMaxFitTerms + 1] = {};  // coefficients in powers of u
  int solved = 0;
  if (a.usable) {
    // The power sums Σy·u^k (k = 0 … p) beside the abscissas' Σu^k (k = 0 … 2p).
    double sy[kMaxFitTerms + 1] = {};
    kernels.sums(x, y, npts, c, h, order, nullptr, sy);
    FitMatrix A{};
    for (int i = 1; i <= m; ++i) {
      for (int j = 1; j <= m; ++j) A[i][j] = a.su[i + j - 2];
      A[i][m + 1] = sy[i - 1];
    }
    solved = SolveLinear(A, m, b);
  }

  if (solved) {
    // Back to powers of x: f = Σ b_j u^(j−1) with u = α·x + β, by Horner's rule
    // on polynomials: p ← p·(αx + β) + b_j from the highest term down.
    const double alpha = 1.0 / h;
    const double beta = -c / h;
    double p[kMaxFitTerms + 1] = {};  // p[1 … m], p[i] multiplies x^(i−1)
    int deg = 0;                      // terms in use
    for (int j = m; j >= 1; --j) {
      double next[kMaxFitTerms + 1] = {};
      for (int i = 1; i <= deg; ++i) {
        next[i] += p[i] * beta;
        next[i + 1] += p[i] * alpha;
      }
      next[1] += b[j];
      deg = deg == 0 ? 1 : deg + 1;
      for (int i = 1; i <= deg; ++i) p[i] = next[i];
    }
    for (int i = 1; i <= m; ++i) coeffs[i] = p[i];
  }

  // The misfit and the curve: in u with a new fit, in x with the kept coefficients.
  if (solved) {
    const double ss = kernels.misfit(x, y, npts, c, h, b, m);
    if (rms) *rms = std::sqrt(ss / (npts - m));
    if (nout > 0) kernels.curve(x[0], (x[npts - 1] - x[0]) / nout, nout, c, h, b, m, xout, yout);
    return solved;
  }
  double ss = 0.0;
  for (int k = 0; k < npts; ++k) {
    double r = y[k] - EvalTerms(coeffs, m, x[k]);
    ss += r * r;
  }
  if (rms) *rms = std::sqrt(ss / (npts - m));
  if (nout > 0) {
    const double x0 = x[0];
    const double step = (x[npts - 1] - x[0]) / nout;
    for (int i = 0; i < nout; ++i) {
      const double xi = x0 + i * step;
      if (xout) xout[i] = xi;
      yout[i] = EvalTerms(coeffs, m, xi);
    }
  }
  return solved;
}
