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

// One step of the radix4 butterflies: points p, p + step, p + 2step, p + 3step, two at a time.
template <int S>
inline void Step(double* p, size_t step, __m256d v1, __m256d v2, __m256d v3) {
  const __m256d x0 = _mm256_loadu_pd(p), x1 = _mm256_loadu_pd(p + step);
  const __m256d x2 = _mm256_loadu_pd(p + 2 * step), x3 = _mm256_loadu_pd(p + 3 * step);
  const __m256d a0 = _mm256_add_pd(x0, x2), a1 = _mm256_sub_pd(x0, x2);
  const __m256d b0 = _mm256_add_pd(x1, x3), b1 = MulI<S>(_mm256_sub_pd(x1, x3));
  _mm256_storeu_pd(p, _mm256_add_pd(a0, b0));
  _mm256_storeu_pd(p + step, Mul<S>(_mm256_sub_pd(a0, b0), v2));
  _mm256_storeu_pd(p + 2 * step, Mul<S>(_mm256_add_pd(a1, b1), v1));
  _mm256_storeu_pd(p + 3 * step, Mul<S>(_mm256_sub_pd(a1, b1), v3));
}

template <int S>
void Radix4T(double* c, size_t q, size_t count, size_t blocks, const double* w1, const double* w2, const double* w3) {
  const size_t step = 2 * q;
  // Blocks of 8 and 16 points take one or two steps each: their twiddles stay in registers.
  if (count == 2 && q == 2) {
    const __m256d v1 = _mm256_loadu_pd(w1), v2 = _mm256_loadu_pd(w2), v3 = _mm256_loadu_pd(w3);
    for (size_t b = 0; b < blocks; ++b, c += 16) Step<S>(c, 4, v1, v2, v3);
    return;
  }
  if (count == 4 && q == 4) {
    const __m256d v1 = _mm256_loadu_pd(w1), v2 = _mm256_loadu_pd(w2), v3 = _mm256_loadu_pd(w3);
    const __m256d u1 = _mm256_loadu_pd(w1 + 4), u2 = _mm256_loadu_pd(w2 + 4), u3 = _mm256_loadu_pd(w3 + 4);
    for (size_t b = 0; b < blocks; ++b, c += 32) {
      Step<S>(c, 8, v1, v2, v3);
      Step<S>(c + 4, 8, u1, u2, u3);
    }
    return;
  }
  for (size_t b = 0; b < blocks; ++b, c += 8 * q) {
    for (size_t j = 0; j < count; j += 2)
      Step<S>(c + 2 * j, step, _mm256_loadu_pd(w1 + 2 * j), _mm256_loadu_pd(w2 + 2 * j), _mm256_loadu_pd(w3 + 2 * j));
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
    const __m256d s = _mm256_add_pd(x01, x23);                       // a0, b0
    const __m256d d = _mm256_sub_pd(x01, x23);                       // a1, x1 − x3
    const __m256d A = _mm256_permute2f128_pd(s, d, 0x20);            // a0, a1
    const __m256d B = _mm256_permute2f128_pd(s, MulI<S>(d), 0x31);   // b0, b1
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

unsigned long Reverse(unsigned long x, int bits) {
  unsigned long r = 0;
  for (int k = 0; k < bits; ++k, x >>= 1) r = (r << 1) | (x & 1ul);
  return r;
}

// The blocks of the portable version (spectral/fft.cpp) with the work split
// differently: rows a and a + kSide/2 are read together, so that their points
// (a, c) land next to each other in the buffer (rev(a + kSide/2) = rev(a) + 1)
// and go in as whole registers. The last butterflies are done in the buffer:
// the points of a group of 4 (or 2) consecutive c land in the same column of
// rows a' = rev(c) that are kSide/4 (kSide/2) apart, so they run down whole
// buffer rows on the way out to the array.
template <int S>
void LastAndReverseT(double* data, int lg, int radix) {
  constexpr unsigned long kSide = 1ul << kFftRevBits;
  constexpr unsigned long kRow = 2 * kSide;  // doubles per row
  unsigned long rev[kSide];
  for (unsigned long k = 0; k < kSide; ++k) rev[k] = Reverse(k, kFftRevBits);
  const int mid = lg - 2 * kFftRevBits;
  const int highShift = lg - kFftRevBits;
  alignas(32) double bufX[kRow * kSide], bufY[kRow * kSide];
  auto rowOf = [&](unsigned long a, unsigned long b) { return data + 2 * ((a << highShift) | (b << kFftRevBits)); };
  auto gather = [&](unsigned long b, double* buf) {
    for (unsigned long a = 0; a < kSide / 2; ++a) {
      const double* lo = rowOf(a, b);
      const double* hi = rowOf(a + kSide / 2, b);
      double* col = buf + 2 * rev[a];
      for (unsigned long c = 0; c < kSide; c += 2) {
        const __m256d p = _mm256_loadu_pd(lo + 2 * c), q = _mm256_loadu_pd(hi + 2 * c);
        _mm256_store_pd(col + kRow * rev[c], _mm256_permute2f128_pd(p, q, 0x20));
        _mm256_store_pd(col + kRow * rev[c + 1], _mm256_permute2f128_pd(p, q, 0x31));
      }
    }
  };
  auto scatter = [&](const double* buf, unsigned long b) {
    if (radix == 4) {
      constexpr unsigned long kQ = kSide / 4;
      for (unsigned long r0 = 0; r0 < kQ; ++r0) {
        // Locations 0, 1, 2, 3 of a group sit in rows r0, r0 + 2kQ, r0 + kQ, r0 + 3kQ.
        const unsigned long rows[4] = {r0, r0 + 2 * kQ, r0 + kQ, r0 + 3 * kQ};
        const double* in[4];
        double* out[4];
        for (int t = 0; t < 4; ++t) {
          in[t] = buf + kRow * rows[t];
          out[t] = rowOf(rows[t], b);
        }
        for (unsigned long c = 0; c < kRow; c += 4) {
          const __m256d x0 = _mm256_load_pd(in[0] + c), x1 = _mm256_load_pd(in[1] + c);
          const __m256d x2 = _mm256_load_pd(in[2] + c), x3 = _mm256_load_pd(in[3] + c);
          const __m256d a0 = _mm256_add_pd(x0, x2), a1 = _mm256_sub_pd(x0, x2);
          const __m256d b0 = _mm256_add_pd(x1, x3), b1 = MulI<S>(_mm256_sub_pd(x1, x3));
          _mm256_storeu_pd(out[0] + c, _mm256_add_pd(a0, b0));
          _mm256_storeu_pd(out[1] + c, _mm256_sub_pd(a0, b0));
          _mm256_storeu_pd(out[2] + c, _mm256_add_pd(a1, b1));
          _mm256_storeu_pd(out[3] + c, _mm256_sub_pd(a1, b1));
        }
      }
    } else if (radix == 2) {
      constexpr unsigned long kH = kSide / 2;
      for (unsigned long r0 = 0; r0 < kH; ++r0) {
        const double* in0 = buf + kRow * r0;
        const double* in1 = buf + kRow * (r0 + kH);
        double* out0 = rowOf(r0, b);
        double* out1 = rowOf(r0 + kH, b);
        for (unsigned long c = 0; c < kRow; c += 4) {
          const __m256d x0 = _mm256_load_pd(in0 + c), x1 = _mm256_load_pd(in1 + c);
          _mm256_storeu_pd(out0 + c, _mm256_add_pd(x0, x1));
          _mm256_storeu_pd(out1 + c, _mm256_sub_pd(x0, x1));
        }
      }
    } else {
      for (unsigned long a = 0; a < kSide; ++a, buf += kRow) {
        double* row = rowOf(a, b);
        for (unsigned long c = 0; c < kRow; c += 4) _mm256_storeu_pd(row + c, _mm256_load_pd(buf + c));
      }
    }
  };
  for (unsigned long b = 0; b < (1ul << mid); ++b) {
    const unsigned long rb = Reverse(b, mid);
    if (rb < b) continue;
    gather(b, bufX);
    if (rb != b) {
      gather(rb, bufY);
      scatter(bufY, b);
    }
    scatter(bufX, rb);
  }
}

void LastAndReverse(double* data, int lg, int radix, int sign) {
  if (sign > 0)
    LastAndReverseT<1>(data, lg, radix);
  else
    LastAndReverseT<-1>(data, lg, radix);
}

// Bins k, k + 1 in one register, their partners M − k, M − k − 1 in another
// (loaded as M − k − 1, M − k and swapped); the products are rounded as in the
// portable version (no fused multiply-add), so both give the same bits.
void RealSplit(double* X, unsigned long M, unsigned long k0, unsigned long count, const double* roots, int sign) {
  const __m256d half = _mm256_set1_pd(0.5);
  const __m256d conj = _mm256_set_pd(-0.0, 0.0, -0.0, 0.0);
  const __m256d signs = _mm256_set_pd(sign, 1.0, sign, 1.0);
  for (unsigned long k = k0; k < k0 + count; k += 2) {
    double* pi = X + 2 * k + 1;
    double* pj = X + 2 * (M - k - 1) + 1;
    const __m256d zk = _mm256_loadu_pd(pi);
    const __m256d zj = _mm256_permute2f128_pd(_mm256_loadu_pd(pj), _mm256_loadu_pd(pj), 0x01);
    const __m256d cj = _mm256_xor_pd(zj, conj);
    const __m256d A = _mm256_mul_pd(half, _mm256_add_pd(zk, cj));      // ar, ai
    const __m256d D = _mm256_mul_pd(half, _mm256_sub_pd(zk, cj));      // 0.5(kr − jr), 0.5(ki + ji)
    const __m256d B = _mm256_xor_pd(_mm256_permute_pd(D, 0x5), conj);  // br, bi
    const __m256d w = _mm256_mul_pd(_mm256_loadu_pd(roots + 2 * (k - k0)), signs);
    const __m256d p1 = _mm256_mul_pd(B, _mm256_movedup_pd(w));                               // wr·br, wr·bi
    const __m256d p2 = _mm256_mul_pd(_mm256_permute_pd(B, 0x5), _mm256_permute_pd(w, 0xF));  // wi·bi, wi·br
    const __m256d t = _mm256_addsub_pd(p1, p2);
    _mm256_storeu_pd(pi, _mm256_add_pd(A, t));
    const __m256d y = _mm256_xor_pd(_mm256_sub_pd(A, t), conj);
    _mm256_storeu_pd(pj, _mm256_permute2f128_pd(y, y, 0x01));
  }
}

const FftKernels kAvx2{Radix4, Radix4Last, Radix2Last, Twiddles, LastAndReverse, RealSplit};

}  // namespace

const FftKernels* Avx2FftKernels() { return &kAvx2; }

#else

const FftKernels* Avx2FftKernels() { return nullptr; }

#endif
