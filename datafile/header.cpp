#include "datafile/header.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

const char* const kChannelLabelText[6] = {"HX", "HY", "HZ", "EX", "EY", "NC"};
const char* const kGainMuxText[4] = {"1", "1", "8", "40"};
// The dialog texts and the scaling factors of GainMUX differ for codes 0 and 3.
const int kGainMuxFactor[4] = {40, 1, 8, 1};
const char* const kGainSelText[4] = {"1", "4", "16", "64"};
const int kGainSelFactor[4] = {1, 4, 16, 64};
const char* const kLpFilterText[4] = {"20 KHz", "1 KHz", "10 Hz", "Bypass"};
const char* const kSensorText[8] = {"Unknown Sensor", "Unknown Coil", "Unknown Electrode", "User Sensor",
                                    "LEMI-118",       "LEMI-120",     "LEMI-121",          "LEMI-701"};

namespace {

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 |
         p[3];
}
uint64_t Get64(const uint8_t* p) { return static_cast<uint64_t>(Get32(p)) << 32 | Get32(p + 4); }

void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v);
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}
void Put64(uint8_t* p, uint64_t v) {
  Put32(p, static_cast<uint32_t>(v >> 32));
  Put32(p + 4, static_cast<uint32_t>(v));
}

template <size_t N>
void GetText(const uint8_t* p, char (&field)[N]) {
  std::memcpy(field, p, N - 1);
  field[N - 1] = '\0';
}

// Writes a text field back byte for byte (the bytes after a terminator too),
// so an unchanged field round-trips exactly.
template <size_t N>
void PutText(uint8_t* p, const char (&field)[N]) {
  std::memcpy(p, field, N - 1);
}

// Integer part of n parsed from text[from .. from+count-1].
int ParseIntAt(const char* text, int from, int count) {
  char buf[16] = {};
  std::memcpy(buf, text + from, static_cast<size_t>(count));
  return std::atoi(buf);
}

// Housekeeping and DA-offset codes: nearest integer, 16 bits.
uint32_t Code16(double v) {
  if (!std::isfinite(v)) return 0;
  return static_cast<uint32_t>(static_cast<int64_t>(std::llround(v))) & 0xFFFFu;
}

bool DigitsAt(const char* text, int from, int count) {
  for (int i = from; i < from + count; ++i)
    if (text[i] < '0' || text[i] > '9') return false;
  return true;
}

// The GPS time text holds a real date and time: digits where the fields are,
// each within its range. A recorder that never saw a GPS fix leaves garbage.
bool GpsTimeReadable(const char* text, const RecordTime& t) {
  if (!DigitsAt(text, 3, 4) || !DigitsAt(text, 7, 2) || !DigitsAt(text, 14, 2) || !DigitsAt(text, 17, 2) ||
      !DigitsAt(text, 20, 4))
    return false;
  for (int i = 9; i < 13; ++i)
    if (text[i] != '.' && (text[i] < '0' || text[i] > '9')) return false;
  return t.hour <= 23 && t.minute <= 59 && t.second >= 0 && t.second < 61 && t.day >= 1 && t.day <= 31 &&
         t.month >= 1 && t.month <= 12 && t.year >= 1900;
}

void ComputeStartTime(RecorderHeader& h) {
  RecordTime t;
  t.hour = ParseIntAt(h.GpsTime, 3, 2);
  t.minute = ParseIntAt(h.GpsTime, 5, 2);
  char secs[8] = {};
  std::memcpy(secs, h.GpsTime + 7, 6);
  t.second = ParseDecimal(secs);
  t.day = ParseIntAt(h.GpsTime, 14, 2);
  t.month = ParseIntAt(h.GpsTime, 17, 2);
  t.year = ParseIntAt(h.GpsTime, 20, 4);
  bool known = GpsTimeReadable(h.GpsTime, t);

  const int32_t f = DecoderClockHz(h);

  known = AddSeconds(t, 1.0) && known;
  // Without a usable sync clock the tick term is left out.
  double micros = f > 0 ? static_cast<double>(h.FirstSampleTicks) * 1000000.0 / f : 0.0;
  const double delay = FilterDelaySeconds(h.SampleRate);
  micros -= delay * 1000000.0;
  // A tick count that puts the first sample centuries away is refused, not walked to.
  known = AddSeconds(t, micros / 1000000.0) && known;
  double within = micros - 1000000.0 * std::floor(micros / 1000000.0);
  h.FirstSampleMicros = within >= 0 && within < 1000000.0 ? static_cast<uint32_t>(within) : 0;
  h.StartTime = t;
  h.StartTimeKnown = known ? 1 : 0;
}

}  // namespace

double ParseDecimal(const char* text) {
  // Independent of the locale: header texts always use a decimal point.
  while (*text == ' ' || *text == '\t') ++text;
  if (*text == '+') ++text;
  double value = 0;
  const char* end = text + std::strlen(text);
  if (std::from_chars(text, end, value, std::chars_format::general).ec != std::errc()) return 0.0;
  return value;
}

double RateHz(uint32_t code) { return code == 62 ? 62.5 : static_cast<double>(code); }

bool KnownRateCode(uint32_t code) {
  static const uint32_t kRecorderRates[] = {62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};
  if (code == 0) return false;
  if (code == 1) return true;
  for (uint32_t rate : kRecorderRates) {
    if (code == rate) return true;
    for (uint32_t factor : {40u, 80u, 200u})
      if (code == rate / factor) return true;
  }
  return false;
}

int32_t DecoderClockHz(const RecorderHeader& h) {
  const double hz = ParseDecimal(h.GpsSyncClock) * 1000000.0;
  const int32_t f = hz > 0 && hz < 2147483647.0 ? static_cast<int32_t>(hz) : 0;
  return h.SampleRate == 250 || h.SampleRate == 62 ? f / 4 : f;
}

double FilterDelaySeconds(uint32_t rateCode) {
  const double r = RateHz(rateCode);
  const bool shortDelay = rateCode == 1000 || rateCode == 4000 || rateCode == 250;
  return (shortDelay ? 38.0 : 39.0) / (r > 40 ? r : 40);
}

const char* ChannelLabelName(int code) { return code >= 0 && code < 6 ? kChannelLabelText[code] : "??"; }

std::string SensorSerialText(const char (&field)[17]) {
  size_t len = 0;
  while (len < 16 && field[len] != '\0') ++len;
  return std::string(field, len);
}

const char* SensorName(int code) { return code >= 0 && code < 8 ? kSensorText[code] : "Unknown sensor"; }

void DecodeHeader(const uint8_t* raw, RecorderHeader& h) {
  std::memcpy(h.Preamble, raw, 4);
  h.PacketLength = Get16(raw + 4);
  h.Field006 = Get16(raw + 6);
  GetText(raw + 8, h.RecorderSerial);
  h.Field018 = Get16(raw + 24);
  h.Field01A = Get16(raw + 26);
  h.SendPacketID = Get32(raw + 28);
  h.Field020 = Get32(raw + 32);
  h.SavePacketID = Get32(raw + 36);
  std::memcpy(h.VersionBytes, raw + 40, 4);
  GetText(raw + 44, h.GpsPosition);
  GetText(raw + 76, h.GpsTime);
  GetText(raw + 100, h.GpsSyncClock);
  h.SampleRate = Get32(raw + 108);
  h.FirstSampleTicks = Get64(raw + 112);

  const double lsb = 3.25 / 1024;
  h.MainTemperature = ((Get16(raw + 122) * lsb - 0.75) / 0.01) + 25.0;
  h.SystemCurrent = Get16(raw + 124) * lsb * 1000 / 2;
  h.MinusFiveVolts = -(Get16(raw + 126) * lsb) * 20 / 4.99;
  h.PlusFiveVolts = Get16(raw + 128) * lsb * 24.02 / 4.02;
  h.SystemVoltage = Get16(raw + 130) * lsb * 22 / 2 + 0.6;

  for (int k = 0; k < kChannels; ++k) {
    GetText(raw + 132 + 16 * k, h.SensorSerial[k]);
    h.Orientation[k][0] = static_cast<char>(raw[228 + k]);
    h.Orientation[k][1] = '\0';
    h.SensorAngle[k] = Get16(raw + 236 + 2 * k);
    h.Spacing[k] = Get16(raw + 248 + 2 * k);
    h.SensorID[k] = raw[260 + k];
    h.ChannelLabel[k] = static_cast<int8_t>(raw[700 + k]);
    h.OverRange[k] = (raw[273] >> (k + 2)) & 1;
    h.ChannelEnabled[k] = (raw[291] >> k) & 1;
    h.DAOffset[k] = 2500.0 - Get16(raw + 292 + 2 * k) * 2500.0 / 32768.0;
  }
  h.Field0EA = raw[234];
  h.Field10A = Get32(raw + 266);
  h.Status = Get64(raw + 272);
  h.GpsLocked = (raw[279] & 0x08) ? 1 : 0;
  h.Bits11A = raw[282] & 3;

  // Two-bit codes packed from byte 0x11F downwards: GainMUX 0..5, GainSEL 0..5, LP filter 0..5.
  int codes[18];
  for (int i = 0; i < 18; ++i) codes[i] = (raw[0x11F - i / 4] >> (2 * (i % 4))) & 3;
  for (int k = 0; k < kChannels; ++k) {
    h.GainMUX[k] = codes[k];
    h.GainSEL[k] = codes[6 + k];
    h.LPF_MUX[k] = codes[12 + k];
  }

  h.Field130 = Get16(raw + 304);
  h.Field132 = Get16(raw + 306);
  GetText(raw + 308, h.SDFilename);
  h.Field174 = Get16(raw + 372);
  h.Field176 = Get16(raw + 374);
  h.SDFileLimit = Get32(raw + 376);
  h.SDFileIndex = Get32(raw + 380);
  h.SDSavedSectors = Get16(raw + 384);
  h.SDFreeSpace = Get16(raw + 386);
  h.Field184 = Get32(raw + 388);
  GetText(raw + 536, h.Comments);

  h.SystemTime.year = Get16(raw + 684);
  h.SystemTime.month = static_cast<int8_t>(raw[686]);
  h.SystemTime.day = static_cast<int8_t>(raw[687]);
  h.SystemTime.hour = static_cast<int8_t>(raw[688]);
  h.SystemTime.minute = static_cast<int8_t>(raw[689]);
  h.SystemTime.second = static_cast<int8_t>(raw[690]);

  ComputeStartTime(h);
}

namespace {

// Writes the header with channel slotChannel[j] in slot j (−1: an unused slot).
void EncodeSlots(uint8_t* raw, const RecorderHeader& r, RecorderHeader& o, const int* slotChannel, uint8_t mask) {
  std::memcpy(raw, r.Preamble, 4);
  PutText(raw + 8, r.RecorderSerial);
  std::memcpy(raw + 40, r.VersionBytes, 4);
  PutText(raw + 44, r.GpsPosition);
  PutText(raw + 76, r.GpsTime);
  PutText(raw + 100, r.GpsSyncClock);
  PutText(raw + 308, r.SDFilename);
  PutText(raw + 536, r.Comments);

  Put16(raw + 4, r.PacketLength);
  Put16(raw + 6, r.Field006);
  Put16(raw + 26, r.Field01A);
  Put32(raw + 28, r.SendPacketID);
  Put32(raw + 32, r.Field020);
  Put32(raw + 36, r.SavePacketID);
  Put64(raw + 112, r.FirstSampleTicks);
  Put32(raw + 266, r.Field10A);
  Put64(raw + 272, r.Status);
  Put16(raw + 372, r.Field174);
  Put16(raw + 374, r.Field176);
  Put32(raw + 376, r.SDFileLimit);
  Put32(raw + 380, r.SDFileIndex);
  Put16(raw + 384, r.SDSavedSectors);
  Put16(raw + 386, r.SDFreeSpace);
  Put32(raw + 388, r.Field184);
  raw[234] = r.Field0EA;
  // Only the two low bits of byte 282 are ours.
  raw[282] = static_cast<uint8_t>((raw[282] & 0xFC) | (r.Bits11A & 3));

  if (o.SampleRate == 0) o.SampleRate = 1;
  Put32(raw + 108, o.SampleRate);

  Put16(raw + 122, Code16(((r.MainTemperature - 25) * 0.01 + 0.75) * 1024 / 3.25));
  Put16(raw + 124, Code16(r.SystemCurrent * 2 * 1.024 / 3.25));
  Put16(raw + 126, Code16(r.MinusFiveVolts * (-4.99) * 1024 / 20 / 3.25));
  Put16(raw + 128, Code16(r.PlusFiveVolts * 4116.48 / 24.02 / 3.25));
  Put16(raw + 130, Code16((r.SystemVoltage - 0.6) * 1024 / 3.25 / 11));

  int codes[18] = {};
  uint8_t overRange = 0;
  for (int j = 0; j < kChannels; ++j) {
    int k = slotChannel[j];
    if (k >= 0) {
      PutText(raw + 132 + 16 * j, o.SensorSerial[k]);
      raw[228 + j] = static_cast<uint8_t>(o.Orientation[k][0]);
      Put16(raw + 236 + 2 * j, o.SensorAngle[k]);
      Put16(raw + 248 + 2 * j, o.Spacing[k]);
      raw[260 + j] = o.SensorID[k];
      raw[700 + j] = static_cast<uint8_t>(o.ChannelLabel[k]);
      // The code that decodes back to the same offset, kept inside 16 bits.
      double code = std::round(32768.0 * (2500.0 - o.DAOffset[k]) / 2500.0);
      if (!(code >= 0)) code = 0;
      if (code > 65535) code = 65535;
      Put16(raw + 292 + 2 * j, static_cast<uint32_t>(code));
      codes[j] = o.GainMUX[k] & 3;
      codes[6 + j] = o.GainSEL[k] & 3;
      codes[12 + j] = o.LPF_MUX[k] & 3;
      if (r.OverRange[k]) overRange |= static_cast<uint8_t>(1u << (j + 2));
    } else {
      std::memset(raw + 132 + 16 * j, ' ', 16);
      raw[228 + j] = 0;
      Put16(raw + 236 + 2 * j, 0);
      Put16(raw + 248 + 2 * j, 0);
      raw[260 + j] = 0;
      raw[700 + j] = kLabelUnused;
      Put16(raw + 292 + 2 * j, 32768);
    }
  }
  for (int b = 0x11B; b <= 0x11F; ++b) raw[b] = 0;
  for (int i = 0; i < 18; ++i) raw[0x11F - i / 4] |= static_cast<uint8_t>(codes[i] << (2 * (i % 4)));
  raw[273] = overRange;
  raw[291] = mask;

  Put16(raw + 304, o.Field130);
  Put16(raw + 306, o.Field132);

  Put16(raw + 684, static_cast<uint32_t>(r.SystemTime.year));
  raw[686] = static_cast<uint8_t>(r.SystemTime.month);
  raw[687] = static_cast<uint8_t>(r.SystemTime.day);
  raw[688] = static_cast<uint8_t>(r.SystemTime.hour);
  raw[689] = static_cast<uint8_t>(r.SystemTime.minute);
  raw[690] = static_cast<uint8_t>(static_cast<int>(r.SystemTime.second));
}

}  // namespace

void EncodeHeader(uint8_t* raw, const RecorderHeader& r, RecorderHeader& o) {
  int slotChannel[kChannels] = {-1, -1, -1, -1, -1, -1};
  int n = 0;
  for (int k = 0; k < kChannels; ++k)
    if (o.ChannelEnabled[k]) slotChannel[n++] = k;
  EncodeSlots(raw, r, o, slotChannel, static_cast<uint8_t>((1u << n) - 1));
}

void EncodeHeaderAsIs(uint8_t* raw, RecorderHeader& h) {
  const int slotChannel[kChannels] = {0, 1, 2, 3, 4, 5};
  uint8_t mask = 0;
  for (int k = 0; k < kChannels; ++k)
    if (h.ChannelEnabled[k]) mask |= static_cast<uint8_t>(1u << k);
  EncodeSlots(raw, h, h, slotChannel, mask);
  Put16(raw + 24, h.Field018);
}

void ComputeGains(RecorderHeader& h) {
  for (int k = 0; k < kChannels; ++k)
    h.ChannelGain[k] = kGainMuxFactor[h.GainMUX[k] & 3] * kGainSelFactor[h.GainSEL[k] & 3];
}

int CountEnabled(const RecorderHeader& h) {
  int n = 0;
  for (int k = 0; k < kChannels; ++k) n += h.ChannelEnabled[k] ? 1 : 0;
  return n;
}

int SampsPerBlockOf(const RecorderHeader& h) { return h.VersionBytes[3] < 0x4A ? 2560 : 5120; }

uint64_t BlockBytes(const RecorderHeader& h) {
  return static_cast<uint64_t>(CountEnabled(h)) * static_cast<uint64_t>(SampsPerBlockOf(h)) * 3u;
}
