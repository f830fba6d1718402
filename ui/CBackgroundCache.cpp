#include "CBackgroundCache.h"

#include "CAppSettings.h"
#include "InterfaceScale.h"

#include <QImageReader>
#include <QPainter>
#include <QPixmapCache>

const QPixmap& CBackgroundCache::Get(const QSize& size, const Painter& paint)
{
    const int skin = CAppSettings::GetInstance()->GetSkin();
    const double scale = GetInterfaceScale();
    if (!m_pixmap.isNull() && m_size == size && m_skin == skin && m_scale == scale)
        return m_pixmap;
    m_size = size;
    m_skin = skin;
    m_scale = scale;
    if (size.isEmpty()) {
        m_pixmap = QPixmap();
        return m_pixmap;
    }
    m_pixmap = QPixmap(size);
    m_pixmap.fill(Qt::transparent);
    QPainter painter(&m_pixmap);
    paint(painter, size);
    return m_pixmap;
}

void CBackgroundCache::Clear()
{
    m_pixmap = QPixmap();
    m_size = QSize();
    m_skin = -1;
    m_scale = 0.0;
}

QImage CBackgroundCache::LoadPicture(const QString& path)
{
    QImageReader reader(path);
    return reader.read();
}

QPixmap ScaledSkinPicture(const QString& path, const QSize& size, Qt::TransformationMode mode)
{
    if (size.isEmpty())
        return QPixmap();
    const QString key = QStringLiteral("sonacap:%1@%2x%3/%4")
                            .arg(path)
                            .arg(size.width())
                            .arg(size.height())
                            .arg(static_cast<int>(mode));
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;
    const QImage picture = CBackgroundCache::LoadPicture(path);
    if (picture.isNull())
        return QPixmap();
    pixmap = QPixmap::fromImage(picture.scaled(size, Qt::IgnoreAspectRatio, mode));
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}
