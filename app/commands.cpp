#include "app/commands.h"

#include <algorithm>
#include <functional>

#include "app/edi_export.h"
#include "app/file_commands.h"
#include "app/navigation.h"
#include "app/open_file.h"
#include "dialogs/about_dialog.h"
#include "dialogs/edit_header_dialog.h"
#include "dialogs/filter_settings_dialog.h"
#include "dialogs/find_noise_dialog.h"
#include "dialogs/find_peaks_dialog.h"
#include "dialogs/fourier_settings_dialog.h"
#include "dialogs/general_settings_dialog.h"
#include "dialogs/goto_dialog.h"
#include "dialogs/header_contents_dialog.h"
#include "dialogs/plot_scaling_dialog.h"
#include "dialogs/remote_reference_dialog.h"
#include "dialogs/split_dialog.h"
#include "platform/platform.h"
#include "plot/surface.h"

namespace {

void SetAutoscale(AppState& s, int on) {
  s.AutoscaleAll = on;
  for (int& chan : s.AutoscaleChan) chan = on;
}

void Redraw(AppState& s, bool erase) {
  s.RedrawAll = 1;
  s.host->InvalidatePlot(erase);
}

// Fixed X limits of time series stay where they are on the page, so the
// next page shows its own data.
void KeepXLimitsWithThePage(AppState& s, double oldStart, double newStart) {
  if (s.AutoscaleAll || s.FourierOn || s.AppResOn || oldStart == newStart) return;
  s.XMin += newStart - oldStart;
  s.XMax += newStart - oldStart;
}

// Shows the page that starts at record first; false (nothing changed) when there is none.
bool ShowPage(AppState& s, int first) {
  const double oldStart = s.PlotStartTime;
  s.host->SetCursor(CursorShape::Wait);
  if (!LoadPageAt(s, first)) {
    s.host->SetCursor(s.ZoomMode ? CursorShape::Zoom : CursorShape::Arrow);
    return false;
  }
  KeepXLimitsWithThePage(s, oldStart, s.PlotStartTime);
  Redraw(s, false);
  return true;
}

// Ends a zoom and drops the cross and the markers: they point at the points shown.
void ForgetPagePoints(AppState& s) {
  s.Zoomed = 0;
  s.CursorShown = 0;
  s.CursorIndex = 0;
  s.MarkerCount = 0;
}

int FinishOpen(AppState& s, const std::function<int()>& open) {
  int previousEnd = s.EndOfFile;
  s.EndOfFile = 0;
  // A failed open changes nothing: the open file keeps its page, zoom, cursor and markers.
  if (!open()) {
    s.EndOfFile = previousEnd;
    return 0;
  }
  // The zoom, the cross and the markers belong to the file that was open.
  ForgetPagePoints(s);
  s.PanMode = s.PanDragging = s.PanDone = 0;
  s.FileLoaded = 1;
  s.RedrawAll = 1;
  KeepXLimitsWithThePage(s, s.PlotStartTime, 0.0);
  s.PlotStartTime = 0;
  s.CurrentRecord = 0;
  s.FitValid = 0;
  s.CaptureLimits = 1;
  ShowRecordStatus(s);
  // The date and time of the page's first point, as paging shows them.
  s.RecordTimeShown = ShownTime(s, 0.0);
  s.host->SetStatusText(2, s.PlotTimeKnown ? FormatDate(s.RecordTimeShown) : "");
  s.host->SetStatusText(3, s.PlotTimeKnown ? FormatTime(s.RecordTimeShown) : "");
  s.host->InvalidatePlot(true);
  return 1;
}

}  // namespace

void ShowRecordStatus(AppState& s) {
  s.host->SetStatusText(1, s.NumPlotPoints > 0 ? "Rec " + std::to_string(s.CurrentRecord + 1) : "EOF");
}

int CmdOpenFile(AppState& s) {
  return FinishOpen(s, [&s] { return OpenRecorderFile(s); });
}

int CmdOpenPath(AppState& s, const std::string& path) {
  return FinishOpen(s, [&s, &path] {
    s.RecordsPerPlot = 1;
    return LoadRecorderFile(s, path);
  });
}

void CmdStepForward(AppState& s) {
  if (!s.FileLoaded || s.RecordsPerPlot < 1) return;
  // A page that holds nothing (a first record without channels) is stepped over.
  const int first = s.CurrentRecord, end = s.CurrentRecord + std::max(1, s.PageRecords);
  if (ShowPage(s, end)) {
    s.PageTrail.emplace_back(first, end);
    return;
  }
  // No further record: the page stays; a cut last record is said once.
  if (s.DataFile && OpenFileIndex(s).truncated) TellIncompleteRecord(s);
  s.EndOfFile = 1;
  s.host->SetStatusText(1, "EOF");
}

void CmdStepBack(AppState& s) {
  if (!s.FileLoaded || s.RecordsPerPlot < 1 || !s.DataFile) return;
  if (s.CurrentRecord <= 0) return;
  // Back to the page that was shown before this one, else to the page before
  // it as paging from the first record lays them out.
  int previous = -1;
  if (!s.PageTrail.empty() && s.PageTrail.back().second == s.CurrentRecord)
    previous = s.PageTrail.back().first;
  else
    s.PageTrail.clear();
  if (previous < 0) previous = PreviousPageStart(OpenFileIndex(s), s.CurrentRecord, s.RecordsPerPlot);
  if (previous < 0) return;
  if (ShowPage(s, previous) && !s.PageTrail.empty()) s.PageTrail.pop_back();
}

void CmdCopyGraph(AppState& s, const Surface& window) {
  s.host->CopyImageToClipboard(window.ReadPixels(0, 0, window.Width(), window.Height()));
}

bool AutoscaleFullyOn(const AppState& s) {
  if (!s.AutoscaleAll) return false;
  for (int chan : s.AutoscaleChan)
    if (!chan) return false;
  return true;
}

void ShowToggleStates(AppState& s) {
  Platform& host = *s.host;
  host.SetButtonPressed(kCmdZoom, s.ZoomMode != 0);
  host.SetButtonPressed(kCmdAutoscale, AutoscaleFullyOn(s));
  host.SetButtonPressed(kCmdFilter, s.FilterOn != 0);
  host.SetButtonPressed(kCmdFourier, s.FourierOn != 0);
  host.SetButtonPressed(kCmdAppRes, s.AppResOn != 0);
  host.SetButtonPressed(kCmdFindPeaks, s.FindPeaksOn != 0);
}

void CmdToggleZoom(AppState& s) {
  s.ZoomDragging = 0;
  if (s.ZoomMode) {
    s.ZoomMode = 0;
    s.host->SetCursor(CursorShape::Arrow);
    SetAutoscale(s, 1);
  } else {
    s.ZoomMode = 1;
    s.Zoomed = 0;
    s.host->SetCursor(CursorShape::Zoom);
  }
  ShowToggleStates(s);
  Redraw(s, true);
}

void CmdToggleAutoscale(AppState& s) {
  SetAutoscale(s, AutoscaleFullyOn(s) ? 0 : 1);
  s.Zoomed = 0;
  s.PanMode = s.PanDragging = s.PanDone = 0;
  ShowToggleStates(s);
  Redraw(s, true);
}

void CmdToggleFilter(AppState& s) {
  s.FilterOn = !s.FilterOn;
  s.host->SetCursor(s.FilterOn ? CursorShape::Wait : CursorShape::Arrow);
  s.FitValid = 0;
  ShowToggleStates(s);
  Redraw(s, true);
}

// A zoom, the cross and the markers belong to the points of one display mode.
void EndZoomForNewMode(AppState& s) {
  s.ZoomMode = 0;
  s.ZoomDragging = 0;
  ForgetPagePoints(s);
}

void CmdReset(AppState& s) {
  s.ZoomMode = 0;
  s.ZoomDragging = 0;
  s.Zoomed = 0;
  s.PanMode = s.PanDragging = s.PanDone = 0;
  SetAutoscale(s, 1);
  s.host->SetCursor(CursorShape::Arrow);
  ShowToggleStates(s);
  Redraw(s, true);
}

void CmdToggleFourier(AppState& s) {
  s.host->SetCursor(CursorShape::Wait);
  EndZoomForNewMode(s);
  if (s.FourierOn) {
    s.LogX = 0;
    s.LogY = 0;
    s.FourierOn = 0;
    SetAutoscale(s, 1);  // a frequency range is no time range
  } else {
    // Autoscale X too: the time range of the page is no frequency range.
    SetAutoscale(s, 1);
    s.LogY = 1;
    s.FourierOn = 1;
  }
  ShowToggleStates(s);
  Redraw(s, true);
}

void CmdToggleAppRes(AppState& s) {
  EndZoomForNewMode(s);
  if (s.AppResOn) {
    // The estimate chosen in General Settings (least squares or Sims) stays chosen.
    s.ResistivityOn = 0;
    s.LogX = 0;
    s.LogY = 0;
    s.FourierOn = 0;
    s.AppResOn = 0;
    SetAutoscale(s, 1);
  } else {
    s.ResistivityOn = 1;
    s.ImpedanceOn = 0;
    s.CoherOn = 0;
    SetAutoscale(s, 1);
    s.LogY = 1;
    s.AppResOn = 1;
    s.FourierOn = 1;
  }
  ShowToggleStates(s);
  Redraw(s, true);
}

void CmdToggleFindPeaks(AppState& s) {
  s.FindPeaksOn = !s.FindPeaksOn;
  ShowToggleStates(s);
  Redraw(s, true);
}

void RunCommand(AppState& s, int id, const Surface& window) {
  switch (id) {
    case kCmdFileOpen:
    case kMenuOpenFile: CmdOpenFile(s); break;
    case kCmdFileSave:
    case kCmdSaveAlternate:
    case kMenuSaveFile: SaveProcessedFile(s); break;
    case kCmdCopy:
    case kMenuCopy: CmdCopyGraph(s, window); break;
    case kCmdBack: CmdStepBack(s); break;
    case kCmdForward: CmdStepForward(s); break;
    case kCmdFirstPage: CmdFirstPage(s); break;
    case kCmdLastPage: CmdLastPage(s); break;
    case kCmdGoTo: RunGoToDialog(s); break;
    case kCmdZoom: CmdToggleZoom(s); break;
    case kCmdReset: CmdReset(s); break;
    case kCmdAutoscale: CmdToggleAutoscale(s); break;
    case kCmdFilter:
    case kMenuFilterOnOff: CmdToggleFilter(s); break;
    case kCmdFourier: CmdToggleFourier(s); break;
    case kCmdAppRes: CmdToggleAppRes(s); break;
    case kCmdFindPeaks: CmdToggleFindPeaks(s); break;
    case kMenuSegmentFile: SegmentFile(s); break;
    case kMenuConcatenateFiles: ConcatenateFiles(s); break;
    case kMenuSynchronizeFiles: SynchronizeFiles(s); break;
    case kMenuFileInformation: RunHeaderContentsDialog(s); break;
    case kMenuGeneralSettings: RunGeneralSettingsDialog(s); break;
    case kMenuFileHeader: RunEditHeaderDialog(s); break;
    case kMenuPlotScaling: RunPlotScalingDialog(s); break;
    case kMenuFilterSettings:
      RunFilterSettingsDialog(s);
      ShowToggleStates(s);
      Redraw(s, true);
      break;
    case kMenuFourierSettings: RunFourierSettingsDialog(s); break;
    case kMenuFindPeaks: RunFindPeaksDialog(s); break;
    case kCmdFindNoise: RunFindNoiseDialog(s); break;
    case kMenuAbout: ShowAboutDialog(s); break;
    case kMenuExportEdi: ExportEdi(s); break;
    case kMenuRemoteReference: ChooseRemoteReference(s); break;
    default: break;  // Print, Pan and Exit have nothing to do here
  }
}
