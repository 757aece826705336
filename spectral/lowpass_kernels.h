#pragma once
// The ways LowPassRows filters: channel by channel through LowPassBlock
// (any processor), the AVX2 kernel that filters four channels per register
// (spectral/lowpass_avx2.cpp) and the AVX-512 kernel that filters all six in
// one (spectral/lowpass_avx512.cpp). All give the same bits; tests run each.

#include "spectral/lowpass.h"

/// LowPassRows channel by channel.
void LowPassRowsPortable(LowPassState& s, double* rows, int n, unsigned channelMask, int corner);

using LowPassRowsKernel = void (*)(LowPassState& s, const LowPassDesign& design, double* rows, int n,
                                   unsigned channelMask);

/// The AVX2 kernel, or nullptr when the program was built without it. Call it
/// only when the processor has AVX2; channelMask holds bits 0 … 5 only.
LowPassRowsKernel Avx2LowPassRows();

/// The AVX-512 kernel, or nullptr when the program was built without it. Call
/// it only when the processor has AVX-512F; channelMask holds bits 0 … 5 only.
LowPassRowsKernel Avx512LowPassRows();
