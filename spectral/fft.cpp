#include "spectral/fft.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "spectral/fft_kernels.h"

// An in-place radix-4 decimation-in-frequency transform: a radix-4 pass over a
// block of L points leaves four independent transforms of L/4 points, done
// depth first so that each block is worked on while it is in cache (blocks of
// up to kInCache points run their remaining passes breadth first). An odd
// number of radix-2 stages ends with a radix-2 pass. The outputs come out in
// bit-reversed order and are put in place by one cache-blocked permutation,
// which also does the last pass (over groups of 4 or 2 consecutive points) on
// its way through, saving a sweep over the array.
// Twiddles come from tables of exp(2πi·k/L) made once per level L in long
// double, so no error accumulates along a recurrence.

namespace {

constexpr int kTableBits = 16;          // levels up to 2^16 points keep full twiddle tables
constexpr size_t kChunk = 64;           // above that, twiddles are made kChunk at a time
constexpr size_t kInCache = 1ul << 10;  // blocks that finish breadth first (16 KB)

// exp(2πi·k/L) as interleaved doubles.
void Unit(double* out, size_t k, size_t L) {
  const long double turn = static_cast<long double>(k) / static_cast<long double>(L);
  const long double angle = 6.283185307179586476925286766559L * turn;
  out[0] = static_cast<double>(std::cos(angle));
  out[1] = static_cast<double>(std::sin(angle));
}

// The twiddles of a level of L = 4q points: full tables of w^j, w^2j, w^3j
// (j < q, w = exp(2πi/L)) for small levels; for large ones w^j = hi[j / kChunk]
// · lo[j % kChunk].
struct Level {
  std::vector<double> w1, w2, w3, hi, lo;
};

const Level* MakeLevel(int bits) {
  auto* level = new Level;
  const size_t L = size_t{1} << bits, q = L / 4;
  if (bits <= kTableBits) {
    for (std::vector<double>* w : {&level->w1, &level->w2, &level->w3}) w->resize(2 * q);
    for (size_t j = 0; j < q; ++j) {
      Unit(&level->w1[2 * j], j, L);
      Unit(&level->w2[2 * j], 2 * j, L);
      Unit(&level->w3[2 * j], 3 * j, L);
    }
  } else {
    level->hi.resize(2 * (q / kChunk));
    level->lo.resize(2 * kChunk);
    for (size_t m = 0; m < q / kChunk; ++m) Unit(&level->hi[2 * m], m * kChunk, L);
    for (size_t j = 0; j < kChunk; ++j) Unit(&level->lo[2 * j], j, L);
  }
  return level;
}

// Levels are made on first use and kept (about 1 MB for all full tables).
const Level& LevelFor(int bits) {
  static std::atomic<const Level*> levels[64];
  static std::mutex making;
  const Level* level = levels[bits].load(std::memory_order_acquire);
  if (level) return *level;
  std::lock_guard<std::mutex> lock(making);
  level = levels[bits].load(std::memory_order_relaxed);
  if (!level) {
    level = MakeLevel(bits);
    levels[bits].store(level, std::memory_order_release);
  }
  return *level;
}

int Log2(size_t n) {
  int bits = 0;
  while ((size_t{1} << bits) < n) ++bits;
  return bits;
}

struct Transform {
  const FftKernels& k;
  int sign;

  // One radix-4 pass over every block of L points in c[0 .. total).
  void Pass(double* c, size_t L, size_t total) const {
    const Level& level = LevelFor(Log2(L));
    const size_t q = L / 4;
    if (!level.w1.empty()) {
      k.radix4(c, q, q, total / L, level.w1.data(), level.w2.data(), level.w3.data(), sign);
      return;
    }
    double w1[2 * kChunk], w2[2 * kChunk], w3[2 * kChunk];
    for (size_t j = 0; j < q; j += kChunk) {
      k.twiddles(&level.hi[2 * (j / kChunk)], level.lo.data(), kChunk, w1, w2, w3);
      for (size_t b = 0; b < total; b += L) k.radix4(c + 2 * (b + j), q, kChunk, 1, w1, w2, w3, sign);
    }
  }

  // Every remaining pass over a block of L points, breadth first; the last
  // one (over groups of 4 or 2 consecutive points) only when withLast.
  void Breadth(double* c, size_t L, bool withLast) const {
    size_t len = L;
    for (; len >= 8; len /= 4) Pass(c, len, L);
    if (!withLast) return;
    if (len == 4)
      k.radix4Last(c, L, sign);
    else if (len == 2)
      k.radix2Last(c, L);
  }

  void Depth(double* c, size_t L, bool withLast) const {
    if (L <= kInCache) {
      Breadth(c, L, withLast);
      return;
    }
    Pass(c, L, L);
    const size_t q = L / 4;
    for (int part = 0; part < 4; ++part) Depth(c + 2 * part * q, q, withLast);
  }
};

unsigned long ReverseBits(unsigned long x, int bits) {
  unsigned long r = 0;
  for (int k = 0; k < bits; ++k) {
    r = (r << 1) | (x & 1ul);
    x >>= 1;
  }
  return r;
}

// Small transforms: swaps point x with its bit reversal (0-based points, lg index bits).
void SwapReverse(double* data, int lg) {
  const unsigned long n = 1ul << lg;
  for (unsigned long x = 0; x < n; ++x) {
    const unsigned long y = ReverseBits(x, lg);
    if (y > x) {
      std::swap(data[2 * x], data[2 * y]);
      std::swap(data[2 * x + 1], data[2 * y + 1]);
    }
  }
}

// The portable kernels, one complex point at a time.
template <int S>
void PortableRadix4T(double* c, size_t q, size_t count, size_t blocks, const double* w1, const double* w2,
                     const double* w3) {
  auto mul = [](double& re, double& im, const double* w) {
    const double wr = w[0], wi = S * w[1];
    const double r = re * wr - im * wi;
    im = re * wi + im * wr;
    re = r;
  };
  for (size_t b = 0; b < blocks; ++b, c += 8 * q) {
    for (size_t j = 0; j < count; ++j) {
      double* p0 = c + 2 * j;
      double* p1 = p0 + 2 * q;
      double* p2 = p1 + 2 * q;
      double* p3 = p2 + 2 * q;
      const double a0r = p0[0] + p2[0], a0i = p0[1] + p2[1];
      const double a1r = p0[0] - p2[0], a1i = p0[1] - p2[1];
      const double b0r = p1[0] + p3[0], b0i = p1[1] + p3[1];
      const double b1r = -S * (p1[1] - p3[1]), b1i = S * (p1[0] - p3[0]);
      p0[0] = a0r + b0r;
      p0[1] = a0i + b0i;
      p1[0] = a0r - b0r;
      p1[1] = a0i - b0i;
      p2[0] = a1r + b1r;
      p2[1] = a1i + b1i;
      p3[0] = a1r - b1r;
      p3[1] = a1i - b1i;
      mul(p1[0], p1[1], w2 + 2 * j);
      mul(p2[0], p2[1], w1 + 2 * j);
      mul(p3[0], p3[1], w3 + 2 * j);
    }
  }
}

void PortableRadix4(double* c, size_t q, size_t count, size_t blocks, const double* w1, const double* w2,
                    const double* w3, int sign) {
  if (sign > 0)
    PortableRadix4T<1>(c, q, count, blocks, w1, w2, w3);
  else
    PortableRadix4T<-1>(c, q, count, blocks, w1, w2, w3);
}

void PortableRadix4Last(double* c, size_t points, int sign) {
  static const double one[2] = {1.0, 0.0};
  for (size_t k = 0; k < points; k += 4) PortableRadix4(c + 2 * k, 1, 1, 1, one, one, one, sign);
}

void PortableRadix2Last(double* c, size_t points) {
  for (size_t k = 0; k < points; k += 2, c += 4) {
    const double r = c[0] - c[2], i = c[1] - c[3];
    c[0] += c[2];
    c[1] += c[3];
    c[2] = r;
    c[3] = i;
  }
}

void PortableTwiddles(const double* hi, const double* lo, size_t count, double* w1, double* w2, double* w3) {
  for (size_t j = 0; j < count; ++j) {
    const double ar = lo[2 * j] * hi[0] - lo[2 * j + 1] * hi[1], ai = lo[2 * j] * hi[1] + lo[2 * j + 1] * hi[0];
    const double br = ar * ar - ai * ai, bi = 2 * ar * ai;
    w1[2 * j] = ar;
    w1[2 * j + 1] = ai;
    w2[2 * j] = br;
    w2[2 * j + 1] = bi;
    w3[2 * j] = br * ar - bi * ai;
    w3[2 * j + 1] = br * ai + bi * ar;
  }
}

// The last pass and the permutation together (see FftKernels::lastAndReverse).
// The 2^kRevBits × 2^kRevBits points (a, b, c) of a middle value b are read
// row by row (a fixed, c running over contiguous points), get their last
// butterflies and go into a small buffer at rev(c)·kSide + rev(a); the buffer
// is then written row by row to the block of rev(b). Every access to the array
// is a run of contiguous points; the scatter happens in the buffer, in L1.
void PortableLastAndReverse(double* data, int lg, int radix, int sign) {
  constexpr unsigned long kSide = 1ul << kFftRevBits;
  unsigned long rev[kSide];
  for (unsigned long k = 0; k < kSide; ++k) rev[k] = ReverseBits(k, kFftRevBits);
  const int mid = lg - 2 * kFftRevBits;
  const int highShift = lg - kFftRevBits;
  double bufX[2 * kSide * kSide], bufY[2 * kSide * kSide];
  auto gather = [&](unsigned long b, double* buf) {
    for (unsigned long a = 0; a < kSide; ++a) {
      double* row = data + 2 * ((a << highShift) | (b << kFftRevBits));
      if (radix == 4)
        PortableRadix4Last(row, kSide, sign);
      else if (radix == 2)
        PortableRadix2Last(row, kSide);
      double* col = buf + 2 * rev[a];
      for (unsigned long c = 0; c < kSide; ++c) {
        col[2 * kSide * rev[c]] = row[2 * c];
        col[2 * kSide * rev[c] + 1] = row[2 * c + 1];
      }
    }
  };
  auto scatter = [&](const double* buf, unsigned long b) {
    for (unsigned long a = 0; a < kSide; ++a)
      std::copy_n(buf + 2 * kSide * a, 2 * kSide, data + 2 * ((a << highShift) | (b << kFftRevBits)));
  };
  for (unsigned long b = 0; b < (1ul << mid); ++b) {
    const unsigned long rb = ReverseBits(b, mid);
    if (rb < b) continue;
    gather(b, bufX);
    if (rb != b) {
      gather(rb, bufY);
      scatter(bufY, b);
    }
    scatter(bufX, rb);
  }
}

void PortableRealSplit(double* X, unsigned long M, unsigned long k0, unsigned long count, const double* roots,
                       int sign) {
  for (unsigned long k = k0; k < k0 + count; ++k)
    SplitBinPair(X, M, k, roots[2 * (k - k0)], sign * roots[2 * (k - k0) + 1]);
}

const FftKernels kPortable{PortableRadix4,   PortableRadix4Last,     PortableRadix2Last,
                           PortableTwiddles, PortableLastAndReverse, PortableRealSplit};

std::atomic<bool> forcePortable{false};

}  // namespace

const FftKernels& PortableFftKernels() { return kPortable; }

const FftKernels& ActiveFftKernels() {
  static const FftKernels* best = [] {
    const FftKernels* vector = Avx2FftKernels();
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    __builtin_cpu_init();
    if (vector && __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return vector;
#endif
    (void)vector;
    return &PortableFftKernels();
  }();
  return forcePortable.load(std::memory_order_relaxed) ? PortableFftKernels() : *best;
}

void ForcePortableFftKernels(bool portable) { forcePortable.store(portable); }

void RootsOfUnity(size_t L, size_t j0, size_t count, double* out) {
  const Level& level = LevelFor(Log2(L));
  for (size_t j = j0; j < j0 + count; ++j) {
    double* w = out + 2 * (j - j0);
    if (!level.w1.empty()) {
      w[0] = level.w1[2 * j];
      w[1] = level.w1[2 * j + 1];
    } else {
      const double* h = &level.hi[2 * (j / kChunk)];
      const double* l = &level.lo[2 * (j % kChunk)];
      w[0] = l[0] * h[0] - l[1] * h[1];
      w[1] = l[0] * h[1] + l[1] * h[0];
    }
  }
}

const double* RootsOfUnityTable(size_t L) {
  const Level& level = LevelFor(Log2(L));
  return level.w1.empty() ? nullptr : level.w1.data();
}

void four1(double data[], unsigned long nn, int isign) {
  if (nn < 2) return;
  double* c = data + 1;
  const Transform t{ActiveFftKernels(), isign >= 0 ? 1 : -1};
  const int lg = Log2(nn);
  if (lg < 2 * kFftRevBits) {
    t.Depth(c, nn, true);
    SwapReverse(c, lg);
    return;
  }
  // The last pass goes with the permutation: radix 4 when the passes before
  // it left blocks of 4 points, 2 when they left pairs.
  t.Depth(c, nn, false);
  t.k.lastAndReverse(c, lg, lg % 2 == 0 ? 4 : 2, t.sign);
}
