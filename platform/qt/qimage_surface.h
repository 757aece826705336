#pragma once
// The drawing surface over a QImage (the off-screen bitmap). One-pixel lines
// are rasterized here as GDI draws them: the start pixel is drawn, the end
// pixel is not, nothing for a zero length, no antialiasing. Wider lines go
// through QPainter, also without antialiasing; text is antialiased. Needs
// only Qt GUI; works with the offscreen platform.

#include <QImage>
#include <cstdint>
#include <string>
#include <vector>

#include "plot/surface.h"

/// Creates the QApplication that text drawing and the window need when there is none
/// (offscreen when no display is set) and makes "Arial" resolve to the
/// metric-compatible Liberation Sans.
void EnsureQtGui();

class QImageSurface : public Surface {
 public:
  /// Calls EnsureQtGui.
  QImageSurface(int width, int height, Rgb background = kWhite);

  const QImage& Image() const { return image_; }
  Rgb PixelAt(int x, int y) const;
  bool SavePng(const std::string& path) const;
  /// The image encoded as PNG; empty when it cannot be encoded.
  std::vector<uint8_t> PngBytes() const;
  /// Takes other's pixels (and size); shared until either is drawn on.
  void CopyFrom(const QImageSurface& other) { image_ = other.image_; }

  int Width() const override { return image_.width(); }
  int Height() const override { return image_.height(); }
  void TextOut(int x, int y, const std::string& text) override;
  TextSize TextExtent(const std::string& text) override;
  void FillRect(int left, int top, int right, int bottom, Rgb color) override;
  RgbImage ReadPixels(int x, int y, int w, int h) const override;
  void WritePixels(int x, int y, const RgbImage& block) override;

 protected:
  void DrawLine(int x0, int y0, int x1, int y1) override;

 private:
  QImage image_;
};

/// The pixels of a one-pixel line from (x0, y0) to (x1, y1), end pixel
/// excluded, written into 32-bit pixels (stride in pixels) and cut to w x h.
/// Along the longer axis every step gets one pixel; across it the pixel
/// nearest the ideal line, a tie going to the larger coordinate, so a line
/// covers the same pixels in both directions apart from its ends.
void RasterizeThinLine(uint32_t* pixels, int stride, int w, int h, int x0, int y0, int x1, int y1, uint32_t value);
