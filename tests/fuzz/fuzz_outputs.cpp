// The program's other outputs on a fuzzed recording: the drawn page (render),
// PeakData.txt and the impedance tables, each also reaching the recording
// through a symbolic link, a hard link or another spelling of its path, which
// must be refused. The recording must hold its bytes afterwards.

#include <unistd.h>

#include "app/analysis.h"
#include "app/commands.h"
#include "app/file_commands.h"
#include "mt/impedance.h"
#include "platform/headless/recording_surface.h"
#include "plot/paint.h"
#include "spectral/peaks.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Started& started = fuzz::State();
  AppState& s = started.s;
  started.Reset();
  fuzz::ClearFolder();
  const std::string path = fuzz::WriteFile("site.bin", data, size);
  if (symlink(path.c_str(), (fuzz::Folder() + kPeakFileName).c_str()) != 0) std::abort();
  started.host.AnswerOpen(path, "1");
  if (CmdOpenFile(s)) {
    if (symlink(path.c_str(), ImpedanceTablePath(path, 1).c_str()) != 0) std::abort();
    if (link(path.c_str(), ImpedanceTablePath(path, 2).c_str()) != 0) std::abort();
    RecordingSurface surface(400, 300);
    s.FindPeaksOn = 1;
    s.RedrawAll = 1;
    PaintPlotWindow(s, surface);
    FindPeaks(s);
    s.FindPeaksOn = 0;
    s.FourierOn = s.AppResOn = s.LogY = 1;
    s.RedrawAll = 1;
    PaintPlotWindow(s, surface);
    s.FourierOn = s.AppResOn = s.LogY = 0;
    s.RedrawAll = 1;
    const uint8_t image[4] = {0x89, 'P', 'N', 'G'};
    const std::string dotted = fuzz::Folder() + "./site.bin";
    for (const std::string& out : {path, dotted, ImpedanceTablePath(path, 2)})
      if (WriteCheckedFile(s, out, image, sizeof image).empty()) std::abort();
  }
  fuzz::CheckUnchanged(path, data, size);
  return 0;
}
