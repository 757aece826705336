#include "platform/headless/recording_surface.h"

#include <cmath>

namespace {

int CountCharacters(const std::string& s) {
  int n = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++n;  // UTF-8 lead bytes
  return n;
}

}  // namespace

int RecordingSurface::CharWidth(int height) { return static_cast<int>(std::lround(0.6 * height)); }

void RecordingSurface::TextOut(int x, int y, const std::string& text) {
  texts.push_back({x, y, text, SelectedFont(), TextExtent(text)});
}

TextSize RecordingSurface::TextExtent(const std::string& text) {
  int h = SelectedFont().height;
  return {CountCharacters(text) * CharWidth(h), h};
}

void RecordingSurface::FillRect(int left, int top, int right, int bottom, Rgb color) {
  fills.push_back({left, top, right, bottom, color});
}

RgbImage RecordingSurface::ReadPixels(int, int, int w, int h) const {
  RgbImage image;
  image.width = w > 0 ? w : 0;
  image.height = h > 0 ? h : 0;
  image.pixels.assign(static_cast<size_t>(image.width) * image.height, 0xFFFFFFFFu);
  return image;
}

void RecordingSurface::WritePixels(int x, int y, const RgbImage& block) {
  copies.push_back({x, y, block.width, block.height});
}

void RecordingSurface::DrawLine(int x0, int y0, int x1, int y1) { lines.push_back({x0, y0, x1, y1, SelectedPen()}); }

void RecordingSurface::Clear() {
  lines.clear();
  texts.clear();
  fills.clear();
  copies.clear();
}

const RecordedText* RecordingSurface::FindText(const std::string& s) const {
  for (const auto& t : texts)
    if (t.text == s) return &t;
  return nullptr;
}
