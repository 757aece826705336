// The transforms at every power of two from 2^12 to 2^24 beside FFTW 3 in the
// same run (MEASURE plans, one thread, planned once per size outside the timing):
// four1 beside an in-place complex FFTW transform, RealSpectrum beside FFTW's
// r2c of the same real samples. Forward and inverse alternate so the values
// stay bounded. The ratio to read is time(ours) / time(FFTW) at the same N.

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "spectral/fft.h"
#include "spectral/realfft.h"

#ifdef ZORVAN_HAVE_FFTW
#include <fftw3.h>
#endif

namespace {

void Fill(double* data, size_t count, unsigned seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (size_t i = 0; i < count; ++i) data[i] = u(rng);
}

void Report(benchmark::State& state, unsigned long N) {
  const double work = static_cast<double>(N) * std::log2(static_cast<double>(N));
  // ns per N·log2 N (Google Benchmark prints the inverted rate with an "s": read 1.2s as 1.2 ns).
  state.counters["ns_per_NlogN"] =
      benchmark::Counter(work * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["N"] = static_cast<double>(N);
}

void BM_Four1Complex(benchmark::State& state) {
  const unsigned long N = 1ul << state.range(0);
  std::vector<double> data(2 * N + 1);
  Fill(data.data(), data.size(), 1);
  int isign = 1;
  for (auto _ : state) {
    four1(data.data(), N, isign);
    isign = -isign;
    benchmark::DoNotOptimize(data.data());
    benchmark::ClobberMemory();
  }
  Report(state, N);
}

void BM_RealSpectrum(benchmark::State& state) {
  const unsigned long N = 1ul << state.range(0);
  std::vector<double> samples(N + 3), data(N + 3);
  Fill(samples.data(), samples.size(), 2);
  for (auto _ : state) {
    // The pipeline also fills its work array afresh for every transform.
    std::copy(samples.begin(), samples.end(), data.begin());
    RealSpectrum(data.data(), N, +1);
    benchmark::DoNotOptimize(data.data());
    benchmark::ClobberMemory();
  }
  Report(state, N);
}

#ifdef ZORVAN_HAVE_FFTW
void BM_FftwComplexYardstick(benchmark::State& state) {
  const unsigned long N = 1ul << state.range(0);
  fftw_complex* data = fftw_alloc_complex(N);
  fftw_plan forward = fftw_plan_dft_1d(static_cast<int>(N), data, data, FFTW_FORWARD, FFTW_MEASURE);
  fftw_plan backward = fftw_plan_dft_1d(static_cast<int>(N), data, data, FFTW_BACKWARD, FFTW_MEASURE);
  Fill(&data[0][0], 2 * N, 1);
  bool fw = true;
  for (auto _ : state) {
    fftw_execute(fw ? forward : backward);
    fw = !fw;
    benchmark::DoNotOptimize(data);
    benchmark::ClobberMemory();
  }
  fftw_destroy_plan(forward);
  fftw_destroy_plan(backward);
  fftw_free(data);
  Report(state, N);
}

void BM_FftwR2cYardstick(benchmark::State& state) {
  const unsigned long N = 1ul << state.range(0);
  double* samples = fftw_alloc_real(N);
  double* in = fftw_alloc_real(N);
  fftw_complex* out = fftw_alloc_complex(N / 2 + 1);
  fftw_plan plan = fftw_plan_dft_r2c_1d(static_cast<int>(N), in, out, FFTW_MEASURE);
  Fill(samples, N, 2);
  for (auto _ : state) {
    std::copy(samples, samples + N, in);  // the same copy as ours (the plan may overwrite its input)
    fftw_execute(plan);
    benchmark::DoNotOptimize(out);
    benchmark::ClobberMemory();
  }
  fftw_destroy_plan(plan);
  fftw_free(samples);
  fftw_free(in);
  fftw_free(out);
  Report(state, N);
}
#endif

// Each of ours right before its yardstick at the same size, so both meet the same load.
const bool registered = [] {
  for (int lg = 12; lg <= 24; ++lg) {
    const std::string n = "/log2N:" + std::to_string(lg);
    auto set = [&](benchmark::internal::Benchmark* b) { b->Arg(lg)->Unit(benchmark::kMicrosecond); };
    set(benchmark::RegisterBenchmark(("BM_Four1Complex" + n).c_str(), BM_Four1Complex));
#ifdef ZORVAN_HAVE_FFTW
    set(benchmark::RegisterBenchmark(("BM_FftwComplexYardstick" + n).c_str(), BM_FftwComplexYardstick));
#endif
    set(benchmark::RegisterBenchmark(("BM_RealSpectrum" + n).c_str(), BM_RealSpectrum));
#ifdef ZORVAN_HAVE_FFTW
    set(benchmark::RegisterBenchmark(("BM_FftwR2cYardstick" + n).c_str(), BM_FftwR2cYardstick));
#endif
  }
  return true;
}();

}  // namespace
