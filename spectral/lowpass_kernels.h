#pragma once
// The two ways LowPassRows filters: channel by channel through LowPassBlock
// (any processor), and the AVX2 kernel that filters four channels per
// register (spectral/lowpass_avx2.cpp). Both give the same bits; tests run both.

#include "spectral/lowpass.h"

/// LowPassRows channel by channel.
void LowPassRowsPortable(LowPassState& s, double* rows, int n, unsigned channelMask, int corner);

using LowPassRowsKernel = void (*)(LowPassState& s, const LowPassDesign& design, double* rows, int n,
                                   unsigned channelMask);

/// The AVX2 kernel, or nullptr when the program was built without it. Call it
/// only when the processor has AVX2; channelMask holds bits 0 … 5 only.
LowPassRowsKernel Avx2LowPassRows();
