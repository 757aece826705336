// A full redraw of a six-channel time-series page at 1600x900, beside only
// mapping the same points to pixels (the floor of any drawing).

#include <benchmark/benchmark.h>

#include "app/open_file.h"
#include "app/state.h"
#include "bench/bench_support.h"
#include "platform/headless/headless_platform.h"
#include "plot/paint.h"
#include "plot/series.h"

#ifdef ZORVAN_HAVE_QT
#include "platform/qt/qimage_surface.h"
#endif

namespace {

// The page of the given number of records, loaded once per size.
struct LoadedPage {
  HeadlessPlatform host;
  AppState s;
  explicit LoadedPage(int records) {
    StartupOptions options;
    options.useDirFile = false;
    options.changeToWorkDir = false;
    InitAppState(s, host, options);
    s.RecordsPerPlot = records;
    LoadRecorderFile(s, BenchPageFile());
    s.FileLoaded = 1;
  }
  ~LoadedPage() { ShutdownAppState(s); }
};

LoadedPage& Page(int records) {
  static LoadedPage* small = nullptr;
  static LoadedPage* large = nullptr;
  LoadedPage*& page = records < 1000 ? small : large;
  if (!page) page = new LoadedPage(records);
  return *page;
}

int RecordsFor(int64_t points) { return static_cast<int>((points + 2559) / 2560); }

void BM_MapSixChannelsOnly(benchmark::State& state) {
  LoadedPage& page = Page(RecordsFor(state.range(0)));
  AppState& s = page.s;
  // The panels of the full redraw.
  s.ClientWidth = 1600;
  s.ClientHeight = 900;
  s.NumEnabledChans = 6;
  LayoutPanels(s);
  for (auto _ : state) {
    long long sum = 0;
    for (int ch = 0; ch < 6; ++ch) {
      SeriesMapping m;
      m.Setup(
          {s.PlotLeft, s.PlotTop, s.PlotWidth, s.PanelHeight, 0.0, s.xplotdata[s.NumPlotPoints - 1], -1e6, 1e6, 0, 0});
      const double* x = s.xplotdata.data();
      const double* y = s.yplotdata_orig[ch].data();
      for (int i = 0; i < s.NumPlotPoints; ++i) {
        int px = 0, py = 0;
        m.Column(x[i], px);
        m.Row(y[i], py);
        sum += px + py;
      }
    }
    benchmark::DoNotOptimize(sum);
  }
  state.counters["points_per_channel"] = s.NumPlotPoints;
}
BENCHMARK(BM_MapSixChannelsOnly)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond);

#ifdef ZORVAN_HAVE_QT
void BM_FullRedrawTimeSeries(benchmark::State& state) {
  LoadedPage& page = Page(RecordsFor(state.range(0)));
  AppState& s = page.s;
  QImageSurface image(1600, 900);
  for (auto _ : state) {
    s.RedrawAll = 1;
    PaintPlotWindow(s, image);
    benchmark::DoNotOptimize(image.Image().constBits());
  }
  state.counters["points_per_channel"] = s.NumPlotPoints;
}
BENCHMARK(BM_FullRedrawTimeSeries)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
