#pragma once

#include <QPixmap>
#include <QSize>
#include <QString>

#include <functional>

class QPainter;

// A widget's painted background kept from one paint to the next. The skin's
// backgrounds are large pictures (painted at twice their design size) that
// the widgets scale to their own size; decoding and scaling them at every
// paint cost a recording page a quarter of a core, because every small
// change under a transparent child repaints the page beneath it. The cache
// is remade only when the widget's size, the skin or the interface scale
// changed since it was made.
//
// Thread contract: GUI thread only, like the widget that owns it.
class CBackgroundCache
{
public:
    // Draws the picture in its own size; it starts fully transparent.
    using Painter = std::function<void(QPainter& painter, const QSize& size)>;

    // The background for size, made by paint when stale.
    const QPixmap& Get(const QSize& size, const Painter& paint);
    // Forgets the picture (the next Get paints it again).
    void Clear();
    bool IsEmpty() const { return m_pixmap.isNull(); }

    // The skin's picture at path, decoded without passing through Qt's
    // pixmap cache: a one-off decode of a background would otherwise push
    // the small pictures everybody shares out of that cache.
    static QImage LoadPicture(const QString& path);

private:
    QPixmap m_pixmap;
    QSize m_size;
    int m_skin = -1;
    double m_scale = 0.0;
};

// A small skin picture (an overlay, a frame) scaled to size with the given
// mode: decoded and scaled once per path, size and mode, then kept in Qt's
// pixmap cache. A null pixmap when the picture cannot be read.
QPixmap ScaledSkinPicture(const QString& path, const QSize& size,
                          Qt::TransformationMode mode = Qt::FastTransformation);
