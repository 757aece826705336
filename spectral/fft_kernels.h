#pragma once
// The inner loops of four1 (spectral/fft.cpp): radix-4 decimation-in-frequency
// butterflies over 0-based interleaved complex arrays (re, im), in a portable
// version and, where the processor has AVX2 and FMA, a vector version chosen
// at run time. sign is +1 or −1; twiddle tables hold exp(+2πi·k/L) and are
// conjugated for −1.

#include <cstddef>

/// One step of RealSpectrum's split: bin k of a transform of M complex points
/// in X (1-based) with its partner M − k, turned by w = wr + i·wi (the partner
/// left alone when k = M/2, which pairs with itself).
inline void SplitBinPair(double* X, unsigned long M, unsigned long k, double wr, double wi) {
  const unsigned long i = 2 * k + 1, j = 2 * (M - k) + 1;
  const double ar = 0.5 * (X[i] + X[j]), ai = 0.5 * (X[i + 1] - X[j + 1]);
  const double br = 0.5 * (X[i + 1] + X[j + 1]), bi = -(0.5 * (X[i] - X[j]));
  const double tr = wr * br - wi * bi, ti = wr * bi + wi * br;
  X[i] = ar + tr;
  X[i + 1] = ai + ti;
  if (i == j) return;
  X[j] = ar - tr;
  X[j + 1] = -(ai - ti);
}

struct FftKernels {
  /// For each of blocks blocks of 4q points (4q apart) and j < count: the
  /// points j, j+q, j+2q, j+3q become y0 = a0+b0, y1 = (a0−b0)·w2[j],
  /// y2 = (a1+b1)·w1[j], y3 = (a1−b1)·w3[j], with a0, a1 = x0 ± x2,
  /// b0 = x1 + x3, b1 = sign·i·(x1 − x3). count is even.
  void (*radix4)(double* c, size_t q, size_t count, size_t blocks, const double* w1, const double* w2, const double* w3,
                 int sign);
  /// The same with q = 1 over points groups of 4 consecutive points.
  void (*radix4Last)(double* c, size_t points, int sign);
  /// (x0, x1) → (x0 + x1, x0 − x1) over pairs of consecutive points.
  void (*radix2Last)(double* c, size_t points);
  /// w1[j] = hi·lo[j], w2[j] = w1[j]², w3[j] = w1[j]·w2[j] for j < count (even).
  void (*twiddles)(const double* hi, const double* lo, size_t count, double* w1, double* w2, double* w3);
  /// The last pass over 2^lg points (radix 4 or 2 over groups of consecutive
  /// points, none for radix 1), then the bit-reversal permutation that puts
  /// the outputs in natural order. lg >= 2·kFftRevBits.
  void (*lastAndReverse)(double* c, int lg, int radix, int sign);
  /// The split of RealSpectrum (spectral/realfft.cpp) for bins k0 <= k < k0 +
  /// count of a transform of M complex points in X (1-based as four1's data),
  /// each with its partner M − k; roots[k − k0] = exp(2πi·k/2M). count is even
  /// and k0 + count < M/2, so no bin meets its partner.
  void (*realSplit)(double* X, unsigned long M, unsigned long k0, unsigned long count, const double* roots, int sign);
};

/// Index bits of the low and high fields of lastAndReverse's blocks.
constexpr int kFftRevBits = 5;

const FftKernels& PortableFftKernels();
/// nullptr when the vector version is not built for this target.
const FftKernels* Avx2FftKernels();
/// The kernels four1 uses: the vector ones when the processor has them.
const FftKernels& ActiveFftKernels();
/// Tests: force the portable kernels (true) or go back to the automatic choice.
void ForcePortableFftKernels(bool portable);

/// exp(2πi·j/L) for j0 <= j < j0 + count < L/4 (L a power of two, at least 8)
/// into out as interleaved doubles, from four1's twiddle tables.
void RootsOfUnity(size_t L, size_t j0, size_t count, double* out);
/// The table of exp(2πi·j/L) for j < L/4 behind RootsOfUnity, as interleaved
/// doubles, or nullptr for levels too large to keep one (L a power of two, at least 8).
const double* RootsOfUnityTable(size_t L);
