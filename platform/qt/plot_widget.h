#pragma once
// The plot area of the main window. It keeps the off-screen image, which full
// redraws draw into when a repaint is requested (never inside a paint event,
// since a redraw may show a message box), and the image the window shows: a
// copy of the off-screen image with the rubber band, the cursor cross and the
// markers drawn over it. Mouse and key events go to the window logic.

#include <QWidget>
#include <memory>

#include "app/state.h"
#include "platform/qt/qimage_surface.h"

class PlotWidget : public QWidget {
 public:
  PlotWidget(AppState& s, QWidget* parent);
  ~PlotWidget() override;

  QImageSurface& OffScreen() { return *image_; }
  /// What the window shows (the last paint's picture).
  QImageSurface& Shown() { return *shown_; }

  /// A repaint was requested: the full redraw that is due runs from the event
  /// loop, several requests in a row once, then the widget is painted.
  void RequestRepaint();
  /// Runs a requested redraw now, unless one is running or redraws are held.
  void FlushRedraw();
  /// While held (a file operation reports progress), requested redraws wait.
  void HoldRedraws(bool hold);
  int FullRedraws() const { return fullRedraws_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;

 private:
  void RunRequested();

  AppState& s_;
  std::unique_ptr<QImageSurface> image_;
  std::unique_ptr<QImageSurface> shown_;
  bool requested_ = false;  // a repaint was requested and its redraw has not run
  bool queued_ = false;     // a call of RunRequested is on its way
  bool running_ = false;
  bool held_ = false;
  int fullRedraws_ = 0;
};
