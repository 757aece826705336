#pragma once
// The recursive Butterworth low-pass filter of the display path and the file
// writers: order 8 for the corners of 5, 10 and 20 samples, order 4
// for 50, 100 and 200, one filter state per channel in AppState.

struct AppState;

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
/// (1 … 6) and returns the filtered sample. Both orders share the channel's
/// histories, which persist in s; the order-8 filter flushes outputs below
/// 1e−200 in magnitude to 0. An index or a channel out of range returns x and
/// leaves every state as it was.
double LowPassStep(AppState& s, double x, int corner, int ch);

/// LowPassStep for in[0 … n) into out (which may be in), n samples at a time.
void LowPassBlock(AppState& s, const double* in, double* out, int n, int corner, int ch);
/// LowPassBlock over the histories of one channel held by the caller: xv and
/// yv of 9 values each (order + 1 of the longer filter). An index out of range
/// copies in to out and leaves them as they were.
void LowPassChannelBlock(double* xv, double* yv, const double* in, double* out, int n, int corner);

/// The display path for channel ch (the per-channel step of ScaleRecordToUnits), over the
/// NumPlotPoints samples: with FilterOn, first primes the filter with the first
/// W values of yplotdata_prev[ch] (W the corner in samples of LowPassCorner),
/// then filters x = yplotdata_orig[ch][i]·factor into yplotdata[ch][i], storing
/// the last 199 inputs x at the start of yplotdata_prev[ch] for the next paint;
/// without it yplotdata[ch][i] = yplotdata_orig[ch][i]·factor. The value is
/// negated when OutHeader.ChannelInvert[ch] is set. yplotdata_prev[ch] is grown
/// to 200 entries if it is shorter.
void ScaleChannelForDisplay(AppState& s, int ch, double factor);
