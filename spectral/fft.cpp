#include "spectral/fft.h"

#include <cmath>
#include <utility>

void four1(double data[], unsigned long nn, int isign) {
  unsigned long n = nn << 1;
  unsigned long j = 1;
  for (unsigned long i = 1; i < n; i += 2) {
    if (j > i) {
      std::swap(data[j], data[i]);
      std::swap(data[j + 1], data[i + 1]);
    }
    unsigned long m = nn;
    while (m >= 2 && j > m) {
      j -= m;
      m >>= 1;
    }
    j += m;
  }
  unsigned long mmax = 2;
  while (n > mmax) {
    unsigned long istep = mmax << 1;
    double theta = isign * (6.283185307179586476925 / static_cast<double>(mmax));
    double wtemp = std::sin(0.5 * theta);
    double wpr = -2.0 * wtemp * wtemp;
    double wpi = std::sin(theta);
    double wr = 1.0;
    double wi = 0.0;
    for (unsigned long m = 1; m < mmax; m += 2) {
      for (unsigned long i = m; i <= n; i += istep) {
        j = i + mmax;
        double tempr = wr * data[j] - wi * data[j + 1];
        double tempi = wr * data[j + 1] + wi * data[j];
        data[j] = data[i] - tempr;
        data[j + 1] = data[i + 1] - tempi;
        data[i] += tempr;
        data[i + 1] += tempi;
      }
      wtemp = wr;
      wr = wtemp * wpr - wi * wpi + wr;
      wi = wi * wpr + wtemp * wpi + wi;
    }
    mmax = istep;
  }
}
