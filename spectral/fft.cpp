#include "spectral/fft.h"

#include <cmath>
#include <utility>

// The published routine, reorganised for the memory hierarchy. Every butterfly
// and every twiddle factor is computed by the same operations as in the
// published loop order (the twiddles by its trigonometric recurrence, one sin
// pair per stage), only the order in which independent butterflies are visited
// changes; so the result is the same to the last bit (tests/spectral/fft_test.cpp
// compares it with the published routine). No allocation.

namespace {

// Doubles per block of the early stages: every stage whose butterflies stay
// within such a block runs block by block while the block is in cache.
constexpr unsigned long kBlockDoubles = 1ul << 16;
// Stages up to this mmax sweep the block once per twiddle (long unit-stride runs).
constexpr unsigned long kShortStage = 16;
// Twiddles of a run of m kept on the stack for the later stages.
constexpr unsigned long kTwiddleRun = 512;
// Bits of the low and high index fields of the cache-blocked bit reversal.
constexpr int kRevBits = 5;

// One Danielson–Lanczos stage over data[lo … hi) (1-based; lo − 1 and hi − lo
// multiples of 2·mmax) in the published order: m outer, i inner.
inline void Stage(double* data, unsigned long lo, unsigned long hi, unsigned long mmax, double wpr, double wpi) {
  const unsigned long istep = mmax << 1;
  double wr = 1.0;
  double wi = 0.0;
  for (unsigned long m = 1; m < mmax; m += 2) {
    for (unsigned long i = lo - 1 + m; i < hi; i += istep) {
      unsigned long j = i + mmax;
      double tempr = wr * data[j] - wi * data[j + 1];
      double tempi = wr * data[j + 1] + wi * data[j];
      data[j] = data[i] - tempr;
      data[j + 1] = data[i + 1] - tempi;
      data[i] += tempr;
      data[i + 1] += tempi;
    }
    double wtemp = wr;
    wr = wtemp * wpr - wi * wpi + wr;
    wi = wi * wpr + wtemp * wpi + wi;
  }
}

// The same stage with the loops turned: the twiddles of a run of m are taken
// from the recurrence into a small table, then every block is swept over that
// run, so memory is read in runs instead of with a stride of 2·mmax.
inline void StageRuns(double* data, unsigned long lo, unsigned long hi, unsigned long mmax, double wpr, double wpi) {
  const unsigned long istep = mmax << 1;
  double twr[kTwiddleRun];
  double twi[kTwiddleRun];
  double wr = 1.0;
  double wi = 0.0;
  for (unsigned long m0 = 1; m0 < mmax; m0 += 2 * kTwiddleRun) {
    unsigned long count = 0;
    for (unsigned long m = m0; m < mmax && count < kTwiddleRun; m += 2, ++count) {
      twr[count] = wr;
      twi[count] = wi;
      double wtemp = wr;
      wr = wtemp * wpr - wi * wpi + wr;
      wi = wi * wpr + wtemp * wpi + wi;
    }
    for (unsigned long base = lo - 1 + m0; base < hi; base += istep) {
      for (unsigned long k = 0; k < count; ++k) {
        unsigned long i = base + 2 * k;
        unsigned long j = i + mmax;
        double tempr = twr[k] * data[j] - twi[k] * data[j + 1];
        double tempi = twr[k] * data[j + 1] + twi[k] * data[j];
        data[j] = data[i] - tempr;
        data[j + 1] = data[i + 1] - tempi;
        data[i] += tempr;
        data[i + 1] += tempi;
      }
    }
  }
}

// The published bit reversal.
void BitReverse(double* data, unsigned long nn) {
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
}

unsigned long ReverseBits(unsigned long x, int bits) {
  unsigned long r = 0;
  for (int k = 0; k < bits; ++k) {
    r = (r << 1) | (x & 1ul);
    x >>= 1;
  }
  return r;
}

// The same permutation (complex x and its bit reversal swapped once), visited
// so that both sides of the swaps stay in cache: the index is split into high
// bits a, middle bits b and low bits c, reversed to rev(c)·rev(b)·rev(a), and
// for each b all (a, c) are done together.
void BitReverseBlocked(double* data, unsigned long nn) {
  int lg = 0;
  while ((1ul << lg) < nn) ++lg;
  if (lg < 2 * kRevBits + 1) {
    BitReverse(data, nn);
    return;
  }
  constexpr unsigned long kSide = 1ul << kRevBits;
  unsigned long rev[kSide];
  for (unsigned long k = 0; k < kSide; ++k) rev[k] = ReverseBits(k, kRevBits);
  const int mid = lg - 2 * kRevBits;
  const int highShift = lg - kRevBits;
  for (unsigned long b = 0; b < (1ul << mid); ++b) {
    const unsigned long bx = b << kRevBits;
    const unsigned long by = ReverseBits(b, mid) << kRevBits;
    for (unsigned long a = 0; a < kSide; ++a) {
      const unsigned long xa = (a << highShift) | bx;
      const unsigned long ya = by | rev[a];
      for (unsigned long c = 0; c < kSide; ++c) {
        unsigned long x = xa | c;
        unsigned long y = (rev[c] << highShift) | ya;
        if (y > x) {
          double* px = data + 2 * x + 1;
          double* py = data + 2 * y + 1;
          std::swap(px[0], py[0]);
          std::swap(px[1], py[1]);
        }
      }
    }
  }
}

}  // namespace

void four1(double data[], unsigned long nn, int isign) {
  const unsigned long n = nn << 1;
  BitReverseBlocked(data, nn);

  // The constants of every stage: θ = 2π/(isign·mmax), wpr = −2 sin²(θ/2), wpi = sin θ.
  double wpr[64];
  double wpi[64];
  int stages = 0;
  for (unsigned long mmax = 2; n > mmax; mmax <<= 1, ++stages) {
    double theta = isign * (6.283185307179586476925 / static_cast<double>(mmax));
    double wtemp = std::sin(0.5 * theta);
    wpr[stages] = -2.0 * wtemp * wtemp;
    wpi[stages] = std::sin(theta);
  }

  // The early stages, block by block.
  const unsigned long block = n < kBlockDoubles ? n : kBlockDoubles;
  int early = 0;
  for (unsigned long mmax = 2; n > mmax && (mmax << 1) <= block; mmax <<= 1) ++early;
  for (unsigned long lo = 1; lo <= n; lo += block) {
    unsigned long mmax = 2;
    for (int s = 0; s < early; ++s, mmax <<= 1) {
      if (mmax <= kShortStage)
        Stage(data, lo, lo + block, mmax, wpr[s], wpi[s]);
      else
        StageRuns(data, lo, lo + block, mmax, wpr[s], wpi[s]);
    }
  }
  // The later stages over the whole array.
  unsigned long mmax = 2ul << early;
  for (int s = early; s < stages; ++s, mmax <<= 1) StageRuns(data, 1, n + 1, mmax, wpr[s], wpi[s]);
}
