#pragma once
// The recursive Butterworth low-pass filter of the display path and the file
// writers: order 8 for the corners of 5, 10 and 20 samples, order 4
// for 50, 100 and 200. Callers own the filter state (LowPassState) and keep
// it for as long as their samples form one stream.

constexpr int kLowPassChannels = 6;  // one history per recorder channel
constexpr int kLowPassTaps = 9;      // histories hold order + 1 values (order 8 or 4)

/// The histories of every channel, zero at rest. Both orders share a
/// channel's histories: changing the corner carries the old history into the
/// new filter. Order 4 uses entries 0 … 4 only.
struct LowPassState {
  double xv[kLowPassChannels][kLowPassTaps] = {};  // inputs, the latest at [order]
  double yv[kLowPassChannels][kLowPassTaps] = {};  // outputs before the division by the gain
};

/// One row of the coefficient table: the bilinear-transform Butterworth design
/// for a cut-off of fs / cornerSamples.
struct LowPassDesign {
  int order;          // 8 or 4
  int cornerSamples;  // 5, 10, 20, 50, 100 or 200
  double c[8];        // feedback coefficients c[0 … order−1], oldest output first
  double tableGain;   // G as the design table gives it
  double gain;        // the gain at zero frequency of these coefficients: Σ weights / (1 − Σ c)
};

/// The design of corner index 1 … 6; nullptr for any other index. The output is
/// divided by gain, the zero-frequency gain of the coefficients as tabled: the
/// table's G belongs to the unrounded design and differs from it by up to
/// 3.3e−5, which would leave a constant input 3.3e−5 off at the output.
const LowPassDesign* LowPassDesignOf(int corner);

/// The corner in samples of corner index 1 … 6 (5, 10, 20, 50, 100, 200); 0 otherwise.
int LowPassCornerSamples(int corner);

/// Feeds sample x of channel ch (0 … 5) through the filter of the corner index
/// (1 … 6) and returns the filtered sample, advancing the channel's histories
/// in s; the order-8 filter flushes outputs below
/// 1e−200 in magnitude to 0. An index or a channel out of range returns x and
/// leaves every state as it was.
double LowPassStep(LowPassState& s, double x, int corner, int ch);

/// LowPassStep for in[0 … n) into out (which may be in), the histories held
/// in registers over the block: the same results and final state bit for bit.
void LowPassBlock(LowPassState& s, const double* in, double* out, int n, int corner, int ch);

constexpr int kLowPassRowStride = 8;  // doubles per row of LowPassRows (six channels, two spare)

/// LowPassBlock for several channels at once over rows of interleaved samples:
/// rows[r · kLowPassRowStride + ch] is sample r of channel ch (0 … 5). Every
/// channel whose bit is set in channelMask is filtered in place and has its
/// histories advanced; the entries of the other channels and of the spare
/// columns are left as they were. The same results bit for bit as LowPassBlock
/// per channel; vector units filter the channels side by side when the
/// processor has them.
void LowPassRows(LowPassState& s, double* rows, int n, unsigned channelMask, int corner);
