#include "cli/qt/front_end.h"

#include "cli/front_end.h"
#include "platform/qt/desktop.h"
#include "platform/qt/qimage_surface.h"
#include "plot/paint.h"

namespace {

std::vector<uint8_t> RenderPng(AppState& s, int width, int height) {
  QImageSurface image(width, height);
  PaintPlotWindow(s, image);
  return image.PngBytes();
}

}  // namespace

void InstallQtFrontEnd() { InstallFrontEnd({RunDesktop, RenderPng}); }
