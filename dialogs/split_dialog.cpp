#include "dialogs/split_dialog.h"

#include <cstdlib>
#include <memory>

#include "datafile/split.h"
#include "datafile/writers.h"
#include "dialogs/header_fields.h"
#include "platform/platform.h"

namespace {

// Seconds of one record of the open file (2560 samples when none is known).
double BlockSeconds(const AppState& s) {
  const double rate = RateHz(static_cast<uint32_t>(s.SampleRate));
  const int samples = s.SampsPerBlock > 0 ? s.SampsPerBlock : 2560;
  return rate > 0 ? samples / rate : 0.0;
}

std::string MinutesText(const AppState& s) {
  return Format("%10.2f", s.BlocksPerSegment * BlockSeconds(s) / 60.0);
}

}  // namespace

DialogTemplate SplitDialogTemplate() {
  DialogTemplate t;
  t.id = kSplitDialogId;
  t.title = "Split File into Segments";
  t.controls = {
      {kSplitInputFile, ControlKind::ReadOnly, "Input File", "", 0, 0},
      {kSplitSampleRate, ControlKind::ReadOnly, "Sample Rate, Samples/s", "", 1, 0},
      {kSplitBlockLength, ControlKind::ReadOnly, "Block Length, secs", "", 2, 0},
      {kSplitBlocks, ControlKind::Edit, "Size of output files, blocks", "", 3, 0},
      {kSplitMinutes, ControlKind::ReadOnly, "minutes", "", 3, 1},
      {kSplitSave, ControlKind::Button, "Save", "", 4, 0},
      {kIdCancel, ControlKind::Button, "Cancel", "", 4, 1},
  };
  return t;
}

DialogProcedure SplitDialogProcedure(AppState& s) {
  auto remembered = std::make_shared<unsigned>(s.BlocksPerSegment);
  return [&s, remembered](DialogView& view, const DialogMessage& message) {
    switch (message.event) {
      case DialogEvent::Init:
        *remembered = s.BlocksPerSegment;
        view.SetText(kSplitInputFile, s.CurrentFilePath);
        view.SetText(kSplitSampleRate, Format("%7d", s.SampleRate));
        view.SetText(kSplitBlockLength, Format("%7.2f", BlockSeconds(s)));
        view.SetText(kSplitBlocks, Format("%7d", s.BlocksPerSegment));
        view.SetText(kSplitMinutes, MinutesText(s));
        break;
      case DialogEvent::TextChanged:
        if (message.controlId == kSplitBlocks) {
          const long blocks = std::atol(view.GetText(kSplitBlocks).c_str());
          s.BlocksPerSegment = blocks > 0 ? static_cast<unsigned>(blocks) : 0u;
          view.SetText(kSplitMinutes, MinutesText(s));
        }
        break;
      case DialogEvent::Clicked:
        if (message.controlId == kSplitSave) {
          SplitFile(s, s.CurrentFilePath, s.BlocksPerSegment);
          view.Close(kSplitSave);
        } else if (message.controlId == kIdCancel) {
          s.BlocksPerSegment = *remembered;
          view.Close(kIdCancel);
        }
        break;
      default:
        break;
    }
  };
}

int SegmentFile(AppState& s) {
  if (!s.FileLoaded) {
    ShowMessage(*s.host, kNoDataMessage, MsgIcon::Warning);
    return 0;
  }
  return s.host->RunDialog(SplitDialogTemplate(), SplitDialogProcedure(s));
}
