#include "plot/surface.h"

Surface::Surface() : pens_{Pen{}}, penLive_{true}, fonts_{Font{}}, fontLive_{true} {}

PenId Surface::CreatePen(Rgb color, int width) {
  for (size_t i = 1; i < pens_.size(); ++i)
    if (!penLive_[i]) {
      pens_[i] = Pen{color, width};
      penLive_[i] = true;
      return static_cast<PenId>(i);
    }
  pens_.push_back(Pen{color, width});
  penLive_.push_back(true);
  return static_cast<PenId>(pens_.size() - 1);
}

void Surface::DeletePen(PenId id) {
  if (id <= kStockPen || id >= static_cast<PenId>(pens_.size())) return;
  penLive_[id] = false;
  if (pen_ == id) SelectPen(kStockPen);
}

PenId Surface::SelectPen(PenId id) {
  PenId old = pen_;
  if (id < 0 || id >= static_cast<PenId>(pens_.size()) || !penLive_[id]) id = kStockPen;
  pen_ = id;
  PenSelected(pens_[pen_]);
  return old;
}

FontId Surface::CreateFont(const Font& font) {
  for (size_t i = 1; i < fonts_.size(); ++i)
    if (!fontLive_[i]) {
      fonts_[i] = font;
      fontLive_[i] = true;
      return static_cast<FontId>(i);
    }
  fonts_.push_back(font);
  fontLive_.push_back(true);
  return static_cast<FontId>(fonts_.size() - 1);
}

void Surface::DeleteFont(FontId id) {
  if (id <= kStockFont || id >= static_cast<FontId>(fonts_.size())) return;
  fontLive_[id] = false;
  if (font_ == id) SelectFont(kStockFont);
}

FontId Surface::SelectFont(FontId id) {
  FontId old = font_;
  if (id < 0 || id >= static_cast<FontId>(fonts_.size()) || !fontLive_[id]) id = kStockFont;
  font_ = id;
  FontSelected(fonts_[font_]);
  return old;
}

void BlockCopy(Surface& dst, int dx, int dy, int w, int h, const Surface& src, int sx, int sy) {
  if (w <= 0 || h <= 0) return;
  dst.WritePixels(dx, dy, src.ReadPixels(sx, sy, w, h));
}
