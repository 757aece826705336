#include "platform/qt/toolbar_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygon>
#include <cmath>

#include "app/commands.h"

namespace {

const QColor kInk(40, 40, 40);
const QColor kBlueInk(20, 70, 180);
const QColor kRedInk(200, 30, 30);

void Arrow(QPainter& p, QPoint from, QPoint to) {
  p.drawLine(from, to);
  QPointF d = QPointF(to - from);
  double len = std::hypot(d.x(), d.y());
  if (len == 0) return;
  QPointF u = d / len, n(-u.y(), u.x());
  QPointF tip(to);
  QPolygonF head{tip, tip - 4 * u + 3 * n, tip - 4 * u - 3 * n};
  p.setBrush(p.pen().color());
  p.drawPolygon(head);
  p.setBrush(Qt::NoBrush);
}

void Magnifier(QPainter& p, QPointF centre, double r) {
  p.setPen(QPen(kInk, 2));
  p.drawEllipse(centre, r, r);
  p.setPen(QPen(kInk, 3, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(centre + QPointF(r * 0.7, r * 0.7), centre + QPointF(r * 1.9, r * 1.9));
}

void Page(QPainter& p, QRect r) {
  p.setPen(QPen(kInk, 1));
  p.setBrush(Qt::white);
  p.drawRect(r);
  p.setBrush(Qt::NoBrush);
  for (int y = r.top() + 3; y < r.bottom() - 1; y += 3) p.drawLine(r.left() + 2, y, r.right() - 2, y);
}

}  // namespace

QPixmap DrawnToolbarIcon(int id) {
  QPixmap pm(24, 24);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setPen(QPen(kInk, 1.5));
  switch (id) {
    case kCmdFileOpen: {  // a folder
      p.setBrush(QColor(240, 200, 90));
      p.drawPolygon(QPolygon({{2, 6}, {9, 6}, {11, 8}, {21, 8}, {21, 19}, {2, 19}}));
      break;
    }
    case kCmdFileSave: {  // a diskette
      p.setBrush(QColor(80, 110, 170));
      p.drawRect(3, 3, 18, 18);
      p.setBrush(Qt::white);
      p.drawRect(7, 3, 10, 6);
      p.drawRect(6, 13, 12, 8);
      break;
    }
    case kCmdPrint: {  // a printer
      Page(p, QRect(7, 2, 10, 8));
      p.setBrush(QColor(150, 150, 150));
      p.drawRect(3, 10, 18, 8);
      Page(p, QRect(7, 15, 10, 7));
      break;
    }
    case kCmdCopy: {  // two pages
      Page(p, QRect(3, 2, 11, 14));
      Page(p, QRect(9, 8, 11, 14));
      break;
    }
    case kCmdBack:
    case kCmdForward: {  // a triangle against a bar
      const bool back = id == kCmdBack;
      p.setBrush(kBlueInk);
      p.setPen(Qt::NoPen);
      if (back) {
        p.drawPolygon(QPolygon({{18, 4}, {18, 20}, {7, 12}}));
        p.drawRect(4, 4, 3, 16);
      } else {
        p.drawPolygon(QPolygon({{6, 4}, {6, 20}, {17, 12}}));
        p.drawRect(17, 4, 3, 16);
      }
      break;
    }
    case kCmdZoom: Magnifier(p, QPointF(9.5, 9.5), 6); break;
    case kCmdPan: {  // four arrows
      p.setPen(QPen(kInk, 1.5));
      Arrow(p, {12, 12}, {12, 2});
      Arrow(p, {12, 12}, {12, 22});
      Arrow(p, {12, 12}, {2, 12});
      Arrow(p, {12, 12}, {22, 12});
      break;
    }
    case kCmdReset: {  // a circular arrow
      p.setPen(QPen(kBlueInk, 2));
      p.drawArc(QRectF(4, 4, 16, 16), 90 * 16, 270 * 16);
      p.setBrush(kBlueInk);
      p.drawPolygon(QPolygonF({QPointF(12, 1), QPointF(17, 4), QPointF(12, 7)}));
      break;
    }
    case kCmdAutoscale: {  // a frame with arrows out to its corners
      p.setPen(QPen(kInk, 1));
      p.drawRect(7, 7, 10, 10);
      p.setPen(QPen(kBlueInk, 1.5));
      Arrow(p, {9, 9}, {2, 2});
      Arrow(p, {15, 15}, {22, 22});
      Arrow(p, {15, 9}, {22, 2});
      Arrow(p, {9, 15}, {2, 22});
      break;
    }
    case kCmdFilter: {  // a noisy trace and its smooth low-passed version
      p.setPen(QPen(QColor(150, 150, 150), 1));
      QPolygonF noisy;
      for (int x = 2; x <= 22; ++x) noisy << QPointF(x, 9 + 3.5 * std::sin(x * 0.5) + ((x * 7) % 5 - 2) * 1.3);
      p.drawPolyline(noisy);
      p.setPen(QPen(kBlueInk, 2));
      QPolygonF smooth;
      for (int x = 2; x <= 22; ++x) smooth << QPointF(x, 16 + 3.5 * std::sin(x * 0.5));
      p.drawPolyline(smooth);
      break;
    }
    case kCmdFourier: {  // spectrum bars falling off with frequency
      p.setPen(Qt::NoPen);
      p.setBrush(kBlueInk);
      const int heights[] = {17, 13, 15, 9, 7, 8, 4, 3};
      for (int i = 0; i < 8; ++i) p.drawRect(2 + i * 2.6, 21 - heights[i], 2, heights[i]);
      p.setPen(QPen(kInk, 1));
      p.drawLine(1, 21, 23, 21);
      break;
    }
    case kCmdAppRes: {  // rho-a over a sounding curve
      QFont f = p.font();
      f.setPixelSize(11);
      f.setBold(true);
      p.setFont(f);
      p.setPen(kInk);
      p.drawText(QRect(1, 0, 22, 11), Qt::AlignLeft | Qt::AlignTop,
                 QString::fromUtf8("\xcf\x81"
                                   "a"));
      p.setPen(QPen(kRedInk, 1.5));
      QPainterPath curve;
      curve.moveTo(2, 22);
      curve.cubicTo(8, 22, 12, 13, 22, 14);
      p.drawPath(curve);
      break;
    }
    case kCmdFindPeaks: {  // a spectrum with its peak marked
      p.setPen(QPen(kInk, 1.2));
      p.drawPolyline(QPolygon({{1, 20},
                               {3, 18},
                               {5, 20},
                               {7, 17},
                               {9, 19},
                               {11, 6},
                               {13, 19},
                               {15, 17},
                               {17, 20},
                               {19, 18},
                               {21, 20},
                               {23, 19}}));
      p.setPen(QPen(kRedInk, 2));
      p.drawLine(11, 1, 11, 4);
      break;
    }
    default: break;
  }
  return pm;
}

QIcon ToolbarIcon(int id) {
  const char* theme = nullptr;
  switch (id) {
    case kCmdFileOpen: theme = "document-open"; break;
    case kCmdFileSave: theme = "document-save"; break;
    case kCmdPrint: theme = "document-print"; break;
    case kCmdCopy: theme = "edit-copy"; break;
    case kCmdBack: theme = "go-previous"; break;
    case kCmdForward: theme = "go-next"; break;
    case kCmdZoom: theme = "zoom-in"; break;
    case kCmdReset: theme = "view-refresh"; break;
    case kCmdAutoscale: theme = "zoom-fit-best"; break;
    default: break;  // the domain buttons have no theme icon
  }
  QIcon drawn(DrawnToolbarIcon(id));
  return theme ? QIcon::fromTheme(theme, drawn) : drawn;
}

QCursor ZoomCursor() {
  QPixmap pm(32, 32);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setPen(QPen(Qt::white, 4));
  p.drawEllipse(QPointF(11, 11), 7, 7);
  p.setPen(QPen(Qt::black, 2));
  p.drawEllipse(QPointF(11, 11), 7, 7);
  p.setPen(QPen(Qt::black, 3, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(16, 16), QPointF(26, 26));
  p.setPen(QPen(Qt::black, 1));
  p.drawLine(8, 11, 14, 11);
  p.drawLine(11, 8, 11, 14);
  return QCursor(pm, 11, 11);
}
