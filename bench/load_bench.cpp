// Loading a page from a file in the page cache (opening it, into a fresh state,
// and paging to a later page), next to a memcpy and a plain decode of the same
// bytes; and the resident memory of a fresh start-up.

#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/open_file.h"
#include "app/state.h"
#include "bench/bench_support.h"
#include "datafile/synth.h"
#include "platform/headless/headless_platform.h"

namespace {

constexpr int kPageRecords = kBenchPageRecords;

const std::string& PageFile() { return BenchPageFile(); }
// One record more than a page: the second page starts at record 2.
const std::string& TwoPageFile() { return BenchRecording("two-pages.bin", kPageRecords + 1); }

void StartQuietly(AppState& s, HeadlessPlatform& host) {
  StartupOptions options;
  options.useDirFile = false;
  options.changeToWorkDir = false;
  InitAppState(s, host, options);
  s.RecordsPerPlot = kPageRecords;
}

// MB/s below count the file bytes of the page: its records, headers included.
long PageBytes() { return static_cast<long>(kPageRecords) * static_cast<long>(SixChannelRecord().size()); }

// Opening the file again into a state whose arrays already hold a page.
void BM_LoadPage(benchmark::State& state) {
  const std::string& path = PageFile();
  HeadlessPlatform host;
  AppState s;
  StartQuietly(s, host);
  LoadRecorderFile(s, path);  // warm the page cache and the arrays
  for (auto _ : state) {
    LoadRecorderFile(s, path);
    benchmark::DoNotOptimize(s.yplotdata_orig[0].data());
  }
  if (s.NumPlotPoints != kPageRecords * 2560) state.SkipWithError("page not loaded");
  state.SetBytesProcessed(state.iterations() * PageBytes());
  state.counters["points"] = s.NumPlotPoints;
  ShutdownAppState(s);
}
BENCHMARK(BM_LoadPage)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

// The first open of a fresh start: the page arrays are made as well.
void BM_LoadPageFreshState(benchmark::State& state) {
  const std::string& path = PageFile();
  int points = 0;
  for (auto _ : state) {
    state.PauseTiming();  // start-up (the tapers) is not part of the load
    HeadlessPlatform host;
    auto s = std::make_unique<AppState>();
    StartQuietly(*s, host);
    state.ResumeTiming();
    LoadRecorderFile(*s, path);
    benchmark::DoNotOptimize(s->yplotdata_orig[0].data());
    state.PauseTiming();
    points = s->NumPlotPoints;
    ShutdownAppState(*s);
    s.reset();
    state.ResumeTiming();
  }
  if (points != kPageRecords * 2560) state.SkipWithError("page not loaded");
  state.SetBytesProcessed(state.iterations() * PageBytes());
}
BENCHMARK(BM_LoadPageFreshState)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

// Paging: the second page of a file whose first page is shown.
void BM_LoadLaterPage(benchmark::State& state) {
  const std::string& path = TwoPageFile();
  HeadlessPlatform host;
  AppState s;
  StartQuietly(s, host);
  LoadRecorderFile(s, path);
  LoadPageAt(s, 1);
  for (auto _ : state) {
    LoadPageAt(s, 1);
    benchmark::DoNotOptimize(s.yplotdata_orig[0].data());
  }
  if (s.NumPlotPoints != kPageRecords * 2560 || s.CurrentRecord != 1) state.SkipWithError("page not loaded");
  state.SetBytesProcessed(state.iterations() * PageBytes());
  ShutdownAppState(s);
}
BENCHMARK(BM_LoadLaterPage)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

std::vector<char> PageInMemory() {
  std::vector<char> bytes(static_cast<size_t>(FileBytes(PageFile())));
  std::FILE* f = std::fopen(PageFile().c_str(), "rb");
  if (f) {
    if (std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) bytes.clear();
    std::fclose(f);
  }
  return bytes;
}

void BM_MemcpyYardstick(benchmark::State& state) {
  const std::vector<char> from = PageInMemory();
  std::vector<char> to(from.size(), 0);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size());
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<long>(from.size()));
}
BENCHMARK(BM_MemcpyYardstick)->Unit(benchmark::kMillisecond)->UseRealTime();

// The bytes already in memory, each record's samples decoded into six double
// arrays with no checks: what a load can at best approach.
void BM_DecodeYardstick(benchmark::State& state) {
  const std::vector<char> bytes = PageInMemory();
  const size_t record = SixChannelRecord().size();
  const size_t samples = (record - kHeaderBytes) / (3 * kChannels);
  std::vector<std::vector<double>> out(kChannels, std::vector<double>(samples * kPageRecords));
  for (auto _ : state) {
    for (size_t r = 0; r < static_cast<size_t>(kPageRecords); ++r) {
      const auto* p = reinterpret_cast<const uint8_t*>(bytes.data()) + r * record + kHeaderBytes;
      const size_t base = r * samples;
      for (size_t i = 0; i < samples; ++i)
        for (int ch = 0; ch < kChannels; ++ch, p += 3) {
          const int32_t v = static_cast<int32_t>(static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8) >> 8;
          out[static_cast<size_t>(ch)][base + i] = v;
        }
    }
    benchmark::DoNotOptimize(out[0].data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<long>(bytes.size()));
}
BENCHMARK(BM_DecodeYardstick)->Unit(benchmark::kMillisecond)->UseRealTime();

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
