#pragma once
// Vector glyphs of the skin, drawn with QPainter into a square box.
#include <QColor>
#include <QRectF>
#include <QString>

class QPainter;

// Draws the glyph `name` centred in `box` in `color`. Returns false for an
// unknown name (the caller reports it: a typo in the manifest must not pass
// silently).
bool DrawGlyph(QPainter& p, const QString& name, const QRectF& box, const QColor& color);
