// Paints every image of the program's skin from one manifest and writes the
// resource collection file that rcc packs into skin.rcc.
//
//   sonacap_skingen <manifest> <style sheet> <output folder> <disk folder>
//
// Images go to <output folder>/res/..., the collection file to
// <output folder>/skin.qrc (prefix "/prefix": ":/prefix/res/..." and
// ":/prefix/StyleSheet1.css"); manifest paths starting with "disk:" are written
// below <disk folder> instead (pictures the program loads from files).
// Every image is drawn at twice its design size so it stays sharp at scale 2.
#include "SkinGlyphs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>
#include <QtMath>
#include <cstdio>
#include <functional>

namespace {

constexpr int kOversample = 2;

// Chrome palette shared by all five skins.
const QColor kAccent("#3DA5F4");
const QColor kAccentLight("#6CBCF8");
const QColor kAccentDark("#1F86D3");
const QColor kRecord("#EF4B4B");
const QColor kRecordLight("#F77272");
const QColor kRecordDark("#CF3030");
const QColor kGlyph("#DCE3EE");
const QColor kDisabled("#5C6577");
const QColor kPanel("#1A2030");

struct Theme {
  QColor top, bottom, glow, line;
};
// 0 Ocean, 1 Sunset, 2 Forest, 3 Graphite, 4 Midnight (the default skin).
const Theme kThemes[5] = {
    {QColor("#0B2A4A"), QColor("#071726"), QColor("#1FB6C9"), QColor("#5FD3E0")},
    {QColor("#3A1C4A"), QColor("#1A0E24"), QColor("#F0884A"), QColor("#F6B27D")},
    {QColor("#14382A"), QColor("#0A1C15"), QColor("#6CC46A"), QColor("#A7E49A")},
    {QColor("#2B2F38"), QColor("#15171C"), QColor("#8E9AB3"), QColor("#C4CCDB")},
    {QColor("#1E2550"), QColor("#0D1127"), QColor("#7A6CFF"), QColor("#A79FFF")},
};

QColor Alpha(QColor c, qreal a) {
  c.setAlphaF(a);
  return c;
}

QColor ParseColor(const QString& s) {
  if (s == "white") return QColor("#FFFFFF");
  if (s == "glyph") return kGlyph;
  if (s == "accent") return kAccent;
  if (s == "red") return kRecord;
  if (s == "grey") return kDisabled;
  if (s == "amber") return QColor("#F5A524");
  if (s == "green") return QColor("#3CCB7F");
  return QColor(s);
}

struct Canvas {
  QImage image;
  QSizeF design;
  explicit Canvas(QSize designSize)
      : image(designSize * kOversample, QImage::Format_ARGB32_Premultiplied), design(designSize) {
    image.fill(Qt::transparent);
  }
};

class Generator {
public:
  Generator(QString outDir, QString diskDir) : m_out(std::move(outDir)), m_disk(std::move(diskDir)) {}

  bool Run(const QString& manifestPath, const QString& cssPath);

private:
  bool Line(const QStringList& f);
  bool Save(const QString& path, const QImage& image);
  void Fail(const QString& why) { m_error = why; }

  // Opens a painter scaled so that drawing happens in design pixels.
  static void Begin(QPainter& p, Canvas& c) {
    p.begin(&c.image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.scale(kOversample, kOversample);
  }

  bool Button(const QString& name, QSize size, const QString& style, const QString& glyph);
  bool Icon(const QString& path, QSize size, const QString& glyph, const QColor& color);
  bool Badge(const QString& path, QSize size, const QString& glyph, const QColor& bg, const QString& shape);
  bool Background(const QString& path, QSize size, int theme, const QString& variant);
  bool Thumbnail(const QString& path, QSize size, int theme);
  bool Overlay(const QString& path, QSize size, const QString& kind);
  bool Artwork(const QString& path, QSize size, const QString& kind, const QString& text);
  bool Slider(const QString& base, QSize handle, QSize groove, int playedHeight, int barHeight);
  bool Frames(const QString& pattern, QSize size, int count);

  QString m_out, m_disk;
  QStringList m_resources;
  QString m_error;
};

bool Generator::Save(const QString& path, const QImage& image) {
  const bool disk = path.startsWith("disk:");
  const QString rel = disk ? path.mid(5) : QStringLiteral("res/") + path;
  const QString file = (disk ? m_disk : m_out) + "/" + rel;
  QDir().mkpath(QFileInfo(file).absolutePath());
  if (!image.save(file, "PNG")) {
    Fail("cannot write " + file);
    return false;
  }
  if (!disk) m_resources << rel;
  return true;
}

void PaintButtonFace(QPainter& p, QSizeF s, const QString& style, const QString& glyph, int state) {
  // state: 0 normal, 1 hover, 2 pressed/checked, 3 disabled
  const QRectF r(QPointF(0, 0), s);
  const qreal side = qMin(s.width(), s.height());
  QColor glyphColor = state == 3 ? kDisabled : (state == 0 ? kGlyph : QColor("#FFFFFF"));

  if (style == "flat" || style == "danger") {
    if (state == 1 || state == 2) {
      QColor bg = style == "danger" ? (state == 1 ? kRecord : kRecordDark)
                                    : Alpha(QColor("#FFFFFF"), state == 1 ? 0.14 : 0.24);
      p.setPen(Qt::NoPen);
      p.setBrush(bg);
      p.drawRoundedRect(r.adjusted(1, 1, -1, -1), 4, 4);
    }
    if (style == "flat" && state == 2) glyphColor = kAccentLight;
    const qreal g = side * 0.78;
    DrawGlyph(p, glyph, QRectF(r.center().x() - g / 2, r.center().y() - g / 2, g, g), glyphColor);
  } else if (style == "tiny") {
    const QColor c = state == 3 ? kDisabled : (state == 0 ? Alpha(kGlyph, 0.85) : (state == 1 ? QColor("#FFFFFF") : kAccentLight));
    DrawGlyph(p, glyph, r, c);
  } else if (style == "circle" || style == "record" || style == "ring") {
    const bool rec = style == "record";
    QColor fill = rec ? kRecord : kAccent;
    if (state == 1) fill = rec ? kRecordLight : kAccentLight;
    if (state == 2) fill = rec ? kRecordDark : kAccentDark;
    if (state == 3) fill = QColor("#3A4254");
    const qreal inset = state == 2 ? side * 0.06 : side * 0.03;
    const QRectF disc(r.center().x() - side / 2 + inset, r.center().y() - side / 2 + inset, side - 2 * inset,
                      side - 2 * inset);
    if (style == "ring") {
      p.setPen(QPen(state == 3 ? kDisabled : (state == 0 ? Alpha(kGlyph, 0.55) : fill), side * 0.05));
      p.setBrush(state == 0 ? Alpha(QColor("#FFFFFF"), 0.04) : Alpha(fill, state == 2 ? 0.35 : 0.22));
      p.drawEllipse(disc.adjusted(side * 0.03, side * 0.03, -side * 0.03, -side * 0.03));
    } else {
      // A soft halo makes the main buttons read as the primary actions.
      if (state != 3) {
        QRadialGradient halo(disc.center(), side / 2);
        halo.setColorAt(0.75, Alpha(fill, 0.45));
        halo.setColorAt(1.0, Alpha(fill, 0.0));
        p.setPen(Qt::NoPen);
        p.setBrush(halo);
        p.drawEllipse(disc);
      }
      QLinearGradient grad(disc.topLeft(), disc.bottomLeft());
      grad.setColorAt(0, fill.lighter(112));
      grad.setColorAt(1, fill.darker(108));
      p.setPen(Qt::NoPen);
      p.setBrush(grad);
      p.drawEllipse(disc.adjusted(side * 0.06, side * 0.06, -side * 0.06, -side * 0.06));
      glyphColor = state == 3 ? kDisabled : QColor("#FFFFFF");
    }
    const qreal g = side * (style == "ring" ? 0.62 : 0.66);
    DrawGlyph(p, glyph, QRectF(r.center().x() - g / 2, r.center().y() - g / 2, g, g), glyphColor);
  } else if (style == "segleft" || style == "segright") {
    // One half of the Recording / Media switch; the label sits right of the glyph.
    const bool left = style == "segleft";
    const qreal rad = s.height() / 2 - 1;
    QPainterPath path;
    const QRectF body = r.adjusted(left ? 1 : 0, 1, left ? 0 : -1, -1);
    path.addRoundedRect(body, rad, rad);
    // Square off the inner edge so the two halves meet in a straight seam.
    QPainterPath square;
    square.addRect(left ? QRectF(body.center().x(), body.top(), body.width() / 2, body.height())
                        : QRectF(body.left(), body.top(), body.width() / 2, body.height()));
    path = path.united(square);
    QColor fill = state == 2 ? kAccent : Alpha(QColor("#FFFFFF"), state == 1 ? 0.16 : 0.08);
    if (state == 3) fill = Alpha(QColor("#FFFFFF"), 0.04);
    p.setPen(QPen(state == 2 ? kAccentLight : Alpha(QColor("#FFFFFF"), 0.22), 1));
    p.setBrush(fill);
    p.drawPath(path);
    const qreal g = s.height() * 0.52;
    const qreal gx = left ? 34 : 28;
    DrawGlyph(p, glyph, QRectF(gx - g / 2, r.center().y() - g / 2, g, g),
              state == 3 ? kDisabled : QColor("#FFFFFF"));
  } else if (style == "box") {
    QColor fill = state == 2 ? kAccentDark : (state == 1 ? kAccentLight : kAccent);
    if (state == 3) fill = QColor("#3A4254");
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(r.adjusted(2, 2, -2, -2), s.height() / 2 - 2, s.height() / 2 - 2);
    const qreal g = s.height() * 0.58;
    DrawGlyph(p, glyph, QRectF(r.center().x() - g / 2, r.center().y() - g / 2, g, g),
              state == 3 ? kDisabled : QColor("#FFFFFF"));
  } else if (style == "outline") {
    QColor edge = state == 3 ? kDisabled : (state == 0 ? Alpha(kGlyph, 0.5) : kAccentLight);
    p.setPen(QPen(edge, 1));
    p.setBrush(state == 2 ? Alpha(kAccent, 0.35) : (state == 1 ? Alpha(kAccent, 0.18) : Alpha(QColor("#FFFFFF"), 0.06)));
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    const qreal g = side * 0.8;
    DrawGlyph(p, glyph, QRectF(r.center().x() - g / 2, r.center().y() - g / 2, g, g),
              state == 3 ? kDisabled : QColor("#FFFFFF"));
  }
}

bool Generator::Button(const QString& name, QSize size, const QString& style, const QString& glyph) {
  static const char* const suffix[] = {"", "_on", "_down", "_disable"};
  for (int state = 0; state < 4; ++state) {
    Canvas c(size);
    QPainter p;
    Begin(p, c);
    PaintButtonFace(p, c.design, style, glyph, state);
    p.end();
    if (!Save("but/" + name + suffix[state] + ".png", c.image)) return false;
  }
  return true;
}

bool Generator::Icon(const QString& path, QSize size, const QString& glyph, const QColor& color) {
  Canvas c(size);
  QPainter p;
  Begin(p, c);
  const bool ok = DrawGlyph(p, glyph, QRectF(QPointF(0, 0), c.design), color);
  p.end();
  if (!ok) {
    Fail("unknown glyph " + glyph);
    return false;
  }
  return Save(path, c.image);
}

bool Generator::Badge(const QString& path, QSize size, const QString& glyph, const QColor& bg,
                      const QString& shape) {
  Canvas c(size);
  QPainter p;
  Begin(p, c);
  const QRectF r(QPointF(0, 0), c.design);
  const qreal side = qMin(r.width(), r.height());
  const QRectF sq(r.center().x() - side / 2, r.center().y() - side / 2, side, side);
  QLinearGradient grad(sq.topLeft(), sq.bottomRight());
  grad.setColorAt(0, bg.lighter(118));
  grad.setColorAt(1, bg.darker(115));
  p.setPen(Qt::NoPen);
  p.setBrush(grad);
  if (shape == "square") p.drawRoundedRect(sq.adjusted(side * 0.04, side * 0.04, -side * 0.04, -side * 0.04), side * 0.22, side * 0.22);
  else p.drawEllipse(sq.adjusted(side * 0.03, side * 0.03, -side * 0.03, -side * 0.03));
  const qreal g = side * 0.6;
  bool ok = true;
  if (!glyph.isEmpty() && glyph != "-") {
    ok = DrawGlyph(p, glyph, QRectF(sq.center().x() - g / 2, sq.center().y() - g / 2, g, g), QColor("#FFFFFF"));
  }
  p.end();
  if (!ok) {
    Fail("unknown glyph " + glyph);
    return false;
  }
  return Save(path, c.image);
}

void PaintTheme(QPainter& p, const QRectF& r, const Theme& t, bool library) {
  QLinearGradient base(r.topLeft(), r.bottomRight());
  base.setColorAt(0, t.top);
  base.setColorAt(1, t.bottom);
  p.fillRect(r, base);
  // Two soft glows give depth without competing with the content.
  QRadialGradient glow(QPointF(r.left() + r.width() * 0.78, r.top() + r.height() * 0.18), r.width() * 0.55);
  glow.setColorAt(0, Alpha(t.glow, library ? 0.22 : 0.38));
  glow.setColorAt(1, Alpha(t.glow, 0));
  p.fillRect(r, glow);
  QRadialGradient glow2(QPointF(r.left() + r.width() * 0.12, r.bottom()), r.width() * 0.45);
  glow2.setColorAt(0, Alpha(t.glow, library ? 0.12 : 0.22));
  glow2.setColorAt(1, Alpha(t.glow, 0));
  p.fillRect(r, glow2);
  if (library) return;
  // Sound-wave ribbons across the lower half.
  for (int k = 0; k < 4; ++k) {
    QPainterPath wave;
    const qreal y0 = r.top() + r.height() * (0.62 + 0.06 * k);
    const qreal amp = r.height() * (0.05 + 0.015 * k);
    for (int i = 0; i <= 120; ++i) {
      const qreal x = r.left() + r.width() * i / 120.0;
      const qreal y = y0 + amp * std::sin(i / 120.0 * 2 * M_PI * (1.2 + 0.25 * k) + k * 0.9);
      if (i == 0) wave.moveTo(x, y);
      else wave.lineTo(x, y);
    }
    p.setPen(QPen(Alpha(t.line, 0.16 - 0.03 * k), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawPath(wave);
  }
}

bool Generator::Background(const QString& path, QSize size, int theme, const QString& variant) {
  if (theme < 0 || theme > 4) {
    Fail("theme out of range");
    return false;
  }
  Canvas c(size);
  QPainter p;
  Begin(p, c);
  PaintTheme(p, QRectF(QPointF(0, 0), c.design), kThemes[theme], variant == "library");
  p.end();
  return Save(path, c.image);
}

bool Generator::Thumbnail(const QString& path, QSize size, int theme) {
  if (theme < 0 || theme > 4) {
    Fail("theme out of range");
    return false;
  }
  Canvas c(size);
  QPainter p;
  Begin(p, c);
  const QRectF r = QRectF(QPointF(0, 0), c.design).adjusted(2, 2, -2, -2);
  QPainterPath clip;
  clip.addRoundedRect(r, 8, 8);
  p.setClipPath(clip);
  PaintTheme(p, r, kThemes[theme], false);
  // A miniature of the window: title strip and a control row.
  p.fillRect(QRectF(r.left(), r.top(), r.width(), r.height() * 0.16), Alpha(QColor("#000000"), 0.35));
  p.setPen(Qt::NoPen);
  p.setBrush(kRecord);
  p.drawEllipse(QPointF(r.left() + r.width() * 0.2, r.top() + r.height() * 0.32), r.width() * 0.07, r.width() * 0.07);
  p.setBrush(Alpha(QColor("#FFFFFF"), 0.7));
  p.drawRoundedRect(QRectF(r.left() + r.width() * 0.34, r.top() + r.height() * 0.3, r.width() * 0.5, r.height() * 0.04), 1, 1);
  p.setClipping(false);
  p.setPen(QPen(Alpha(QColor("#FFFFFF"), 0.35), 1));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(r, 8, 8);
  p.end();
  return Save(path, c.image);
}

bool Generator::Overlay(const QString& path, QSize size, const QString& kind) {
  Canvas c(size);
  QPainter p;
  Begin(p, c);
  const QRectF r(QPointF(0, 0), c.design);
  p.setPen(Qt::NoPen);
  if (kind == "hband") {
    // Dark band under the lower part of the pages.
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, Alpha(QColor("#000000"), 0.0));
    g.setColorAt(0.35, Alpha(QColor("#000000"), 0.35));
    g.setColorAt(1, Alpha(QColor("#000000"), 0.6));
    p.fillRect(r, g);
  } else if (kind == "sidepanel") {
    // Backdrop of the library's list panel, stretched over the whole panel
    // (and drawn at half opacity): a slightly darker face with a hairline
    // along its right edge where the track list begins.
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, Alpha(QColor("#000000"), 0.30));
    g.setColorAt(1, Alpha(QColor("#000000"), 0.45));
    p.fillRect(r, g);
    p.fillRect(QRectF(r.right() - 1, r.top(), 1, r.height()), Alpha(QColor("#FFFFFF"), 0.30));
  } else if (kind == "searchbg") {
    p.setBrush(Alpha(QColor("#000000"), 0.45));
    p.drawRect(r);
    p.fillRect(QRectF(r.left(), r.bottom() - 1, r.width(), 1), Alpha(QColor("#FFFFFF"), 0.12));
  } else if (kind == "rowsel") {
    // Stretched over every cell of a selected row on its own: a flat fill
    // with hairlines at top and bottom, so the cells join into one band.
    p.setBrush(Alpha(kAccent, 0.42));
    p.drawRect(r);
    p.fillRect(QRectF(r.left(), r.top(), r.width(), 1), Alpha(kAccentLight, 0.55));
    p.fillRect(QRectF(r.left(), r.bottom() - 1, r.width(), 1), Alpha(kAccentLight, 0.55));
  } else if (kind == "dropsel") {
    p.setBrush(Alpha(kAccent, 0.25));
    p.setPen(QPen(kAccentLight, 1, Qt::DashLine));
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
  } else if (kind == "minisel") {
    p.setBrush(Alpha(kAccent, 0.35));
    p.drawRoundedRect(r.adjusted(1, 1, -1, -1), 6, 6);
  } else if (kind == "hline") {
    QLinearGradient g(r.topLeft(), r.topRight());
    g.setColorAt(0, Alpha(QColor("#FFFFFF"), 0.0));
    g.setColorAt(0.5, Alpha(QColor("#FFFFFF"), 0.25));
    g.setColorAt(1, Alpha(QColor("#FFFFFF"), 0.0));
    p.fillRect(r, g);
  } else if (kind == "titlecap") {
    // Soft separator before the title-bar buttons.
    p.fillRect(QRectF(r.right() - 1.5, r.top() + r.height() * 0.25, 1, r.height() * 0.5), Alpha(QColor("#FFFFFF"), 0.18));
  } else if (kind == "corner") {
    // Drawn over covers that are already painted with rounded corners (radius
    // 13 of 128): only a fine rim and a soft top light, nothing outside the
    // corners, so the page's background shows there in every skin.
    const qreal rad = r.width() * 13.0 / 128.0;
    QLinearGradient light(r.topLeft(), r.bottomLeft());
    light.setColorAt(0, Alpha(QColor("#FFFFFF"), 0.10));
    light.setColorAt(0.45, Alpha(QColor("#FFFFFF"), 0.0));
    p.setBrush(light);
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), rad, rad);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Alpha(QColor("#FFFFFF"), 0.22), 1));
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), rad, rad);
  } else if (kind == "panel_left" || kind == "panel_center" || kind == "panel_right") {
    // Backdrop of the expanded cover tile, in three stretchable pieces.
    QPainterPath path;
    const qreal rad = 10;
    QRectF body = r;
    if (kind == "panel_left") body.setRight(r.right() + rad * 2);
    if (kind == "panel_right") body.setLeft(r.left() - rad * 2);
    if (kind == "panel_center") body = r.adjusted(-rad * 2, 0, rad * 2, 0);
    path.addRoundedRect(body.adjusted(0.5, 0.5, -0.5, -0.5), rad, rad);
    p.setClipRect(r);
    p.setBrush(Alpha(kPanel, 0.92));
    p.setPen(QPen(Alpha(QColor("#FFFFFF"), 0.16), 1));
    p.drawPath(path);
  } else if (kind == "pillbutton" || kind == "pillbutton_on") {
    const bool on = kind == "pillbutton_on";
    p.setBrush(on ? kAccentLight : kAccent);
    p.drawRoundedRect(r.adjusted(1, 1, -1, -1), r.height() / 2 - 1, r.height() / 2 - 1);
  } else {
    p.end();
    Fail("unknown overlay " + kind);
    return false;
  }
  p.end();
  return Save(path, c.image);
}

void CoverBase(QPainter& p, const QRectF& r, const QColor& a, const QColor& b, qreal radius) {
  QLinearGradient g(r.topLeft(), r.bottomRight());
  g.setColorAt(0, a);
  g.setColorAt(1, b);
  p.setPen(Qt::NoPen);
  p.setBrush(g);
  p.drawRoundedRect(r, radius, radius);
}

bool Generator::Artwork(const QString& path, QSize size, const QString& kind, const QString& text) {
  Canvas c(size);
  QPainter p;
  Begin(p, c);
  const QRectF r(QPointF(0, 0), c.design);
  const qreal side = qMin(r.width(), r.height());
  auto centred = [&](qreal f, qreal dy = 0) {
    return QRectF(r.center().x() - side * f / 2, r.center().y() - side * f / 2 + dy, side * f, side * f);
  };
  bool ok = true;
  if (kind == "default") {
    CoverBase(p, r, QColor("#34405C"), QColor("#1B2233"), 0);
    DrawGlyph(p, "note", centred(0.5), Alpha(QColor("#FFFFFF"), 0.75));
  } else if (kind == "download") {
    CoverBase(p, r, QColor("#2A3550"), QColor("#161C2B"), 0);
    DrawGlyph(p, "download", centred(0.42), Alpha(kAccentLight, 0.9));
  } else if (kind == "failed") {
    CoverBase(p, r, QColor("#3B3346"), QColor("#1C1824"), 0);
    const qreal dy = text.isEmpty() ? 0 : -side * 0.08;
    DrawGlyph(p, "note", centred(0.42, dy), Alpha(QColor("#FFFFFF"), 0.55));
    QRectF badge = centred(0.2, dy);
    badge.moveCenter(centred(0.42, dy).bottomRight() - QPointF(side * 0.03, side * 0.05));
    p.setPen(Qt::NoPen);
    p.setBrush(kRecord);
    p.drawEllipse(badge);
    DrawGlyph(p, "close", badge.adjusted(side * 0.03, side * 0.03, -side * 0.03, -side * 0.03), QColor("#FFFFFF"));
    if (!text.isEmpty()) {
      QFont font("DejaVu Sans");
      font.setPixelSize(int(side * 0.105));
      font.setBold(true);
      p.setFont(font);
      p.setPen(Alpha(QColor("#FFFFFF"), 0.85));
      p.drawText(QRectF(r.left() + 4, r.bottom() - side * 0.3, r.width() - 8, side * 0.22),
                 Qt::AlignCenter | Qt::TextWordWrap, text);
    }
  } else if (kind == "sleeve" || kind == "sleeve_fill") {
    // The record sleeve of the artwork animation; the fill is the lit version
    // that grows over it while song data downloads.
    const bool fill = kind == "sleeve_fill";
    const QRectF cover(r.left(), r.top(), r.width(), r.width());
    CoverBase(p, cover, fill ? kAccent : QColor("#2E3850"), fill ? kAccentDark : QColor("#1A2030"), 6);
    DrawGlyph(p, "note", QRectF(cover.center().x() - cover.width() * 0.22, cover.center().y() - cover.width() * 0.22,
                                cover.width() * 0.44, cover.width() * 0.44),
              Alpha(QColor("#FFFFFF"), fill ? 0.9 : 0.45));
    if (r.height() > r.width() + 8) {
      // Title and artist placeholders below the cover.
      const qreal y = cover.bottom() + (r.height() - cover.height()) * 0.3;
      p.setBrush(Alpha(QColor("#FFFFFF"), fill ? 0.55 : 0.22));
      p.drawRoundedRect(QRectF(r.left() + r.width() * 0.1, y, r.width() * 0.8, 6), 3, 3);
      p.drawRoundedRect(QRectF(r.left() + r.width() * 0.25, y + 14, r.width() * 0.5, 5), 2.5, 2.5);
    }
  } else if (kind == "sleeve_frame") {
    const QRectF cover(r.left(), r.top(), r.width(), r.width());
    p.setPen(QPen(Alpha(QColor("#FFFFFF"), 0.35), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(cover.adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
  } else if (kind == "dragfile") {
    p.setPen(Qt::NoPen);
    p.setBrush(Alpha(kPanel, 0.9));
    p.drawRoundedRect(r.adjusted(4, 2, -4, -2), 5, 5);
    DrawGlyph(p, "note", centred(0.5), kAccentLight);
  } else if (kind == "draghere") {
    CoverBase(p, r, QColor("#222A3D"), QColor("#161C2B"), 8);
    p.setPen(QPen(Alpha(QColor("#FFFFFF"), 0.4), 1.5, Qt::DashLine));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(r.adjusted(6, 6, -6, -6), 6, 6);
    DrawGlyph(p, "image", centred(0.34, -side * 0.06), Alpha(QColor("#FFFFFF"), 0.7));
    DrawGlyph(p, "plus", centred(0.16, side * 0.2), Alpha(kAccentLight, 0.9));
  } else if (kind == "cover_down" || kind == "cover_border") {
    p.setPen(QPen(kind == "cover_down" ? kAccentLight : Alpha(QColor("#FFFFFF"), 0.85), 3));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(r.adjusted(1.5, 1.5, -1.5, -1.5), kind == "cover_down" ? 14 : 6, kind == "cover_down" ? 14 : 6);
  } else if (kind == "appicon") {
    CoverBase(p, r.adjusted(side * 0.04, side * 0.04, -side * 0.04, -side * 0.04), QColor("#4C5BD4"), QColor("#1D2455"),
              side * 0.22);
    const QRectF disc = centred(0.5, -side * 0.04);
    p.setBrush(kRecord);
    p.drawEllipse(disc);
    p.setBrush(QColor("#FFFFFF"));
    p.drawEllipse(centred(0.16, -side * 0.04));
    DrawGlyph(p, "wave", QRectF(r.left() + side * 0.25, r.bottom() - side * 0.3, side * 0.5, side * 0.18),
              Alpha(QColor("#FFFFFF"), 0.85));
  } else if (kind == "tray" || kind == "tray_recording") {
    const bool rec = kind == "tray_recording";
    p.setPen(Qt::NoPen);
    p.setBrush(rec ? kRecord : QColor("#4C5BD4"));
    p.drawRoundedRect(r.adjusted(side * 0.05, side * 0.05, -side * 0.05, -side * 0.05), side * 0.22, side * 0.22);
    p.setBrush(QColor("#FFFFFF"));
    p.drawEllipse(centred(rec ? 0.42 : 0.34));
    if (!rec) {
      p.setBrush(kRecord);
      p.drawEllipse(centred(0.22));
    }
  } else {
    ok = false;
  }
  p.end();
  if (!ok) {
    Fail("unknown artwork " + kind);
    return false;
  }
  return Save(path, c.image);
}

bool Generator::Slider(const QString& base, QSize handle, QSize groove, int playedHeight, int barHeight) {
  // barHeight: the visible thickness of the groove inside its piece.
  auto piece = [&](const QString& suffix, QSize size, const std::function<void(QPainter&, QRectF)>& draw) {
    Canvas c(size);
    QPainter p;
    Begin(p, c);
    draw(p, QRectF(QPointF(0, 0), c.design));
    p.end();
    return Save(base + suffix + ".png", c.image);
  };
  const qreal bh = barHeight;
  auto bar = [bh](const QRectF& r) { return QRectF(r.left(), (r.height() - bh) / 2, r.width(), bh); };
  // The played centre is drawn from the played-left piece's top; its bar sits
  // at the same height as the groove's even if the piece is taller.
  const qreal grooveTop = (groove.height() - bh) / 2;
  // Opaque: the pieces overlap by a pixel where the centre meets the ends.
  const QColor grooveColor("#454E63");
  bool ok = true;
  ok = ok && piece("_bl", groove, [&](QPainter& p, QRectF r) {
    QPainterPath path;
    path.addRoundedRect(bar(r).adjusted(0, 0, bh, 0), bh / 2, bh / 2);
    p.setClipRect(r);
    p.fillPath(path, grooveColor);
  });
  ok = ok && piece("_bc", groove, [&](QPainter& p, QRectF r) { p.fillRect(bar(r), grooveColor); });
  ok = ok && piece("_br", groove, [&](QPainter& p, QRectF r) {
    QPainterPath path;
    path.addRoundedRect(bar(r).adjusted(-bh, 0, 0, 0), bh / 2, bh / 2);
    p.setClipRect(r);
    p.fillPath(path, grooveColor);
  });
  ok = ok && piece("_pl", groove, [&](QPainter& p, QRectF r) {
    QPainterPath path;
    path.addRoundedRect(bar(r).adjusted(0, 0, r.width(), 0), bh / 2, bh / 2);
    p.setClipRect(r);
    p.fillPath(path, kAccent);
  });
  ok = ok && piece("_pc", QSize(groove.width(), playedHeight), [&](QPainter& p, QRectF r) {
    p.fillRect(QRectF(r.left(), grooveTop, r.width(), bh), kAccent);
  });
  auto knob = [&](const QColor& fill, qreal grow) {
    return [=](QPainter& p, QRectF r) {
      const qreal side = qMin(r.width(), r.height()) - 1;
      const QRectF disc(r.center().x() - side / 2, r.center().y() - side / 2, side, side);
      p.setPen(Qt::NoPen);
      p.setBrush(Alpha(QColor("#000000"), 0.3));
      p.drawEllipse(disc.translated(0, 0.5));
      p.setBrush(fill);
      p.drawEllipse(disc.adjusted(0.5 - grow, 0.5 - grow, -0.5 + grow, -0.5 + grow));
      if (side > 10) {
        p.setBrush(kAccent);
        p.drawEllipse(QRectF(r.center().x() - side * 0.18, r.center().y() - side * 0.18, side * 0.36, side * 0.36));
      }
    };
  };
  ok = ok && piece("", handle, knob(QColor("#FFFFFF"), 0));
  ok = ok && piece("_on", handle, knob(QColor("#FFFFFF"), 0.5));
  ok = ok && piece("_down", handle, knob(kAccentLight, 0.5));
  return ok;
}

bool Generator::Frames(const QString& pattern, QSize size, int count) {
  // A recording pulse: equaliser bars whose heights travel along a wave, so
  // the loop of `count` frames runs seamlessly.
  const int bars = 46;
  for (int f = 1; f <= count; ++f) {
    Canvas c(size);
    QPainter p;
    Begin(p, c);
    const QRectF r(QPointF(0, 0), c.design);
    const qreal slot = r.width() * 0.7 / bars;
    const qreal x0 = r.width() * 0.15;
    const qreal phase = 2 * M_PI * (f - 1) / count;
    for (int i = 0; i < bars; ++i) {
      const qreal t = qreal(i) / (bars - 1);
      const qreal envelope = std::sin(M_PI * t);
      const qreal h = r.height() * 0.7 * envelope *
                      (0.35 + 0.35 * (0.5 + 0.5 * std::sin(phase + t * 9)) + 0.3 * (0.5 + 0.5 * std::sin(2 * phase - t * 17)));
      const QRectF barRect(x0 + i * slot + slot * 0.2, r.center().y() - h / 2, slot * 0.6, qMax<qreal>(h, 2));
      QLinearGradient g(barRect.topLeft(), barRect.bottomLeft());
      g.setColorAt(0, Alpha(QColor("#FFFFFF"), 0.85));
      g.setColorAt(0.5, Alpha(kRecordLight, 0.9));
      g.setColorAt(1, Alpha(QColor("#FFFFFF"), 0.85));
      p.setPen(Qt::NoPen);
      p.setBrush(g);
      p.drawRoundedRect(barRect, slot * 0.3, slot * 0.3);
    }
    p.end();
    if (!Save(pattern.arg(f), c.image)) return false;
  }
  return true;
}

QSize ParseSize(const QString& s, bool* ok) {
  const QStringList wh = s.split('x');
  *ok = wh.size() == 2;
  if (!*ok) return QSize();
  bool a = false, b = false;
  const QSize size(wh[0].toInt(&a), wh[1].toInt(&b));
  *ok = a && b && size.width() > 0 && size.height() > 0;
  return size;
}

bool Generator::Line(const QStringList& f) {
  const QString kind = f.value(0);
  bool sizeOk = false;
  const QSize size = ParseSize(f.value(2), &sizeOk);
  if (!sizeOk) {
    Fail("bad size '" + f.value(2) + "'");
    return false;
  }
  if (kind == "button") return Button(f.value(1), size, f.value(3), f.value(4));
  if (kind == "icon") return Icon(f.value(1), size, f.value(3), ParseColor(f.value(4, "white")));
  if (kind == "badge") return Badge(f.value(1), size, f.value(3), ParseColor(f.value(4, "accent")), f.value(5, "circle"));
  if (kind == "background") return Background(f.value(1), size, f.value(3).toInt(), f.value(4));
  if (kind == "thumb") return Thumbnail(f.value(1), size, f.value(3).toInt());
  if (kind == "overlay") return Overlay(f.value(1), size, f.value(3));
  if (kind == "artwork") return Artwork(f.value(1), size, f.value(3), f.value(4));
  if (kind == "slider") {
    bool ok1 = false;
    const QSize groove = ParseSize(f.value(3), &ok1);
    if (!ok1) {
      Fail("bad groove size");
      return false;
    }
    return Slider(f.value(1), size, groove, f.value(4).toInt(), f.value(5).toInt());
  }
  if (kind == "frames") return Frames(f.value(1), size, f.value(3).toInt());
  Fail("unknown kind " + kind);
  return false;
}

bool Generator::Run(const QString& manifestPath, const QString& cssPath) {
  QFile manifest(manifestPath);
  if (!manifest.open(QIODevice::ReadOnly | QIODevice::Text)) {
    std::fprintf(stderr, "skingen: cannot read %s\n", qPrintable(manifestPath));
    return false;
  }
  QTextStream in(&manifest);
  in.setCodec("UTF-8");
  int lineNo = 0;
  while (!in.atEnd()) {
    const QString raw = in.readLine();
    ++lineNo;
    const QString line = raw.trimmed();
    if (line.isEmpty() || line.startsWith('#')) continue;
    QStringList fields;
    for (const QString& part : line.split('|')) fields << part.trimmed();
    if (!Line(fields)) {
      std::fprintf(stderr, "skingen: %s:%d: %s\n", qPrintable(manifestPath), lineNo, qPrintable(m_error));
      return false;
    }
  }

  QFile qrc(m_out + "/skin.qrc");
  if (!qrc.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
    std::fprintf(stderr, "skingen: cannot write %s\n", qPrintable(qrc.fileName()));
    return false;
  }
  QTextStream out(&qrc);
  out.setCodec("UTF-8");
  out << "<!DOCTYPE RCC><RCC version=\"1.0\">\n<qresource prefix=\"/prefix\">\n";
  out << "  <file alias=\"StyleSheet1.css\">" << QFileInfo(cssPath).absoluteFilePath().toHtmlEscaped()
      << "</file>\n";
  m_resources.sort();
  for (const QString& rel : m_resources) {
    out << "  <file alias=\"" << rel.toHtmlEscaped() << "\">" << rel.toHtmlEscaped() << "</file>\n";
  }
  out << "</qresource>\n</RCC>\n";
  return true;
}

}  // namespace

int main(int argc, char* argv[]) {
  QGuiApplication app(argc, argv);
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s <manifest> <style sheet> <output folder> <disk folder>\n", argv[0]);
    return 2;
  }
  QDir().mkpath(QString::fromLocal8Bit(argv[3]));
  QDir().mkpath(QString::fromLocal8Bit(argv[4]));
  Generator gen(QFileInfo(QString::fromLocal8Bit(argv[3])).absoluteFilePath(),
                QFileInfo(QString::fromLocal8Bit(argv[4])).absoluteFilePath());
  return gen.Run(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
