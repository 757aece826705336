#include "dialogs/header_fields.h"

#include <cstdarg>
#include <cstdio>

namespace {

const char* CodeText(const char* const* table, int size, int code) {
  return code >= 0 && code < size ? table[code] : "?";
}

}  // namespace

std::vector<HeaderFieldText> RecorderFieldTexts(const RecorderHeader& h) {
  const RecordTime& st = h.SystemTime;
  return {
      {1000, "Talvik SN", h.RecorderSerial},
      {1002, "Firmware Vers.", Format("0x%02X", h.VersionBytes[1])},
      {1003, "FPGA Version", Format("0x%02X", h.VersionBytes[3])},
      {1001, "Packet Length", Format("%d", h.PacketLength)},
      {1021, "Send Packet ID", Format("%d", static_cast<int>(h.SendPacketID))},
      {1022, "Save Packet ID", Format("%d", static_cast<int>(h.SavePacketID))},
      {1004, "GPS Position", h.GpsPosition},
      {1005, "GPS Time", h.GpsTime},
      {1006, "GPS Sync Clock, MHz", h.GpsSyncClock},
      {1007, "Sampling Freq., Hz", Format("%d", static_cast<int>(h.SampleRate))},
      {1009, "Main Temper., C", Format("%8.3f", h.MainTemperature)},
      {1010, "System Volt., V", Format("%8.3f", h.SystemVoltage)},
      {1011, "System Curr., mA", Format("%8.1f", h.SystemCurrent)},
      {1012, "+5 Voltage, V", Format("%8.3f", h.PlusFiveVolts)},
      {1013, "-5 Voltage, V", Format("%8.3f", h.MinusFiveVolts)},
      {1019, "SD Filename", h.SDFilename},
      {1045, "SD File Limit", Format("%d", static_cast<int>(h.SDFileLimit))},
      {1044, "SD File Index", Format("%d", static_cast<int>(h.SDFileIndex))},
      {1046, "SD Saved Sectors", Format("%d", h.SDSavedSectors)},
      {1047, "SD Free Space, %", Format("%d", h.SDFreeSpace)},
      {1020, "Comments", h.Comments},
      {1008, "System Time",
       Format("%02d/%02d/%02d   %02d:%02d:%02d", st.month, st.day, st.year, st.hour, st.minute,
              static_cast<int>(st.second))},
      {1024, "1st Samp. Acq. Time, uS",
       Format("  %d", static_cast<int>(static_cast<uint32_t>(h.FirstSampleTicks & 0xFFFFFFFFu)))},
      {1048, "Status", Format("0x%08x", static_cast<unsigned>(h.Status & 0xFFFFFFFFu))},
      {1023, "GPS Locked", h.GpsLocked ? "1" : "0"},
  };
}

std::vector<HeaderFieldText> ChannelFieldTexts(const RecorderHeader& h, int k) {
  return {
      {1018, "Channel", Format("%d", k + 1)},
      {1397, "Label", CodeText(kChannelLabelText, 6, h.ChannelLabel[k])},
      {1395, "GainMUX", CodeText(kGainMuxText, 4, h.GainMUX[k])},
      {1394, "GainSEL", CodeText(kGainSelText, 4, h.GainSEL[k])},
      {1396, "LP Filter", CodeText(kLpFilterText, 4, h.LPF_MUX[k])},
      {1039, "Sensor ID", SensorName(h.SensorID[k])},
      {1040, "Sensor SN", h.SensorSerial[k]},
      {1041, "Orientation", h.Orientation[k]},
      {1042, "Sensor Angle", Format("%d", h.SensorAngle[k])},
      {1043, "Spacing, m", Format("%d", h.Spacing[k])},
      {1038, "DA Offset, mV", Format("%8.3f", h.DAOffset[k])},
      {1014, "Over Range", h.OverRange[k] ? "1" : "0"},
      {1026, "Enabled", h.ChannelEnabled[k] ? "1" : "0"},
      {2318, "Invert", h.ChannelInvert[k] ? "1" : "0"},
  };
}
