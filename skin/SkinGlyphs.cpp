#include "SkinGlyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace {

QPen Stroke(const QColor& c, qreal w) {
  QPen pen(c, w);
  pen.setCapStyle(Qt::RoundCap);
  pen.setJoinStyle(Qt::RoundJoin);
  return pen;
}

// All glyphs are designed on a 24 x 24 grid and mapped into the box.
struct Grid {
  QRectF box;
  qreal u;
  QPointF P(qreal x, qreal y) const { return QPointF(box.left() + x * u, box.top() + y * u); }
  QRectF R(qreal x, qreal y, qreal w, qreal h) const { return QRectF(P(x, y), QSizeF(w * u, h * u)); }
};

Grid MakeGrid(const QRectF& box) {
  const qreal side = qMin(box.width(), box.height());
  Grid g;
  g.box = QRectF(box.center().x() - side / 2, box.center().y() - side / 2, side, side);
  g.u = side / 24.0;
  return g;
}

QPainterPath Polygon(const Grid& g, std::initializer_list<QPointF> pts) {
  QPainterPath path;
  bool first = true;
  for (const QPointF& q : pts) {
    if (first) path.moveTo(g.P(q.x(), q.y()));
    else path.lineTo(g.P(q.x(), q.y()));
    first = false;
  }
  path.closeSubpath();
  return path;
}

void Speaker(QPainter& p, const Grid& g, const QColor& c) {
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  p.drawPath(Polygon(g, {{3, 9}, {7, 9}, {12, 4.5}, {12, 19.5}, {7, 15}, {3, 15}}));
}

void Note(QPainter& p, const Grid& g, const QColor& c) {
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  p.drawEllipse(g.R(4, 15, 7, 5.5));
  p.drawEllipse(g.R(13, 13, 7, 5.5));
  p.drawRect(g.R(9, 5, 2, 12.5));
  p.drawRect(g.R(18, 3, 2, 12.5));
  p.drawPath(Polygon(g, {{9, 5}, {20, 3}, {20, 6.5}, {9, 8.5}}));
}

}  // namespace

bool DrawGlyph(QPainter& p, const QString& name, const QRectF& box, const QColor& c) {
  const Grid g = MakeGrid(box);
  const qreal u = g.u;
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setBrush(Qt::NoBrush);
  bool known = true;

  if (name == "close") {
    p.setPen(Stroke(c, 2.2 * u));
    p.drawLine(g.P(6.5, 6.5), g.P(17.5, 17.5));
    p.drawLine(g.P(17.5, 6.5), g.P(6.5, 17.5));
  } else if (name == "menu") {
    // The main menu of the title bar: three bars, the middle one shorter.
    p.setPen(Stroke(c, 2 * u));
    p.drawLine(g.P(5.5, 7), g.P(18.5, 7));
    p.drawLine(g.P(5.5, 12), g.P(18.5, 12));
    p.drawLine(g.P(5.5, 17), g.P(18.5, 17));
  } else if (name == "minimize") {
    p.setPen(Stroke(c, 2.2 * u));
    p.drawLine(g.P(6, 15), g.P(18, 15));
  } else if (name == "maximize") {
    p.setPen(Stroke(c, 2 * u));
    p.drawRoundedRect(g.R(6, 6, 12, 12), 1.5 * u, 1.5 * u);
  } else if (name == "restore") {
    p.setPen(Stroke(c, 1.8 * u));
    p.drawRoundedRect(g.R(5, 9, 10, 10), 1.2 * u, 1.2 * u);
    QPainterPath back;
    back.moveTo(g.P(9, 7));
    back.lineTo(g.P(9, 5));
    back.lineTo(g.P(19, 5));
    back.lineTo(g.P(19, 15));
    back.lineTo(g.P(17, 15));
    p.drawPath(back);
  } else if (name == "zoom_in" || name == "zoom_out") {
    // zoom_in: shrink into the mini window; zoom_out: grow back.
    p.setPen(Stroke(c, 1.8 * u));
    p.drawRoundedRect(g.R(4, 4, 16, 16), 2 * u, 2 * u);
    p.setBrush(c);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(g.R(6.5, 12.5, 6, 5), 1 * u, 1 * u);
    p.setPen(Stroke(c, 1.8 * u));
    p.setBrush(Qt::NoBrush);
    if (name == "zoom_in") {
      p.drawLine(g.P(17, 7), g.P(13, 11));
      p.drawLine(g.P(13, 11), g.P(13, 8.3));
      p.drawLine(g.P(13, 11), g.P(15.7, 11));
    } else {
      p.drawLine(g.P(13, 11), g.P(17, 7));
      p.drawLine(g.P(17, 7), g.P(14.3, 7));
      p.drawLine(g.P(17, 7), g.P(17, 9.7));
    }
  } else if (name == "record") {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(g.R(7, 7, 10, 10));
  } else if (name == "stop") {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(g.R(7.5, 7.5, 9, 9), 1.5 * u, 1.5 * u);
  } else if (name == "play") {
    p.setPen(Stroke(c, 1.2 * u));
    p.setBrush(c);
    p.drawPath(Polygon(g, {{9, 6.5}, {18, 12}, {9, 17.5}}));
  } else if (name == "pause") {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(g.R(7.5, 6.5, 3.2, 11), 1 * u, 1 * u);
    p.drawRoundedRect(g.R(13.3, 6.5, 3.2, 11), 1 * u, 1 * u);
  } else if (name == "previous" || name == "next") {
    p.save();
    if (name == "next") {
      p.translate(g.box.center());
      p.scale(-1, 1);
      p.translate(-g.box.center());
    }
    p.setPen(Stroke(c, 1 * u));
    p.setBrush(c);
    p.drawPath(Polygon(g, {{17, 7}, {10, 12}, {17, 17}}));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(g.R(7, 7, 2.4, 10), 0.8 * u, 0.8 * u);
    p.restore();
  } else if (name == "volume_min") {
    Speaker(p, g, c);
  } else if (name == "volume_max") {
    Speaker(p, g, c);
    p.setPen(Stroke(c, 1.8 * u));
    p.setBrush(Qt::NoBrush);
    p.drawArc(g.R(9, 8, 8, 8), -50 * 16, 100 * 16);
    p.drawArc(g.R(7, 4, 14, 16), -50 * 16, 100 * 16);
  } else if (name == "list") {
    p.setPen(Stroke(c, 2 * u));
    for (int i = 0; i < 3; ++i) {
      p.drawLine(g.P(9, 7 + 5 * i), g.P(19, 7 + 5 * i));
      p.drawPoint(g.P(5, 7 + 5 * i));
    }
  } else if (name == "tablist") {
    p.setPen(Stroke(c, 1.8 * u));
    for (int i = 0; i < 4; ++i) p.drawLine(g.P(4, 6 + 4 * i), g.P(20, 6 + 4 * i));
  } else if (name == "coverflow") {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(g.R(8, 5, 8, 14), 1 * u, 1 * u);
    QColor side = c;
    side.setAlphaF(c.alphaF() * 0.6);
    p.setBrush(side);
    p.drawPath(Polygon(g, {{2.5, 7}, {6.5, 6}, {6.5, 18}, {2.5, 17}}));
    p.drawPath(Polygon(g, {{21.5, 7}, {17.5, 6}, {17.5, 18}, {21.5, 17}}));
  } else if (name == "branch_close") {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(Polygon(g, {{8, 5}, {17, 12}, {8, 19}}));
  } else if (name == "branch_open") {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(Polygon(g, {{5, 8}, {19, 8}, {12, 17}}));
  } else if (name == "arrow_up") {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(Polygon(g, {{5, 16}, {19, 16}, {12, 7}}));
  } else if (name == "dot") {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(g.R(7, 7, 10, 10));
  } else if (name == "expand") {
    p.setPen(Stroke(c, 2 * u));
    p.drawLine(g.P(6, 9), g.P(12, 15));
    p.drawLine(g.P(12, 15), g.P(18, 9));
  } else if (name == "plus") {
    p.setPen(Stroke(c, 2.2 * u));
    p.drawLine(g.P(12, 5), g.P(12, 19));
    p.drawLine(g.P(5, 12), g.P(19, 12));
  } else if (name == "note") {
    Note(p, g, c);
  } else if (name == "source") {
    // A microphone: the audio source.
    p.setPen(Stroke(c, 1.8 * u));
    p.drawRoundedRect(g.R(9, 3, 6, 11), 3 * u, 3 * u);
    p.drawArc(g.R(6, 6, 12, 11), 180 * 16, 180 * 16);
    p.drawLine(g.P(12, 17), g.P(12, 20.5));
    p.drawLine(g.P(8.5, 20.5), g.P(15.5, 20.5));
  } else if (name == "clock") {
    p.setPen(Stroke(c, 1.8 * u));
    p.drawEllipse(g.R(3.5, 3.5, 17, 17));
    p.drawLine(g.P(12, 12), g.P(12, 7));
    p.drawLine(g.P(12, 12), g.P(15.5, 14));
  } else if (name == "itunes") {
    p.setPen(Stroke(c, 1.6 * u));
    p.drawEllipse(g.R(3, 3, 18, 18));
    Grid inner = MakeGrid(g.R(6.5, 6.5, 11, 11));
    Note(p, inner, c);
  } else if (name == "facebook") {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(g.R(3, 3, 18, 18), 4 * u, 4 * u);
    p.setCompositionMode(QPainter::CompositionMode_DestinationOut);
    p.setBrush(Qt::black);
    QPainterPath f;
    f.moveTo(g.P(13.2, 21));
    f.lineTo(g.P(13.2, 13.5));
    f.lineTo(g.P(11, 13.5));
    f.lineTo(g.P(11, 11));
    f.lineTo(g.P(13.2, 11));
    f.lineTo(g.P(13.2, 9));
    f.cubicTo(g.P(13.2, 7), g.P(14.3, 5.8), g.P(16.3, 5.8));
    f.lineTo(g.P(18, 5.8));
    f.lineTo(g.P(18, 8.2));
    f.lineTo(g.P(16.8, 8.2));
    f.cubicTo(g.P(16.1, 8.2), g.P(15.8, 8.5), g.P(15.8, 9.2));
    f.lineTo(g.P(15.8, 11));
    f.lineTo(g.P(18, 11));
    f.lineTo(g.P(17.6, 13.5));
    f.lineTo(g.P(15.8, 13.5));
    f.lineTo(g.P(15.8, 21));
    f.closeSubpath();
    p.drawPath(f);
  } else if (name == "twitter") {
    // A small bird: body, wing and beak.
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    QPainterPath b;
    b.moveTo(g.P(3, 17));
    b.cubicTo(g.P(8, 19.5), g.P(15, 18), g.P(17.5, 11));
    b.lineTo(g.P(20.5, 8));
    b.lineTo(g.P(17.8, 8.4));
    b.cubicTo(g.P(16.5, 5.5), g.P(12, 5.5), g.P(11.5, 9.5));
    b.cubicTo(g.P(8, 9.2), g.P(5.5, 7.5), g.P(4, 5.5));
    b.cubicTo(g.P(3.5, 8.5), g.P(4.5, 10.5), g.P(6.5, 11.5));
    b.lineTo(g.P(4.8, 11.5));
    b.cubicTo(g.P(5.5, 13.5), g.P(7, 14.5), g.P(8.5, 14.8));
    b.cubicTo(g.P(7, 16.2), g.P(5, 16.8), g.P(3, 17));
    b.closeSubpath();
    p.drawPath(b);
  } else if (name == "folder") {
    p.setPen(Stroke(c, 1.6 * u));
    p.setBrush(Qt::NoBrush);
    QPainterPath f;
    f.moveTo(g.P(3, 7));
    f.lineTo(g.P(9, 7));
    f.lineTo(g.P(11, 9));
    f.lineTo(g.P(21, 9));
    f.lineTo(g.P(21, 19));
    f.lineTo(g.P(3, 19));
    f.closeSubpath();
    p.drawPath(f);
  } else if (name == "check") {
    p.setPen(Stroke(c, 2.4 * u));
    p.drawLine(g.P(6, 12.5), g.P(10.5, 17));
    p.drawLine(g.P(10.5, 17), g.P(18.5, 7.5));
  } else if (name == "info") {
    p.setPen(Stroke(c, 1.8 * u));
    p.drawEllipse(g.R(3, 3, 18, 18));
    p.setPen(Stroke(c, 2.4 * u));
    p.drawLine(g.P(12, 11), g.P(12, 17));
    p.drawPoint(g.P(12, 7.5));
  } else if (name == "warning") {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    QPainterPath t = Polygon(g, {{12, 3}, {22, 20.5}, {2, 20.5}});
    p.drawPath(t);
    p.setCompositionMode(QPainter::CompositionMode_DestinationOut);
    p.setPen(Stroke(Qt::black, 2.2 * u));
    p.drawLine(g.P(12, 9), g.P(12, 14));
    p.drawPoint(g.P(12, 17.3));
  } else if (name == "transfer") {
    p.setPen(Stroke(c, 2 * u));
    p.drawLine(g.P(4, 8), g.P(18, 8));
    p.drawLine(g.P(14, 4), g.P(18, 8));
    p.drawLine(g.P(14, 12), g.P(18, 8));
    p.drawLine(g.P(20, 16), g.P(6, 16));
    p.drawLine(g.P(10, 12), g.P(6, 16));
    p.drawLine(g.P(10, 20), g.P(6, 16));
  } else if (name == "gear") {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    QPainterPath gear;
    for (int i = 0; i < 8; ++i) {
      p.save();
      p.translate(g.P(12, 12));
      p.rotate(45 * i);
      p.drawRoundedRect(QRectF(-1.8 * u, -10 * u, 3.6 * u, 5 * u), 0.8 * u, 0.8 * u);
      p.restore();
    }
    p.drawEllipse(g.R(5, 5, 14, 14));
    p.setCompositionMode(QPainter::CompositionMode_DestinationOut);
    p.setBrush(Qt::black);
    p.drawEllipse(g.R(9, 9, 6, 6));
  } else if (name == "sliders") {
    p.setPen(Stroke(c, 1.8 * u));
    for (int i = 0; i < 3; ++i) p.drawLine(g.P(6 + 6 * i, 4), g.P(6 + 6 * i, 20));
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRoundedRect(g.R(3.5, 13, 5, 3.5), 1 * u, 1 * u);
    p.drawRoundedRect(g.R(9.5, 6, 5, 3.5), 1 * u, 1 * u);
    p.drawRoundedRect(g.R(15.5, 15, 5, 3.5), 1 * u, 1 * u);
  } else if (name == "file") {
    p.setPen(Stroke(c, 1.6 * u));
    QPainterPath f;
    f.moveTo(g.P(6, 3));
    f.lineTo(g.P(14, 3));
    f.lineTo(g.P(19, 8));
    f.lineTo(g.P(19, 21));
    f.lineTo(g.P(6, 21));
    f.closeSubpath();
    p.drawPath(f);
    p.drawLine(g.P(14, 3), g.P(14, 8));
    p.drawLine(g.P(14, 8), g.P(19, 8));
  } else if (name == "globe") {
    p.setPen(Stroke(c, 1.6 * u));
    p.drawEllipse(g.R(3, 3, 18, 18));
    p.drawEllipse(g.R(8, 3, 8, 18));
    p.drawLine(g.P(3, 12), g.P(21, 12));
  } else if (name == "palette") {
    p.setPen(Stroke(c, 1.6 * u));
    QPainterPath pal;
    pal.moveTo(g.P(12, 3));
    pal.cubicTo(g.P(3, 3), g.P(2, 13), g.P(6, 18));
    pal.cubicTo(g.P(9, 22), g.P(13, 20), g.P(12.5, 17.5));
    pal.cubicTo(g.P(12, 15), g.P(14, 14), g.P(16, 14.5));
    pal.cubicTo(g.P(20, 15.5), g.P(22, 12), g.P(21, 9));
    pal.cubicTo(g.P(20, 5), g.P(16, 3), g.P(12, 3));
    p.drawPath(pal);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(g.R(6.5, 9.5, 2.5, 2.5));
    p.drawEllipse(g.R(10, 6, 2.5, 2.5));
    p.drawEllipse(g.R(14.5, 7, 2.5, 2.5));
  } else if (name == "wave") {
    p.setPen(Stroke(c, 2 * u));
    const qreal heights[] = {4, 9, 14, 8, 12, 5};
    for (int i = 0; i < 6; ++i) {
      const qreal x = 4.5 + i * 3;
      p.drawLine(g.P(x, 12 - heights[i] / 2), g.P(x, 12 + heights[i] / 2));
    }
  } else if (name == "library") {
    p.setPen(Stroke(c, 1.8 * u));
    p.drawLine(g.P(5, 4), g.P(5, 20));
    p.drawLine(g.P(9.5, 4), g.P(9.5, 20));
    p.save();
    p.translate(g.P(15, 4));
    p.rotate(-15);
    p.drawLine(QPointF(0, 0), QPointF(0, 16.5 * u));
    p.restore();
  } else if (name == "clock_small" || name == "recent") {
    p.setPen(Stroke(c, 1.8 * u));
    p.drawArc(g.R(4, 4, 16, 16), 100 * 16, 300 * 16);
    p.drawLine(g.P(12, 12), g.P(12, 7.5));
    p.drawLine(g.P(12, 12), g.P(15, 13.5));
    p.setBrush(c);
    p.setPen(Qt::NoPen);
    p.drawPath(Polygon(g, {{2.5, 7}, {7.5, 7}, {5, 10.5}}));
  } else if (name == "star") {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    QPainterPath star;
    for (int i = 0; i < 10; ++i) {
      const qreal r = (i % 2 ? 4 : 9.5) * u;
      const qreal a = -M_PI / 2 + i * M_PI / 5;
      const QPointF q = g.P(12, 12.5) + QPointF(r * std::cos(a), r * std::sin(a));
      if (i == 0) star.moveTo(q);
      else star.lineTo(q);
    }
    star.closeSubpath();
    p.drawPath(star);
  } else if (name == "question") {
    p.setPen(Stroke(c, 2.4 * u));
    QPainterPath q;
    q.moveTo(g.P(8, 8.5));
    q.cubicTo(g.P(8, 4), g.P(16, 4), g.P(16, 8.5));
    q.cubicTo(g.P(16, 11.5), g.P(12, 11.5), g.P(12, 15));
    p.drawPath(q);
    p.drawPoint(g.P(12, 19));
  } else if (name == "search") {
    p.setPen(Stroke(c, 2 * u));
    p.drawEllipse(g.R(4, 4, 11.5, 11.5));
    p.setPen(Stroke(c, 2.6 * u));
    p.drawLine(g.P(14.2, 14.2), g.P(19.5, 19.5));
  } else if (name == "download") {
    p.setPen(Stroke(c, 2 * u));
    p.drawLine(g.P(12, 4), g.P(12, 15));
    p.drawLine(g.P(7.5, 10.5), g.P(12, 15));
    p.drawLine(g.P(16.5, 10.5), g.P(12, 15));
    p.drawLine(g.P(5, 19.5), g.P(19, 19.5));
  } else if (name == "image") {
    p.setPen(Stroke(c, 1.6 * u));
    p.drawRoundedRect(g.R(3, 5, 18, 14), 2 * u, 2 * u);
    p.setBrush(c);
    p.setPen(Qt::NoPen);
    p.drawEllipse(g.R(6, 8, 3.5, 3.5));
    p.drawPath(Polygon(g, {{4.5, 17.5}, {10, 11.5}, {13.5, 15}, {16, 12.5}, {19.5, 17.5}}));
  } else {
    known = false;
  }
  p.restore();
  return known;
}
