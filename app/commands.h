#pragma once
// Commands of the main window that change the state and request a repaint.

#include "app/state.h"

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
};

/// Open a file: the open dialog, the first page, the status texts. Returns 1 on success.
int CmdOpenFile(AppState& s);

/// "Rec %d" with CurrentRecord + 1, or "EOF", in status part 1.
void ShowRecordStatus(AppState& s);
