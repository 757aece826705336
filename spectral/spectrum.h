#pragma once
// Spectra of the current page for the Fourier and MT displays.

struct AppState;

/// Computes the spectra of the enabled channels. Returns 0 when MT mode is on
/// and fewer than three of Hx, Hy, Ex, Ey are among the enabled channels
/// (AppResOn and FourierOn are then cleared), else 1.
int RunSpectrumPipeline(AppState& s);
