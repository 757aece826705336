#include "platform/qt/plot_widget.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "app/mouse.h"
#include "app/window.h"

namespace {

int KeyCode(int qtKey) {
  switch (qtKey) {
    case Qt::Key_Control: return kKeyControl;
    case Qt::Key_Left: return kKeyLeft;
    case Qt::Key_Right: return kKeyRight;
    case Qt::Key_Escape: return kKeyEscape;
    default: return 0;
  }
}

}  // namespace

PlotWidget::PlotWidget(AppState& s, QWidget* parent)
    : QWidget(parent),
      s_(s),
      image_(std::make_unique<QImageSurface>(1, 1, kGrey)),
      shown_(std::make_unique<QImageSurface>(1, 1, kGrey)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);  // the zoom cursor shows as soon as the mouse is over the plot
  setMinimumSize(160, 120);
}

PlotWidget::~PlotWidget() = default;

void PlotWidget::RequestRepaint() {
  requested_ = true;
  if (queued_) return;
  queued_ = true;
  QMetaObject::invokeMethod(
      this, [this] { RunRequested(); }, Qt::QueuedConnection);
}

void PlotWidget::RunRequested() {
  queued_ = false;
  FlushRedraw();
}

void PlotWidget::FlushRedraw() {
  if (!requested_ || running_ || held_) return;
  requested_ = false;
  running_ = true;
  if (RedrawImage(s_, *image_)) ++fullRedraws_;
  running_ = false;
  update();
  // Requested again while it ran (a message box lets the event loop run).
  if (requested_) RequestRepaint();
}

void PlotWidget::HoldRedraws(bool hold) {
  held_ = hold;
  if (!held_ && requested_) RequestRepaint();
}

void PlotWidget::paintEvent(QPaintEvent*) {
  shown_->CopyFrom(*image_);
  PaintWindow(s_, *shown_);
  QPainter painter(this);
  painter.drawImage(0, 0, shown_->Image());
}

void PlotWidget::resizeEvent(QResizeEvent*) {
  image_ = std::make_unique<QImageSurface>(width(), height(), s_.FileLoaded ? kWhite : kGrey);
  shown_ = std::make_unique<QImageSurface>(width(), height(), kGrey);
  WindowResized(s_, width(), height());
}

void PlotWidget::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  // A click maps onto the picture of the last redraw: one that was requested runs first.
  FlushRedraw();
  // Control held at the click counts even when its key press went to another widget.
  s_.CtrlDown = (event->modifiers() & Qt::ControlModifier) ? 1 : 0;
  const QPoint p = event->position().toPoint();
  MouseButtonDown(s_, *shown_, p.x(), p.y());
}

void PlotWidget::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  MouseMove(s_, p.x(), p.y());
}

void PlotWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint p = event->position().toPoint();
  MouseButtonUp(s_, p.x(), p.y());
}

void PlotWidget::mouseDoubleClickEvent(QMouseEvent*) {}

void PlotWidget::keyPressEvent(QKeyEvent* event) {
  int key = KeyCode(event->key());
  if (!key) {
    QWidget::keyPressEvent(event);
    return;
  }
  KeyDown(s_, key);
}

void PlotWidget::keyReleaseEvent(QKeyEvent* event) {
  int key = KeyCode(event->key());
  if (!key || event->isAutoRepeat()) {
    QWidget::keyReleaseEvent(event);
    return;
  }
  KeyUp(s_, key);
}
