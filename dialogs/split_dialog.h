#pragma once
// The "Split File into Segments" dialog (185) and the Segment File command.

#include "app/state.h"
#include "dialogs/dialog.h"

enum SplitDialogControl {
  kSplitDialogId = 185,
  kSplitInputFile = 1394,    // "Input File"
  kSplitSampleRate = 1393,   // "Sample Rate, Samples/s"
  kSplitBlockLength = 1065,  // "Block Length, secs"
  kSplitBlocks = 1066,       // "Size of output files, blocks"
  kSplitMinutes = 1067,      // "minutes"
  kSplitSave = 1435,         // "Save"
};

DialogTemplate SplitDialogTemplate();

/// The dialog's procedure over s: the blocks field sets BlocksPerSegment as it
/// is typed and the minutes follow; Save splits the open file; Cancel restores
/// BlocksPerSegment.
DialogProcedure SplitDialogProcedure(AppState& s);

/// The Segment File command: "No data to save - read some first" without an
/// open recording, else the dialog. Returns the dialog's result (0 without one).
int SegmentFile(AppState& s);
