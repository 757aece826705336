// The spectrum and MT chain on a small fuzzed recording: power spectra with
// each window, the notch, then the impedance estimates and their tables.

#include "app/commands.h"
#include "platform/headless/recording_surface.h"
#include "plot/paint.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Started& started = fuzz::State();
  AppState& s = started.s;
  started.Reset();
  fuzz::ClearFolder();
  const uint8_t options = size ? data[size - 1] : 0;
  const std::string path = fuzz::WriteFile("site.bin", data, size);
  started.host.AnswerOpen(path, options & 0x40 ? "2" : "1");
  if (CmdOpenFile(s)) {
    RecordingSurface surface(400, 300);
    s.WindowType = options & 3;
    s.NotchOn = (options >> 2) & 1;
    s.LogX = (options >> 3) & 1;
    s.FourierOn = 1;
    s.LogY = 1;
    s.RedrawAll = 1;
    PaintPlotWindow(s, surface);
    s.AppResOn = 1;
    s.CoherOn = (options >> 4) & 1;
    s.AmplPhaseOn = (options >> 5) & 1;
    s.RedrawAll = 1;
    PaintPlotWindow(s, surface);
    s.FourierOn = s.AppResOn = s.LogX = s.LogY = s.CoherOn = s.AmplPhaseOn = 0;
    s.RedrawAll = 1;
  }
  fuzz::CheckUnchanged(path, data, size);
  return 0;
}
