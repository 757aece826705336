#pragma once
// Clears the upper halves of the AVX registers (vzeroupper) where the CPU has
// them. Library code compiled for AVX (Qt's raster engine) may return with
// them dirty; SSE code after it, such as libm's, then runs many times slower
// on some processors. Calling this after such library calls keeps the paint
// at full speed; elsewhere it is a no-op.

inline void ClearUpperVectorState() {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  static const bool avx = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx") != 0;
  }();
  if (avx) __asm__ volatile("vzeroupper");
#endif
}
