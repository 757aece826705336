#include "plot/frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "app/state.h"
#include "platform/headless/recording_surface.h"

namespace {

// Panel used throughout: 1000 x 200 at (100, 300). Label font 26 px (16 px a
// character on the recording surface), exponent font 18 px, X ticks 10/5 px,
// Y ticks 8/4 px.
constexpr int kLeft = 100, kTop = 300, kW = 1000, kH = 200;
constexpr int kRight = kLeft + kW, kBottom = kTop + kH;
constexpr int kLabelTop = kBottom + 13;

struct TickMark {
  int pos;
  int length;
  bool operator==(const TickMark&) const = default;
};

// Ticks drawn from an edge: each follows the axis piece that ends where it
// starts. X ticks are vertical lines leaving y = edge, Y ticks horizontal lines
// leaving x = edge; in drawing order.
std::vector<TickMark> Ticks(const RecordingSurface& s, bool vertical, int edge, int direction) {
  std::vector<TickMark> out;
  for (size_t i = 1; i < s.lines.size(); ++i) {
    const RecordedLine& l = s.lines[i];
    const RecordedLine& axis = s.lines[i - 1];
    if (axis.x1 != l.x0 || axis.y1 != l.y0) continue;
    if (vertical && l.x0 == l.x1 && l.y0 == edge && axis.y0 == edge && (l.y1 - l.y0) * direction > 0)
      out.push_back({l.x0, std::abs(l.y1 - l.y0)});
    if (!vertical && l.y0 == l.y1 && l.x0 == edge && axis.x0 == edge && (l.x1 - l.x0) * direction > 0)
      out.push_back({l.y0, std::abs(l.x1 - l.x0)});
  }
  return out;
}
std::vector<TickMark> XTicks(const RecordingSurface& s, int edge, int direction) {
  return Ticks(s, true, edge, direction);
}
std::vector<TickMark> YTicks(const RecordingSurface& s, int edge, int direction) {
  return Ticks(s, false, edge, direction);
}

FrameSpec TimePanel(double xmin, double xmax, double xstep) {
  FrameSpec f;
  f.left = kLeft;
  f.top = kTop;
  f.width = kW;
  f.height = kH;
  f.xmin = xmin;
  f.xmax = xmax;
  f.xstep = xstep;
  f.ymin = -1;
  f.ymax = 1;
  f.ystep = NiceStep(2);
  f.XAxisTitle = "UTC";
  f.XLabelsOn = 1;
  return f;
}

AppState StateAt(int year, int month, int day, int hour, int minute, double second) {
  AppState s;
  s.PlotFirstRecordTime = {year, month, day, hour, minute, second};
  return s;
}

TEST(TickSteps, NiceStepIsOneTwoTwoAndAHalfFiveOrTenTimesAPowerOfTen) {
  EXPECT_EQ(NiceStep(0), 10);
  EXPECT_DOUBLE_EQ(NiceStep(10), 2);
  EXPECT_DOUBLE_EQ(NiceStep(5), 1);
  EXPECT_DOUBLE_EQ(NiceStep(12), 2.5);  // 2.4 -> 3 -> 2.5
  EXPECT_DOUBLE_EQ(NiceStep(17), 5);    // 3.4 -> 4 -> 5
  EXPECT_DOUBLE_EQ(NiceStep(40), 10);   // 8 -> 10
  EXPECT_DOUBLE_EQ(NiceStep(-10), 2);
  EXPECT_DOUBLE_EQ(NiceStep(4e-5), 1e-5);
  EXPECT_DOUBLE_EQ(NiceStep(0.02), 0.005);
  EXPECT_DOUBLE_EQ(NiceStep(3000), 500);  // 600: mantissa 6 becomes 5
}

TEST(TickSteps, TimeStepFollowsTheClock) {
  EXPECT_DOUBLE_EQ(TimeStep(10), 2);
  EXPECT_DOUBLE_EQ(TimeStep(31), 10);
  EXPECT_DOUBLE_EQ(TimeStep(25), 5);
  EXPECT_EQ(TimeStep(60), 15);
  EXPECT_EQ(TimeStep(100), 30);
  EXPECT_EQ(TimeStep(1000), 300);
  EXPECT_EQ(TimeStep(3599), 600);
  EXPECT_EQ(TimeStep(3600), 900);
  EXPECT_EQ(TimeStep(40000), 7200);
  EXPECT_EQ(TimeStep(86399), 14400);
  EXPECT_EQ(TimeStep(86400), 21600);
  EXPECT_EQ(TimeStep(200000), 43200);
  EXPECT_EQ(TimeStep(300000), 86400);
  EXPECT_EQ(TimeStep(3000000), 86400);
}

TEST(TickLabels, PlainAndExponentForms) {
  auto display = [](double v, double s) { return FormatTickLabel(v, s).display; };
  EXPECT_EQ(display(3, 1), " 3");
  EXPECT_EQ(display(-4, 2), "-4");
  EXPECT_EQ(display(0.3, 0.1), " 0.30");
  EXPECT_EQ(display(0.7, 0.1), " 0.70");  // 0.7 is 0.6999... in binary
  EXPECT_EQ(display(-0.25, 0.25), "-0.25");
  EXPECT_EQ(display(7.5, 2.5), " 7.5");
  EXPECT_EQ(display(1.5, 0.5), " 1.5");
  EXPECT_EQ(display(1e-12, 1), "0");
  TickLabel zero = FormatTickLabel(0, 1);
  EXPECT_EQ(zero.label, "0");
  EXPECT_EQ(zero.exponent, "0");

  TickLabel small = FormatTickLabel(5e-5, 1e-5);
  EXPECT_EQ(small.label, " 50E-6");
  EXPECT_EQ(small.display, " 50x10");
  EXPECT_EQ(small.exponent, "-6");
  // Negative values round to the nearest whole number as positive ones do.
  EXPECT_EQ(FormatTickLabel(-3e-5, 1e-5).label, "-30E-6");
  EXPECT_EQ(FormatTickLabel(-1.05e-3, 5e-5).label, "-105E-5");
  TickLabel large = FormatTickLabel(40000, 20000);
  EXPECT_EQ(large.label, " 40E3");
  EXPECT_EQ(large.exponent, "3");
  EXPECT_EQ(FormatTickLabel(12, 1).exponent, "");
}

TEST(FrameTimeAxis, TenSecondPlotLabelsEveryEvenSecondWithTheDateFirst) {
  AppState s = StateAt(2024, 3, 5, 10, 20, 31.0);
  RecordingSurface sf;
  DrawPlotFrame(s, sf, TimePanel(0, 10, TimeStep(10)));

  // Majors on even clock seconds (x = 1, 3, ... 9), five divisions each.
  std::vector<TickMark> bottom = XTicks(sf, kBottom, -1);
  ASSERT_EQ(bottom.size(), 25u);
  for (int k = 0; k < 25; ++k) {
    int px = kLeft + 20 + 40 * k;
    bool major = (px - kLeft) % 200 == 100;
    EXPECT_EQ(bottom[k], (TickMark{px, major ? 10 : 5})) << k;
  }
  // The top side repeats them pointing down.
  std::vector<TickMark> top = XTicks(sf, kTop, +1);
  EXPECT_EQ(top, bottom);

  // 200 px apart, the date label (272 px) would run into the next one: every
  // second major carries a label, on multiples of 4 s.
  const RecordedText* first = sf.FindText("03/05/24 10:20:32");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->x, kLeft + 100 - first->size.cx / 2);
  const RecordedText* second = sf.FindText("10:20:36");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->x, kLeft + 500 - second->size.cx / 2);
  EXPECT_NE(sf.FindText("10:20:40"), nullptr);
  for (const char* absent : {"10:20:34", "10:20:38"}) EXPECT_EQ(sf.FindText(absent), nullptr) << absent;

  // On a panel twice as wide every major is labelled.
  sf.Clear();
  FrameSpec wide = TimePanel(0, 10, TimeStep(10));
  wide.width = 2 * kW;
  DrawPlotFrame(s, sf, wide);
  const char* expected[] = {"03/05/24 10:20:32", "10:20:34", "10:20:36", "10:20:38", "10:20:40"};
  for (int k = 0; k < 5; ++k) {
    const RecordedText* t = sf.FindText(expected[k]);
    ASSERT_NE(t, nullptr) << expected[k];
    EXPECT_EQ(t->x, kLeft + 200 + 400 * k - t->size.cx / 2);
    EXPECT_EQ(t->y, kLabelTop);
    EXPECT_EQ(t->font.height, 26);
    EXPECT_EQ(t->font.weight, 500);
  }
  const RecordedText* title = sf.FindText("UTC");
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->x, kLeft + 2 * kW);
  EXPECT_EQ(title->y, kLabelTop);
}

TEST(FrameTimeAxis, StepsBelowAHundredthShowMilliseconds) {
  AppState s = StateAt(2024, 3, 5, 10, 20, 31.0);
  RecordingSurface sf;
  FrameSpec f = TimePanel(0.5, 0.52, TimeStep(0.02));
  ASSERT_DOUBLE_EQ(f.xstep, 0.005);
  DrawPlotFrame(s, sf, f);
  // Majors 250 px apart hold every second label (each 0.01 s); the last
  // major lies on the right edge, its label would overlap the end and is
  // left out.
  for (const char* label : {"03/05/24 10:20:31.500", "10:20:31.510"}) EXPECT_NE(sf.FindText(label), nullptr) << label;
  for (const char* label : {"10:20:31.505", "10:20:31.515", "10:20:31.520"})
    EXPECT_EQ(sf.FindText(label), nullptr) << label;

  RecordingSurface tenths;
  DrawPlotFrame(s, tenths, TimePanel(0, 0.3, 0.05));
  EXPECT_NE(tenths.FindText("03/05/24 10:20:31.00"), nullptr);
  EXPECT_NE(tenths.FindText("10:20:31.10"), nullptr);
}

TEST(FrameTimeAxis, LabelsCarryTheDecimalsTheStepNeeds) {
  // A 12.8 s page from 13:45:10: majors every 2.5 s.
  AppState s = StateAt(2026, 12, 7, 13, 45, 10.0);
  RecordingSurface sf;
  FrameSpec f = TimePanel(0, 12.795, TimeStep(12.795));
  ASSERT_DOUBLE_EQ(f.xstep, 2.5);
  f.width = 2000;
  DrawPlotFrame(s, sf, f);
  for (const char* label : {"12/07/26 13:45:10.0", "13:45:12.5", "13:45:15.0", "13:45:17.5", "13:45:20.0"})
    EXPECT_NE(sf.FindText(label), nullptr) << label;
  EXPECT_EQ(sf.FindText("13:45:13"), nullptr);

  auto labels = [](const RecordingSurface& r) {
    std::vector<std::string> out;
    for (const auto& t : r.texts)
      if (t.y == kLabelTop && t.text != "UTC") out.push_back(t.text);
    return out;
  };
  // 0.25 s: two decimals; 0.025 s: three; 0.2 ms (a 0.6 ms zoom): four.
  struct Case {
    double xmin, xmax;
    std::vector<std::string> expected;
  } cases[] = {
      {0, 1.2, {"12/07/26 13:45:10.00", "13:45:10.25", "13:45:10.50", "13:45:10.75", "13:45:11.00"}},
      {0.1, 0.22, {"12/07/26 13:45:10.100", "13:45:10.125", "13:45:10.150", "13:45:10.175", "13:45:10.200"}},
      {0.3, 0.3006, {"12/07/26 13:45:10.3000", "13:45:10.3002", "13:45:10.3004"}},
  };
  for (const Case& c : cases) {
    RecordingSurface r;
    FrameSpec z = TimePanel(c.xmin, c.xmax, TimeStep(c.xmax - c.xmin));
    z.width = 2000;
    DrawPlotFrame(s, r, z);
    EXPECT_EQ(labels(r), c.expected) << z.xstep;
  }
  // A step of 2 microseconds shows all six decimals.
  RecordingSurface micro;
  FrameSpec m = TimePanel(0.5, 0.50001, TimeStep(0.00001));
  ASSERT_DOUBLE_EQ(m.xstep, 2e-6);
  m.width = 4000;
  DrawPlotFrame(s, micro, m);
  EXPECT_NE(micro.FindText("12/07/26 13:45:10.500000"), nullptr);
  EXPECT_NE(micro.FindText("13:45:10.500002"), nullptr);
}

TEST(FrameTimeAxis, RoundingNeverPrintsSixtySeconds) {
  // The first major lies 0.0004 s short of the next minute in floating point
  // noise; its label carries into the minute, hour and date.
  AppState s = StateAt(2026, 12, 31, 23, 59, 59.9);
  RecordingSurface sf;
  FrameSpec f = TimePanel(0, 0.2, 0.05);
  f.width = 2000;
  DrawPlotFrame(s, sf, f);
  for (const auto& t : sf.texts) EXPECT_EQ(t.text.find(":60"), std::string::npos) << t.text;
  EXPECT_NE(sf.FindText("01/01/27 00:00:00.00"), nullptr);
  EXPECT_NE(sf.FindText("12/31/26 23:59:59.90"), nullptr);
}

TEST(FrameTimeAxis, DateRepeatsOnTheFirstLabelOfANewDay) {
  AppState s = StateAt(2024, 2, 28, 23, 59, 50.0);
  RecordingSurface sf;
  DrawPlotFrame(s, sf, TimePanel(0, 20, TimeStep(20)));
  for (const char* label : {"02/28/24 23:59:50", "23:59:55", "02/29/24 00:00:00", "00:00:05"})
    EXPECT_NE(sf.FindText(label), nullptr) << label;
  EXPECT_EQ(sf.FindText("00:00:10"), nullptr);  // on the right edge
}

TEST(FrameTimeAxis, HawaiiTimeIsTenHoursEarlierWithTheSameTicks) {
  AppState utc = StateAt(2024, 3, 1, 5, 0, 1.0);
  AppState hst = utc;
  hst.TimeFormatHST = 1;
  RecordingSurface a, b;
  FrameSpec f = TimePanel(0, 10, 2);
  f.width = 2000;
  DrawPlotFrame(utc, a, f);
  f.XAxisTitle = "HST";
  DrawPlotFrame(hst, b, f);
  ASSERT_EQ(a.lines.size(), b.lines.size());
  for (size_t i = 0; i < a.lines.size(); ++i) {
    EXPECT_EQ(a.lines[i].x0, b.lines[i].x0);
    EXPECT_EQ(a.lines[i].y1, b.lines[i].y1);
  }
  EXPECT_NE(a.FindText("03/01/24 05:00:02"), nullptr);
  EXPECT_NE(a.FindText("05:00:10"), nullptr);
  EXPECT_NE(b.FindText("02/29/24 19:00:02"), nullptr);
  EXPECT_NE(b.FindText("19:00:10"), nullptr);
  EXPECT_EQ(b.FindText("03/01/24 05:00:02"), nullptr);
}

TEST(FrameTimeAxis, TopAndBottomTicksAlignInTheZoneShown) {
  // A day from 07:30 UTC with 4 h steps: in HST (UTC - 10 h) the majors lie
  // on 00:00, 04:00 ... HST, 2 h away from the UTC multiples, on both edges.
  AppState s = StateAt(2024, 3, 1, 7, 30, 0.0);
  s.TimeFormatHST = 1;
  RecordingSurface sf;
  FrameSpec f = TimePanel(0, 86400, TimeStep(86399));
  ASSERT_EQ(f.xstep, 14400);
  f.width = 2400;  // 100 px an hour
  f.XAxisTitle = "HST";
  DrawPlotFrame(s, sf, f);
  std::vector<TickMark> bottom = XTicks(sf, kBottom, -1);
  std::vector<TickMark> top = XTicks(sf, kTop, +1);
  ASSERT_FALSE(bottom.empty());
  ASSERT_EQ(top.size(), bottom.size());
  for (size_t i = 0; i < bottom.size(); ++i) {
    EXPECT_EQ(top[i].length, bottom[i].length) << i;
    EXPECT_LE(std::abs(top[i].pos - bottom[i].pos), 1) << i;
  }
  // 07:30 UTC is 21:30 HST: the first major is 00:00 HST, 2.5 h in.
  std::vector<int> majors;
  for (const TickMark& t : top)
    if (t.length == 24) majors.push_back(t.pos - kLeft);
  EXPECT_EQ(majors, (std::vector<int>{250, 650, 1050, 1450, 1850, 2250}));
  EXPECT_NE(sf.FindText("03/01/24 00:00:00"), nullptr);
  EXPECT_NE(sf.FindText("04:00:00"), nullptr);
}

TEST(FrameTimeAxis, LongPagesThinTheirLabelsAndShowEachDateOnce) {
  // Fourteen days: 86400 s steps, 71 px apart on this panel, every label a
  // new date (272 px): every fourth day is labelled, none overlapping.
  AppState s = StateAt(2026, 12, 1, 0, 0, 0.0);
  RecordingSurface sf;
  FrameSpec f = TimePanel(0, 14 * 86400.0, TimeStep(14 * 86400.0));
  ASSERT_EQ(f.xstep, 86400);
  DrawPlotFrame(s, sf, f);
  std::vector<const RecordedText*> labels;
  for (const auto& t : sf.texts)
    if (t.y == kLabelTop && t.text != "UTC") labels.push_back(&t);
  ASSERT_GE(labels.size(), 2u);
  for (size_t i = 1; i < labels.size(); ++i) {
    EXPECT_GE(labels[i]->x, labels[i - 1]->x + labels[i - 1]->size.cx) << labels[i]->text;
    EXPECT_EQ(labels[i]->text.size(), 17u) << labels[i]->text;  // a new date each
  }

  // Seven days of 6 h steps on a narrow panel: time-only labels between the
  // dates, a date only where it changes.
  RecordingSurface week;
  FrameSpec w = TimePanel(0, 2 * 86400.0, 21600);
  w.width = 1400;
  DrawPlotFrame(s, week, w);
  std::vector<std::string> texts;
  int lastRight = -100000;
  for (const auto& t : week.texts)
    if (t.y == kLabelTop && t.text != "UTC") {
      texts.push_back(t.text);
      EXPECT_GE(t.x, lastRight) << t.text;
      lastRight = t.x + t.size.cx;
    }
  EXPECT_EQ(texts, (std::vector<std::string>{"12/01/26 00:00:00", "12:00:00", "12/02/26 00:00:00", "12:00:00"}));
}

TEST(FrameTimeAxis, LabelAtTheRightEndIsShortenedOrLeftOut) {
  AppState s = StateAt(2024, 2, 28, 23, 59, 50.0);
  // The new day's first label (x = 10) would need its date; near the end it
  // is shown as time only.
  RecordingSurface near;
  DrawPlotFrame(s, near, TimePanel(0, 11, 5));
  const RecordedText* t = near.FindText("00:00:00");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->x, kLeft + 909 - 64);
  EXPECT_EQ(near.FindText("02/29/24 00:00:00"), nullptr);
  // Closer still, even the short form would overlap: nothing is drawn.
  RecordingSurface nearer;
  DrawPlotFrame(s, nearer, TimePanel(0, 10.5, 5));
  EXPECT_EQ(nearer.FindText("00:00:00"), nullptr);
  EXPECT_EQ(nearer.FindText("02/29/24 00:00:00"), nullptr);
  EXPECT_NE(nearer.FindText("23:59:55"), nullptr);
}

TEST(FrameTimeAxis, LabelsOnlyOnTheBottomPanelAndMinorDivisionsFollowTheStep) {
  AppState s = StateAt(2024, 3, 5, 10, 0, 0.0);
  RecordingSurface sf;
  FrameSpec f = TimePanel(0, 60, 15);
  f.XLabelsOn = 0;
  DrawPlotFrame(s, sf, f);
  EXPECT_EQ(sf.FindText("10:00:15"), nullptr);
  EXPECT_EQ(sf.FindText("UTC"), nullptr);
  std::vector<TickMark> ticks = XTicks(sf, kBottom, -1);
  ASSERT_EQ(ticks.size(), 13u);  // 15 s in three divisions of 5 s, 0..60
  EXPECT_EQ(ticks[0].length, 10);
  EXPECT_EQ(ticks[1].length, 5);
  EXPECT_EQ(ticks[3].length, 10);
}

TEST(FrameFrequencyAxis, LinearLabelsAndMinorDivisionsByMantissa) {
  AppState s;
  s.FourierOn = 1;
  RecordingSurface sf;
  FrameSpec f = TimePanel(0, 10, 2);
  f.XAxisTitle = "Hz";
  DrawPlotFrame(s, sf, f);
  // Mantissa 2: four divisions.
  std::vector<TickMark> ticks = XTicks(sf, kBottom, -1);
  ASSERT_EQ(ticks.size(), 21u);
  EXPECT_EQ(ticks[4], (TickMark{kLeft + 200, 10}));
  EXPECT_EQ(ticks[5], (TickMark{kLeft + 250, 5}));
  for (const char* label : {"0", " 2", " 4", " 6", " 8", " 10", "Hz"}) EXPECT_NE(sf.FindText(label), nullptr) << label;

  RecordingSurface big;
  f.xmin = 0;
  f.xmax = 50000;
  f.xstep = 10000;
  DrawPlotFrame(s, big, f);
  const RecordedText* mant = big.FindText("2x10");
  ASSERT_NE(mant, nullptr);
  EXPECT_EQ(mant->x, kLeft + 400 - mant->size.cx / 2);
  bool exponentAfter = false;
  for (const auto& t : big.texts)
    if (t.text == "4" && t.font.height == 18 && t.x == mant->x + mant->size.cx && t.y > kBottom && t.y < kLabelTop)
      exponentAfter = true;
  EXPECT_TRUE(exponentAfter);
}

TEST(FrameLogAxes, DecadesOnTheFrequencyAxis) {
  AppState s;
  s.FourierOn = 1;
  RecordingSurface sf;
  FrameSpec f = TimePanel(0.01, 1000, 1);
  f.logx = 1;
  f.XAxisTitle = "Hz";
  DrawPlotFrame(s, sf, f);
  std::vector<TickMark> ticks = XTicks(sf, kBottom, -1);
  ASSERT_EQ(ticks.size(), 46u);  // 9 per decade over five decades, and 1000
  for (int d = 0; d <= 5; ++d) EXPECT_EQ(ticks[9 * d], (TickMark{kLeft + 200 * d, 10})) << d;
  EXPECT_EQ(ticks[1], (TickMark{kLeft + 60, 5}));  // log10(2) x 200
  const char* labels[] = {"0.01", "0.1", "1", "10", "100", "1000"};
  for (int d = 0; d <= 5; ++d) {
    const RecordedText* t = sf.FindText(labels[d]);
    ASSERT_NE(t, nullptr) << labels[d];
    EXPECT_EQ(t->x, kLeft + 200 * d - t->size.cx / 2);
    EXPECT_EQ(t->y, kLabelTop);
  }
  // The title keeps clear of the label at the right end.
  const RecordedText* hz = sf.FindText("Hz");
  ASSERT_NE(hz, nullptr);
  const RecordedText* end = sf.FindText("1000");
  EXPECT_EQ(hz->x, end->x + end->size.cx + 13);

  // Beyond 10^3 and below 10^-3: "10" with a superscript 0.2 F below the axis.
  RecordingSurface wide;
  f.xmin = 1e-5;
  f.xmax = 1e5;
  DrawPlotFrame(s, wide, f);
  int tens = 0;
  std::vector<std::string> exponents;
  for (const auto& t : wide.texts) {
    if (t.text == "10" && t.font.height == 26) ++tens;
    if (t.font.height == 18) {
      exponents.push_back(t.text);
      EXPECT_EQ(t.y, kBottom + 5);
    }
  }
  EXPECT_EQ(exponents, (std::vector<std::string>{"-5", "-4", "4", "5"}));
  EXPECT_EQ(tens, 5);  // four powers and the decade 10^1
}

TEST(FrameLogAxes, FirstTickRoundedBelowTheLowerLimitIsNotDrawn) {
  AppState s;
  s.FourierOn = 1;
  RecordingSurface sf;
  FrameSpec f = TimePanel(0.15, 10, 1);
  f.logx = 1;
  DrawPlotFrame(s, sf, f);
  std::vector<TickMark> ticks = XTicks(sf, kBottom, -1);
  ASSERT_FALSE(ticks.empty());
  for (const auto& t : ticks) EXPECT_GE(t.pos, kLeft);
  for (const auto& l : sf.lines) EXPECT_GE(std::min(l.x0, l.x1), kLeft);
}

TEST(FrameLogAxes, YDecadesLabelledAboutFiveTimes) {
  AppState s;
  s.FourierOn = 1;
  RecordingSurface sf;
  FrameSpec f = TimePanel(1, 100, 10);
  f.ymin = 1e-3;
  f.ymax = 1e7;
  f.logy = 1;
  DrawPlotFrame(s, sf, f);
  std::vector<TickMark> left = YTicks(sf, kLeft, +1);
  std::vector<TickMark> right = YTicks(sf, kRight, -1);
  ASSERT_EQ(left.size(), 91u);
  EXPECT_EQ(right.size(), left.size());
  EXPECT_EQ(left[0], (TickMark{kBottom, 8}));
  EXPECT_EQ(left[9], (TickMark{kBottom - 20, 8}));
  EXPECT_EQ(left[1].length, 4);
  std::vector<std::string> exponents;
  for (const auto& t : sf.texts)
    if (t.font.height == 18) exponents.push_back(t.text);
  EXPECT_EQ(exponents, (std::vector<std::string>{"-2", "0", "2", "4", "6"}));
  // "10" ends 1.4 of its width left of the axis, raised half a font height;
  // the exponent ends 0.007 W left of the axis, raised 0.7 F.
  for (const auto& t : sf.texts) {
    if (t.text == "0" && t.font.height == 18) {
      EXPECT_EQ(t.x + t.size.cx, kLeft - 7);
      EXPECT_EQ(t.y, kBottom - 60 - 18);
    }
  }
  const RecordedText* ten = sf.FindText("10");
  ASSERT_NE(ten, nullptr);
  EXPECT_EQ(ten->x + ten->size.cx, kLeft - 44);
  EXPECT_EQ(ten->y, kBottom - 20 - 13);

  // Within one decade (apparent resistivities near 100 ohm-m) the ticks carry plain numbers.
  RecordingSurface narrow;
  f.ymin = 55;
  f.ymax = 140;
  DrawPlotFrame(s, narrow, f);
  std::vector<std::string> labels;
  for (const auto& t : narrow.texts)
    if (t.font.escapement == 0 && t.x < kLeft) labels.push_back(t.text);
  EXPECT_EQ(labels, (std::vector<std::string>{"60", "70", "80", "100"}));  // 90 would crowd 80

  // A log Y axis with a limit of 0 or less is drawn linear.
  RecordingSurface linear;
  f.ymin = 0;
  f.ystep = NiceStep(140);
  DrawPlotFrame(s, linear, f);
  EXPECT_EQ(YTicks(linear, kLeft, +1).size(), 29u);  // 0 .. 140 in fives
  EXPECT_NE(linear.FindText("0"), nullptr);
  EXPECT_NE(linear.FindText(" 50"), nullptr);
}

// Texts of the X label row and of the left Y labels (label font, left of the axis).
std::vector<std::string> XLabelRow(const RecordingSurface& sf) {
  std::vector<std::string> out;
  for (const auto& t : sf.texts)
    if (t.y == kLabelTop && t.font.height == 26 && t.text != "Hz") out.push_back(t.text);
  return out;
}
std::vector<std::string> YLabels(const RecordingSurface& sf) {
  std::vector<std::string> out;
  for (const auto& t : sf.texts)
    if (t.font.escapement == 0 && t.font.height == 26 && t.x < kLeft && t.y < kBottom) out.push_back(t.text);
  return out;
}

TEST(FrameLogAxes, NarrowAxesCarryIntermediateNumbers) {
  AppState s;
  s.FourierOn = s.AppResOn = 1;
  // The bands of a one-record MT page, 187-312 Hz: no decade inside, so each
  // of 1-9 times the decade is labelled, on its tick.
  RecordingSurface mt;
  FrameSpec f = TimePanel(187, 312, NiceStep(125));
  f.logx = 1;
  f.XAxisTitle = "Hz";
  DrawPlotFrame(s, mt, f);
  EXPECT_EQ(XLabelRow(mt), (std::vector<std::string>{"200", "300"}));
  const double sx = kW / (std::log10(312.0) - std::log10(187.0));
  const RecordedText* t200 = mt.FindText("200");
  EXPECT_EQ(t200->x + t200->size.cx / 2, kLeft + static_cast<int>((std::log10(200.0) - std::log10(187.0)) * sx));
  // 92-100 Hz: round steps of 2 with ticks of their own; a panel above gets
  // the same ticks without labels.
  RecordingSurface below, above;
  FrameSpec narrow = f;
  narrow.xmin = 92;
  narrow.xmax = 100;
  DrawPlotFrame(s, below, narrow);
  EXPECT_EQ(XLabelRow(below), (std::vector<std::string>{"92", "94", "96", "98", "100"}));
  narrow.XLabelsOn = 0;
  DrawPlotFrame(s, above, narrow);
  EXPECT_EQ(XTicks(above, kBottom, -1), XTicks(below, kBottom, -1));
  EXPECT_EQ(XTicks(above, kBottom, -1).size(), 5u);  // 92, 94, 96, 98 and the decade 100
  EXPECT_TRUE(XLabelRow(above).empty());

  // Between one and two decades: 1, 2 and 5 times the decades.
  RecordingSurface mid;
  f.xmin = 3;
  f.xmax = 80;
  DrawPlotFrame(s, mid, f);
  EXPECT_EQ(XLabelRow(mid), (std::vector<std::string>{"5", "10", "20", "50"}));

  // Apparent resistivities of 92-100 ohm-m: round steps of 2 get numbers and ticks.
  RecordingSurface rho;
  f = TimePanel(187, 312, 25);
  f.logx = 1;
  f.XLabelsOn = 0;
  f.logy = 1;
  f.ymin = 92;
  f.ymax = 100;
  DrawPlotFrame(s, rho, f);
  EXPECT_EQ(YLabels(rho), (std::vector<std::string>{"92", "94", "96", "98"}));  // 100 lies on the top edge
  const RecordedText* t94 = rho.FindText("94");
  const int py94 =
      kBottom - static_cast<int>((std::log10(94.0) - std::log10(92.0)) * kH / (std::log10(100.0) - std::log10(92.0)));
  EXPECT_EQ(t94->y + t94->size.cy / 2, py94);
  EXPECT_EQ(t94->x + t94->size.cx, kLeft - 13);
  std::vector<TickMark> left = YTicks(rho, kLeft, +1);
  EXPECT_TRUE(std::any_of(left.begin(), left.end(), [&](const TickMark& m) { return m.pos == py94 && m.length == 8; }));

  // Powers of a spectrum in a narrow band keep their exponent.
  RecordingSurface psd;
  f.ymin = 3e-7;
  f.ymax = 8e-7;
  DrawPlotFrame(s, psd, f);
  std::vector<std::string> labels = YLabels(psd);
  ASSERT_GE(labels.size(), 2u);
  EXPECT_EQ(labels[0], "3x10");
  EXPECT_NE(psd.FindText("-7"), nullptr);
}

TEST(FrameYAxis, SmallLimitsShareTheExponentMinusFive) {
  AppState s = StateAt(2024, 3, 5, 10, 0, 0.0);
  RecordingSurface sf;
  FrameSpec f = TimePanel(0, 10, 2);
  f.ymin = -0.00002;
  f.ymax = 0.00002;
  f.ystep = NiceStep(f.ymax - f.ymin);
  f.XLabelsOn = 0;
  DrawPlotFrame(s, sf, f);
  // Five divisions of 1e-5: ticks every 10 px, majors every 50.
  std::vector<TickMark> left = YTicks(sf, kLeft, +1);
  ASSERT_EQ(left.size(), 21u);
  EXPECT_EQ(left[0], (TickMark{kBottom, 8}));
  EXPECT_EQ(left[1], (TickMark{kBottom - 10, 4}));
  EXPECT_EQ(left[5], (TickMark{kBottom - 50, 8}));
  EXPECT_EQ(left[20], (TickMark{kTop, 4}));  // the top tick is never long
  // The top label would reach above the panel and is not drawn.
  std::vector<std::string> mantissas, exponents;
  for (const auto& t : sf.texts) {
    if (t.font.height == 26 && t.font.escapement == 0) mantissas.push_back(t.text);
    if (t.font.height == 18) exponents.push_back(t.text);
  }
  EXPECT_EQ(mantissas, (std::vector<std::string>{" -2.00x10", " -1.00x10", "  0.00x10", "  1.00x10"}));
  EXPECT_EQ(exponents, (std::vector<std::string>(4, "-5")));
  const RecordedText* zero = sf.FindText("  0.00x10");
  ASSERT_NE(zero, nullptr);
  EXPECT_EQ(zero->y, kBottom - 100 - 13);
  EXPECT_LT(zero->x + zero->size.cx, kLeft);
  for (const auto& t : sf.texts) {
    if (t.font.height == 18) {
      EXPECT_LE(t.x + t.size.cx, kLeft - 2);
    }
  }
}

TEST(FrameYAxis, PlainLabelsRightAlignedHalfATextHeightLeftOfTheAxis) {
  AppState s;
  RecordingSurface sf;
  FrameSpec f = TimePanel(0, 10, 2);
  f.ymin = -10;
  f.ymax = 10;
  f.ystep = NiceStep(20);  // 5: five divisions
  f.XLabelsOn = 0;
  DrawPlotFrame(s, sf, f);
  for (const char* label : {"-10", "-5", "0", " 5"}) {
    const RecordedText* t = sf.FindText(label);
    ASSERT_NE(t, nullptr) << label;
    EXPECT_EQ(t->x + t->size.cx, kLeft - 13);
  }
  EXPECT_EQ(sf.FindText("0")->y, kBottom - 100 - 13);
  EXPECT_EQ(sf.FindText(" 10"), nullptr);
  // Right side: ticks from the multiple of the step at or inside ymin.
  std::vector<TickMark> right = YTicks(sf, kRight, -1);
  ASSERT_EQ(right.size(), 21u);
  EXPECT_EQ(right[0], (TickMark{kBottom, 4}));
  EXPECT_EQ(right[5], (TickMark{kBottom - 50, 8}));
}

TEST(FrameLayout, TitlesAndTheVerticalLabel) {
  AppState s;
  RecordingSurface sf;
  FrameSpec f = TimePanel(0, 10, 2);
  f.PanelTitle = "/data/site1.bin";
  f.YAxisLabel = "Hx, pT";
  f.XLabelsOn = 0;
  DrawPlotFrame(s, sf, f);
  const RecordedText* title = sf.FindText("/data/site1.bin");
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->x, kLeft);
  EXPECT_EQ(title->y, kTop - 36);  // 0.05 H + title height
  const RecordedText* label = sf.FindText("Hx, pT");
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->font.escapement, 900);
  EXPECT_EQ(label->x, kLeft - 130);
  // Runs upwards from y, centred on the panel.
  EXPECT_EQ(label->y - label->size.cx / 2, kTop + kH / 2);
  // Pen and font of the caller are back; every line used the standard pen.
  EXPECT_EQ(sf.CurrentPen(), kStockPen);
  EXPECT_EQ(sf.CurrentFont(), kStockFont);
  for (const auto& l : sf.lines) EXPECT_EQ(l.pen.width, 2);
  // Sides close at the corners.
  auto hasLineTo = [&](int x, int y) {
    return std::any_of(sf.lines.begin(), sf.lines.end(), [&](const RecordedLine& l) { return l.x1 == x && l.y1 == y; });
  };
  EXPECT_TRUE(hasLineTo(kRight, kBottom));
  EXPECT_TRUE(hasLineTo(kRight, kTop));
  EXPECT_TRUE(hasLineTo(kLeft, kTop));

  // Wide exponent labels push the vertical label out instead of running into it.
  RecordingSurface wide;
  FrameSpec big = TimePanel(0, 10, 2);
  big.left = 300;
  big.ymin = -20000;
  big.ymax = 20000;
  big.ystep = NiceStep(40000);
  big.YAxisLabel = "Ex, mV/km";
  DrawPlotFrame(s, wide, big);
  const RecordedText* vertical = wide.FindText("Ex, mV/km");
  ASSERT_NE(vertical, nullptr);
  for (const RecordedText& t : wide.texts)
    if (t.font.escapement == 0 && t.x < big.left && t.y > kTop && t.y < kBottom) {
      EXPECT_GE(t.x, vertical->x + vertical->size.cy) << t.text;
    }

  RecordingSurface empty;
  f.xmax = f.xmin;
  DrawPlotFrame(s, empty, f);
  EXPECT_TRUE(empty.lines.empty());
  EXPECT_TRUE(empty.texts.empty());
}

}  // namespace
