#include "util/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kExactPow10 = 22;  // 10^22 is the largest power of ten a double holds exactly

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// a × 10^j with one or two correctly rounded operations on exact powers of
// ten: the result is within 2.3e-16 of the true product, relatively.
[[gnu::always_inline]] inline double ScaleByPow10(double a, int j) {
  if (j >= 0) return j <= kExactPow10 ? a * kPow10[j] : a * kPow10[kExactPow10] * kPow10[j - kExactPow10];
  j = -j;
  return j <= kExactPow10 ? a / kPow10[j] : a / kPow10[kExactPow10] / kPow10[j - kExactPow10];
}

struct Rounded {
  uint32_t n;    // the significant digits, in [10^(digits-1), 10^digits)
  int exponent;  // the decimal exponent of the first digit
  bool ok;
};

// Rounds a (positive, normal) to kDigits significant decimal digits (7 or 9).
// The scaled value is at most 2.3e-7 from the exact one, so the nearest
// integer is certain unless the scaled value lies within 1e-6 of a midpoint;
// there (ties included) and outside the scales handled, ok is false and the
// caller takes the exact conversion.
template <int kDigits>
[[gnu::always_inline]] inline Rounded RoundSignificant(double a) {
  uint64_t bits;
  std::memcpy(&bits, &a, sizeof bits);
  const int binary = static_cast<int>(bits >> 52) - 1023;
  if (binary == -1023) return {0, 0, false};  // subnormal
  // floor(binary × log10 2), exact for every binary exponent of a double: the
  // decimal exponent or one less.
  int exponent = (binary * 78913) >> 18;
  int j = kDigits - 1 - exponent;
  if (j > 2 * kExactPow10 || j < -2 * kExactPow10 + 1) return {0, 0, false};
  constexpr double kLimit = kPow10[kDigits];
  double scaled = ScaleByPow10(a, j);
  if (scaled >= kLimit) {
    ++exponent;
    scaled = ScaleByPow10(a, --j);
  }
  const uint32_t whole = static_cast<uint32_t>(scaled);  // scaled < 10^9: exact, and so is the fraction
  const double fraction = scaled - static_cast<double>(whole);
  if (std::fabs(fraction - 0.5) < 1e-6) return {0, 0, false};
  uint32_t n = whole + (fraction > 0.5);
  if (n == static_cast<uint32_t>(kLimit)) {
    n /= 10;
    ++exponent;
  }
  return {n, exponent, true};
}

// Four decimal digits of n < 10000 at p.
[[gnu::always_inline]] inline void PutFour(char* p, uint32_t n) {
  const uint32_t high = n / 100;
  std::memcpy(p, kDigitPairs + 2 * high, 2);
  std::memcpy(p + 2, kDigitPairs + 2 * (n - 100 * high), 2);
}

// "e+05", "e-12", "e+300": the sign and at least two digits.
inline char* PutExponent(char* p, int exponent) {
  *p++ = 'e';
  *p++ = exponent < 0 ? '-' : '+';
  unsigned e = static_cast<unsigned>(exponent < 0 ? -exponent : exponent);
  if (e >= 100) {
    *p++ = static_cast<char>('0' + e / 100);
    e %= 100;
  }
  std::memcpy(p, kDigitPairs + 2 * e, 2);
  return p + 2;
}

}  // namespace

namespace {

// printf("%.<kDigits − 1>e", v) for 5 or 7 significant digits.
template <int kDigits>
char* WriteScientific(char* p, double v) {
  constexpr int kPrecision = kDigits - 1;
  if (!std::isfinite(v)) return std::to_chars(p, p + kMaxNumberText, v, std::chars_format::scientific, kPrecision).ptr;
  if (std::signbit(v)) *p++ = '-';
  const double a = std::fabs(v);
  if (a == 0) {
    std::memcpy(p, "0.000000", kDigits + 1);
    return PutExponent(p + kDigits + 1, 0);
  }
  const Rounded r = RoundSignificant<kDigits>(a);
  if (!r.ok) return std::to_chars(p, p + kMaxNumberText, a, std::chars_format::scientific, kPrecision).ptr;
  constexpr uint32_t kFirst = kDigits == 7 ? 1000000 : 10000;
  const uint32_t first = r.n / kFirst, rest = r.n - kFirst * first;
  p[0] = static_cast<char>('0' + first);
  p[1] = '.';
  if constexpr (kDigits == 7) {
    const uint32_t high = rest / 10000;
    std::memcpy(p + 2, kDigitPairs + 2 * high, 2);
    PutFour(p + 4, rest - 10000 * high);
  } else {
    PutFour(p + 2, rest);
  }
  return PutExponent(p + kDigits + 1, r.exponent);
}

}  // namespace

char* WriteScientific4(char* p, double v) { return WriteScientific<5>(p, v); }

char* WriteScientific6(char* p, double v) { return WriteScientific<7>(p, v); }

char* WriteGeneral9(char* p, double v) {
  if (!std::isfinite(v)) return std::to_chars(p, p + kMaxNumberText, v, std::chars_format::general, 9).ptr;
  if (std::signbit(v)) *p++ = '-';
  const double a = std::fabs(v);
  if (a == 0) {
    *p = '0';
    return p + 1;
  }
  const Rounded r = RoundSignificant<9>(a);
  if (!r.ok) return std::to_chars(p, p + kMaxNumberText, a, std::chars_format::general, 9).ptr;
  const int exponent = r.exponent;
  char digits[9];
  const uint32_t first = r.n / 100000000, rest = r.n - 100000000 * first;
  const uint32_t high = rest / 10000;
  digits[0] = static_cast<char>('0' + first);
  PutFour(digits + 1, high);
  PutFour(digits + 5, rest - 10000 * high);
  int kept = 9;  // %g drops trailing zeros of the fraction
  while (digits[kept - 1] == '0') --kept;
  if (exponent < -4 || exponent >= 9) {
    *p++ = digits[0];
    if (kept > 1) {
      *p++ = '.';
      std::memcpy(p, digits + 1, static_cast<size_t>(kept - 1));
      p += kept - 1;
    }
    return PutExponent(p, exponent);
  }
  if (exponent < 0) {
    std::memcpy(p, "0.0000", static_cast<size_t>(1 - exponent));
    p += 1 - exponent;
    std::memcpy(p, digits, static_cast<size_t>(kept));
    return p + kept;
  }
  const int whole = exponent + 1;
  std::memcpy(p, digits, static_cast<size_t>(whole));
  p += whole;
  if (kept > whole) {
    *p++ = '.';
    std::memcpy(p, digits + whole, static_cast<size_t>(kept - whole));
    p += kept - whole;
  }
  return p;
}
