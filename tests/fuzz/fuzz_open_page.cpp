// Opening a fuzzed recording over the one open before, then paging forward and
// back through it at several "Records/Plot" values, and drawing the page.

#include "app/commands.h"
#include "datafile/loader.h"
#include "platform/headless/recording_surface.h"
#include "plot/paint.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char* const kPerPlot[] = {"1", "2", "3", "7", "2000", "2000000000"};
  fuzz::Started& started = fuzz::State();
  AppState& s = started.s;
  started.Reset();
  const size_t choice = size ? data[size - 1] % 6 : 0;
  const std::string path = fuzz::WriteFile("page.bin", data, size);
  started.host.AnswerOpen(path, kPerPlot[choice]);
  if (CmdOpenFile(s)) {
    RecordingSurface surface(400, 300);
    for (int step = 0; step < 4; ++step) CmdStepForward(s);
    PaintPlotWindow(s, surface);
    for (int step = 0; step < 5; ++step) CmdStepBack(s);
    s.RedrawAll = 1;
    PaintPlotWindow(s, surface);
  }
  fuzz::CheckUnchanged(path, data, size);
  return 0;
}
