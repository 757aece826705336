#include "mt/remote.h"

#include <cmath>
#include <limits>

#include "mt/impedance.h"
#include "spectral/spectrum.h"

namespace {

using Complex = std::complex<double>;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace

std::vector<double> AccumulateRemoteCrossSpectra(const double* const A[6], int bands, long long M, unsigned long N,
                                                 const std::vector<uint8_t>* notched) {
  if (bands <= 0 || M < 1 || static_cast<long long>(bands + 1) * M > static_cast<long long>(N / 2) + M) return {};
  const bool skipNotched = notched && notched->size() >= N / 2;
  std::vector<double> cross(24 * static_cast<size_t>(bands), kNaN);
  for (long long j = 0; j < bands; ++j) {
    Complex sum[6][2];
    int kept = 0;
    for (long long b = BandFirstBin(j, M); b < (j + 1) * M; ++b) {
      if (skipNotched && (*notched)[static_cast<size_t>(b)]) continue;
      ++kept;
      const Complex rc[2] = {std::conj(Complex(A[4][2 * b + 1], A[4][2 * b + 2])),
                             std::conj(Complex(A[5][2 * b + 1], A[5][2 * b + 2]))};
      for (int a = 0; a < 6; ++a) {
        if (!A[a]) continue;
        const Complex v(A[a][2 * b + 1], A[a][2 * b + 2]);
        sum[a][0] += v * rc[0];
        sum[a][1] += v * rc[1];
      }
    }
    if (kept == 0) continue;
    double* out = cross.data() + 24 * j;
    for (int a = 0; a < 6; ++a) {
      if (!A[a]) continue;
      for (int r = 0; r < 2; ++r) {
        out[4 * a + 2 * r] = sum[a][r].real() / kept;
        out[4 * a + 2 * r + 1] = sum[a][r].imag() / kept;
      }
    }
  }
  return cross;
}

bool RemoteReferenceTensor(const std::vector<double>& remoteCross, int remoteBands, int b, Complex Z[4], Complex V[4]) {
  if (b < 0 || b >= remoteBands || remoteCross.size() < 24 * static_cast<size_t>(b + 1)) return false;
  auto c = [&](int a, int r) {
    const double* e = remoteCross.data() + 24 * static_cast<size_t>(b) + 4 * a + 2 * r;
    return Complex(e[0], e[1]);
  };
  constexpr int kRx = 4, kRy = 5;
  Complex A[4];  // <H R*>⁻¹
  InvertTensor2x2(c(kMtHx, 0), c(kMtHx, 1), c(kMtHy, 0), c(kMtHy, 1), A);
  for (const Complex& a : A)
    if (!std::isfinite(a.real()) || !std::isfinite(a.imag())) return false;
  // Each row of E: [<E Rx*> <E Ry*>]·<H R*>⁻¹.
  for (int row = 0; row < 2; ++row) {
    const int E = row == 0 ? kMtEx : kMtEy;
    const Complex e0 = c(E, 0), e1 = c(E, 1);
    Z[2 * row] = e0 * A[0] + e1 * A[2];
    Z[2 * row + 1] = e0 * A[1] + e1 * A[3];
  }
  const Complex RR[2][2] = {{c(kRx, 0), c(kRx, 1)}, {c(kRy, 0), c(kRy, 1)}};
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j) {
      Complex v;
      for (int k = 0; k < 2; ++k)
        for (int l = 0; l < 2; ++l) v += std::conj(A[2 * k + i]) * RR[k][l] * A[2 * l + j];
      V[2 * i + j] = v;
    }
  return true;
}
