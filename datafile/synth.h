#pragma once
// Generator of recorder files with realistic headers and MT-consistent
// signals, for demos and tests.
//
// Signals: Hx, Hy are independent coloured noise in pT; Ex = Z·Hy and
// Ey = −Z·Hx in mV/km, with Z (mV/km per pT) of a 1-D layered earth for an
// exp(+iωt) time dependence, so a half-space of resistivity ρ has apparent
// resistivity ρ and phase +45° (E leads H). Hz is a small mix of Hx and Hy.
// Physical values become counts by inverting the channel scaling.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "datafile/record_time.h"

struct EarthLayer {
  double resistivity = 100.0;  // ohm-m
  double thickness = 0.0;      // m; ignored for the last layer (the half-space)
};

struct SynthChannel {
  bool enabled = false;
  int label = 5;    // label code: 0 Hx, 1 Hy, 2 Hz, 3 Ex, 4 Ey, 5 NC
  int gainMux = 1;  // codes 0..3
  int gainSel = 0;
  int lpFilter = 1;
  int sensorId = 0;
  int spacing = 0;     // m
  std::string serial;  // up to 16 characters
  char orientation = 'N';
  int angle = 0;
  double daOffset = 0.0;  // mV
};

struct SynthOptions {
  int records = 20;
  uint32_t rateCode = 1000;
  int samplesPerRecord = 2560;  // 2560 or 5120 (the FPGA version byte follows)
  std::array<SynthChannel, 6> channels = DefaultChannels();
  RecordTime start{2026, 12, 7, 13, 45, 10.0};
  std::vector<EarthLayer> earth{{100.0, 0.0}};
  double noise = 0.0;  // white noise on every channel, relative to the channel's rms
  double hRms = 20.0;  // pT
  uint64_t seed = 1;
  bool realisticCoil = false;  // record H through the coil response of the written response files
  std::string recorderSerial = "QOR-0417";
  std::string gpsPosition = "N6451.4021 W14743.1876 A0132.5";  // NMEA-style latitude, longitude, altitude
  std::string comments;                                        // empty: describes the earth model
  // A second station (a remote reference): the same earth and source field, its
  // own independent noise at the same level on every channel, its own recorder
  // and sensor serials, starting remoteDelayRecords records later.
  std::string remotePath;  // empty: no second station
  int remoteDelayRecords = 0;

  static std::array<SynthChannel, 6> DefaultChannels();
};

/// Z in mV/km per pT of the layered earth at frequency f (Hz), exp(+iωt).
struct Complex2 {
  double re = 0, im = 0;
};
Complex2 LayeredEarthImpedance(const std::vector<EarthLayer>& earth, double f);

/// Writes the recording (and the remote station's when remotePath is set);
/// returns an empty string or a message saying what failed.
std::string WriteSynthFile(const std::string& path, const SynthOptions& options);

/// The remote station's options: recorder and sensor serials of its own, a GPS
/// position about 2 km north-east, the start remoteDelayRecords records later.
SynthOptions RemoteStationOptions(const SynthOptions& options);

/// Writes LEMI-120.rsp and LEMI-120_<serial>.rsp for every magnetic channel
/// into dir (created if missing), the remote station's too when one is written: identity (amplitude 200, phase 90°) or
/// the realistic coil response. Returns an empty string or a message.
std::string WriteResponseFiles(const std::string& dir, const SynthOptions& options);

/// The coil's response at f: amplitude (200 = unit gain) and phase in degrees
/// (90 = no shift), as written in the response files.
void CoilResponse(bool realistic, double f, double& amplitude, double& phaseDeg);
