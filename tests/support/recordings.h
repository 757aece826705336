#pragma once
// Small generated recordings for tests.

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "datafile/synth.h"
#include "tests/support/temp_dir.h"

/// Options of a small recording: records of 2560 samples at 1000 Hz, channels as given.
inline SynthOptions SmallRecording(int records, const std::string& labels = "Hx,Hy,Ex,Ey") {
  SynthOptions o;
  o.records = records;
  auto defaults = SynthOptions::DefaultChannels();
  for (auto& c : o.channels) c = SynthChannel{};
  static const char* const names[] = {"Hx", "Hy", "Hz", "Ex", "Ey", "NC"};
  size_t slot = 0, start = 0;
  while (start <= labels.size() && slot < 6) {
    size_t comma = labels.find(',', start);
    std::string item = labels.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    for (int code = 0; code < 6; ++code)
      if (item == names[code]) {
        o.channels[slot] = code < 5 ? defaults[static_cast<size_t>(code)] : SynthChannel{};
        o.channels[slot].enabled = true;
        o.channels[slot].label = code;
      }
    ++slot;
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return o;
}

inline std::string WriteRecording(const TempDir& dir, const std::string& name, const SynthOptions& o) {
  std::string path = dir / name;
  std::string error = WriteSynthFile(path, o);
  EXPECT_EQ(error, "");
  return path;
}
