#pragma once
// What the benchmarks share: recordings made of one generated six-channel
// record repeated, file sizes, and resident memory measured in a child process.

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "datafile/header.h"
#include "datafile/synth.h"

/// One generated record of six enabled channels (2560 samples at 1000 Hz).
inline const std::vector<char>& SixChannelRecord() {
  static std::vector<char> record;
  if (!record.empty()) return record;
  std::string one = "/tmp/zorvan-bench-one.bin";
  SynthOptions o;
  o.records = 1;
  o.channels[5] = o.channels[0];
  o.channels[5].label = 5;
  WriteSynthFile(one, o);
  std::ifstream in(one, std::ios::binary);
  record.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  std::remove(one.c_str());
  return record;
}

/// Writes the record count times into path, each copy starting where the one
/// before ends (its tick count advanced by one record), so a page is not cut at
/// a time gap after every record.
inline void WriteRepeatedRecord(const std::string& path, long count) {
  std::vector<char> record = SixChannelRecord();
  RecorderHeader h;
  DecodeHeader(reinterpret_cast<const uint8_t*>(record.data()), h);
  const uint64_t first = h.FirstSampleTicks;
  const uint64_t perRecord = static_cast<uint64_t>(
      std::llround(static_cast<double>(DecoderClockHz(h)) * SampsPerBlockOf(h) / RateHz(h.SampleRate)));
  std::ofstream out(path, std::ios::binary);
  for (long r = 0; r < count; ++r) {
    const uint64_t ticks = first + static_cast<uint64_t>(r) * perRecord;
    for (int i = 0; i < 8; ++i) record[112 + static_cast<size_t>(i)] = static_cast<char>(ticks >> (56 - 8 * i));
    out.write(record.data(), static_cast<std::streamsize>(record.size()));
  }
}

constexpr int kBenchPageRecords = 3906;  // 9,999,360 points per channel

/// A file in /tmp of this process's own (benchmark runs may overlap), removed
/// at exit with the impedance tables an MT paint of it writes beside it.
struct BenchTempFile {
  std::string path;
  explicit BenchTempFile(const std::string& name)
      : path("/tmp/zorvan-bench-" + std::to_string(getpid()) + "-" + name) {}
  ~BenchTempFile() {
    std::remove(path.c_str());
    if (path.size() > 4 && path.compare(path.size() - 4, 4, ".bin") == 0)
      for (const char* table : {"_ZXX.dat", "_ZXY.dat", "_ZYX.dat", "_ZYY.dat"})
        std::remove((path.substr(0, path.size() - 4) + table).c_str());
  }
};

/// A recording of records copies of the bench record, made once per run.
inline const std::string& BenchRecording(const std::string& name, long records) {
  static std::map<std::string, std::unique_ptr<BenchTempFile>> made;
  std::unique_ptr<BenchTempFile>& file = made[name];
  if (!file) {
    file = std::make_unique<BenchTempFile>(name);
    WriteRepeatedRecord(file->path, records);
  }
  return file->path;
}

/// A recording of kBenchPageRecords records in /tmp, made once per run.
inline const std::string& BenchPageFile() { return BenchRecording("page.bin", kBenchPageRecords); }

inline long FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  return static_cast<long>(in.tellg());
}

inline long ResidentKiB() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

/// The process's peak resident memory (VmHWM) in KiB.
inline long PeakResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string word;
  while (status >> word)
    if (word == "VmHWM:") {
      long kib = 0;
      status >> kib;
      return kib;
    }
  return -1;
}

/// Starts the peak over: a forked child otherwise inherits its parent's.
inline void ResetPeakResident() { std::ofstream("/proc/self/clear_refs") << "5"; }

/// Runs work in a forked child, which fills two numbers; false when the child failed.
template <typename Work>
bool MeasureInChild(Work work, long values[2]) {
  int fds[2];
  if (pipe(fds) != 0) return false;
  pid_t pid = fork();
  if (pid == 0) {
    long out[2] = {0, 0};
    bool ok = work(out);
    ssize_t w = ok ? write(fds[1], out, sizeof out) : 0;
    _exit(w == sizeof out ? 0 : 1);
  }
  close(fds[1]);
  ssize_t r = read(fds[0], values, 2 * sizeof(long));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return r == static_cast<ssize_t>(2 * sizeof(long)) && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
