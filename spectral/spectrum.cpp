#include "spectral/spectrum.h"

#include "app/state.h"

int RunSpectrumPipeline(AppState& s) {
  if (s.AppResOn) {
    int found = 0;
    for (int ch = 0; ch < kChannels; ++ch) {
      if (!s.OutHeader.ChannelEnabled[ch]) continue;
      int code = s.OutHeader.ChannelLabel[ch];
      if (code == kLabelHx || code == kLabelHy || code == kLabelEx || code == kLabelEy) ++found;
    }
    if (found < 3) {
      s.AppResOn = 0;
      s.FourierOn = 0;
      return 0;
    }
  }
  // The transforms are not computed yet: the spectral panels stay empty.
  s.FftLength = 0;
  s.FreqStep = 0;
  return 1;
}
