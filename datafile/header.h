#pragma once
// The recorder's record format: a 1024-byte big-endian header followed by a
// block of 24-bit big-endian two's-complement samples of the enabled channels.

#include <cstddef>
#include <cstdint>
#include <string>

#include "datafile/record_time.h"

constexpr int kChannels = 6;
constexpr int kHeaderBytes = 1024;
constexpr int kMaxSampsPerBlock = 5120;

// Label codes of ChannelLabel.
enum ChannelLabelCode {
  kLabelHx = 0,
  kLabelHy = 1,
  kLabelHz = 2,
  kLabelEx = 3,
  kLabelEy = 4,
  kLabelNC = 5,
  kLabelUnused = 6
};

/// The decoded header of one record. A plain record: copy it freely.
struct RecorderHeader {
  uint8_t Preamble[4] = {};
  uint16_t PacketLength = 0;
  uint16_t Field006 = 0;
  char RecorderSerial[17] = {};
  uint16_t Field018 = 0;
  uint16_t Field01A = 0;
  uint32_t SendPacketID = 0;
  uint32_t Field020 = 0;
  uint32_t SavePacketID = 0;
  uint8_t VersionBytes[4] = {};  // [1] firmware version, [3] FPGA version
  char GpsPosition[33] = {};
  char GpsTime[25] = {};
  char GpsSyncClock[9] = {};  // MHz, decimal text
  uint32_t SampleRate = 0;    // code in Hz; 62 means 62.5 Hz
  uint64_t FirstSampleTicks = 0;
  uint32_t FirstSampleMicros = 0;  // derived
  RecordTime StartTime;            // derived: time of the record's first sample
  uint8_t StartTimeKnown = 0;      // derived: the GPS time text and tick count give a real time
  double MainTemperature = 0;      // °C
  double SystemCurrent = 0;        // mA
  double MinusFiveVolts = 0;       // V
  double PlusFiveVolts = 0;        // V
  double SystemVoltage = 0;        // V
  char SensorSerial[kChannels][17] = {};
  char Orientation[kChannels][2] = {};
  int8_t ChannelLabel[kChannels] = {};
  uint8_t Field0EA = 0;
  uint16_t SensorAngle[kChannels] = {};
  uint16_t Spacing[kChannels] = {};  // metres
  uint8_t SensorID[kChannels] = {};
  uint32_t Field10A = 0;
  uint64_t Status = 0;
  int32_t ChannelEnabled[kChannels] = {};
  int32_t OverRange[kChannels] = {};
  int32_t ChannelInvert[kChannels] = {};  // not in the file; set by the header dialogs
  int32_t GainMUX[kChannels] = {};
  int32_t GainSEL[kChannels] = {};
  int32_t LPF_MUX[kChannels] = {};
  int32_t Bits11A = 0;                  // low two bits of byte 282
  int32_t ChannelGain[kChannels] = {};  // computed by ComputeGains
  double DAOffset[kChannels] = {};      // mV
  uint16_t Field130 = 0;
  uint16_t Field132 = 0;
  char SDFilename[65] = {};
  uint16_t Field174 = 0;
  uint16_t Field176 = 0;
  uint32_t SDFileLimit = 0;
  uint32_t SDFileIndex = 0;
  uint16_t SDSavedSectors = 0;
  uint16_t SDFreeSpace = 0;
  uint32_t Field184 = 0;
  RecordTime SystemTime;
  uint8_t GpsLocked = 0;
  char Comments[129] = {};
};

/// Decodes raw into h; ChannelInvert and ChannelGain are left as h held them.
void DecodeHeader(const uint8_t* raw, RecorderHeader& h);

/// Rewrites the decoded byte ranges of raw from the record header r and the
/// output header o; every other byte of raw keeps its value. The output
/// channel set is o's enabled channels, compacted into slots 0, 1, ….
/// o.SampleRate 0 becomes 1 (in o itself).
void EncodeHeader(uint8_t* raw, const RecorderHeader& r, RecorderHeader& o);

void ComputeGains(RecorderHeader& h);

int CountEnabled(const RecorderHeader& h);
/// Samples per channel in one record: 2560 below FPGA version 0x4A, else 5120.
int SampsPerBlockOf(const RecorderHeader& h);
/// Bytes of the record's sample block.
uint64_t BlockBytes(const RecorderHeader& h);

/// Samples per second of a rate code: 62 is 62.5 Hz, every other code is itself.
double RateHz(uint32_t code);
/// A rate the recorder samples at (62 … 16000 Hz), or one a decimation by 40,
/// 80 or 200 makes of it (1 stands for a rate that divided to 0).
bool KnownRateCode(uint32_t code);

/// The clock that counts FirstSampleTicks, in Hz: the GPS sync clock, a
/// quarter of it at rate codes 250 and 62; 0 when the clock text is unusable.
int32_t DecoderClockHz(const RecorderHeader& h);
/// The recorder's filter delay in seconds at a rate code: 38 or 39 samples
/// of the rate (at least 40 Hz).
double FilterDelaySeconds(uint32_t rateCode);

/// A big-endian 24-bit two's-complement sample.
inline int32_t DecodeSample(const uint8_t* b) {
  int32_t v = b[0] << 16 | b[1] << 8 | b[2];
  if (v > 0x7FFFFF) v -= 0x1000000;
  return v;
}

/// Stores floor(x), saturated to the 24-bit range, big-endian; NaN as 0.
/// Inline and without a call of floor: the writers encode every sample.
inline void EncodeSample(double x, uint8_t* b) {
  int32_t v;
  if (x >= 8388608.0) {
    v = 8388607;
  } else if (x >= -8388608.0) {
    v = static_cast<int32_t>(x);  // towards zero; one less below a negative non-integer
    if (static_cast<double>(v) > x) --v;
  } else {
    v = x < 0 ? -8388608 : 0;  // below the range, or NaN
  }
  const uint32_t u = static_cast<uint32_t>(v) & 0xFFFFFFu;
  b[0] = static_cast<uint8_t>(u >> 16);
  b[1] = static_cast<uint8_t>(u >> 8);
  b[2] = static_cast<uint8_t>(u);
}

// Code tables: texts of the header dialogs, in code order.
extern const char* const kChannelLabelText[6];  // "HX" … "NC"
extern const char* const kGainMuxText[4];
extern const int kGainMuxFactor[4];
extern const char* const kGainSelText[4];
extern const int kGainSelFactor[4];
extern const char* const kLpFilterText[4];
extern const char* const kSensorText[8];

/// Text of a label code, "??" for codes outside the table.
const char* ChannelLabelName(int code);
/// The serial text of a header field: up to its terminating zero, at most 16 bytes.
std::string SensorSerialText(const char (&field)[17]);
/// Text of a sensor code, "Unknown sensor" for codes outside the table.
const char* SensorName(int code);

/// Parses the leading decimal number of text as strtod does (0 when none).
double ParseDecimal(const char* text);

/// Writes every decoded field of h in its own slot (no compaction), the enable
/// mask from ChannelEnabled, and Field018: how a recorder lays out a record.
void EncodeHeaderAsIs(uint8_t* raw, RecorderHeader& h);
