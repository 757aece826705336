#pragma once
// Commands of the main window that change the state and request a repaint.

#include <string>

#include "app/state.h"

class Surface;

// Command identifiers of the toolbar and the menu.
enum CommandId {
  kCmdFileOpen = 401,
  kCmdFileSave = 402,
  kCmdPrint = 403,
  kCmdCopy = 404,
  kCmdBack = 405,
  kCmdForward = 406,
  kCmdZoom = 407,
  kCmdPan = 408,
  kCmdReset = 409,
  kCmdAutoscale = 410,
  kCmdFilter = 411,
  kCmdFourier = 412,
  kCmdAppRes = 413,
  kCmdFindPeaks = 414,
  kMenuOpenFile = 110,
  kMenuSaveFile = 1021,
  kMenuSegmentFile = 212,
  kMenuConcatenateFiles = 204,
  kMenuSynchronizeFiles = 215,
  kMenuFileInformation = 182,
  kMenuPrint = 111,
  kMenuExit = 258,
  kMenuCopy = 180,
  kMenuGeneralSettings = 1641,
  kMenuFileHeader = 206,
  kMenuPlotScaling = 1652,
  kMenuFilterSettings = 195,
  kMenuFourierSettings = 200,
  kMenuFindPeaks = 178,
  kMenuFilterOnOff = 131,
  kMenuAbout = 260,
  kCmdSaveAlternate = 102,
  kCmdFindNoise = 176,
  kMenuExportEdi = 2510,
  kMenuRemoteReference = 2511,
  kCmdFirstPage = 420,  // Home
  kCmdLastPage = 421,   // End
  kCmdGoTo = 422,       // Ctrl+G
};

/// Runs the command of a menu item, toolbar button or accelerator. window is
/// what the plot area shows (the clipboard copy takes it). Exit is the
/// window's own business and does nothing here.
void RunCommand(AppState& s, int id, const Surface& window);

/// Open a file: the open dialog, the first page, the status texts. Returns 1 on success.
int CmdOpenFile(AppState& s);
/// Opens path as if it was chosen in the open dialog with "Records/Plot" 1.
int CmdOpenPath(AppState& s, const std::string& path);

/// The page after the records the current one holds; when there is none the
/// page stays and status part 1 shows "EOF".
void CmdStepForward(AppState& s);
/// Exactly the page before (the one stepped forward from, else the page before
/// as paging from the first record lays them out); nothing on the first one.
void CmdStepBack(AppState& s);
/// Puts the plot area as shown on the clipboard; nothing when the clipboard is busy.
void CmdCopyGraph(AppState& s, const Surface& window);

void CmdToggleZoom(AppState& s);
/// Reset (and Escape): ends a zoom or a zoom drag and autoscales every axis again.
void CmdReset(AppState& s);
void CmdToggleAutoscale(AppState& s);
void CmdToggleFilter(AppState& s);
void CmdToggleFourier(AppState& s);
void CmdToggleAppRes(AppState& s);
void CmdToggleFindPeaks(AppState& s);

/// Autoscaling counts as on only when AutoscaleAll and every AutoscaleChan are set.
bool AutoscaleFullyOn(const AppState& s);
/// Shows every toggle button pressed exactly while its mode is on.
void ShowToggleStates(AppState& s);

/// "Rec %d" with CurrentRecord + 1 while the page holds data, else "EOF", in status part 1.
void ShowRecordStatus(AppState& s);
