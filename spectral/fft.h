#pragma once
// In-place complex FFT of the published 1-based routine.

/// data[1..2·nn] holds nn complex values interleaved (re, im); data[0] is unused.
/// nn must be a power of two. Computes X[k] = Σ_j x[j]·exp(isign·2πi·jk/nn),
/// unnormalised: a transform with +1 then −1 returns the input times nn.
void four1(double data[], unsigned long nn, int isign);
