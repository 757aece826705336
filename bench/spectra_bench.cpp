// zorvan spectra of the 9,999,360-point page (goal: 3 s end to end), and its
// rows formatted alone with std::to_chars as the command does, beside the
// same rows formatted with snprintf (the yardstick).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <streambuf>
#include <string>

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
  for (auto _ : state)
    if (std::system(command.c_str()) != 0) state.SkipWithError("zorvan spectra failed");
}
BENCHMARK(BM_SpectraCommand10M)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

void BM_SpectraRowsToChars(benchmark::State& state) {
  SpectraPage& page = Page();
  CountingBuffer sink;
  std::ostream out(&sink);
  for (auto _ : state) WriteSpectraRows(page.s, out);
  state.SetBytesProcessed(sink.bytes);
  state.counters["rows"] = page.s.FftLength / 2;
}
BENCHMARK(BM_SpectraRowsToChars)->Unit(benchmark::kMillisecond)->Iterations(2);

// The same rows with snprintf, as the command formatted them before.
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
BENCHMARK(BM_SpectraRowsSnprintfYardstick)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
