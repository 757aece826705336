#pragma once
// Slepian (discrete prolate spheroidal) tapers: the eigenvectors of
// the symmetric tridiagonal matrix that commutes with the time-bandwidth
// concentration problem, eigenvalues by bisection (EISPACK TRIDIB) and
// eigenvectors by inverse iteration (EISPACK TINVIT). The two eigen routines
// keep the 1-based indexing of the published algorithms: every array argument
// is used from element 1 (element 0 is not touched).

#include <vector>

/// The start-up tapers: length, count and time-bandwidth product.
constexpr int kDefaultTaperLength = 25600;
constexpr int kDefaultTaperCount = 2;
constexpr double kDefaultTaperNW = 3.0;

/// EISPACK TRIDIB: eigenvalues m11 … m11+m−1 (counted from the smallest) of the
/// symmetric tridiagonal matrix with diagonal d[1..n], subdiagonal e[2..n]
/// (e[1] arbitrary) and its squares e2[2..n], by Sturm-sequence bisection.
/// Writes the eigenvalues in ascending order to w[1..m] and their submatrix
/// indices to ind[1..m]; sets e2 entries of negligible e to 0 (e2[1] = 0);
/// lb and ub bound the eigenvalues found. eps1 is the absolute tolerance
/// (reset to a default when not positive). ierr 0, or 3n+1 / 3n+2 when
/// multiple eigenvalues at m11 / m11+m−1 make the selection impossible.
/// rv4, rv5: scratch of n+1 doubles. Machine-precision constant 1e−15.
void tridib(int n, double& eps1, const double d[], const double e[], double e2[], double& lb, double& ub, int m11,
            int m, double w[], int ind[], int& ierr, double rv4[], double rv5[]);

/// EISPACK TINVIT: eigenvectors for the eigenvalues w[1..m] (ascending, with
/// the submatrix indices ind[1..m] and the e2 array as tridib leaves them) by
/// inverse iteration, at least 2 and at most 5 iterations per vector (the
/// published routine stops after the first iterate that passes its growth test:
/// too early for the taper matrix); eigenvalues closer than
/// 0.001 times the norm are grouped, perturbed apart and orthogonalised.
/// Eigenvector r (1-based) is written with unit sum of squares to
/// z[(r−1)·nm + (i−1)], i = 1 … n (column-major, leading dimension nm); a vector
/// that does not converge is zero and sets ierr = −r. rv1, rv2, rv3, rv4, rv6:
/// scratch of n+1 doubles. Machine-precision constant 1.2e−16.
void tinvit(int nm, int n, const double d[], const double e[], const double e2[], int m, const double w[],
            const int ind[], double z[], int& ierr, double rv1[], double rv2[], double rv3[], double rv4[],
            double rv6[]);

/// The first K Slepian tapers of length n for time-bandwidth product NW: taper
/// k at tapers[k·n … k·n+n−1], each scaled to Σx² = n and given a fixed sign
/// (taper 0 positive at its centre; odd tapers positive over their first half;
/// other even tapers positive sum). tapers holds n·K doubles. eigenvalues, when
/// given, receives the K eigenvalues of the (negated) tridiagonal matrix in
/// ascending order. Nothing is written when n < 1 or K < 1; K is at most n.
void SlepianTapers(int n, int K, double NW, double tapers[], double eigenvalues[] = nullptr);

/// The first Slepian taper of each record length used so far (NW 3.0).
using SlepianCache = std::vector<std::vector<double>>;

/// The default tapers (25600 samples, 2 tapers, NW 3.0), taper k at k·25600.
std::vector<double> DefaultTapers();

/// The Slepian data window of n samples: the first taper of length n (NW 3.0),
/// computed on first use and kept in cache.
const std::vector<double>& SlepianWindow(SlepianCache& cache, int n);
