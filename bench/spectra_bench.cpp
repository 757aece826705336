// zorvan spectra of the 9,999,360-point page (goal: 3 s end to end), and its
// rows formatted alone as the command does, beside the same rows formatted
// with std::to_chars and with snprintf on one thread (the yardsticks).

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "app/analysis.h"
#include "app/open_file.h"
#include "app/state.h"
#include "bench/bench_support.h"
#include "cli/commands.h"
#include "platform/headless/headless_platform.h"
#include "plot/paint.h"

namespace {

// The page's spectra, computed once.
struct SpectraPage {
  HeadlessPlatform host;
  AppState s;
  SpectraPage() {
    StartupOptions options;
    options.useDirFile = false;
    options.changeToWorkDir = false;
    InitAppState(s, host, options);
    s.RecordsPerPlot = kBenchPageRecords;
    LoadRecorderFile(s, BenchPageFile());
    s.FileLoaded = 1;
    s.FourierOn = 1;
    AnalysePage(s);
  }
};

SpectraPage& Page() {
  static SpectraPage* page = new SpectraPage;
  return *page;
}

// Counts what is written and keeps nothing.
struct CountingBuffer : std::streambuf {
  long bytes = 0;
  std::streamsize xsputn(const char*, std::streamsize n) override {
    bytes += n;
    return n;
  }
  int overflow(int c) override {
    ++bytes;
    return c;
  }
};

void BM_SpectraCommand10M(benchmark::State& state) {
  const std::string command = std::string(ZORVAN_BINARY) + " spectra " + BenchPageFile() + " --records-per-plot " +
                              std::to_string(kBenchPageRecords) + " > /dev/null";
  // The child's CPU time (user and system, both threads) beside the wall
  // time, and the machine's load average when the run started.
  auto childSeconds = [] {
    rusage u;
    getrusage(RUSAGE_CHILDREN, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           1e-6 * static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
  };
  double load = 0;
  if (std::FILE* f = std::fopen("/proc/loadavg", "r")) {
    if (std::fscanf(f, "%lf", &load) != 1) load = 0;
    std::fclose(f);
  }
  const double before = childSeconds();
  for (auto _ : state)
    if (std::system(command.c_str()) != 0) state.SkipWithError("zorvan spectra failed");
  state.counters["child_cpu_s"] = benchmark::Counter(childSeconds() - before, benchmark::Counter::kAvgIterations);
  state.counters["load_avg"] = load;
}
BENCHMARK(BM_SpectraCommand10M)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

// The command's rows: the fixed-precision formatter on both cores.
void BM_SpectraRows(benchmark::State& state) {
  SpectraPage& page = Page();
  CountingBuffer sink;
  std::ostream out(&sink);
  for (auto _ : state) WriteSpectraRows(page.s, out);
  state.SetBytesProcessed(sink.bytes);
  state.counters["rows"] = page.s.FftLength / 2;
}
BENCHMARK(BM_SpectraRows)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime()->MeasureProcessCPUTime();

// The same rows with std::to_chars on one thread, as the command formatted
// them before.
void BM_SpectraRowsToCharsYardstick(benchmark::State& state) {
  SpectraPage& page = Page();
  const AppState& s = page.s;
  CountingBuffer sink;
  std::ostream out(&sink);
  for (auto _ : state) {
    const double df = 2 * s.FreqStep;
    std::vector<char> buffer(size_t{1} << 20);
    size_t used = 0;
    for (int b = 0; b < s.FftLength / 2; ++b) {
      if (buffer.size() - used < 256) {
        out.write(buffer.data(), static_cast<std::streamsize>(used));
        used = 0;
      }
      char* p = buffer.data() + used;
      char* end = buffer.data() + buffer.size();
      p = std::to_chars(p, end, b * df, std::chars_format::general, 9).ptr;
      for (int ch = 0; ch < kChannels; ++ch) {
        if (!s.OutHeader.ChannelEnabled[ch]) continue;
        *p++ = ',';
        p = std::to_chars(p, end, s.yplotdata[ch][static_cast<size_t>(b)], std::chars_format::scientific, 6).ptr;
      }
      *p++ = '\n';
      used = static_cast<size_t>(p - buffer.data());
    }
    out.write(buffer.data(), static_cast<std::streamsize>(used));
  }
  state.SetBytesProcessed(sink.bytes);
}
BENCHMARK(BM_SpectraRowsToCharsYardstick)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

// The same rows with snprintf, as the command formatted them at first.
void BM_SpectraRowsSnprintfYardstick(benchmark::State& state) {
  SpectraPage& page = Page();
  const AppState& s = page.s;
  CountingBuffer sink;
  std::ostream out(&sink);
  for (auto _ : state) {
    const double df = 2 * s.FreqStep;
    char cell[64];
    std::string line;
    for (int b = 0; b < s.FftLength / 2; ++b) {
      std::snprintf(cell, sizeof cell, "%.9g", b * df);
      line = cell;
      for (int ch = 0; ch < kChannels; ++ch) {
        if (!s.OutHeader.ChannelEnabled[ch]) continue;
        std::snprintf(cell, sizeof cell, ",%.6e", s.yplotdata[ch][static_cast<size_t>(b)]);
        line += cell;
      }
      line += '\n';
      out << line;
    }
  }
  state.SetBytesProcessed(sink.bytes);
}
BENCHMARK(BM_SpectraRowsSnprintfYardstick)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

}  // namespace
