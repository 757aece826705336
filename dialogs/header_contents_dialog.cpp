#include "dialogs/header_contents_dialog.h"

#include <algorithm>
#include <memory>

#include "dialogs/dialog_support.h"
#include "dialogs/header_fields.h"
#include "platform/platform.h"

const ChannelControlIds kInfoChannelIds = {1397, 1395, 1394, 1396, 1039, 1040, 1041,
                                           1042, 1043, 1038, 1026, 1014, 2318};

namespace {

constexpr size_t kCommentsLength = 128;
constexpr int kRecorderColumns = 2;

int ShownIndex(const AppState& s) { return std::clamp(s.HeaderChannel, 1, kChannels) - 1; }

void StoreTexts(AppState& s, DialogView& view) { StoreChannelTexts(view, s.OutHeader, ShownIndex(s), kInfoChannelIds); }

}  // namespace

DialogTemplate HeaderContentsTemplate() {
  DialogTemplate t;
  t.id = kHeaderContentsDialogId;
  t.title = "Qor Header Contents";
  const char* recorder = "Recorder";
  int i = 0;
  for (const HeaderFieldText& f : RecorderFieldTexts(RecorderHeader{})) {
    if (f.controlId == kInfoComments) continue;
    const ControlKind kind = f.controlId == kInfoGpsLocked ? ControlKind::Check : ControlKind::ReadOnly;
    t.controls.push_back({f.controlId, kind, f.label, recorder, i / kRecorderColumns, i % kRecorderColumns});
    ++i;
  }
  const ChannelControlIds& c = kInfoChannelIds;
  const char* channel = "Channel Settings";
  const std::vector<ControlTemplate> channelControls = {
      {kInfoChannel, ControlKind::ReadOnly, "Channel", channel, 0, 0},
      {kInfoChannelSpin, ControlKind::Spin, "", channel, 0, 1, kInfoChannel},
      {c.label, ControlKind::Combo, "Label", channel, 1, 0},
      {c.gainMux, ControlKind::Combo, "GainMUX", channel, 1, 1},
      {c.gainSel, ControlKind::Combo, "GainSEL", channel, 1, 2},
      {c.lpFilter, ControlKind::Combo, "LP Filter", channel, 2, 0},
      {c.sensorId, ControlKind::Combo, "Sensor ID", channel, 2, 1},
      {c.sensorSn, ControlKind::Edit, "Sensor SN", channel, 2, 2, 0, kSensorSnChars},
      {c.orientation, ControlKind::Edit, "Orientation", channel, 3, 0},
      {c.angle, ControlKind::Edit, "Sensor Angle", channel, 3, 1},
      {c.spacing, ControlKind::Edit, "Spacing, m", channel, 3, 2},
      {c.daOffset, ControlKind::Edit, "DA Offset, mV", channel, 4, 0, 0, kDaOffsetChars},
      {c.enabled, ControlKind::Check, "Enabled", channel, 5, 0},
      {c.invert, ControlKind::Check, "Invert", channel, 5, 1},
      {c.overRange, ControlKind::Check, "Over Range", channel, 5, 2},
      {kInfoComments, ControlKind::Edit, "Comments", "", 0, 0, 0, 48},
      {kIdOk, ControlKind::Button, "OK", "", 1, 0},
      {kIdCancel, ControlKind::Button, "Cancel", "", 1, 1},
  };
  t.controls.insert(t.controls.end(), channelControls.begin(), channelControls.end());
  return t;
}

void FillHeaderChannel(DialogView& view, const RecorderHeader& h, int c) {
  view.SetText(kInfoChannel, Format("%d", c));
  ShowChannelSettings(view, h, c - 1, kInfoChannelIds);
}

DialogProcedure HeaderContentsDialog(AppState& s) {
  auto checks = std::make_shared<FieldChecks>();
  AddChannelFieldChecks(*checks, kInfoChannelIds);
  return [&s, checks](DialogView& view, const DialogMessage& message) {
    const int id = message.controlId;
    RecorderHeader& h = s.OutHeader;
    FollowFieldEvent(*checks, view, *s.host, message);
    switch (message.event) {
      case DialogEvent::Init:
        s.HeaderBackup = h;
        s.HeaderChannel = ShownIndex(s) + 1;
        FillChannelCombos(view, kInfoChannelIds);
        view.SetSpinRange(kInfoChannelSpin, 1, kChannels);
        view.SetSpinPosition(kInfoChannelSpin, s.HeaderChannel);
        for (const HeaderFieldText& f : RecorderFieldTexts(h)) {
          if (f.controlId == kInfoGpsLocked)
            view.SetCheck(f.controlId, h.GpsLocked != 0);
          else
            view.SetText(f.controlId, f.text);
        }
        view.Enable(kInfoGpsLocked, false);
        FillHeaderChannel(view, h, s.HeaderChannel);
        break;
      case DialogEvent::SelectionChanged:
        if (StoreChannelCombo(view, h, ShownIndex(s), kInfoChannelIds, id)) RedrawPlot(s);
        break;
      case DialogEvent::SpinChanged:
        if (id != kInfoChannelSpin) break;
        StoreTexts(s, view);
        s.HeaderChannel = std::clamp(view.GetSpinPosition(kInfoChannelSpin), 1, kChannels);
        FillHeaderChannel(view, h, s.HeaderChannel);
        RedrawPlot(s);
        break;
      case DialogEvent::Clicked:
        if (id == kInfoChannelIds.enabled) {
          h.ChannelEnabled[ShownIndex(s)] = view.GetCheck(id) ? 1 : 0;
          RedrawPlot(s);
        } else if (id == kInfoChannelIds.invert) {
          h.ChannelInvert[ShownIndex(s)] = view.GetCheck(id) ? 1 : 0;
          RedrawPlot(s);
        } else if (id == kIdOk) {
          if (!CheckTypedFields(*checks, view, *s.host)) break;
          StoreChannelCombos(view, h, ShownIndex(s), kInfoChannelIds);
          StoreTexts(s, view);
          StoreText(h.Comments, sizeof h.Comments, ReadEdit(view, kInfoComments, kCommentsLength));
          RedrawPlot(s);
          view.Close(kIdOk);
        } else if (id == kIdCancel) {
          h = s.HeaderBackup;
          RedrawPlot(s);  // the plot followed the changes; show it as it was
          view.Close(kIdCancel);
        }
        break;
      default: break;
    }
  };
}

int RunHeaderContentsDialog(AppState& s) {
  return s.host->RunDialog(HeaderContentsTemplate(), HeaderContentsDialog(s));
}
