#pragma once
// Fixed-precision number text for large tables: the exact text of printf's
// "%.4e", "%.6e" and "%.9g" (correctly rounded, ties to even), several times faster
// than std::to_chars with a precision. Each writes at most kMaxNumberText
// characters at p, with no terminating zero, and returns the end.

inline constexpr int kMaxNumberText = 32;

/// printf("%.4e", v).
char* WriteScientific4(char* p, double v);

/// printf("%.6e", v).
char* WriteScientific6(char* p, double v);

/// printf("%.9g", v).
char* WriteGeneral9(char* p, double v);
