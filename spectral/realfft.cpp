#include "spectral/realfft.h"

#include <cmath>

#include "spectral/fft.h"

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

  const double theta = 2.0 * M_PI / static_cast<double>(N);
  const double sign = isign >= 0 ? 1.0 : -1.0;
  // Twiddles by the trigonometric recurrence, set afresh from cos and sin
  // every kReseed steps so the error stays at a few units of rounding.
  constexpr unsigned long kReseed = 128;
  const double half = std::sin(0.5 * theta);
  const double wpr = -2.0 * half * half;
  const double wpi = sign * std::sin(theta);
  double wr = 1.0, wi = 0.0;
  for (unsigned long k = 1; k <= M / 2; ++k) {
    if (k % kReseed == 1 || kReseed == 1) {
      wr = std::cos(theta * static_cast<double>(k));
      wi = sign * std::sin(theta * static_cast<double>(k));
    } else {
      const double t = wr;
      wr = t * wpr - wi * wpi + wr;
      wi = wi * wpr + t * wpi + wi;
    }
    const unsigned long i = 2 * k + 1, j = 2 * (M - k) + 1;
    const double ar = 0.5 * (X[i] + X[j]), ai = 0.5 * (X[i + 1] - X[j + 1]);
    const double br = 0.5 * (X[i + 1] + X[j + 1]), bi = -0.5 * (X[i] - X[j]);
    const double tr = wr * br - wi * bi, ti = wr * bi + wi * br;
    if (i == j) {  // k = M/2 pairs with itself
      X[i] = ar + tr;
      X[i + 1] = ai + ti;
      break;
    }
    X[i] = ar + tr;
    X[i + 1] = ai + ti;
    X[j] = ar - tr;
    X[j + 1] = -(ai - ti);
  }
}
