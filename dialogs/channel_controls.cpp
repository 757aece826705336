#include "dialogs/channel_controls.h"

#include <algorithm>
#include <cstring>

#include "dialogs/dialog_support.h"
#include "dialogs/header_fields.h"

namespace {

std::vector<std::string> Items(const char* const* table, int n) { return {table, table + n}; }

int32_t* ComboField(RecorderHeader& h, int k, const ChannelControlIds& ids, int id) {
  if (id == ids.gainMux) return &h.GainMUX[k];
  if (id == ids.gainSel) return &h.GainSEL[k];
  if (id == ids.lpFilter) return &h.LPF_MUX[k];
  return nullptr;
}

uint16_t ToUint16(long long v) { return static_cast<uint16_t>(std::clamp(v, 0LL, 65535LL)); }

}  // namespace

void AddChannelFieldChecks(FieldChecks& checks, const ChannelControlIds& ids, const std::string& owner) {
  checks.Add(ids.angle, {"Sensor Angle" + owner, true, 0, 360});
  checks.Add(ids.spacing, {"Spacing, m" + owner, true, 0, 65535});
  checks.Add(ids.daOffset, {"DA Offset, mV" + owner, false, -10000, 10000});
}

void StoreText(char* field, size_t size, const std::string& text) {
  const std::string cut = CutText(text, size - 1);
  std::memset(field, 0, size);
  std::memcpy(field, cut.data(), cut.size());
}

void FillChannelCombos(DialogView& view, const ChannelControlIds& ids) {
  view.SetComboItems(ids.label, Items(kChannelLabelText, 6));
  view.SetComboItems(ids.gainMux, Items(kGainMuxText, 4));
  view.SetComboItems(ids.gainSel, Items(kGainSelText, 4));
  view.SetComboItems(ids.lpFilter, Items(kLpFilterText, 4));
  view.SetComboItems(ids.sensorId, Items(kSensorText, 8));
}

void ShowChannelSettings(DialogView& view, const RecorderHeader& h, int k, const ChannelControlIds& ids) {
  view.SetComboSelection(ids.label, h.ChannelLabel[k]);
  view.SetComboSelection(ids.gainMux, h.GainMUX[k]);
  view.SetComboSelection(ids.gainSel, h.GainSEL[k]);
  view.SetComboSelection(ids.lpFilter, h.LPF_MUX[k]);
  view.SetComboSelection(ids.sensorId, h.SensorID[k]);
  view.SetText(ids.sensorSn, h.SensorSerial[k]);
  view.SetText(ids.orientation, h.Orientation[k]);
  view.SetText(ids.angle, Format("%d", h.SensorAngle[k]));
  view.SetText(ids.spacing, Format("%d", h.Spacing[k]));
  view.SetText(ids.daOffset, Format("%8.3f", h.DAOffset[k]));
  view.SetCheck(ids.overRange, h.OverRange[k] != 0);
  view.SetCheck(ids.enabled, h.ChannelEnabled[k] != 0);
  view.SetCheck(ids.invert, h.ChannelInvert[k] != 0);
  view.Enable(ids.overRange, false);
}

bool StoreChannelCombo(DialogView& view, RecorderHeader& h, int k, const ChannelControlIds& ids, int id) {
  if (id != ids.label && id != ids.gainMux && id != ids.gainSel && id != ids.lpFilter && id != ids.sensorId)
    return false;
  const int code = view.GetComboSelection(id);
  if (code < 0) return true;
  if (id == ids.label)
    h.ChannelLabel[k] = static_cast<int8_t>(code);
  else if (id == ids.sensorId)
    h.SensorID[k] = static_cast<uint8_t>(code);
  else
    *ComboField(h, k, ids, id) = code;
  return true;
}

void StoreChannelCombos(DialogView& view, RecorderHeader& h, int k, const ChannelControlIds& ids) {
  for (int id : {ids.label, ids.gainMux, ids.gainSel, ids.lpFilter, ids.sensorId})
    StoreChannelCombo(view, h, k, ids, id);
}

void StoreChannelTexts(DialogView& view, RecorderHeader& h, int k, const ChannelControlIds& ids) {
  h.DAOffset[k] = ReadDecimal(view, ids.daOffset);
  StoreText(h.SensorSerial[k], sizeof h.SensorSerial[k], ReadEdit(view, ids.sensorSn));
  StoreText(h.Orientation[k], sizeof h.Orientation[k], ReadEdit(view, ids.orientation));
  h.SensorAngle[k] = ToUint16(ReadInteger(view, ids.angle));
  h.Spacing[k] = ToUint16(ReadInteger(view, ids.spacing));
}
