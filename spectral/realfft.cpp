#include "spectral/realfft.h"

#include <algorithm>
#include <cmath>

#include "spectral/fft.h"
#include "spectral/fft_kernels.h"

// The N real samples, read as N/2 complex points z_j = x_2j + i·x_2j+1, are
// transformed by four1; the even and odd halves separate as
// A_k = (Z_k + conj Z_{M−k})/2 and B_k = (Z_k − conj Z_{M−k})/2i (M = N/2),
// and X_k = A_k + W^k·B_k, X_{M−k} = conj(A_k − W^k·B_k), W = exp(isign·2πi/N).
void RealSpectrum(double X[], unsigned long N, int isign) {
  const unsigned long M = N / 2;
  four1(X, M, isign);
  const double z0r = X[1], z0i = X[2];
  X[1] = z0r + z0i;
  X[2] = 0.0;
  X[2 * M + 1] = z0r - z0i;
  X[2 * M + 2] = 0.0;
  if (M < 2) return;

  const int sign = isign >= 0 ? 1 : -1;
  const FftKernels& kernels = ActiveFftKernels();
  // W^k from the transform's tables (kChunk at a time where a level has no
  // full table); W^(N/4) = sign·i. The bins below M/2 − 1 go through the
  // kernel two at a time, the rest here.
  constexpr unsigned long kChunk = 256;
  double roots[2 * kChunk];
  const unsigned long paired = M / 2 >= 2 ? (M / 2 - 1) / 2 * 2 : 0;  // even, 1 + paired < M/2
  if (paired > 0) {
    if (const double* table = RootsOfUnityTable(N)) {
      kernels.realSplit(X, M, 1, paired, table + 2, sign);
    } else {
      for (unsigned long k0 = 1; k0 <= paired; k0 += kChunk) {
        const unsigned long count = std::min(kChunk, paired + 1 - k0);
        RootsOfUnity(N, k0, count, roots);
        kernels.realSplit(X, M, k0, count, roots, sign);
      }
    }
  }
  for (unsigned long k = paired + 1; k <= M / 2; ++k) {
    double wr, wi;
    if (k < N / 4) {
      RootsOfUnity(N, k, 1, roots);
      wr = roots[0];
      wi = sign * roots[1];
    } else {
      wr = 0.0;
      wi = sign;
    }
    SplitBinPair(X, M, k, wr, wi);
  }
}
