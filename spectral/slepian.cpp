#include "spectral/slepian.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kMachepBisect = 1e-15;     // TRIDIB's relative machine precision
constexpr double kMachepInverse = 1.2e-16;  // TINVIT's relative machine precision
constexpr double kPi = 3.14159265358979;    // the published routine's value
// TINVIT accepts the first iterate whose growth passes its test. For the taper
// matrix (relative eigenvalue gap about 3e−8 at 25600 points) that first iterate
// is only good to about 1e−4 (taper 0 visibly asymmetric); one more iteration of
// the same routine brings it to about 1e−10. So every vector gets at least two
// iterations, and still at most five.
constexpr int kMinIterations = 2;
constexpr int kMaxIterations = 5;

// Number of eigenvalues of the submatrix p..q below x (plus p − 1): the Sturm
// sequence count of TRIDIB, statement 320.
inline int SturmCount(int p, int q, double x, const double d[], const double e[], const double e2[]) {
  int s = p - 1;
  double u = 1.0;
  for (int i = p; i <= q; ++i) {
    double v;
    if (u != 0.0) {
      v = e2[i] / u;
    } else {
      v = e2[i] == 0.0 ? 0.0 : std::fabs(e[i]) / kMachepBisect;
    }
    u = d[i] - x - v;
    if (u < 0.0) ++s;
  }
  return s;
}

}  // namespace

void tridib(int n, double& eps1, const double d[], const double e[], double e2[], double& lb, double& ub, int m11,
            int m, double w[], int ind[], int& ierr, double rv4[], double rv5[]) {
  ierr = 0;
  int tag = 0;
  double xu = d[1];
  double x0 = d[1];
  double u = 0.0;
  double v = 0.0;
  double x1 = 0.0;
  int s = 0;
  // Look for small sub-diagonal entries and find an interval holding all the eigenvalues.
  for (int i = 1; i <= n; ++i) {
    x1 = u;
    u = i != n ? std::fabs(e[i + 1]) : 0.0;
    xu = std::min(d[i] - (x1 + u), xu);
    x0 = std::max(d[i] + (x1 + u), x0);
    if (i == 1 || std::fabs(e[i]) <= kMachepBisect * (std::fabs(d[i]) + std::fabs(d[i - 1]))) e2[i] = 0.0;
  }
  x1 = std::max(std::fabs(xu), std::fabs(x0)) * kMachepBisect * static_cast<double>(n);
  xu -= x1;
  double t1 = xu;
  x0 += x1;
  double t2 = x0;

  // Find an interval holding exactly the desired eigenvalues.
  int p = 1;
  int q = n;
  int m1 = m11 - 1;
  if (m1 != 0) {
    for (;;) {  // statement 50, isturm = 1
      v = x1;
      x1 = xu + (x0 - xu) * 0.5;
      if (x1 == v) {
        ierr = 3 * n + 1;
        lb = t1;
        ub = t2;
        return;
      }
      s = SturmCount(p, q, x1, d, e, e2);
      if (s < m1) {
        xu = x1;
      } else if (s > m1) {
        x0 = x1;
      } else {
        xu = x1;
        t1 = x1;
        break;
      }
    }
  }
  int m22 = m1 + m;
  if (m22 != n) {
    x0 = t2;
    for (;;) {  // isturm = 2
      v = x1;
      x1 = xu + (x0 - xu) * 0.5;
      if (x1 == v) {
        ierr = 3 * n + 2;
        lb = t1;
        ub = t2;
        return;
      }
      s = SturmCount(p, q, x1, d, e, e2);
      if (s < m22) {
        xu = x1;
      } else if (s > m22) {
        x0 = x1;
      } else {
        t2 = x1;
        break;
      }
    }
  }

  // Establish and process each submatrix, refining the interval by the Gerschgorin bounds.
  q = 0;
  int r = 0;
  while (r != m) {
    ++tag;
    p = q + 1;
    xu = d[p];
    x0 = d[p];
    u = 0.0;
    for (q = p;; ++q) {
      x1 = u;
      u = 0.0;
      v = 0.0;
      if (q != n) {
        u = std::fabs(e[q + 1]);
        v = e2[q + 1];
      }
      xu = std::min(d[q] - (x1 + u), xu);
      x0 = std::max(d[q] + (x1 + u), x0);
      if (v == 0.0) break;
    }
    x1 = std::max(std::fabs(xu), std::fabs(x0)) * kMachepBisect;
    if (eps1 <= 0.0) eps1 = -x1;

    int m2 = 0;
    bool found = true;
    if (p == q) {
      // An isolated root: keep it when it lies within the interval.
      if (t1 > d[p] || d[p] >= t2) {
        found = false;
      } else {
        m1 = p;
        m2 = p;
        rv5[p] = d[p];
      }
    } else {
      x1 *= static_cast<double>(q - p + 1);
      lb = std::max(t1, xu - x1);
      ub = std::min(t2, x0 + x1);
      m1 = SturmCount(p, q, lb, d, e, e2) + 1;
      m2 = SturmCount(p, q, ub, d, e, e2);
      if (m1 > m2) {
        found = false;
      } else {
        // Find the roots by bisection, the largest first.
        x0 = ub;
        for (int i = m1; i <= m2; ++i) {
          rv5[i] = ub;
          rv4[i] = lb;
        }
        for (int k = m2; k >= m1; --k) {
          xu = lb;
          for (int ii = m1; ii <= k; ++ii) {
            int i = m1 + k - ii;
            if (xu >= rv4[i]) continue;
            xu = rv4[i];
            break;
          }
          if (x0 > rv5[k]) x0 = rv5[k];
          for (;;) {  // statement 300
            x1 = (xu + x0) * 0.5;
            if ((x0 - xu) <= (2.0 * kMachepBisect * (std::fabs(xu) + std::fabs(x0)) + std::fabs(eps1))) break;
            s = SturmCount(p, q, x1, d, e, e2);
            if (s >= k) {
              x0 = x1;
            } else {
              xu = x1;
              if (s >= m1) {
                rv4[s + 1] = x1;
                if (rv5[s] > x1) rv5[s] = x1;
              } else {
                rv4[m1] = x1;
              }
            }
          }
          rv5[k] = x1;
        }
      }
    }

    if (found) {
      // Merge the eigenvalues of this submatrix into w, tagged with the submatrix.
      s = r;
      r = r + m2 - m1 + 1;
      int j = 1;
      int k = m1;
      for (int l = 1; l <= r; ++l) {
        if (j <= s) {
          if (k > m2) break;
          if (rv5[k] >= w[l]) {
            ++j;
            continue;
          }
          for (int ii = j; ii <= s; ++ii) {
            int i = l + s - ii;
            w[i + 1] = w[i];
            ind[i + 1] = ind[i];
          }
        }
        w[l] = rv5[k];
        ind[l] = tag;
        ++k;
      }
    }
    if (q >= n) break;
  }
  lb = t1;
  ub = t2;
}

void tinvit(int nm, int n, const double d[], const double e[], const double e2[], int m, const double w[],
            const int ind[], double z[], int& ierr, double rv1[], double rv2[], double rv3[], double rv4[],
            double rv6[]) {
  auto Z = [z, nm](int i, int r) -> double& {
    return z[static_cast<size_t>(r - 1) * static_cast<size_t>(nm) + static_cast<size_t>(i - 1)];
  };
  ierr = 0;
  if (m == 0) return;
  int tag = 0;
  double order = 1.0 - e2[1];
  int q = 0;
  double x0 = 0.0, x1 = 0.0, xu = 0.0, u = 0.0, v = 0.0, uk = 0.0;
  double eps2 = 0.0, eps3 = 0.0, eps4 = 0.0, norm = 0.0;
  int ip = 0;
  do {
    // Establish the next submatrix p..q.
    int p = q + 1;
    for (q = p; q < n; ++q)
      if (e2[q + 1] == 0.0) break;
    ++tag;
    int s = 0;
    int group = 0;
    for (int r = 1; r <= m; ++r) {
      if (ind[r] != tag) continue;
      int its = 1;
      x1 = w[r];
      bool isolated = false;
      if (s == 0) {
        xu = 1.0;
        if (p == q) {
          rv6[p] = 1.0;
          isolated = true;
        } else {
          norm = std::fabs(d[p]);
          ip = p + 1;
          for (int i = ip; i <= q; ++i) norm = std::max(norm, std::fabs(d[i]) + std::fabs(e[i]));
          // eps2 groups close roots, eps3 replaces zero pivots and separates equal
          // roots, eps4 is small enough to avoid overflow.
          eps2 = 1.0e-3 * norm;
          eps3 = kMachepInverse * norm;
          uk = static_cast<double>(q - p + 1);
          eps4 = uk * eps3;
          uk = eps4 / std::sqrt(uk);
          s = p;
          group = 0;
        }
      } else if (std::fabs(x1 - x0) >= eps2) {
        group = 0;
      } else {
        // A close or coincident root.
        ++group;
        if (order * (x1 - x0) <= 0.0) x1 = x0 + eps3;
      }

      if (!isolated) {
        // Elimination with interchanges and initialisation of the vector.
        v = 0.0;
        for (int i = p; i <= q; ++i) {
          rv6[i] = uk;
          if (i != p) {
            if (std::fabs(e[i]) >= std::fabs(u)) {
              xu = u / e[i];
              rv4[i] = xu;
              rv1[i - 1] = e[i];
              rv2[i - 1] = d[i] - x1;
              rv3[i - 1] = 0.0;
              if (i != q) rv3[i - 1] = e[i + 1];
              u = v - xu * rv2[i - 1];
              v = -xu * rv3[i - 1];
              continue;
            }
            xu = e[i] / u;
            rv4[i] = xu;
            rv1[i - 1] = u;
            rv2[i - 1] = v;
            rv3[i - 1] = 0.0;
          }
          u = d[i] - x1 - xu * v;
          if (i != q) v = e[i + 1];
        }
        if (u == 0.0) u = eps3;
        rv1[q] = u;
        rv2[q] = 0.0;
        rv3[q] = 0.0;

        for (;;) {
          // Back substitution.
          for (int ii = p; ii <= q; ++ii) {
            int i = p + q - ii;
            rv6[i] = (rv6[i] - u * rv2[i] - v * rv3[i]) / rv1[i];
            v = u;
            u = rv6[i];
          }
          // Orthogonalise against the previous members of the group.
          if (group != 0) {
            int j = r;
            for (int jj = 1; jj <= group; ++jj) {
              do {
                --j;
              } while (ind[j] != tag);
              xu = 0.0;
              for (int i = p; i <= q; ++i) xu += rv6[i] * Z(i, j);
              for (int i = p; i <= q; ++i) rv6[i] -= xu * Z(i, j);
            }
          }
          norm = 0.0;
          for (int i = p; i <= q; ++i) norm += std::fabs(rv6[i]);
          if (norm >= 1.0 && its >= kMinIterations) {
            // Converged: normalise to unit sum of squares.
            u = 0.0;
            for (int i = p; i <= q; ++i) u += rv6[i] * rv6[i];
            xu = 1.0 / std::sqrt(u);
            break;
          }
          if (its == kMaxIterations) {
            ierr = -r;
            xu = 0.0;
            break;
          }
          if (norm == 0.0) {
            rv6[s] = eps4;
            ++s;
            if (s > q) s = p;
          } else {
            xu = eps4 / norm;
            for (int i = p; i <= q; ++i) rv6[i] *= xu;
          }
          // Elimination operations on the next vector.
          for (int i = ip; i <= q; ++i) {
            u = rv6[i];
            // rv1[i−1] == e[i] marks a row interchange of the triangularisation.
            if (rv1[i - 1] == e[i]) {
              u = rv6[i - 1];
              rv6[i - 1] = rv6[i];
            }
            rv6[i] = u - rv4[i] * rv6[i - 1];
          }
          ++its;
        }
      }

      for (int i = 1; i <= n; ++i) Z(i, r) = 0.0;
      for (int i = p; i <= q; ++i) Z(i, r) = rv6[i] * xu;
      x0 = x1;
    }
  } while (q < n);
}

void SlepianTapers(int n, int K, double NW, double tapers[], double eigenvalues[]) {
  if (n < 1 || K < 1) return;
  K = std::min(K, n);
  const size_t len = static_cast<size_t>(n) + 1;
  std::vector<double> d(len), e(len), e2(len);
  const double ww = NW / n;
  const double c = std::cos(2.0 * kPi * ww);
  const double half = (n - 1) / 2.0;
  for (int i = 0; i < n; ++i) {
    double t = half - i;
    d[static_cast<size_t>(i) + 1] = -c * t * t;
    double ei = -static_cast<double>(i) * static_cast<double>(n - i) / 2.0;
    e[static_cast<size_t>(i) + 1] = ei;
    e2[static_cast<size_t>(i) + 1] = ei * ei;
  }

  std::vector<double> w(static_cast<size_t>(K) + 1, 0.0);
  std::vector<int> ind(static_cast<size_t>(K) + 1, 1);
  std::vector<double> rv1(len), rv2(len), rv3(len), rv4(len), rv5(len), rv6(len);
  double eps1 = 1e-13;
  double lb = 0.0, ub = 0.0;
  int ierr = 0;
  // The K smallest eigenvalues of the negated matrix belong to the best-concentrated sequences.
  tridib(n, eps1, d.data(), e.data(), e2.data(), lb, ub, 1, K, w.data(), ind.data(), ierr, rv4.data(), rv5.data());
  tinvit(n, n, d.data(), e.data(), e2.data(), K, w.data(), ind.data(), tapers, ierr, rv1.data(), rv2.data(), rv3.data(),
         rv4.data(), rv6.data());

  for (int k = 0; k < K; ++k) {
    double* t = tapers + static_cast<size_t>(k) * static_cast<size_t>(n);
    double sum2 = 0.0;
    for (int i = 0; i < n; ++i) sum2 += t[i] * t[i];
    double scale = std::sqrt(sum2 / n);
    if (scale > 0.0)
      for (int i = 0; i < n; ++i) t[i] /= scale;
    // A fixed sign: the inverse iteration leaves it to chance.
    double sign = 0.0;
    if (k == 0) {
      sign = t[(n - 1) / 2] + t[n / 2];
    } else if (k % 2 == 1) {
      for (int i = 0; i < n / 2; ++i) sign += t[i];
    } else {
      for (int i = 0; i < n; ++i) sign += t[i];
    }
    if (sign < 0.0)
      for (int i = 0; i < n; ++i) t[i] = -t[i];
    if (eigenvalues) eigenvalues[k] = w[static_cast<size_t>(k) + 1];
  }
}

std::vector<double> DefaultTapers() {
  std::vector<double> tapers(static_cast<size_t>(kDefaultTaperLength) * kDefaultTaperCount, 0.0);
  double eigenvalues[kDefaultTaperCount] = {};
  SlepianTapers(kDefaultTaperLength, kDefaultTaperCount, kDefaultTaperNW, tapers.data(), eigenvalues);
  return tapers;
}

const std::vector<double>& SlepianWindow(SlepianCache& cache, int n) {
  size_t len = n > 0 ? static_cast<size_t>(n) : 0;
  for (const std::vector<double>& taper : cache)
    if (taper.size() == len) return taper;
  std::vector<double> taper(len, 0.0);
  if (n > 0) SlepianTapers(n, 1, kDefaultTaperNW, taper.data());
  cache.push_back(std::move(taper));
  return cache.back();
}
