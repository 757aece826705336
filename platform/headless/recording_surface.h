#pragma once
// A drawing surface for tests: keeps every line, text, fill and block copy
// with its pixel position and pen or font. Text metrics are deterministic:
// each character is round(0.6 x height) wide and the cell is height high.

#include <string>
#include <vector>

#include "plot/surface.h"

struct RecordedLine {
  int x0, y0, x1, y1;
  Pen pen;
};

struct RecordedText {
  int x, y;  // top-left of the cell, as given to TextOut
  std::string text;
  Font font;
  TextSize size;
};

struct RecordedFill {
  int left, top, right, bottom;
  Rgb color;
};

struct RecordedCopy {
  int x, y, w, h;
};

class RecordingSurface : public Surface {
 public:
  explicit RecordingSurface(int width = 1600, int height = 900) : width_(width), height_(height) {}

  std::vector<RecordedLine> lines;
  std::vector<RecordedText> texts;
  std::vector<RecordedFill> fills;
  std::vector<RecordedCopy> copies;

  static int CharWidth(int height);

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void TextOut(int x, int y, const std::string& text) override;
  TextSize TextExtent(const std::string& text) override;
  void FillRect(int left, int top, int right, int bottom, Rgb color) override;
  RgbImage ReadPixels(int x, int y, int w, int h) const override;
  void WritePixels(int x, int y, const RgbImage& block) override;

  void Clear();
  /// The first recorded text equal to s, or nullptr.
  const RecordedText* FindText(const std::string& s) const;

 protected:
  void DrawLine(int x0, int y0, int x1, int y1) override;

 private:
  int width_;
  int height_;
};
