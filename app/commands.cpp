#include "app/commands.h"

#include "datafile/loader.h"
#include "platform/platform.h"

void ShowRecordStatus(AppState& s) {
  s.host->SetStatusText(1, s.EndOfFile ? "EOF" : "Rec " + std::to_string(s.CurrentRecord + 1));
}

int CmdOpenFile(AppState& s) {
  s.Zoomed = 0;
  s.PanMode = s.PanDragging = s.PanDone = 0;
  int previousEnd = s.EndOfFile;
  s.EndOfFile = 0;
  if (!OpenRecorderFile(s)) {
    s.EndOfFile = previousEnd;
    return 0;
  }
  s.FileLoaded = 1;
  s.RedrawAll = 1;
  s.PlotStartTime = 0;
  s.CurrentRecord = 0;
  s.RecomputeSpectra = 1;
  s.FitValid = 0;
  s.CaptureLimits = 1;
  ShowRecordStatus(s);
  s.host->InvalidatePlot(true);
  return 1;
}
