// The filtered copy of a block in one pass over its rows, the six channel
// slots of a row in one AVX-512 register: counts to millivolts, the low-pass
// step, back to counts, with no rows of doubles in between. Each lane goes
// through the operations of the portable conversions and of LowPassStep in
// their order, so the bytes and the histories are theirs. This file alone is
// compiled with -mavx512f and -ffp-contract=off (AVX-512F has fused
// multiply-adds of its own, and every product and sum here rounds on its
// own); it runs only after a run-time check.

#include <cstddef>

#include "datafile/sample_rows.h"

#if defined(__AVX512F__) && !defined(__FMA__)
// GCC 12 warns inside its own AVX-512 header, at the undefined first
// operand of the unmasked conversions, minimum and maximum.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>

#include "spectral/lowpass_avx512_rows.h"

namespace {

// DecodeSample, defined here: an inline function of a shared header compiled
// with -mavx512f could lend its AVX-512 copy to every other caller.
inline int32_t Decode(const uint8_t* b) {
  int32_t v = b[0] << 16 | b[1] << 8 | b[2];
  return v > 0x7FFFFF ? v - 0x1000000 : v;
}

inline __m128i LoadMask(const int8_t* mask) { return _mm_load_si128(reinterpret_cast<const __m128i*>(mask)); }

// What a block's rows share: where the counts sit in the input and output
// bytes, and the gains, span and signs of the conversions.
struct BlockLayout {
  // Input: a row's 3n bytes read as 16 from its start and 16 from inHigh on
  // (sample_rows_detail::DecodeShufflesOf).
  int inRow = 0, inHigh = 0;
  __m128i inLowMask, inHighMask;
  __m512d span, scale, gainIn, invIn;
  bool multiply = true;  // every input gain is a power of two: multiplying by its exact reciprocal gives the quotient
  __mmask8 keep = 0;     // the slots of the record's channels: filtered
  // Output: the first 16 bytes of a row are stored at once, a longer row's
  // last 16 from outTail on after them (sample_rows_detail::EncodeShufflesOf).
  int outRow = 0, outTail = 0;
  __m128i headLow, headHigh, tailLow, tailHigh;
  __m512d full, gainOut, signOut;

  BlockLayout(const int* slots, int n, const int32_t* gains, const OutputColumn* cols, int m, double spanMv) {
    alignas(64) double gin[8], inv[8], gout[8], sign[8];
    for (int k = 0; k < 8; ++k) gin[k] = inv[k] = gout[k] = 1.0, sign[k] = 0.0;
    for (int j = 0; j < n; ++j) {
      const int32_t g = gains[slots[j]];
      gin[slots[j]] = g;
      inv[slots[j]] = 1.0 / g;
      if (g <= 0 || (g & (g - 1)) != 0) multiply = false;
      keep = static_cast<__mmask8>(keep | 1u << slots[j]);
    }
    for (int j = 0; j < m; ++j) {
      if (!cols[j].carried) continue;
      gout[cols[j].slot] = cols[j].gain;
      sign[cols[j].slot] = cols[j].negate ? -0.0 : 0.0;
    }
    gainIn = _mm512_load_pd(gin), invIn = _mm512_load_pd(inv);
    gainOut = _mm512_load_pd(gout), signOut = _mm512_load_pd(sign);
    span = _mm512_set1_pd(spanMv);
    // Dividing by 2^24 and multiplying by 2^-24 round the same real number: the same bits.
    scale = _mm512_set1_pd(1.0 / 16777216.0);
    full = _mm512_set1_pd(16777216.0);

    inRow = 3 * n;
    const sample_rows_detail::DecodeShuffles decode = sample_rows_detail::DecodeShufflesOf(slots, n);
    inHigh = decode.highFrom;
    inLowMask = LoadMask(decode.low), inHighMask = LoadMask(decode.high);

    outRow = 3 * m;
    const sample_rows_detail::EncodeShuffles encode = sample_rows_detail::EncodeShufflesOf(cols, m);
    outTail = encode.tailFrom;
    headLow = LoadMask(encode.headLow), headHigh = LoadMask(encode.headHigh);
    tailLow = LoadMask(encode.tailLow), tailHigh = LoadMask(encode.tailHigh);
  }

  // The counts of a row as millivolts at the input, lane k for slot k.
  inline __m512d Millivolts(__m256i counts) const {
    const __m512d v = _mm512_mul_pd(_mm512_mul_pd(_mm512_cvtepi32_pd(counts), span), scale);
    return multiply ? _mm512_mul_pd(v, invIn) : _mm512_div_pd(v, gainIn);
  }
  inline __m256i CountsAt(const uint8_t* p) const {
    const __m128i a =
        _mm_srai_epi32(_mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), inLowMask), 8);
    const __m128i b =
        _mm_srai_epi32(_mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + inHigh)), inHighMask), 8);
    return _mm256_inserti128_si256(_mm256_castsi128_si256(a), b, 1);
  }
  // The same for a row near the block's end, a count at a time.
  inline __m256i CountsOneByOne(const uint8_t* p, const int* slots, int n) const {
    alignas(32) int32_t counts[8] = {};
    for (int j = 0; j < n; ++j, p += 3) counts[slots[j]] = Decode(p);
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(counts));
  }

  // y with the sign of the inverted columns' lanes flipped (an exclusive or: AVX-512F has it for integers only).
  inline __m512d Negated(__m512d y) const {
    return _mm512_castsi512_pd(_mm512_xor_si512(_mm512_castpd_si512(y), _mm512_castpd_si512(signOut)));
  }
  // EncodeSample's counts of a row of millivolts: ±y · 2^24 · gain / span,
  // floor, NaN as 0, saturated to 24 bits.
  inline __m256i Counts(__m512d y) const {
    const __m512d x = _mm512_div_pd(_mm512_mul_pd(_mm512_mul_pd(Negated(y), full), gainOut), span);
    __m512d f = _mm512_roundscale_pd(x, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
    f = _mm512_maskz_mov_pd(_mm512_cmp_pd_mask(x, x, _CMP_ORD_Q), f);
    f = _mm512_max_pd(f, _mm512_set1_pd(-8388608.0));
    f = _mm512_min_pd(f, _mm512_set1_pd(8388607.0));
    return _mm512_cvttpd_epi32(f);
  }
  // Stores a row's bytes at q; the head's bytes past a short row belong to the next row, written after it.
  inline void Store(__m256i counts, uint8_t* q) const {
    const __m128i c0 = _mm256_castsi256_si128(counts), c1 = _mm256_extracti128_si256(counts, 1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(q),
                     _mm_or_si128(_mm_shuffle_epi8(c0, headLow), _mm_shuffle_epi8(c1, headHigh)));
    if (outTail)
      _mm_storeu_si128(reinterpret_cast<__m128i*>(q + outTail),
                       _mm_or_si128(_mm_shuffle_epi8(c0, tailLow), _mm_shuffle_epi8(c1, tailHigh)));
  }
  // The same for a row near the block's end, a count at a time.
  inline void StoreOneByOne(__m256i counts, uint8_t* q, const OutputColumn* cols, int m) const {
    alignas(32) int32_t c[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(c), counts);
    for (int j = 0; j < m; ++j) {
      const uint32_t u = cols[j].carried ? static_cast<uint32_t>(c[cols[j].slot]) & 0xFFFFFFu : 0u;
      q[3 * j] = static_cast<uint8_t>(u >> 16);
      q[3 * j + 1] = static_cast<uint8_t>(u >> 8);
      q[3 * j + 2] = static_cast<uint8_t>(u);
    }
  }
};

// The rows of a block in software pipeline around the recursion: when the
// recursion asks for row r, row r + kAhead is decoded, and when it hands row r
// back, row r − kAhead is encoded. Neither waits for the recursion's chain
// from one row to the next, so the processor runs them beside it. Rows whose
// 16-byte reads and stores stay inside the blocks use them; the last few go a
// count at a time.
class PipelinedBlock {
 public:
  static constexpr std::size_t kAhead = 8, kRing = 16;

  PipelinedBlock(const uint8_t* block, std::size_t rows, const int* slots, int n, const OutputColumn* cols, int m,
                 const BlockLayout& layout, uint8_t* out)
      : block_(block), out_(out), rows_(rows), slots_(slots), cols_(cols), n_(n), m_(m), L_(layout) {
    fastIn_ = Within(L_.inRow), fastOut_ = Within(L_.outRow);
    for (std::size_t r = 0; r < kAhead && r < rows_; ++r) Decode(r);
  }
  __m512d In(std::size_t r) {
    if (r + kAhead < rows_) Decode(r + kAhead);
    return decoded_[r % kRing];
  }
  void Out(std::size_t r, __m512d y) {
    filtered_[r % kRing] = y;
    if (r >= kAhead) Encode(r - kAhead);
  }
  // Encodes the rows the recursion has handed back last.
  void Finish() {
    for (std::size_t r = rows_ > kAhead ? rows_ - kAhead : 0; r < rows_; ++r) Encode(r);
  }

 private:
  // The rows r whose 16-byte access stays inside the block: r · rowBytes +
  // max(rowBytes, 16) <= rows · rowBytes, all but the last
  // ceil((16 − rowBytes) / rowBytes) of a row shorter than 16 bytes.
  std::size_t Within(int rowBytes) const {
    if (rowBytes >= 16) return rows_;
    const std::size_t extra = static_cast<std::size_t>((16 - rowBytes + rowBytes - 1) / rowBytes);
    return rows_ > extra ? rows_ - extra : 0;
  }
  __attribute__((always_inline)) void Decode(std::size_t row) {
    const uint8_t* p = block_ + row * static_cast<std::size_t>(L_.inRow);
    decoded_[row % kRing] = L_.Millivolts(row < fastIn_ ? L_.CountsAt(p) : L_.CountsOneByOne(p, slots_, n_));
  }
  __attribute__((always_inline)) void Encode(std::size_t row) {
    uint8_t* q = out_ + row * static_cast<std::size_t>(L_.outRow);
    const __m256i counts = L_.Counts(filtered_[row % kRing]);
    if (row < fastOut_)
      L_.Store(counts, q);
    else
      L_.StoreOneByOne(counts, q, cols_, m_);
  }

  const uint8_t* block_;
  uint8_t* out_;
  std::size_t rows_, fastIn_ = 0, fastOut_ = 0;
  const int* slots_;
  const OutputColumn* cols_;
  int n_, m_;
  const BlockLayout& L_;
  alignas(64) __m512d decoded_[kRing], filtered_[kRing];
};

void Kernel(const uint8_t* block, int samps, const int* slots, int n, const int32_t* gains, const OutputColumn* cols,
            int m, double span, const LowPassDesign& d, LowPassState& s, uint8_t* out) {
  const BlockLayout layout(slots, n, gains, cols, m, span);
  const std::size_t rows = samps > 0 ? static_cast<std::size_t>(samps) : 0;
  PipelinedBlock pipeline(block, rows, slots, n, cols, m, layout, out);
  if (d.order == 8)
    RunLowPassRows<8>(s, d, layout.keep, rows, pipeline);
  else
    RunLowPassRows<4>(s, d, layout.keep, rows, pipeline);
  pipeline.Finish();
}

}  // namespace

namespace sample_rows_detail {
OnePassKernel Avx512OnePass() { return &Kernel; }
}  // namespace sample_rows_detail

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#else

namespace sample_rows_detail {
OnePassKernel Avx512OnePass() { return nullptr; }
}  // namespace sample_rows_detail

#endif
