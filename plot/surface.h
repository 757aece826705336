#pragma once
// What the plots draw on: a GDI-like device with pens, fonts, a current
// position, text and pixel blocks. Pixel coordinates, y grows downwards.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

using Rgb = uint32_t;  // 0xRRGGBB
constexpr Rgb MakeRgb(int r, int g, int b) {
  return (static_cast<Rgb>(r & 255) << 16) | (static_cast<Rgb>(g & 255) << 8) | static_cast<Rgb>(b & 255);
}
constexpr Rgb kBlack = 0x000000;
constexpr Rgb kWhite = 0xFFFFFF;
constexpr Rgb kGrey = 0xC0C0C0;
constexpr Rgb kRed = 0xFF0000;
constexpr Rgb kBlue = 0x0000FF;

/// A solid pen; widths 0 and 1 both draw one-pixel lines.
struct Pen {
  Rgb color = kBlack;
  int width = 1;
};

/// height: cell height in pixels (ascent + descent); escapement: tenths of a
/// degree counter-clockwise (900 runs the text upwards).
struct Font {
  std::string face = "Arial";
  int height = 16;
  int weight = 400;
  int escapement = 0;
};

struct TextSize {
  int cx = 0;  // advance width
  int cy = 0;  // cell height
};

using PenId = int;
using FontId = int;
constexpr PenId kStockPen = 0;    // black, one pixel
constexpr FontId kStockFont = 0;  // "Arial", 16 pixels

class Surface {
 public:
  Surface();
  virtual ~Surface() = default;

  virtual int Width() const = 0;
  virtual int Height() const = 0;

  PenId CreatePen(Rgb color, int width);
  /// The stock pen is never deleted; a selected pen falls back to the stock pen.
  void DeletePen(PenId id);
  /// Selects a pen and returns the one it replaces.
  PenId SelectPen(PenId id);
  PenId CurrentPen() const { return pen_; }
  const Pen& SelectedPen() const { return pens_[pen_]; }

  FontId CreateFont(const Font& font);
  void DeleteFont(FontId id);
  FontId SelectFont(FontId id);
  FontId CurrentFont() const { return font_; }
  const Font& SelectedFont() const { return fonts_[font_]; }

  void MoveTo(int x, int y) {
    x_ = x;
    y_ = y;
  }
  /// Line from the current position to (x, y) with the selected pen; as in GDI
  /// the end pixel of a one-pixel line is not drawn and a zero-length one-pixel
  /// line draws nothing. (x, y) becomes the current position.
  void LineTo(int x, int y) {
    DrawLine(x_, y_, x, y);
    x_ = x;
    y_ = y;
  }
  int CurrentX() const { return x_; }
  int CurrentY() const { return y_; }

  /// Text in the selected font with the top-left corner of its cell at (x, y);
  /// with escapement 900 the text runs upwards from (x, y), its top facing left.
  virtual void TextOut(int x, int y, const std::string& text) = 0;
  /// Unrotated size of the text in the selected font.
  virtual TextSize TextExtent(const std::string& text) = 0;
  /// Fills [left, right) x [top, bottom).
  virtual void FillRect(int left, int top, int right, int bottom, Rgb color) = 0;
  /// The w x h block at (x, y); pixels outside the surface read as white.
  virtual RgbImage ReadPixels(int x, int y, int w, int h) const = 0;
  /// Writes a block with its top-left corner at (x, y), cut to the surface.
  virtual void WritePixels(int x, int y, const RgbImage& block) = 0;

 protected:
  virtual void DrawLine(int x0, int y0, int x1, int y1) = 0;
  /// Told when the selection changes, so an implementation can prepare it.
  virtual void PenSelected(const Pen&) {}
  virtual void FontSelected(const Font&) {}

 private:
  std::vector<Pen> pens_;
  std::vector<bool> penLive_;
  std::vector<Font> fonts_;
  std::vector<bool> fontLive_;
  PenId pen_ = kStockPen;
  FontId font_ = kStockFont;
  int x_ = 0;
  int y_ = 0;
};

/// Copies the w x h block at (sx, sy) of src to (dx, dy) of dst.
void BlockCopy(Surface& dst, int dx, int dy, int w, int h, const Surface& src, int sx, int sy);
