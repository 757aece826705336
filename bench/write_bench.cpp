// Writing recorder files: an unfiltered save, a save through the low-pass
// filter of 5 samples and a decimation by 40 of a 1 GB recording, next to a
// plain copy of the same file in the same run (the filtered save also
// interleaved with the copy, with the ratio of the two); and
// the peak resident memory of each, for a 128 MB and a 1 GB recording (a flat
// profile: the writers stream record by record).

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "app/file_commands.h"
#include "app/open_file.h"
#include "app/state.h"
#include "bench/bench_support.h"
#include "datafile/synth.h"
#include "platform/headless/headless_platform.h"
#include "util/parallel.h"

namespace {

// Recordings of six channels made of one synthesized record repeated, removed at exit.
struct Recordings {
  std::string big = "/tmp/zorvan-bench-write-1g.bin";
  std::string small = "/tmp/zorvan-bench-write-128m.bin";
  std::string out = "/tmp/zorvan-bench-write-out.bin";
  bool made = false;

  void Make() {
    if (made) return;
    made = true;
    const std::vector<char>& record = SixChannelRecord();
    for (auto [path, bytes] : {std::pair{big, 1000000000.0}, std::pair{small, 128000000.0}}) {
      WriteRepeatedRecord(path, static_cast<long>(bytes / static_cast<double>(record.size())));
    }
  }
  ~Recordings() {
    for (const std::string& p : {big, small, out}) std::remove(p.c_str());
  }
};

Recordings& Files() {
  static Recordings files;
  files.Make();
  return files;
}

// Opens in as the desktop program would and writes it to out; the records written.
int WriteCopy(const std::string& in, const std::string& out, int factor, int filterCorner = 0) {
  HeadlessPlatform host;
  AppState s;
  StartupOptions options;
  options.useDirFile = false;
  options.changeToWorkDir = false;
  InitAppState(s, host, options);
  int records = -1;
  if (LoadRecorderFile(s, in)) {
    s.FileLoaded = 1;
    s.DecimationFactor = factor;
    if (filterCorner) {
      s.FilterOn = 1;
      s.LowPassCorner = filterCorner;
    }
    WriteReport report;
    if (WriteProcessedFile(s, out, &report)) records = report.records.front();
  }
  ShutdownAppState(s);
  return records;
}

void BM_SaveUnfiltered(benchmark::State& state) {
  const Recordings& f = Files();
  for (auto _ : state)
    if (WriteCopy(f.big, f.out, 1) <= 0) state.SkipWithError("save failed");
  state.SetBytesProcessed(state.iterations() * FileBytes(f.big));
  std::remove(f.out.c_str());
}
BENCHMARK(BM_SaveUnfiltered)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_Decimate40(benchmark::State& state) {
  const Recordings& f = Files();
  for (auto _ : state)
    if (WriteCopy(f.big, f.out, 40) <= 0) state.SkipWithError("decimation failed");
  state.SetBytesProcessed(state.iterations() * FileBytes(f.big));
  std::remove(f.out.c_str());
}
BENCHMARK(BM_Decimate40)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// As zorvan save --filter 5: every sample through the order-8 low-pass filter.
void BM_SaveFilter5(benchmark::State& state) {
  const Recordings& f = Files();
  for (auto _ : state)
    if (WriteCopy(f.big, f.out, 1, 1) <= 0) state.SkipWithError("save failed");
  state.SetBytesProcessed(state.iterations() * FileBytes(f.big));
  std::remove(f.out.c_str());
}
BENCHMARK(BM_SaveFilter5)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The yardstick: the same file copied with read and write in 1 MiB pieces.
void BM_PlainCopyYardstick(benchmark::State& state) {
  const Recordings& f = Files();
  std::vector<char> buf(1 << 20);
  for (auto _ : state) {
    int from = open(f.big.c_str(), O_RDONLY);
    int to = open(f.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ssize_t n;
    while ((n = read(from, buf.data(), buf.size())) > 0)
      if (write(to, buf.data(), static_cast<size_t>(n)) != n) state.SkipWithError("write");
    close(from);
    if (close(to) != 0) state.SkipWithError("close");
  }
  state.SetBytesProcessed(state.iterations() * FileBytes(f.big));
  std::remove(f.out.c_str());
}
BENCHMARK(BM_PlainCopyYardstick)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The filtered save and its yardsticks interleaved, each timed on its own
// (wall clock and the process's CPU time, system time included): on a shared
// machine they see the same load, and the ratios are the figures to read.
// The cp command runs first in each round, then the read/write copy, then the save.
double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

bool CopyInBlocks(const std::string& from, const std::string& to) {
  std::vector<char> buf(1 << 20);
  int in = open(from.c_str(), O_RDONLY);
  int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  bool ok = in >= 0 && out >= 0;
  ssize_t n;
  while (ok && (n = read(in, buf.data(), buf.size())) > 0) ok = write(out, buf.data(), static_cast<size_t>(n)) == n;
  if (in >= 0) close(in);
  if (out >= 0 && close(out) != 0) ok = false;
  return ok;
}

// The cp command, timed from outside (its CPU time is its own process's).
double CpSeconds(const std::string& from, const std::string& to) {
  const std::string command = "cp " + from + " " + to;
  auto w0 = std::chrono::steady_clock::now();
  const bool ok = std::system(command.c_str()) == 0;
  auto w1 = std::chrono::steady_clock::now();
  std::remove(to.c_str());
  return ok ? std::chrono::duration<double>(w1 - w0).count() : -1.0;
}

void BM_SaveFilter5BesideCopy(benchmark::State& state) {
  const Recordings& f = Files();
  double saveWall = 0, saveCpu = 0, copyWall = 0, copyCpu = 0, cpWall = 0;
  for (auto _ : state) {
    const double cp = CpSeconds(f.big, f.out);
    if (cp < 0) state.SkipWithError("cp failed");
    cpWall += cp;
    auto w0 = std::chrono::steady_clock::now();
    double c0 = CpuSeconds();
    if (!CopyInBlocks(f.big, f.out)) state.SkipWithError("copy failed");
    auto w1 = std::chrono::steady_clock::now();
    double c1 = CpuSeconds();
    std::remove(f.out.c_str());
    auto w2 = std::chrono::steady_clock::now();
    double c2 = CpuSeconds();
    if (WriteCopy(f.big, f.out, 1, 1) <= 0) state.SkipWithError("save failed");
    auto w3 = std::chrono::steady_clock::now();
    double c3 = CpuSeconds();
    std::remove(f.out.c_str());
    copyWall += std::chrono::duration<double>(w1 - w0).count();
    copyCpu += c1 - c0;
    saveWall += std::chrono::duration<double>(w3 - w2).count();
    saveCpu += c3 - c2;
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["input_MB"] = FileBytes(f.big) / 1e6;
  state.counters["save_wall_s"] = saveWall / n;
  state.counters["copy_wall_s"] = copyWall / n;
  state.counters["save_cpu_s"] = saveCpu / n;
  state.counters["copy_cpu_s"] = copyCpu / n;
  state.counters["ratio_wall"] = copyWall > 0 ? saveWall / copyWall : 0;
  state.counters["ratio_cpu"] = copyCpu > 0 ? saveCpu / copyCpu : 0;
  state.counters["cp_wall_s"] = cpWall / n;
  state.counters["ratio_cp_wall"] = cpWall > 0 ? saveWall / cpWall : 0;
  state.counters["threads"] = WorkerThreads();
}
BENCHMARK(BM_SaveFilter5BesideCopy)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// A second yardstick: the cp command itself.
void BM_CpCommandYardstick(benchmark::State& state) {
  const Recordings& f = Files();
  const std::string command = "cp " + f.big + " " + f.out;
  for (auto _ : state)
    if (std::system(command.c_str()) != 0) state.SkipWithError("cp failed");
  state.SetBytesProcessed(state.iterations() * FileBytes(f.big));
  std::remove(f.out.c_str());
}
BENCHMARK(BM_CpCommandYardstick)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Peak resident memory of a child process that writes one copy, and its growth
// over the child's start. Arguments: decimation factor, recording (0 small, 1 big).
void BM_WritePeakResidentMemory(benchmark::State& state) {
  const Recordings& f = Files();
  const int factor = static_cast<int>(state.range(0));
  const std::string& in = state.range(1) ? f.big : f.small;
  long peakKiB = 0, startKiB = 0;
  for (auto _ : state) {
    long values[2] = {};
    bool ok = MeasureInChild(
        [&](long out[2]) {
          ResetPeakResident();
          out[0] = ResidentKiB();
          if (WriteCopy(in, f.out, factor) <= 0) return false;
          out[1] = PeakResidentKiB();
          return true;
        },
        values);
    if (!ok) state.SkipWithError("child");
    startKiB = values[0];
    peakKiB = values[1];
  }
  state.counters["input_MB"] = FileBytes(in) / 1e6;
  state.counters["rss_peak_MiB"] = peakKiB / 1024.0;
  state.counters["rss_growth_MiB"] = (peakKiB - startKiB) / 1024.0;
  std::remove(f.out.c_str());
}
BENCHMARK(BM_WritePeakResidentMemory)
    ->ArgsProduct({{1, 40}, {0, 1}})
    ->ArgNames({"factor", "big"})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
