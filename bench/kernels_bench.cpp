// Numerical kernels: four1 (ns per N·log2 N), the start-up tapers (goal: well
// under 50 ms), LowPassStep, LowPassBlock and LowPassRows (samples per second,
// orders 8 and 4; each kernel of LowPassRows side by side), the row
// conversions of the filtered save (rows per second) and the
// Slepian window of a 5120-sample record on first use.

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "app/state.h"
#include "datafile/sample_rows.h"
#include "spectral/fft.h"
#include "spectral/lowpass.h"
#include "spectral/lowpass_kernels.h"
#include "spectral/polyfit.h"
#include "spectral/slepian.h"
#include "spectral/window.h"

namespace {

void BM_Four1(benchmark::State& state) {
  const unsigned long N = static_cast<unsigned long>(state.range(0));
  std::mt19937_64 rng(1);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> data(2 * N + 1);
  for (double& x : data) x = u(rng);
  int isign = 1;
  for (auto _ : state) {
    four1(data.data(), N, isign);
    isign = -isign;  // forward and back keep the values bounded
    benchmark::DoNotOptimize(data.data());
    benchmark::ClobberMemory();
  }
  const double work = static_cast<double>(N) * std::log2(static_cast<double>(N));
  // Time per iteration divided by N·log2 N, in ns (Google Benchmark prints an
  // inverted rate with an "s" suffix: read "1.2s" as 1.2 ns per N·log2 N).
  state.counters["ns_per_NlogN"] =
      benchmark::Counter(work * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Four1)->Arg(1 << 10)->Arg(1 << 16)->Arg(1 << 20)->Arg(1 << 22)->Unit(benchmark::kMillisecond);

void BM_StartupTapers(benchmark::State& state) {
  AppState s;
  for (auto _ : state) {
    s.eigv = DefaultTapers();
    benchmark::DoNotOptimize(s.eigv.data());
  }
}
BENCHMARK(BM_StartupTapers)->Unit(benchmark::kMillisecond);

void BM_SlepianWindowFirstUse5120(benchmark::State& state) {
  for (auto _ : state) {
    AppState s;  // a fresh cache: the taper is computed
    const std::vector<double>& w = SlepianWindow(s.SlepianWindows, 5120);
    benchmark::DoNotOptimize(w.data());
  }
}
BENCHMARK(BM_SlepianWindowFirstUse5120)->Unit(benchmark::kMillisecond);

void BM_LowPassStep(benchmark::State& state) {
  const int corner = static_cast<int>(state.range(0));
  LowPassState s;
  std::mt19937_64 rng(2);
  std::normal_distribution<double> g(0.0, 100.0);
  std::vector<double> input(1 << 16);
  for (double& x : input) x = g(rng);
  double sink = 0;
  for (auto _ : state) {
    for (double x : input) sink += LowPassStep(s, x, corner, 2);
    benchmark::DoNotOptimize(sink);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(input.size()));
  state.SetLabel(corner <= 3 ? "order 8" : "order 4");
}
BENCHMARK(BM_LowPassStep)->Arg(1)->Arg(3)->Arg(4)->Arg(6);

// The same samples through LowPassBlock, the histories in registers for the block.
void BM_LowPassBlock(benchmark::State& state) {
  const int corner = static_cast<int>(state.range(0));
  LowPassState s;
  std::mt19937_64 rng(2);
  std::normal_distribution<double> g(0.0, 100.0);
  std::vector<double> input(1 << 16), output(input.size());
  for (double& x : input) x = g(rng);
  for (auto _ : state) {
    LowPassBlock(s, input.data(), output.data(), static_cast<int>(input.size()), corner, 2);
    benchmark::DoNotOptimize(output.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(input.size()));
  state.SetLabel(corner <= 3 ? "order 8" : "order 4");
}
BENCHMARK(BM_LowPassBlock)->Arg(1)->Arg(3)->Arg(4)->Arg(6);

// Six channels side by side through LowPassRows, as the filtered save runs them;
// items are samples (rows times six).
void BM_LowPassRowsSix(benchmark::State& state) {
  const int corner = static_cast<int>(state.range(0));
  LowPassState s;
  std::mt19937_64 rng(2);
  std::normal_distribution<double> g(0.0, 100.0);
  const int rows = 2560;
  std::vector<double> input(static_cast<size_t>(rows) * kLowPassRowStride), work(input.size());
  for (double& x : input) x = g(rng);
  for (auto _ : state) {
    work = input;
    LowPassRows(s, work.data(), rows, 0x3F, corner);
    benchmark::DoNotOptimize(work.data());
  }
  state.SetItemsProcessed(state.iterations() * rows * 6);
  state.SetLabel(corner <= 3 ? "order 8" : "order 4");
}
BENCHMARK(BM_LowPassRowsSix)->Arg(1)->Arg(4);

// Each LowPassRows kernel on a record of six channels (5120 rows), side by
// side: portable (0), AVX2 (1), AVX-512 (2); skipped where the processor
// lacks the kernel's instructions.
void BM_LowPassRowsKernel(benchmark::State& state) {
  const int corner = static_cast<int>(state.range(0));
  const int which = static_cast<int>(state.range(1));
  LowPassRowsKernel kernel = nullptr;
  if (which == 1 && __builtin_cpu_supports("avx2")) kernel = Avx2LowPassRows();
  if (which == 2 && __builtin_cpu_supports("avx512f")) kernel = Avx512LowPassRows();
  if (which != 0 && !kernel) {
    state.SkipWithError("kernel not available");
    return;
  }
  const LowPassDesign& design = *LowPassDesignOf(corner);
  LowPassState s;
  std::mt19937_64 rng(2);
  std::normal_distribution<double> g(0.0, 100.0);
  const int rows = 5120;
  std::vector<double> work(static_cast<size_t>(rows) * kLowPassRowStride);
  for (double& x : work) x = g(rng);
  for (auto _ : state) {
    if (kernel)
      kernel(s, design, work.data(), rows, 0x3F);
    else
      LowPassRowsPortable(s, work.data(), rows, 0x3F, corner);
    benchmark::DoNotOptimize(work.data());
  }
  state.SetItemsProcessed(state.iterations() * rows);  // rows of six samples
  state.SetLabel(which == 0 ? "portable" : which == 1 ? "avx2" : "avx512");
}
BENCHMARK(BM_LowPassRowsKernel)->ArgsProduct({{1, 4}, {0, 1, 2}})->ArgNames({"corner", "kernel"});

// Whether the benchmark asks for the vector kernel (argument 0 non-zero);
// false, with the benchmark skipped, when this processor has none.
bool WantVectorKernel(benchmark::State& state, bool& vector) {
  vector = state.range(0) != 0;
  if (vector && !sample_rows_detail::Avx2Available()) {
    state.SkipWithError("no AVX2");
    return false;
  }
  return true;
}

// A record's block of six channels (5120 rows) to millivolt rows and back, the
// portable loops (0) beside the vector ones (1); gains of 1 (powers of two) or 40.
void BM_SampleRowsToMillivolts(benchmark::State& state) {
  using namespace sample_rows_detail;
  bool vector;
  if (!WantVectorKernel(state, vector)) return;
  const int rows = 5120;
  std::mt19937 rng(3);
  std::vector<uint8_t> block(static_cast<size_t>(rows) * 18);
  for (uint8_t& b : block) b = static_cast<uint8_t>(rng());
  const int slots[6] = {0, 1, 2, 3, 4, 5};
  const int32_t g = static_cast<int32_t>(state.range(1));
  const int32_t gains[6] = {g, g, g, g, g, g};
  std::vector<double> out(static_cast<size_t>(rows) * kSampleRowStride);
  for (auto _ : state) {
    (vector ? ToRowsAvx2 : ToRowsPortable)(block.data(), rows, slots, 6, gains, 10000.0, out.data());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(BM_SampleRowsToMillivolts)->ArgsProduct({{0, 1}, {1, 40}})->ArgNames({"vector", "gain"});

void BM_SampleRowsToBlock(benchmark::State& state) {
  using namespace sample_rows_detail;
  bool vector;
  if (!WantVectorKernel(state, vector)) return;
  const int rows = 5120;
  std::mt19937_64 rng(4);
  std::normal_distribution<double> g(0.0, 300.0);
  std::vector<double> in(static_cast<size_t>(rows) * kSampleRowStride);
  for (double& x : in) x = g(rng);
  OutputColumn cols[6];
  for (int j = 0; j < 6; ++j) cols[j] = {j, 40, true, j == 1};
  std::vector<uint8_t> block(static_cast<size_t>(rows) * 18);
  for (auto _ : state) {
    (vector ? ToBlockAvx2 : ToBlockPortable)(in.data(), rows, cols, 6, 10000.0, block.data());
    benchmark::DoNotOptimize(block.data());
  }
  state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(BM_SampleRowsToBlock)->Arg(0)->Arg(1)->ArgNames({"vector"});

void BM_PolyFitOrder3(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::vector<double> x(static_cast<size_t>(n)), y(static_cast<size_t>(n)), xo(static_cast<size_t>(n)),
      yo(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    x[static_cast<size_t>(i)] = 500.0 + i / 1024.0;
    y[static_cast<size_t>(i)] = std::sin(i * 0.001) + 1e-3 * i;
  }
  double coeffs[kMaxFitTerms + 1] = {}, rms = 0;
  for (auto _ : state) {
    PolyFit(x.data(), y.data(), xo.data(), yo.data(), coeffs, 3, n, n, &rms);
    benchmark::DoNotOptimize(yo.data());
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_PolyFitOrder3)->Arg(5120)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

void BM_ApplyWindowHanning(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  AppState s;
  std::vector<double> in(static_cast<size_t>(n), 1.0), out(static_cast<size_t>(n));
  for (auto _ : state) {
    ApplyWindow(s.SlepianWindows, in.data(), out.data(), n, 1.0, kWindowHanning);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_ApplyWindowHanning)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

// A filtered copy's block of six channels (2190 rows, gain 40, corner 1):
// the three steps over the whole block (0), FilterInPieces (1) and
// FilterSampleBlock (2, in one pass where the processor has AVX-512).
void BM_FilterSampleBlock(benchmark::State& state) {
  const int way = static_cast<int>(state.range(0));
  const int rows = 2190;
  std::mt19937 rng(5);
  std::vector<uint8_t> block(static_cast<size_t>(rows) * 18), out(block.size());
  for (uint8_t& b : block) b = static_cast<uint8_t>(rng() & 0x0F);
  const int slots[6] = {0, 1, 2, 3, 4, 5};
  const int32_t gains[6] = {40, 40, 40, 40, 40, 40};
  OutputColumn cols[6];
  for (int j = 0; j < 6; ++j) cols[j] = {j, 40, true, false};
  std::vector<double> work(static_cast<size_t>(rows) * kSampleRowStride);
  LowPassState s;
  for (auto _ : state) {
    if (way == 0) {
      BlockToMillivoltRows(block.data(), rows, slots, 6, gains, 10000.0, work.data());
      LowPassRows(s, work.data(), rows, 0x3F, 1);
      MillivoltRowsToBlock(work.data(), rows, cols, 6, 10000.0, out.data());
    } else if (way == 1) {
      sample_rows_detail::FilterInPieces(block.data(), rows, slots, 6, gains, cols, 6, 10000.0, 1, s, out.data());
    } else {
      FilterSampleBlock(block.data(), rows, slots, 6, gains, cols, 6, 10000.0, 1, s, out.data());
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * rows);
  state.SetLabel(way == 0 ? "three steps" : way == 1 ? "in pieces" : "chosen");
}
BENCHMARK(BM_FilterSampleBlock)->DenseRange(0, 2)->ArgNames({"way"});

}  // namespace
