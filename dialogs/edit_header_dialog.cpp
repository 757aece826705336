#include "dialogs/edit_header_dialog.h"

#include <memory>

#include "dialogs/dialog_support.h"
#include "platform/platform.h"

// label, GainMUX, GainSEL, LP filter, sensor ID; sensor SN, orientation, angle,
// spacing, DA offset; enabled, over range, invert.
const ChannelControlIds kEditHeaderIds[kChannels] = {
    {1418, 1420, 1421, 1422, 1423, 1425, 1426, 1428, 1429, 1424, 1430, 1419, 1427},
    {1398, 1399, 1400, 1401, 1045, 1046, 1047, 1048, 1049, 1044, 1027, 1015, 2319},
    {1402, 1403, 1404, 1405, 1051, 1052, 1053, 1054, 1055, 1050, 1029, 1016, 2320},
    {1406, 1407, 1408, 1409, 1057, 1058, 1059, 1060, 1061, 1056, 1028, 1017, 2321},
    {1410, 1411, 1412, 1413, 1063, 1064, 1065, 1066, 1067, 1062, 1030, 1018, 2322},
    {1414, 1415, 1416, 1417, 1069, 1070, 1071, 1072, 1073, 1068, 1031, 1019, 2323},
};

DialogTemplate EditHeaderTemplate() {
  DialogTemplate t;
  t.id = kEditHeaderDialogId;
  t.title = "Edit File Header";
  // A grid: a heading row, then one row per channel with its number first.
  const char* grid = "Channels";
  const char* headings[] = {"Channel",     "Enabled",   "Over Range",    "Label",     "GainMUX",
                            "GainSEL",     "LP Filter", "DA Offset, mV", "Sensor ID", "Sensor SN",
                            "Orientation", "Invert",    "Sensor Angle",  "Spacing, m"};
  for (int col = 0; col < 14; ++col) t.controls.push_back({0, ControlKind::Label, headings[col], grid, 0, col});
  for (int k = 0; k < kChannels; ++k) {
    const ChannelControlIds& c = kEditHeaderIds[k];
    const int row = k + 1;
    const std::vector<ControlTemplate> cells = {
        {0, ControlKind::Label, std::to_string(k + 1), grid, row, 0},
        {c.enabled, ControlKind::Check, "", grid, row, 1},
        {c.overRange, ControlKind::Check, "", grid, row, 2},
        {c.label, ControlKind::Combo, "", grid, row, 3},
        {c.gainMux, ControlKind::Combo, "", grid, row, 4},
        {c.gainSel, ControlKind::Combo, "", grid, row, 5},
        {c.lpFilter, ControlKind::Combo, "", grid, row, 6},
        {c.daOffset, ControlKind::Edit, "", grid, row, 7, 0, kDaOffsetChars},
        {c.sensorId, ControlKind::Combo, "", grid, row, 8},
        {c.sensorSn, ControlKind::Edit, "", grid, row, 9, 0, kSensorSnChars},
        {c.orientation, ControlKind::Edit, "", grid, row, 10, 0, 2},
        {c.invert, ControlKind::Check, "", grid, row, 11},
        {c.angle, ControlKind::Edit, "", grid, row, 12, 0, 4},
        {c.spacing, ControlKind::Edit, "", grid, row, 13, 0, 6},
    };
    t.controls.insert(t.controls.end(), cells.begin(), cells.end());
  }
  t.controls.push_back({kIdOk, ControlKind::Button, "OK", "", 0, 0});
  t.controls.push_back({kIdCancel, ControlKind::Button, "Cancel", "", 0, 1});
  t.controls.push_back({kIdReplot, ControlKind::Button, "Replot", "", 0, 2});
  return t;
}

DialogProcedure EditHeaderDialog(AppState& s) {
  auto checks = std::make_shared<FieldChecks>();
  for (int k = 0; k < kChannels; ++k)
    AddChannelFieldChecks(*checks, kEditHeaderIds[k], " of channel " + std::to_string(k + 1));
  return [&s, checks](DialogView& view, const DialogMessage& message) {
    const int id = message.controlId;
    RecorderHeader& h = s.OutHeader;
    FollowFieldEvent(*checks, view, *s.host, message);
    switch (message.event) {
      case DialogEvent::Init:
        s.HeaderBackup = h;
        for (int k = 0; k < kChannels; ++k) {
          FillChannelCombos(view, kEditHeaderIds[k]);
          ShowChannelSettings(view, h, k, kEditHeaderIds[k]);
        }
        break;
      case DialogEvent::SelectionChanged:
        for (int k = 0; k < kChannels; ++k)
          if (StoreChannelCombo(view, h, k, kEditHeaderIds[k], id)) {
            RedrawPlot(s);
            break;
          }
        break;
      case DialogEvent::Clicked:
        for (int k = 0; k < kChannels; ++k) {
          if (id == kEditHeaderIds[k].enabled) {
            h.ChannelEnabled[k] = view.GetCheck(id) ? 1 : 0;
            RedrawPlot(s);
          } else if (id == kEditHeaderIds[k].invert) {
            h.ChannelInvert[k] = view.GetCheck(id) ? 1 : 0;
            RedrawPlot(s);
          }
        }
        if (id == kIdOk) {
          if (!CheckTypedFields(*checks, view, *s.host)) break;
          for (int k = 0; k < kChannels; ++k) {
            StoreChannelCombos(view, h, k, kEditHeaderIds[k]);
            StoreChannelTexts(view, h, k, kEditHeaderIds[k]);
          }
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

int RunEditHeaderDialog(AppState& s) { return s.host->RunDialog(EditHeaderTemplate(), EditHeaderDialog(s)); }
