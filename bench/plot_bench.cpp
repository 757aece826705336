// Series drawing into a 1600x900 image: the column path that DrawSeries takes
// for a one-pixel pen, beside drawing every segment, beside only mapping the
// points to pixels (the floor) and, with Qt, beside QPainter drawing every
// segment (the general painter; its pixels are not GDI's, it is a yardstick).
// Argument 0: points; argument 1: 0 = a recording-like signal, 1 = white noise
// over the whole panel (every segment long).

#include <benchmark/benchmark.h>

#include <cmath>
#include <map>
#include <random>
#include <utility>
#include <vector>

#include "app/state.h"
#include "plot/series.h"

#ifdef ZORVAN_HAVE_QT
#include <QPainter>

#include "platform/qt/qimage_surface.h"
#endif

namespace {

struct Series {
  std::vector<double> x, y;
};

const Series& Data(int n, int shape) {
  static std::map<std::pair<int, int>, Series> cache;
  auto key = std::make_pair(n, shape);
  auto it = cache.find(key);
  if (it != cache.end()) return it->second;
  Series s;
  s.x.resize(n);
  s.y.resize(n);
  std::mt19937_64 rng(1);
  std::normal_distribution<double> noise(0, 1);
  for (int i = 0; i < n; ++i) {
    s.x[i] = i / 62.5;
    s.y[i] = shape == 0 ? 0.6 * std::sin(i * 2e-5) + 0.2 * std::sin(i * 3e-4) + 0.03 * noise(rng) : noise(rng) / 3;
  }
  return cache.emplace(key, std::move(s)).first->second;
}

SeriesAxes Axes(const Series& s) { return {180, 99, 1440, 700, s.x.front(), s.x.back(), -1.0, 1.0, 0, 0}; }

void BM_MapPointsOnly(benchmark::State& state) {
  const Series& s = Data(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  SeriesMapping m;
  m.Setup(Axes(s));
  for (auto _ : state) {
    long long sum = 0;
    for (size_t i = 0; i < s.x.size(); ++i) {
      int px = 0, py = 0;
      m.Column(s.x[i], px);
      m.Row(s.y[i], py);
      sum += px ^ py;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

#ifdef ZORVAN_HAVE_QT

void DrawInto(benchmark::State& state, SeriesPath path) {
  const Series& s = Data(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  AppState app;
  QImageSurface surface(1600, 900);
  for (auto _ : state) {
    DrawSeries(app, surface, Axes(s), static_cast<int>(s.x.size()), s.y.data(), s.x.data(), nullptr, 0, path);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_DrawSeriesColumns(benchmark::State& state) { DrawInto(state, SeriesPath::Auto); }
void BM_DrawSeriesEverySegment(benchmark::State& state) { DrawInto(state, SeriesPath::PerSegment); }

void BM_QPainterEverySegment(benchmark::State& state) {
  const Series& s = Data(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  EnsureQtGui();
  QImage image(1600, 900, QImage::Format_RGB32);
  image.fill(Qt::white);
  SeriesMapping m;
  m.Setup(Axes(s));
  for (auto _ : state) {
    QPainter painter(&image);
    painter.setPen(QPen(Qt::black, 0));
    painter.setClipRect(180, 99, 1441, 701);
    QPoint previous;
    m.Column(s.x[0], previous.rx());
    m.Row(s.y[0], previous.ry());
    for (size_t i = 1; i < s.x.size(); ++i) {
      QPoint p;
      m.Column(s.x[i], p.rx());
      m.Row(s.y[i], p.ry());
      painter.drawLine(previous, p);
      previous = p;
    }
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

#endif

void Sizes(benchmark::internal::Benchmark* b) {
  for (int shape : {0, 1})
    for (int n : {1'000'000, 10'000'000}) b->Args({n, shape});
  b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_MapPointsOnly)->Apply(Sizes);
#ifdef ZORVAN_HAVE_QT
BENCHMARK(BM_DrawSeriesColumns)->Apply(Sizes);
BENCHMARK(BM_DrawSeriesEverySegment)->Apply(Sizes);
BENCHMARK(BM_QPainterEverySegment)->Apply(Sizes);
#endif

}  // namespace
