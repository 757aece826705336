// Paging and repainting in the main window. Step forward and step back near
// the end of a 100-record file at ten records per plot both seek to their
// page through the record index, so they should cost the same; beside them
// a plain read of the same ten records. A repaint that was not requested
// only copies the off-screen image and draws the cursor over it; beside it a
// memcpy of the image's bytes.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/open_file.h"
#include "app/state.h"
#include "bench/bench_support.h"
#include "platform/headless/headless_platform.h"

#ifdef ZORVAN_HAVE_QT
#include <QCoreApplication>

#include "platform/qt/main_window.h"
#include "platform/qt/plot_widget.h"
#include "platform/qt/qimage_surface.h"
#endif

namespace {

constexpr int kRecords = 100;
constexpr int kPerPlot = 10;
constexpr int kPageStart = 80;  // the page paged onto: records 81 to 90

const std::string& HundredRecordFile() {
  static std::string path;
  if (path.empty()) {
    path = "/tmp/zorvan-bench-hundred.bin";
    WriteRepeatedRecord(path, kRecords);
  }
  return path;
}

struct Paging {
  HeadlessPlatform host;
  AppState s;
  Paging() {
    StartupOptions options;
    options.useDirFile = false;
    options.changeToWorkDir = false;
    InitAppState(s, host, options);
    host.AnswerOpen(HundredRecordFile(), std::to_string(kPerPlot));
    CmdOpenFile(s);
  }
  ~Paging() { ShutdownAppState(s); }
};

long PageBytes() { return FileBytes(HundredRecordFile()) / kRecords * kPerPlot; }

// One page from the record before, as the forward button does.
void BM_StepForwardNearEnd(benchmark::State& state) {
  Paging p;
  for (auto _ : state) {
    state.PauseTiming();
    LoadPageAt(p.s, kPageStart - kPerPlot);
    state.ResumeTiming();
    CmdStepForward(p.s);
  }
  if (p.s.CurrentRecord != kPageStart || p.s.NumPlotPoints != kPerPlot * 2560) state.SkipWithError("wrong page");
  state.SetBytesProcessed(state.iterations() * PageBytes());
}
BENCHMARK(BM_StepForwardNearEnd)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The same page from the page after, as the back button does.
void BM_StepBackNearEnd(benchmark::State& state) {
  Paging p;
  for (auto _ : state) {
    state.PauseTiming();
    LoadPageAt(p.s, kPageStart + kPerPlot);
    state.ResumeTiming();
    CmdStepBack(p.s);
  }
  if (p.s.CurrentRecord != kPageStart || p.s.NumPlotPoints != kPerPlot * 2560) state.SkipWithError("wrong page");
  state.SetBytesProcessed(state.iterations() * PageBytes());
}
BENCHMARK(BM_StepBackNearEnd)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Yardstick: seek to the page and read its bytes, nothing decoded.
void BM_ReadPageBytesYardstick(benchmark::State& state) {
  const long bytes = PageBytes();
  std::vector<char> buffer(static_cast<size_t>(bytes));
  std::FILE* f = std::fopen(HundredRecordFile().c_str(), "rb");
  for (auto _ : state) {
    std::fseek(f, bytes / kPerPlot * kPageStart, SEEK_SET);
    size_t n = std::fread(buffer.data(), 1, buffer.size(), f);
    benchmark::DoNotOptimize(n);
  }
  std::fclose(f);
  state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_ReadPageBytesYardstick)->Unit(benchmark::kMicrosecond)->UseRealTime();

#ifdef ZORVAN_HAVE_QT
constexpr int kWidth = 1600, kHeight = 900;

// A paint of the plot area with no redraw due: copy, cursor cross, markers, on screen.
void BM_RepaintCopyOnly(benchmark::State& state) {
  EnsureQtGui();
  StartupOptions options;
  options.useDirFile = false;
  options.changeToWorkDir = false;
  MainWindow window(options);
  window.show();
  window.resize(kWidth, kHeight + 100);
  QCoreApplication::processEvents();
  window.OpenAtStart(HundredRecordFile());
  QCoreApplication::processEvents();
  window.Plot()->FlushRedraw();
  window.State().RedrawAll = 0;  // as after a click
  const int redraws = window.Plot()->FullRedraws();
  for (auto _ : state) window.Plot()->repaint();
  if (window.Plot()->FullRedraws() != redraws) state.SkipWithError("a paint redrew");
  state.counters["pixels"] = static_cast<double>(window.Plot()->width()) * window.Plot()->height();
  state.SetBytesProcessed(state.iterations() * 4L * window.Plot()->width() * window.Plot()->height());
}
BENCHMARK(BM_RepaintCopyOnly)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Yardstick: memcpy of the bytes of an image of that size.
void BM_ImageMemcpyYardstick(benchmark::State& state) {
  const size_t bytes = 4UL * kWidth * kHeight;
  std::vector<char> from(bytes, 1), to(bytes, 0);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<long>(bytes));
}
BENCHMARK(BM_ImageMemcpyYardstick)->Unit(benchmark::kMicrosecond)->UseRealTime();
#endif

}  // namespace
