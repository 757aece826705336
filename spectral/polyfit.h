#pragma once
// Least-squares polynomial fit: normal equations solved by Gauss
// elimination with full pivoting. Arrays of coefficients, of the solution and
// of the pivot order are used from element 1, as in the published routine.

#include <array>

/// Highest polynomial order PolyFit accepts (the dialogs allow 1 … 20).
constexpr int kMaxFitOrder = 20;
constexpr int kMaxFitTerms = kMaxFitOrder + 1;

/// A normal-equation matrix: A[i][j] for rows i = 1 … m and columns j = 1 … m+1
/// (column m+1 is the right-hand side); row and column 0 are not used.
using FitMatrix = std::array<std::array<double, kMaxFitTerms + 2>, kMaxFitTerms + 1>;

/// A pivot magnitude at or below this makes the system singular.
constexpr double kSingularPivot = 1e-30;

/// x^n by repeated squaring; a negative n gives 1 / x^|n|, n = 0 gives 1.
double IntPow(double x, int n);

/// The full-pivot step k of SolveLinear: finds the entry of largest magnitude
/// in rows k … m and columns k … m (first found wins, rows outer), swaps its
/// column into column k in every row (and the two ORD entries) and its row into
/// row k over all m+1 columns.
void FindPivot(FitMatrix& A, int m, int ORD[], int k);

/// Solves the m × m system in the first m columns of A (column m+1 the
/// right-hand side) into X[1 … m]. Returns 1, or 0 when a pivot has magnitude
/// at most 1e−30: X is then left as it was. A is overwritten.
int SolveLinear(FitMatrix& A, int m, double X[]);

/// Fits a polynomial of the given order (0 … 20) to the npts points (x, y).
/// coeffs[1 … order+1]: coefficient i multiplies x^(i−1). The normal equations
/// are formed and solved in the centred, scaled abscissa u = (x − c)/h (c the
/// mean, h the half-range of x) and the coefficients converted back to powers
/// of x; the misfit and the curve are evaluated in u. A singular system (all x
/// equal among them) keeps the previous coefficients, which then give the
/// misfit and the curve in powers of x. Writes the RMS misfit
/// sqrt(Σ(y − f)² / (npts − order − 1)) to rms and nout points of the curve,
/// xout[i] = x[0] + i·(x[npts−1] − x[0])/nout, to xout and yout (xout may be
/// null when the caller has those abscissas already).
/// Returns 1 when the fit was solved, 0 when the previous coefficients were kept
/// or when there is nothing to fit (npts < 1 or order outside 0 … 20: then only
/// rms = 0 is written).
int PolyFit(const double x[], const double y[], double xout[], double yout[], double coeffs[], int order, int npts,
            int nout, double* rms);

/// What a fit takes from the abscissas alone: their centre c (the mean), the
/// half-range h and the power sums Σu^q (q = 0 … 2·order) of u = (x − c)/h.
/// Fits of several series over the same abscissas (a page's channels) make it once.
struct PolyAbscissas {
  int npts = 0, order = -1;  // order −1: nothing to fit (npts < 1 or order outside 0 … 20)
  double c = 0, h = 0;
  bool usable = false;  // h > 0 and c, h finite: the sums are made and a fit can be solved
  double su[2 * kMaxFitTerms] = {};
};
PolyAbscissas PolyFitAbscissas(const double x[], int npts, int order);

/// PolyFit over abscissas described by a, made from the same x.
int PolyFit(const PolyAbscissas& a, const double x[], const double y[], double xout[], double yout[], double coeffs[],
            int nout, double* rms);
