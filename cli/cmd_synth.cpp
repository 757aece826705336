// zorvan synth: writes a generated recording and, on request, its coil response files.

#include <cctype>
#include <cstdio>
#include <iostream>

#include "cli/commands.h"
#include "datafile/header.h"
#include "datafile/synth.h"

namespace {

int LabelCode(const std::string& text) {
  static const char* const names[] = {"hx", "hy", "hz", "ex", "ey", "nc"};
  std::string lower;
  for (char c : text) lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  for (int i = 0; i < 6; ++i)
    if (lower == names[i]) return i;
  return -1;
}

// Applies a per-slot list of integers to the channels; returns an error or "".
std::string ApplyIntList(const Args& args, const char* name, long long lo, long long hi, SynthOptions& o,
                         void (*set)(SynthChannel&, int)) {
  auto text = args.Get(name);
  if (!text) return {};
  auto items = SplitList(*text);
  if (items.size() > 6) return std::string("--") + name + " lists more than 6 slots";
  for (size_t i = 0; i < items.size(); ++i) {
    long long v = 0;
    if (!ParseInt(items[i], v) || v < lo || v > hi)
      return std::string("--") + name + " takes whole numbers from " + std::to_string(lo) + " to " + std::to_string(hi);
    set(o.channels[i], static_cast<int>(v));
  }
  return {};
}

std::string ParseStart(const std::string& text, RecordTime& t) {
  int y, mo, d, h, mi;
  double sec;
  char sep;
  if (std::sscanf(text.c_str(), "%d-%d-%d%c%d:%d:%lf", &y, &mo, &d, &sep, &h, &mi, &sec) != 7 ||
      (sep != 'T' && sep != ' ') || mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59 ||
      sec < 0 || sec >= 60 || y < 2000 || y > 2099)
    return "--start takes YYYY-MM-DDTHH:MM:SS[.sss] in 2000..2099";
  t = RecordTime{y, mo, d, h, mi, sec};
  return {};
}

std::string ParseEarth(const std::string& text, std::vector<EarthLayer>& earth) {
  earth.clear();
  auto layers = SplitList(text);
  for (size_t i = 0; i < layers.size(); ++i) {
    auto parts = SplitList(layers[i], ':');
    EarthLayer layer;
    bool last = i + 1 == layers.size();
    if (!ParseDouble(parts[0], layer.resistivity) || layer.resistivity <= 0 || parts.size() > 2 ||
        (!last && (parts.size() != 2 || !ParseDouble(parts[1], layer.thickness) || layer.thickness <= 0)))
      return "--earth takes RHO:THICKNESS,...,RHO (ohm-m and metres; the last layer is the half-space)";
    earth.push_back(layer);
  }
  return {};
}

std::string ReadSynthOptions(const Args& args, SynthOptions& o, std::string& lemiDir) {
  long long v = 0;
  double d = 0;
  if (auto t = args.Get("records")) {
    if (!ParseInt(*t, v) || v < 0 || v > 10000000) return "--records takes a whole number from 0";
    o.records = static_cast<int>(v);
  }
  if (auto t = args.Get("rate")) {
    if (!ParseInt(*t, v) || v < 1 || v > 100000) return "--rate takes a rate code in Hz such as 62, 250 or 1000";
    o.rateCode = static_cast<uint32_t>(v);
  }
  if (auto t = args.Get("samples")) {
    if (!ParseInt(*t, v) || (v != 2560 && v != 5120)) return "--samples takes 2560 or 5120";
    o.samplesPerRecord = static_cast<int>(v);
  }
  if (auto t = args.Get("channels")) {
    auto items = SplitList(*t);
    if (items.size() > 6) return "--channels lists at most 6 slots";
    auto defaults = SynthOptions::DefaultChannels();
    for (auto& c : o.channels) c = SynthChannel{};
    for (size_t i = 0; i < items.size(); ++i) {
      if (items[i] == "-" || items[i] == "off") continue;
      int code = LabelCode(items[i]);
      if (code < 0) return "--channels takes Hx, Hy, Hz, Ex, Ey, NC or - for each slot";
      // Each label brings the sensor set-up of its kind.
      SynthChannel c = code < 5 ? defaults[static_cast<size_t>(code)] : SynthChannel{};
      c.enabled = true;
      c.label = code;
      o.channels[i] = c;
    }
  }
  std::string e;
  if (!(e = ApplyIntList(args, "gain-mux", 0, 3, o, [](SynthChannel& c, int x) { c.gainMux = x; })).empty()) return e;
  if (!(e = ApplyIntList(args, "gain-sel", 0, 3, o, [](SynthChannel& c, int x) { c.gainSel = x; })).empty()) return e;
  if (!(e = ApplyIntList(args, "lp", 0, 3, o, [](SynthChannel& c, int x) { c.lpFilter = x; })).empty()) return e;
  if (!(e = ApplyIntList(args, "sensor-ids", 0, 255, o, [](SynthChannel& c, int x) { c.sensorId = x; })).empty())
    return e;
  if (!(e = ApplyIntList(args, "spacing", 0, 65535, o, [](SynthChannel& c, int x) { c.spacing = x; })).empty())
    return e;
  if (auto t = args.Get("serials")) {
    auto items = SplitList(*t);
    if (items.size() > 6) return "--serials lists at most 6 slots";
    for (size_t i = 0; i < items.size(); ++i) {
      if (items[i].size() > 16) return "--serials: a serial number has at most 16 characters";
      o.channels[i].serial = items[i];
    }
  }
  if (auto t = args.Get("start"); t && !(e = ParseStart(*t, o.start)).empty()) return e;
  if (auto t = args.Get("earth"); t && !(e = ParseEarth(*t, o.earth)).empty()) return e;
  if (auto t = args.Get("noise")) {
    if (!ParseDouble(*t, d) || d < 0 || d > 100) return "--noise takes a relative level from 0";
    o.noise = d;
  }
  if (auto t = args.Get("h-rms")) {
    if (!ParseDouble(*t, d) || d <= 0 || d > 1e5) return "--h-rms takes a level in pT above 0";
    o.hRms = d;
  }
  if (auto t = args.Get("seed")) {
    if (!ParseInt(*t, v) || v < 0) return "--seed takes a whole number from 0";
    o.seed = static_cast<uint64_t>(v);
  }
  if (auto t = args.Get("coil")) {
    if (*t != "identity" && *t != "realistic") return "--coil takes identity or realistic";
    o.realisticCoil = *t == "realistic";
  }
  if (auto t = args.Get("comments")) o.comments = t->substr(0, 128);
  if (auto t = args.Get("remote")) {
    if (t->empty()) return "--remote takes the second station's output file";
    o.remotePath = *t;
  }
  if (auto t = args.Get("remote-delay")) {
    if (!ParseInt(*t, v) || v < 0 || v > 1000000) return "--remote-delay takes a whole number of records from 0";
    if (o.remotePath.empty()) return "--remote-delay needs --remote";
    o.remoteDelayRecords = static_cast<int>(v);
  }
  lemiDir = args.Get("lemi").value_or("");
  return {};
}

}  // namespace

int RunSynth(const Args& args) {
  if (args.positional().size() != 1) return Fail("synth: give the output file (see zorvan synth --help)");
  SynthOptions o;
  std::string lemiDir;
  if (std::string e = ReadSynthOptions(args, o, lemiDir); !e.empty()) return Fail("synth: " + e);
  const std::string path = args.positional()[0];
  if (std::string e = WriteSynthFile(path, o); !e.empty()) return Fail("synth: " + e);
  std::cout << "Wrote " << path << ": " << o.records << " records of " << o.samplesPerRecord << " samples at "
            << RateHz(o.rateCode) << " samples/s\n";
  if (!o.remotePath.empty())
    std::cout << "Wrote " << o.remotePath << ": the remote station, " << o.records << " records starting "
              << o.remoteDelayRecords << " records later\n";
  if (!lemiDir.empty()) {
    if (std::string e = WriteResponseFiles(lemiDir, o); !e.empty()) return Fail("synth: " + e);
    std::cout << "Wrote the " << (o.realisticCoil ? "realistic" : "identity") << " coil response files in " << lemiDir
              << "\n";
  }
  return 0;
}

const CliCommand kSynthCommand{
    "synth",
    "write a generated recording with an MT-consistent signal",
    "Usage: zorvan synth OUT.bin [options]\n"
    "Writes a recorder file: Hx, Hy coloured noise in pT, Ex = Z*Hy and Ey = -Z*Hx in mV/km\n"
    "from a layered earth (a half-space of resistivity R gives apparent resistivity R and\n"
    "phase 45 degrees), Hz a small mix of Hx and Hy.\n\nOptions:\n"
    "  --records N        records to write (default 20)\n"
    "  --rate CODE        sample rate code in Hz; 62 means 62.5 (default 1000)\n"
    "  --samples S        samples per record, 2560 or 5120 (default 2560)\n"
    "  --channels LIST    label of each slot: Hx,Hy,Hz,Ex,Ey,NC or - for an unused slot\n"
    "                     (default Hx,Hy,Hz,Ex,Ey,-)\n"
    "  --gain-mux LIST    GainMUX code 0..3 per slot\n"
    "  --gain-sel LIST    GainSEL code 0..3 per slot\n"
    "  --lp LIST          LP filter code 0..3 per slot\n"
    "  --sensor-ids LIST  sensor ID code per slot (5 LEMI-120, 2 electrode, ...)\n"
    "  --spacing LIST     electrode spacing in metres per slot\n"
    "  --serials LIST     sensor serial number per slot (at most 16 characters)\n"
    "  --start TIME       start of the first sample, YYYY-MM-DDTHH:MM:SS.sss (default 2026-12-07T13:45:10)\n"
    "  --earth MODEL      RHO:THICKNESS,...,RHO in ohm-m and metres (default 100, a half-space)\n"
    "  --noise LEVEL      white noise on every channel relative to its rms (default 0)\n"
    "  --h-rms PT         rms of the magnetic field (default 20)\n"
    "  --seed N           random seed (default 1)\n"
    "  --coil KIND        identity or realistic coil response applied to Hx, Hy (default identity)\n"
    "  --lemi DIR         also write LEMI-120.rsp and LEMI-120_<serial>.rsp into DIR\n"
    "  --comments TEXT    header comments (default: the earth model)\n"
    "  --remote OUT2.bin  also write a second station (a remote reference): the same earth and\n"
    "                     source field, noise of its own at the --noise level on every channel,\n"
    "                     its own recorder and sensor serials (R + the local serial)\n"
    "  --remote-delay K   the second station starts K records later (default 0)\n",
    {},
    {"records",    "rate",    "samples", "channels", "gain-mux", "gain-sel",    "lp",
     "sensor-ids", "spacing", "serials", "start",    "earth",    "noise",       "h-rms",
     "seed",       "coil",    "lemi",    "comments", "remote",   "remote-delay"},
    RunSynth};
