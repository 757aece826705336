// The AVX2/FMA kernels of four1, two complex points per register. This file
// alone is compiled with -mavx2 -mfma and uses no inline library code, so no
// AVX instruction reaches a processor without them: four1 calls it only after
// a run-time check.

#include "spectral/fft_kernels.h"

#if defined(__AVX2__) && defined(__FMA__)
#include <immintrin.h>

namespace {

// a·(sign > 0 ? w : conj w) for two complex numbers.
template <int S>
inline __m256d Mul(__m256d a, __m256d w) {
  const __m256d wr = _mm256_movedup_pd(w);
  const __m256d wi = _mm256_permute_pd(w, 0xF);
  const __m256d t = _mm256_mul_pd(_mm256_permute_pd(a, 0x5), wi);
  return S > 0 ? _mm256_fmaddsub_pd(a, wr, t) : _mm256_fmsubadd_pd(a, wr, t);
}

// sign·i·a: (re, im) → (−im, re) for +1, (im, −re) for −1.
template <int S>
inline __m256d MulI(__m256d a) {
  const __m256d mask = S > 0 ? _mm256_set_pd(0.0, -0.0, 0.0, -0.0) : _mm256_set_pd(-0.0, 0.0, -0.0, 0.0);
  return _mm256_xor_pd(_mm256_permute_pd(a, 0x5), mask);
}

template <int S>
void Radix4T(double* c, size_t q, size_t count, size_t blocks, const double* w1, const double* w2,
             const double* w3) {
  const size_t step = 2 * q;
  for (size_t b = 0; b < blocks; ++b, c += 8 * q) {
    for (size_t j = 0; j < count; j += 2) {
      double* p = c + 2 * j;
      const __m256d x0 = _mm256_loadu_pd(p), x1 = _mm256_loadu_pd(p + step);
      const __m256d x2 = _mm256_loadu_pd(p + 2 * step), x3 = _mm256_loadu_pd(p + 3 * step);
      const __m256d a0 = _mm256_add_pd(x0, x2), a1 = _mm256_sub_pd(x0, x2);
      const __m256d b0 = _mm256_add_pd(x1, x3), b1 = MulI<S>(_mm256_sub_pd(x1, x3));
      _mm256_storeu_pd(p, _mm256_add_pd(a0, b0));
      _mm256_storeu_pd(p + step, Mul<S>(_mm256_sub_pd(a0, b0), _mm256_loadu_pd(w2 + 2 * j)));
      _mm256_storeu_pd(p + 2 * step, Mul<S>(_mm256_add_pd(a1, b1), _mm256_loadu_pd(w1 + 2 * j)));
      _mm256_storeu_pd(p + 3 * step, Mul<S>(_mm256_sub_pd(a1, b1), _mm256_loadu_pd(w3 + 2 * j)));
    }
  }
}

void Radix4(double* c, size_t q, size_t count, size_t blocks, const double* w1, const double* w2, const double* w3,
            int sign) {
  if (sign > 0)
    Radix4T<1>(c, q, count, blocks, w1, w2, w3);
  else
    Radix4T<-1>(c, q, count, blocks, w1, w2, w3);
}

template <int S>
void Radix4LastT(double* c, size_t points) {
  for (size_t k = 0; k < points; k += 4, c += 8) {
    const __m256d x01 = _mm256_loadu_pd(c), x23 = _mm256_loadu_pd(c + 4);
    const __m256d s = _mm256_add_pd(x01, x23);   // a0, b0
    const __m256d d = _mm256_sub_pd(x01, x23);   // a1, x1 − x3
    const __m256d A = _mm256_permute2f128_pd(s, d, 0x20);          // a0, a1
    const __m256d B = _mm256_permute2f128_pd(s, MulI<S>(d), 0x31);  // b0, b1
    const __m256d P = _mm256_add_pd(A, B), M = _mm256_sub_pd(A, B);  // y0 y2, y1 y3
    _mm256_storeu_pd(c, _mm256_permute2f128_pd(P, M, 0x20));
    _mm256_storeu_pd(c + 4, _mm256_permute2f128_pd(P, M, 0x31));
  }
}

void Radix4Last(double* c, size_t points, int sign) {
  if (sign > 0)
    Radix4LastT<1>(c, points);
  else
    Radix4LastT<-1>(c, points);
}

void Radix2Last(double* c, size_t points) {
  for (size_t k = 0; k < points; k += 2, c += 4) {
    const __m128d x0 = _mm_loadu_pd(c), x1 = _mm_loadu_pd(c + 2);
    _mm_storeu_pd(c, _mm_add_pd(x0, x1));
    _mm_storeu_pd(c + 2, _mm_sub_pd(x0, x1));
  }
}

void Twiddles(const double* hi, const double* lo, size_t count, double* w1, double* w2, double* w3) {
  const __m256d h = _mm256_broadcast_pd(reinterpret_cast<const __m128d*>(hi));
  for (size_t j = 0; j < count; j += 2) {
    const __m256d a = Mul<1>(_mm256_loadu_pd(lo + 2 * j), h);
    const __m256d b = Mul<1>(a, a);
    _mm256_storeu_pd(w1 + 2 * j, a);
    _mm256_storeu_pd(w2 + 2 * j, b);
    _mm256_storeu_pd(w3 + 2 * j, Mul<1>(b, a));
  }
}

const FftKernels kAvx2{Radix4, Radix4Last, Radix2Last, Twiddles};

}  // namespace

const FftKernels* Avx2FftKernels() { return &kAvx2; }

#else

const FftKernels* Avx2FftKernels() { return nullptr; }

#endif
