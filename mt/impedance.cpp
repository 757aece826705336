#include "mt/impedance.h"

#include "app/state.h"

void EstimateImpedance(AppState& s) {
  // No bands are estimated yet: the MT panels stay empty.
  s.PlotCount = 0;
}
