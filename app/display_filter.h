#pragma once
// The display filter: each channel's plotted series rebuilt from the raw
// counts, low-pass filtered when FilterOn, with the filter's histories
// (AppState::DisplayFilter) and the priming inputs kept in the state from one
// full redraw to the next.

struct AppState;

/// The display path for channel ch (the per-channel step of ScaleRecordToUnits), over the
/// NumPlotPoints samples: with FilterOn, first primes the filter with the first
/// W values of yplotdata_prev[ch] (W the corner in samples of LowPassCorner),
/// then filters x = yplotdata_orig[ch][i]·factor into yplotdata[ch][i], storing
/// the last 199 inputs x at the start of yplotdata_prev[ch] for the next paint;
/// without it yplotdata[ch][i] = yplotdata_orig[ch][i]·factor. The value is
/// negated when OutHeader.ChannelInvert[ch] is set. yplotdata_prev[ch] is grown
/// to 200 entries if it is shorter.
void ScaleChannelForDisplay(AppState& s, int ch, double factor);
