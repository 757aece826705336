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
#include "bench/bench_page.h"
#include "datafile/loader.h"
#include "datafile/synth.h"
#include "platform/headless/headless_platform.h"

namespace {

constexpr int kPageRecords = kBenchPageRecords;

const std::string& PageFile() { return BenchPageFile(); }

long FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  return static_cast<long>(in.tellg());
}

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

long ResidentKiB() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// The resident memory of a process right after start-up with no file open,
// measured in a child so that nothing else of this run counts.
void BM_StartupResidentMemory(benchmark::State& state) {
  long startupKiB = 0, baseKiB = 0;
  for (auto _ : state) {
    int fds[2];
    if (pipe(fds) != 0) state.SkipWithError("pipe");
    pid_t pid = fork();
    if (pid == 0) {
      long before = ResidentKiB();
      HeadlessPlatform host;
      AppState s;
      StartupOptions options;
      options.useDirFile = false;
      options.changeToWorkDir = false;
      InitAppState(s, host, options);
      long after = ResidentKiB();
      long values[2] = {before, after};
      ssize_t w = write(fds[1], values, sizeof values);
      _exit(w == sizeof values ? 0 : 1);
    }
    long values[2] = {};
    ssize_t r = read(fds[0], values, sizeof values);
    close(fds[0]);
    close(fds[1]);
    waitpid(pid, nullptr, 0);
    if (r != sizeof values) state.SkipWithError("child");
    baseKiB = values[0];
    startupKiB = values[1];
  }
  state.counters["rss_after_startup_MiB"] = startupKiB / 1024.0;
  state.counters["rss_growth_MiB"] = (startupKiB - baseKiB) / 1024.0;
}
BENCHMARK(BM_StartupResidentMemory)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
