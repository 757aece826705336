#include "platform/qt/qimage_surface.h"

#include <QApplication>
#include <QBuffer>
#include <QByteArray>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdlib>

#include "platform/vector_state.h"

namespace {

// GDI heights are cell heights (ascent + descent); Arial's cell is 1.117 em.
constexpr double kCellPerEm = 2288.0 / 2048.0;

QFont ToQFont(const Font& f) {
  QFont font(QString::fromStdString(f.face));
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(f.height / kCellPerEm))));
  font.setWeight(f.weight >= 600 ? QFont::Bold : QFont::Normal);  // GDI draws weight 500 Arial as regular
  font.setStyleStrategy(QFont::PreferAntialias);                  // text smoothed; lines keep their exact pixels
  return font;
}

QColor ToQColor(Rgb c) { return QColor((c >> 16) & 255, (c >> 8) & 255, c & 255); }

long long FloorDiv(long long a, long long b) {  // b > 0
  long long q = a / b;
  return (a % b != 0 && a < 0) ? q - 1 : q;
}

}  // namespace

void EnsureQtGui() {
  if (!QGuiApplication::instance()) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
      qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "zorvan";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);  // lives as long as the process
    // Qt takes the user's locale; numbers in files and labels keep the decimal point.
    std::setlocale(LC_NUMERIC, "C");
  }
  static const bool substituted = [] {
    QFont::insertSubstitution("Arial", "Liberation Sans");
    return true;
  }();
  (void)substituted;
}

void RasterizeThinLine(uint32_t* pixels, int stride, int w, int h, int x0, int y0, int x1, int y1, uint32_t value) {
  const long long dx = static_cast<long long>(x1) - x0;
  const long long dy = static_cast<long long>(y1) - y0;
  if (dx == 0 && dy == 0) return;
  const bool xMajor = std::llabs(dx) >= std::llabs(dy);
  // Walk the major axis a (from a0, step sa, n steps, the last excluded); the
  // minor axis b follows b0 + floor(t * db / n + 1/2).
  const long long n = xMajor ? std::llabs(dx) : std::llabs(dy);
  const long long a0 = xMajor ? x0 : y0, b0 = xMajor ? y0 : x0;
  const long long db = xMajor ? dy : dx;
  const int sa = (xMajor ? dx : dy) > 0 ? 1 : -1;
  const long long aSize = xMajor ? w : h, bSize = xMajor ? h : w;

  // Steps t in [0, n) whose major coordinate lies on the image.
  long long tFirst = 0, tLast = n - 1;
  if (sa > 0) {
    tFirst = std::max(tFirst, -a0);
    tLast = std::min(tLast, aSize - 1 - a0);
  } else {
    tFirst = std::max(tFirst, a0 - (aSize - 1));
    tLast = std::min(tLast, a0);
  }
  if (tFirst > tLast) return;

  const long long den = 2 * n;
  long long num = 2 * tFirst * db + n;
  long long q = FloorDiv(num, den);
  long long r = num - q * den;  // in [0, den)
  long long a = a0 + sa * tFirst;
  for (long long t = tFirst; t <= tLast; ++t) {
    long long b = b0 + q;
    if (b >= 0 && b < bSize) {
      long long px = xMajor ? a : b, py = xMajor ? b : a;
      pixels[py * stride + px] = value;
    }
    a += sa;
    r += 2 * db;
    if (r >= den) {
      r -= den;
      ++q;
    } else if (r < 0) {
      r += den;
      --q;
    }
  }
}

QImageSurface::QImageSurface(int width, int height, Rgb background)
    : image_(std::max(1, width), std::max(1, height), QImage::Format_RGB32) {
  EnsureQtGui();
  image_.fill(ToQColor(background));
  ClearUpperVectorState();
}

Rgb QImageSurface::PixelAt(int x, int y) const {
  if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) return kWhite;
  return image_.pixel(x, y) & 0xFFFFFFu;
}

bool QImageSurface::SavePng(const std::string& path) const { return image_.save(QString::fromStdString(path), "PNG"); }

std::vector<uint8_t> QImageSurface::PngBytes() const {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  if (!buffer.open(QIODevice::WriteOnly) || !image_.save(&buffer, "PNG")) return {};
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

void QImageSurface::DrawLine(int x0, int y0, int x1, int y1) {
  const Pen& pen = SelectedPen();
  if (pen.width <= 1) {
    auto* bits = reinterpret_cast<uint32_t*>(image_.bits());
    RasterizeThinLine(bits, static_cast<int>(image_.bytesPerLine() / 4), image_.width(), image_.height(), x0, y0, x1,
                      y1, 0xFF000000u | pen.color);
    return;
  }
  // Geometric pens of GDI have round ends and joins.
  QPainter painter(&image_);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(QPen(ToQColor(pen.color), pen.width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.drawLine(QPoint(x0, y0), QPoint(x1, y1));
  painter.end();
  ClearUpperVectorState();
}

void QImageSurface::TextOut(int x, int y, const std::string& text) {
  const Font& f = SelectedFont();
  QFont font = ToQFont(f);
  QFontMetrics metrics(font);
  QPainter painter(&image_);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  painter.setFont(font);
  painter.setPen(QColor(0, 0, 0));
  painter.translate(x, y);
  if (f.escapement != 0) painter.rotate(-f.escapement / 10.0);
  painter.drawText(0, metrics.ascent(), QString::fromStdString(text));
  painter.end();
  ClearUpperVectorState();
}

TextSize QImageSurface::TextExtent(const std::string& text) {
  const Font& f = SelectedFont();
  QFontMetrics metrics(ToQFont(f));
  const int width = metrics.horizontalAdvance(QString::fromStdString(text));
  ClearUpperVectorState();
  return {width, f.height};
}

void QImageSurface::FillRect(int left, int top, int right, int bottom, Rgb color) {
  if (right <= left || bottom <= top) return;
  QPainter painter(&image_);
  painter.fillRect(QRect(left, top, right - left, bottom - top), ToQColor(color));
  painter.end();
  ClearUpperVectorState();
}

RgbImage QImageSurface::ReadPixels(int x, int y, int w, int h) const {
  RgbImage out;
  out.width = std::max(0, w);
  out.height = std::max(0, h);
  out.pixels.assign(static_cast<size_t>(out.width) * out.height, 0xFFFFFFFFu);
  for (int j = 0; j < out.height; ++j) {
    int sy = y + j;
    if (sy < 0 || sy >= image_.height()) continue;
    const auto* line = reinterpret_cast<const uint32_t*>(image_.constScanLine(sy));
    for (int i = 0; i < out.width; ++i) {
      int sx = x + i;
      if (sx >= 0 && sx < image_.width()) out.pixels[static_cast<size_t>(j) * out.width + i] = line[sx];
    }
  }
  return out;
}

void QImageSurface::WritePixels(int x, int y, const RgbImage& block) {
  for (int j = 0; j < block.height; ++j) {
    int dy = y + j;
    if (dy < 0 || dy >= image_.height()) continue;
    auto* line = reinterpret_cast<uint32_t*>(image_.scanLine(dy));
    for (int i = 0; i < block.width; ++i) {
      int dx = x + i;
      if (dx >= 0 && dx < image_.width())
        line[dx] = 0xFF000000u | block.pixels[static_cast<size_t>(j) * block.width + i];
    }
  }
}
