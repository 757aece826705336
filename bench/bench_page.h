#pragma once
// A six-channel recording of 3906 records of 2560 samples (9,999,360 points
// per channel) in /tmp, made once per run from one generated record repeated.

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "datafile/synth.h"

constexpr int kBenchPageRecords = 3906;

inline const std::string& BenchPageFile() {
  static std::string path;
  if (!path.empty()) return path;
  path = "/tmp/zorvan-bench-page.bin";
  std::string one = "/tmp/zorvan-bench-one.bin";
  SynthOptions o;
  o.records = 1;
  o.channels[5] = o.channels[0];
  o.channels[5].label = 5;
  WriteSynthFile(one, o);
  std::ifstream in(one, std::ios::binary);
  std::vector<char> record((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::ofstream out(path, std::ios::binary);
  for (int r = 0; r < kBenchPageRecords; ++r) out.write(record.data(), static_cast<std::streamsize>(record.size()));
  std::remove(one.c_str());
  return path;
}
