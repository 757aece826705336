// Full redraws in Fourier and MT mode of a four-channel page (Hx, Hy, Ex, Ey)
// of 1,048,576 and of 9,999,360 points per channel, beside the transforms
// alone: the four real transforms as the pipeline makes them (half-length
// complex transforms) and as four1 over the full length with zero imaginary
// parts would. An untimed first paint grows the work arrays and fits the
// page's trend, which repeated paints of one page keep; BM_FullRedrawMtNewPage
// refits it every time, as the first paint of a page does.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "app/open_file.h"
#include "app/state.h"
#include "bench/bench_support.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/recording_surface.h"
#include "plot/paint.h"
#include "spectral/fft.h"
#include "spectral/realfft.h"
#include "spectral/spectrum.h"

#ifdef ZORVAN_HAVE_FFTW
#include <fftw3.h>
#endif

#ifdef ZORVAN_HAVE_QT
#include "platform/qt/qimage_surface.h"
#endif

namespace {

const std::string& BenchCoilFolder() {
  static std::string dir;
  if (dir.empty()) {
    dir = "/tmp/zorvan-bench-lemi";
    SynthOptions o;
    o.realisticCoil = true;
    WriteResponseFiles(dir, o);
  }
  return dir;
}

// The page with Hz and the sixth channel switched off, loaded once per size.
struct MtPage {
  HeadlessPlatform host;
  AppState s;
  MtPage(int records, int points) {
    StartupOptions options;
    options.useDirFile = false;
    options.changeToWorkDir = false;
    InitAppState(s, host, options);
    s.ResponseDir = BenchCoilFolder();
    s.RecordsPerPlot = records;
    LoadRecorderFile(s, BenchPageFile());
    s.FileLoaded = 1;
    s.NumPlotPoints = std::min(s.NumPlotPoints, points);
    s.OutHeader.ChannelEnabled[2] = 0;
    s.OutHeader.ChannelEnabled[5] = 0;
  }
  ~MtPage() { ShutdownAppState(s); }
};

MtPage& Page(int64_t points) {
  static MtPage* small = nullptr;
  static MtPage* large = nullptr;
  const bool isSmall = points < 5'000'000;
  MtPage*& page = isSmall ? small : large;
  if (!page) page = isSmall ? new MtPage(410, 1 << 20) : new MtPage(kBenchPageRecords, MaxPlotPoints);
  return *page;
}

void Report(benchmark::State& state, const AppState& s) {
  state.counters["points_per_channel"] = s.NumPlotPoints;
  state.counters["N"] = static_cast<double>(TransformLength(s.NumPlotPoints));
}

// The four transforms of the page's length, on copies of its samples.
void Transforms(benchmark::State& state, bool halfLength) {
  MtPage& page = Page(state.range(0));
  AppState& s = page.s;
  const unsigned long N = TransformLength(s.NumPlotPoints);
  const int n = s.NumPlotPoints;
  std::vector<double> work(halfLength ? N + 3 : 2 * N + 1);
  const int chans[4] = {0, 1, 3, 4};
  for (auto _ : state) {
    for (int ch : chans) {
      const double* x = s.yplotdata_orig[ch].data();
      std::fill(work.begin(), work.end(), 0.0);
      if (halfLength) {
        std::copy(x, x + n, work.begin() + 1);
        RealSpectrum(work.data(), N, +1);
      } else {
        for (int i = 0; i < n; ++i) work[2 * static_cast<size_t>(i) + 1] = x[i];
        four1(work.data(), N, +1);
      }
      benchmark::DoNotOptimize(work.data());
    }
  }
  Report(state, s);
}

void BM_TransformsAlone(benchmark::State& state) { Transforms(state, true); }
BENCHMARK(BM_TransformsAlone)->Arg(1 << 20)->Arg(MaxPlotPoints)->Unit(benchmark::kMillisecond);

void BM_TransformsAloneFullLengthFour1(benchmark::State& state) { Transforms(state, false); }
BENCHMARK(BM_TransformsAloneFullLengthFour1)->Arg(1 << 20)->Arg(MaxPlotPoints)->Unit(benchmark::kMillisecond);

#ifdef ZORVAN_HAVE_FFTW
// Yardstick: FFTW's r2c (MEASURE plan, one thread) of the same four channels
// at the same length, zero-padded as ours.
void BM_TransformsFftwYardstick(benchmark::State& state) {
  MtPage& page = Page(state.range(0));
  AppState& s = page.s;
  const unsigned long N = TransformLength(s.NumPlotPoints);
  const int n = s.NumPlotPoints;
  double* in = fftw_alloc_real(N);
  fftw_complex* out = fftw_alloc_complex(N / 2 + 1);
  fftw_plan plan = fftw_plan_dft_r2c_1d(static_cast<int>(N), in, out, FFTW_MEASURE);
  const int chans[4] = {0, 1, 3, 4};
  for (auto _ : state) {
    for (int ch : chans) {
      const double* x = s.yplotdata_orig[ch].data();
      std::copy(x, x + n, in);
      std::fill(in + n, in + N, 0.0);
      fftw_execute(plan);
      benchmark::DoNotOptimize(out);
    }
  }
  fftw_destroy_plan(plan);
  fftw_free(in);
  fftw_free(out);
  Report(state, s);
}
BENCHMARK(BM_TransformsFftwYardstick)->Arg(1 << 20)->Arg(MaxPlotPoints)->Unit(benchmark::kMillisecond);
#endif

// Fourier mode over all six channels of the page, through the given surface.
template <typename MakeSurface>
void RedrawSixChannels(benchmark::State& state, MakeSurface make) {
  static MtPage* six = nullptr;
  if (!six) {
    six = new MtPage(kBenchPageRecords, MaxPlotPoints);
    for (int ch = 0; ch < 6; ++ch) six->s.OutHeader.ChannelEnabled[ch] = 1;
  }
  AppState& s = six->s;
  auto surface = make();
  auto paint = [&] {
    s.FourierOn = s.LogY = 1;
    s.AppResOn = 0;
    s.RedrawAll = 1;
    PaintPlotWindow(s, *surface);
  };
  paint();
  for (auto _ : state) paint();
  s.FourierOn = s.LogY = 0;
  Report(state, s);
}

// Yardstick: the same paint into the recording surface (no Qt, no pixels).
void BM_FullRedrawFourierSixRecordingYardstick(benchmark::State& state) {
  RedrawSixChannels(state, [] { return std::make_unique<RecordingSurface>(1600, 900); });
}
BENCHMARK(BM_FullRedrawFourierSixRecordingYardstick)->Unit(benchmark::kMillisecond)->Iterations(3);

#ifdef ZORVAN_HAVE_QT
void BM_FullRedrawFourierSix(benchmark::State& state) {
  RedrawSixChannels(state, [] { return std::make_unique<QImageSurface>(1600, 900); });
}
BENCHMARK(BM_FullRedrawFourierSix)->Unit(benchmark::kMillisecond)->Iterations(3);

void Redraw(benchmark::State& state, bool mt, bool newPage) {
  MtPage& page = Page(state.range(0));
  AppState& s = page.s;
  QImageSurface image(1600, 900);
  auto paint = [&] {
    s.FourierOn = s.LogY = 1;
    s.AppResOn = mt;
    if (newPage) s.FitValid = 0;
    s.RedrawAll = 1;
    PaintPlotWindow(s, image);
  };
  paint();  // untimed: the work arrays grow to the transform length once
  for (auto _ : state) {
    paint();
    benchmark::DoNotOptimize(image.Image().constBits());
  }
  s.FourierOn = s.AppResOn = s.LogX = s.LogY = 0;
  Report(state, s);
  state.counters["bands"] = mt ? s.PlotCount : 0;
}

void BM_FullRedrawFourier(benchmark::State& state) { Redraw(state, false, false); }
BENCHMARK(BM_FullRedrawFourier)->Arg(1 << 20)->Arg(MaxPlotPoints)->Unit(benchmark::kMillisecond);

void BM_FullRedrawMt(benchmark::State& state) { Redraw(state, true, false); }
BENCHMARK(BM_FullRedrawMt)->Arg(1 << 20)->Arg(MaxPlotPoints)->Unit(benchmark::kMillisecond);

void BM_FullRedrawMtNewPage(benchmark::State& state) { Redraw(state, true, true); }
BENCHMARK(BM_FullRedrawMtNewPage)->Arg(1 << 20)->Arg(MaxPlotPoints)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
