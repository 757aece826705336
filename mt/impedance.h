#pragma once
// Impedance tensor estimates per frequency band for the MT display.

struct AppState;

/// Fills ZZ, ZZPhase and ZZStd of the four MT panels and sets PlotCount to the band count.
void EstimateImpedance(AppState& s);
