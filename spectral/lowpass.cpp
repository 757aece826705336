#include "spectral/lowpass.h"

#include <array>
#include <cstddef>
#include <vector>

#include "spectral/lowpass_kernels.h"

namespace {

// The design table, with the zero-frequency gain of each row's coefficients:
// Σ numerator weights (2^order) over 1 − Σ c.
constexpr std::array<LowPassDesign, 6> MakeDesigns() {
  std::array<LowPassDesign, 6> designs = {{
      {8,
       5,
       {-0.0008613684, 0.0122466702, -0.0820901316, 0.3191759432, -0.8694409155, 1.532625563, -2.0838133, 1.590566496},
       440.1718407,
       0.0},
      {8,
       10,
       {-0.0372001007, 0.417217157, -2.079273803, 6.025260397, -11.12933104, 13.45771989, -10.44504107, 4.784514895},
       41736.84699,
       0.0},
      {8,
       20,
       {-0.1981000116, 1.903668891, -8.040995933, 19.50563177, -29.73137544, 29.17109938, -18.00033834, 6.390364563},
       5673585.908,
       0.0},
      {4, 50, {-0.7199103273, 3.115966925, -5.067998387, 3.671729089}, 75223.43863, 0.0},
      {4, 100, {-0.8485559993, 3.53353522, -5.520819137, 3.835825541}, 1112983.215, 0.0},
      {4, 200, {-0.9211819292, 3.760349508, -5.757076379, 3.917907865}, 17108222.97, 0.0},
  }};
  for (LowPassDesign& d : designs) {
    double feedback = 0.0;
    for (int i = 0; i < d.order; ++i) feedback += d.c[i];
    d.gain = static_cast<double>(1 << d.order) / (1.0 - feedback);
  }
  return designs;
}
constexpr std::array<LowPassDesign, 6> kDesigns = MakeDesigns();

}  // namespace

const LowPassDesign* LowPassDesignOf(int corner) {
  return corner >= 1 && corner <= 6 ? &kDesigns[corner - 1] : nullptr;
}

int LowPassCornerSamples(int corner) {
  const LowPassDesign* design = LowPassDesignOf(corner);
  return design ? design->cornerSamples : 0;
}

double LowPassStep(LowPassState& s, double x, int corner, int ch) {
  const LowPassDesign* design = LowPassDesignOf(corner);
  if (!design || ch < 0 || ch >= kLowPassChannels) return x;
  double* xv = s.xv[ch];
  double* yv = s.yv[ch];
  const double* c = design->c;
  if (design->order == 8) {
    for (int i = 0; i < 8; ++i) {
      xv[i] = xv[i + 1];
      yv[i] = yv[i + 1];
    }
    xv[8] = x;
    double y = (xv[0] + xv[8]) + 8 * (xv[1] + xv[7]) + 28 * (xv[2] + xv[6]) + 56 * (xv[3] + xv[5]) + 70 * xv[4] +
               (c[0] * yv[0]) + (c[1] * yv[1]) + (c[2] * yv[2]) + (c[3] * yv[3]) + (c[4] * yv[4]) + (c[5] * yv[5]) +
               (c[6] * yv[6]) + (c[7] * yv[7]);
    if (y < 1e-200 && y > -1e-200) y = 0.0;
    yv[8] = y;
    return y / design->gain;
  }
  for (int i = 0; i < 4; ++i) {
    xv[i] = xv[i + 1];
    yv[i] = yv[i + 1];
  }
  xv[4] = x;
  double y = (xv[0] + xv[4]) + 4 * (xv[1] + xv[3]) + 6 * xv[2] + (c[0] * yv[0]) + (c[1] * yv[1]) + (c[2] * yv[2]) +
             (c[3] * yv[3]);
  yv[4] = y;
  return y / design->gain;
}

namespace {

// LowPassStep over a block with the histories in locals (registers once the
// constant shifts are unrolled), written back to the state at the end: the
// same operations in the same order, so the same results.
template <int Order>
void RunBlock(double* xv, double* yv, const LowPassDesign& d, const double* in, double* out, int n) {
  double x[Order + 1], y[Order + 1];
  for (int i = 0; i <= Order; ++i) {
    x[i] = xv[i];
    y[i] = yv[i];
  }
  const double* c = d.c;
  const double gain = d.gain;
  for (int k = 0; k < n; ++k) {
#pragma GCC unroll 8
    for (int i = 0; i < Order; ++i) {
      x[i] = x[i + 1];
      y[i] = y[i + 1];
    }
    x[Order] = in[k];
    double v;
    if constexpr (Order == 8) {
      v = (x[0] + x[8]) + 8 * (x[1] + x[7]) + 28 * (x[2] + x[6]) + 56 * (x[3] + x[5]) + 70 * x[4] + (c[0] * y[0]) +
          (c[1] * y[1]) + (c[2] * y[2]) + (c[3] * y[3]) + (c[4] * y[4]) + (c[5] * y[5]) + (c[6] * y[6]) + (c[7] * y[7]);
      if (v < 1e-200 && v > -1e-200) v = 0.0;
    } else {
      v = (x[0] + x[4]) + 4 * (x[1] + x[3]) + 6 * x[2] + (c[0] * y[0]) + (c[1] * y[1]) + (c[2] * y[2]) + (c[3] * y[3]);
    }
    y[Order] = v;
    out[k] = v / gain;
  }
  for (int i = 0; i <= Order; ++i) {
    xv[i] = x[i];
    yv[i] = y[i];
  }
}

}  // namespace

void LowPassBlock(LowPassState& s, const double* in, double* out, int n, int corner, int ch) {
  const LowPassDesign* design = LowPassDesignOf(corner);
  if (!design || ch < 0 || ch >= kLowPassChannels) {
    for (int i = 0; i < n; ++i) out[i] = in[i];
    return;
  }
  if (design->order == 8)
    RunBlock<8>(s.xv[ch], s.yv[ch], *design, in, out, n);
  else
    RunBlock<4>(s.xv[ch], s.yv[ch], *design, in, out, n);
}

void LowPassRowsPortable(LowPassState& s, double* rows, int n, unsigned channelMask, int corner) {
  std::vector<double> column(static_cast<std::size_t>(n > 0 ? n : 0));
  for (int ch = 0; ch < kLowPassChannels; ++ch) {
    if (!(channelMask >> ch & 1u)) continue;
    for (int r = 0; r < n; ++r)
      column[static_cast<std::size_t>(r)] = rows[static_cast<std::size_t>(r) * kLowPassRowStride + ch];
    LowPassBlock(s, column.data(), column.data(), n, corner, ch);
    for (int r = 0; r < n; ++r)
      rows[static_cast<std::size_t>(r) * kLowPassRowStride + ch] = column[static_cast<std::size_t>(r)];
  }
}

namespace {

LowPassRowsKernel ChooseRowsKernel() {
  LowPassRowsKernel wide = Avx512LowPassRows(), vector = Avx2LowPassRows();
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  __builtin_cpu_init();
  if (wide && __builtin_cpu_supports("avx512f")) return wide;
  if (vector && __builtin_cpu_supports("avx2")) return vector;
#endif
  (void)wide;
  (void)vector;
  return nullptr;
}

}  // namespace

void LowPassRows(LowPassState& s, double* rows, int n, unsigned channelMask, int corner) {
  static const LowPassRowsKernel vector = ChooseRowsKernel();
  const LowPassDesign* design = LowPassDesignOf(corner);
  channelMask &= (1u << kLowPassChannels) - 1;
  if (!design || n <= 0 || channelMask == 0) return;
  if (vector)
    vector(s, *design, rows, n, channelMask);
  else
    LowPassRowsPortable(s, rows, n, channelMask, corner);
}
