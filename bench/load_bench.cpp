// Loading a page from a file in the page cache, next to a plain memcpy of the
// same bytes; and the resident memory of a fresh start-up.

#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "app/state.h"
#include "bench/bench_support.h"
#include "datafile/loader.h"
#include "datafile/synth.h"
#include "platform/headless/headless_platform.h"

namespace {

constexpr int kPageRecords = kBenchPageRecords;

const std::string& PageFile() { return BenchPageFile(); }


void BM_LoadPage(benchmark::State& state) {
  const std::string& path = PageFile();
  HeadlessPlatform host;
  AppState s;
  StartupOptions options;
  options.useDirFile = false;
  options.changeToWorkDir = false;
  InitAppState(s, host, options);
  s.RecordsPerPlot = kPageRecords;
  LoadRecorderFile(s, path);  // warm the page cache and the arrays
  for (auto _ : state) {
    LoadRecorderFile(s, path);
    benchmark::DoNotOptimize(s.yplotdata[0].data());
  }
  if (s.NumPlotPoints != kPageRecords * 2560) state.SkipWithError("page not loaded");
  state.SetBytesProcessed(state.iterations() * FileBytes(path));
  state.counters["points"] = s.NumPlotPoints;
  ShutdownAppState(s);
}
BENCHMARK(BM_LoadPage)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_MemcpyYardstick(benchmark::State& state) {
  const size_t bytes = static_cast<size_t>(FileBytes(PageFile()));
  std::vector<char> from(bytes, 1), to(bytes, 0);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<long>(bytes));
}
BENCHMARK(BM_MemcpyYardstick)->Unit(benchmark::kMillisecond)->UseRealTime();


// The resident memory of a process right after start-up with no file open,
// measured in a child so that nothing else of this run counts.
void BM_StartupResidentMemory(benchmark::State& state) {
  long startupKiB = 0, baseKiB = 0;
  for (auto _ : state) {
    long values[2] = {};
    bool ok = MeasureInChild(
        [](long out[2]) {
          out[0] = ResidentKiB();
          HeadlessPlatform host;
          AppState s;
          StartupOptions options;
          options.useDirFile = false;
          options.changeToWorkDir = false;
          InitAppState(s, host, options);
          out[1] = ResidentKiB();
          return true;
        },
        values);
    if (!ok) state.SkipWithError("child");
    baseKiB = values[0];
    startupKiB = values[1];
  }
  state.counters["rss_after_startup_MiB"] = startupKiB / 1024.0;
  state.counters["rss_growth_MiB"] = (startupKiB - baseKiB) / 1024.0;
}
BENCHMARK(BM_StartupResidentMemory)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
