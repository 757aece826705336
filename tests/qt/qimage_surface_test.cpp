#include "platform/qt/qimage_surface.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <cstdio>
#include <set>
#include <utility>

namespace {

using PixelSet = std::set<std::pair<int, int>>;

PixelSet Dark(const QImageSurface& s) {
  PixelSet out;
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x)
      if (s.PixelAt(x, y) != kWhite) out.insert({x, y});
  return out;
}

PixelSet Line(int w, int h, int x0, int y0, int x1, int y1) {
  QImageSurface s(w, h);
  s.MoveTo(x0, y0);
  s.LineTo(x1, y1);
  return Dark(s);
}

TEST(ThinLine, DrawsStartLeavesOutEndAndNothingForZeroLength) {
  EXPECT_EQ(Line(12, 12, 2, 2, 2, 8), (PixelSet{{2, 2}, {2, 3}, {2, 4}, {2, 5}, {2, 6}, {2, 7}}));
  EXPECT_EQ(Line(12, 12, 2, 8, 2, 2), (PixelSet{{2, 8}, {2, 7}, {2, 6}, {2, 5}, {2, 4}, {2, 3}}));
  EXPECT_EQ(Line(12, 12, 8, 2, 5, 2), (PixelSet{{8, 2}, {7, 2}, {6, 2}}));
  EXPECT_EQ(Line(12, 12, 1, 1, 4, 4), (PixelSet{{1, 1}, {2, 2}, {3, 3}}));
  EXPECT_TRUE(Line(12, 12, 5, 5, 5, 5).empty());
  // A steep line gets one pixel per row.
  EXPECT_EQ(Line(12, 12, 2, 2, 3, 8).size(), 6u);
}

TEST(ThinLine, SamePixelsBothWaysApartFromTheEnds) {
  for (int dx = -9; dx <= 9; ++dx)
    for (int dy = -9; dy <= 9; ++dy) {
      if (dx == 0 && dy == 0) continue;
      PixelSet forward = Line(24, 24, 11, 11, 11 + dx, 11 + dy);
      PixelSet backward = Line(24, 24, 11 + dx, 11 + dy, 11, 11);
      forward.insert({11 + dx, 11 + dy});
      backward.insert({11, 11});
      EXPECT_EQ(forward, backward) << dx << "," << dy;
      EXPECT_EQ(forward.size(), static_cast<size_t>(std::max(std::abs(dx), std::abs(dy)) + 1));
    }
}

TEST(ThinLine, CuttingToTheImageKeepsThePixels) {
  // Lines reaching far outside a small image light the same pixels as in a
  // large image that holds them whole.
  const int lines[][4] = {{-300, 5, 40, 17}, {3, -500, 9, 700}, {-50, -80, 70, 90}, {45, 3, -1000, 31}, {0, 0, 39, 29}};
  for (const auto& l : lines) {
    PixelSet small = Line(40, 30, l[0], l[1], l[2], l[3]);
    PixelSet large = Line(2400, 1400, l[0] + 1100, l[1] + 600, l[2] + 1100, l[3] + 600);
    PixelSet cropped;
    for (auto [x, y] : large)
      if (x >= 1100 && x < 1140 && y >= 600 && y < 630) cropped.insert({x - 1100, y - 600});
    EXPECT_EQ(small, cropped) << l[0] << "," << l[1] << "," << l[2] << "," << l[3];
  }
  EXPECT_TRUE(Line(40, 30, -1000000000, 5, -999999000, 900).empty());
}

TEST(ThinLine, PenColourAndWidePens) {
  QImageSurface s(20, 20);
  s.SelectPen(s.CreatePen(kRed, 1));
  s.MoveTo(1, 1);
  s.LineTo(10, 1);
  EXPECT_EQ(s.PixelAt(5, 1), kRed);
  s.SelectPen(s.CreatePen(kBlue, 3));
  s.MoveTo(5, 10);
  s.LineTo(15, 10);
  EXPECT_EQ(s.PixelAt(10, 9), kBlue);
  EXPECT_EQ(s.PixelAt(10, 11), kBlue);
}

TEST(QtText, ArialResolvesToLiberationSansAndRunsUpwardsWhenTurned) {
  QImageSurface s(300, 300);
  EXPECT_EQ(QFontInfo(QFont("Arial")).family(), "Liberation Sans");
  s.SelectFont(s.CreateFont({"Arial", 26, 500, 0}));
  TextSize size = s.TextExtent("10");
  EXPECT_EQ(size.cy, 26);
  EXPECT_GT(size.cx, 18);  // two digits of an Arial-like face
  EXPECT_LT(size.cx, 34);
  s.TextOut(20, 20, "10");
  PixelSet flat = Dark(s);
  ASSERT_FALSE(flat.empty());
  for (auto [x, y] : flat) {
    EXPECT_GE(x, 20);
    EXPECT_LT(x, 20 + size.cx + 2);
    EXPECT_GE(y, 20);
    EXPECT_LT(y, 20 + 26);
  }

  QImageSurface v(300, 300);
  v.SelectFont(v.CreateFont({"Arial", 26, 500, 900}));
  TextSize label = v.TextExtent("Hx, pT");
  v.TextOut(40, 200, "Hx, pT");
  PixelSet turned = Dark(v);
  ASSERT_FALSE(turned.empty());
  for (auto [x, y] : turned) {
    EXPECT_GE(x, 40);
    EXPECT_LT(x, 40 + 26);
    EXPECT_LE(y, 200);
    EXPECT_GT(y, 200 - label.cx - 2);
  }
}

TEST(QtText, TextIsSmoothedWhileLinesKeepTheirExactPixels) {
  QImageSurface s(200, 60);
  s.SelectFont(s.CreateFont({"Arial", 16, 500, 0}));
  s.TextOut(10, 10, "13:45:10.0 Hx, pT");
  int grey = 0, black = 0;
  for (auto [x, y] : Dark(s)) {
    const Rgb c = s.PixelAt(x, y);
    if (c == kBlack)
      ++black;
    else
      ++grey;
  }
  EXPECT_GT(grey, 20);  // edges are shades, not a staircase of black pixels
  EXPECT_GT(black, 0);

  // A thin line between the same kind of drawing: only black pixels, exactly where they belong.
  QImageSurface line(50, 30);
  line.MoveTo(2, 3);
  line.LineTo(40, 20);
  for (auto [x, y] : Dark(line)) EXPECT_EQ(line.PixelAt(x, y), kBlack);
  EXPECT_EQ(Dark(line).size(), 38u);  // one pixel per column, the end left out
}

TEST(QtSurface, FillBlockCopyAndPng) {
  QImageSurface a(30, 20);
  a.FillRect(5, 5, 10, 8, kBlue);
  EXPECT_EQ(a.PixelAt(5, 5), kBlue);
  EXPECT_EQ(a.PixelAt(9, 7), kBlue);
  EXPECT_EQ(a.PixelAt(10, 7), kWhite);
  EXPECT_EQ(a.PixelAt(9, 8), kWhite);

  QImageSurface b(30, 20);
  BlockCopy(b, 20, 10, 6, 4, a, 4, 4);
  EXPECT_EQ(b.PixelAt(20, 10), kWhite);
  EXPECT_EQ(b.PixelAt(21, 11), kBlue);
  EXPECT_EQ(b.PixelAt(25, 13), kBlue);

  std::string path = ::testing::TempDir() + "zorvan_surface_test.png";
  ASSERT_TRUE(a.SavePng(path));
  QImage back(QString::fromStdString(path));
  ASSERT_EQ(back.size(), a.Image().size());
  EXPECT_EQ(back.pixel(6, 6) & 0xFFFFFFu, kBlue);
  std::remove(path.c_str());
}

}  // namespace
