#include "dialogs/split_dialog.h"

#include <charconv>
#include <memory>

#include "app/file_commands.h"
#include "dialogs/header_fields.h"
#include "platform/platform.h"

namespace {

// Seconds of one record of the open file (2560 samples when none is known).
double BlockSeconds(const AppState& s) {
  const double rate = RateHz(static_cast<uint32_t>(s.SampleRate));
  const int samples = s.SampsPerBlock > 0 ? s.SampsPerBlock : 2560;
  return rate > 0 ? samples / rate : 0.0;
}

std::string MinutesText(const AppState& s) { return Format("%10.2f", s.BlocksPerSegment * BlockSeconds(s) / 60.0); }

constexpr long kMostBlocks = 1000000000;

// The typed number of records per file, spaces around it allowed; 0 when the
// text is not a whole number from 1 to kMostBlocks.
unsigned ParseBlocks(const std::string& text) {
  const size_t from = text.find_first_not_of(' ');
  const size_t to = text.find_last_not_of(' ');
  if (from == std::string::npos) return 0;
  long value = 0;
  const char* first = text.data() + from;
  const char* last = text.data() + to + 1;
  auto [end, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || end != last || value < 1 || value > kMostBlocks) return 0;
  return static_cast<unsigned>(value);
}

// "62.5" for rate code 62, whole hertz otherwise.
std::string RateText(int code) { return code == 62 ? Format("%7.1f", RateHz(62)) : Format("%7d", code); }

}  // namespace

DialogTemplate SplitDialogTemplate() {
  DialogTemplate t;
  t.id = kSplitDialogId;
  t.title = "Split File into Segments";
  t.controls = {
      {kSplitInputFile, ControlKind::ReadOnly, "Input File", "", 0, 0, 0, 0, true},
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
        view.SetText(kSplitSampleRate, RateText(s.SampleRate));
        view.SetText(kSplitBlockLength, Format("%7.2f", BlockSeconds(s)));
        view.SetText(kSplitBlocks, Format("%7d", s.BlocksPerSegment));
        view.SetText(kSplitMinutes, MinutesText(s));
        break;
      case DialogEvent::TextChanged:
        if (message.controlId == kSplitBlocks) {
          s.BlocksPerSegment = ParseBlocks(view.GetText(kSplitBlocks));
          view.SetText(kSplitMinutes, MinutesText(s));
        }
        break;
      case DialogEvent::Clicked:
        if (message.controlId == kSplitSave) {
          const unsigned blocks = ParseBlocks(view.GetText(kSplitBlocks));
          if (blocks == 0) {
            // The dialog stays open for a number that can be used.
            ShowMessage(*s.host,
                        "Size of output files, blocks: type a whole number of records from 1 to " +
                            std::to_string(kMostBlocks) + ".",
                        MsgIcon::Warning);
            return;
          }
          s.BlocksPerSegment = blocks;
          SplitFile(s, s.CurrentFilePath, s.BlocksPerSegment);
          view.Close(kSplitSave);
        } else if (message.controlId == kIdCancel) {
          s.BlocksPerSegment = *remembered;
          view.Close(kIdCancel);
        }
        break;
      default: break;
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
