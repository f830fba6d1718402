#include "RecognitionResult.h"

#include <QByteArray>
#include <QDebug>
#include <QVariantList>

namespace {

const QString kSuccess = QStringLiteral("Success");

void Walk(const QVariantMap& map, IdentifyFields& fields)
{
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const QString& key = it.key();
        const QVariant& value = it.value();
        switch (value.userType()) {
        case QMetaType::UInt:
            // Only a plain unsigned 32-bit number: one written with a point, a
            // sign or beyond 32 bits is not taken.
            if (key == QLatin1String("duration_ms") && fields.duration == 0)
                fields.duration = static_cast<int>(value.toUInt() / 1000);
            break;
        case QMetaType::QString: {
            const QString text = value.toString();
            if (key == QLatin1String("msg")) {
                fields.message = text;
                // A failed status ends this object; its neighbours still count.
                if (text != kSuccess)
                    return;
                qDebug() << "network message: " << text;
            } else if (key == QLatin1String("title") && fields.title.isEmpty()) {
                fields.title = text;
            } else if (key == QLatin1String("release_date") && fields.releaseDate.isEmpty()) {
                fields.releaseDate = text;
            }
            break;
        }
        case QMetaType::QVariantMap: {
            const QVariantMap inner = value.toMap();
            if (key == QLatin1String("spotify") && inner.contains(QStringLiteral("track")))
                fields.trackId = QString::fromUtf8(
                    inner.value(QStringLiteral("track")).toMap().value(QStringLiteral("id")).toByteArray());
            if (key == QLatin1String("album") && inner.contains(QStringLiteral("name")) && fields.album.isEmpty())
                fields.album = inner.value(QStringLiteral("name")).toString();
            Walk(inner, fields);
            break;
        }
        case QMetaType::QVariantList: {
            const QVariantList list = value.toList();
            for (const QVariant& element : list) {
                const QVariantMap inner = element.toMap();
                if (inner.contains(QStringLiteral("name"))) {
                    if (key == QLatin1String("artists") && fields.artist.isEmpty())
                        fields.artist = inner.value(QStringLiteral("name")).toString();
                    else if (key == QLatin1String("genres") && fields.genre.isEmpty())
                        fields.genre = inner.value(QStringLiteral("name")).toString();
                }
                Walk(inner, fields);
            }
            break;
        }
        default:
            break;
        }
    }
}

} // namespace

QVariantMap ResetResult()
{
    QVariantMap result;
    result.insert(QStringLiteral("title"), QString());
    result.insert(QStringLiteral("album"), QString());
    result.insert(QStringLiteral("artist"), QString());
    result.insert(QStringLiteral("releaseDate"), QString());
    result.insert(QStringLiteral("genre"), QString());
    result.insert(QStringLiteral("duration"), 0);
    result.insert(QStringLiteral("message"), QString());
    result.insert(QStringLiteral("imageBuffer"), QByteArray());
    result.insert(QStringLiteral("networkError"), 0);
    return result;
}

void ParseResult(const QVariantMap& answer, IdentifyFields& fields)
{
    Walk(answer, fields);
}

void StoreIdentifyFields(const IdentifyFields& fields, int networkError, QVariantMap& result)
{
    result.insert(QStringLiteral("title"), fields.title);
    result.insert(QStringLiteral("album"), fields.album);
    result.insert(QStringLiteral("artist"), fields.artist);
    result.insert(QStringLiteral("releaseDate"), fields.releaseDate);
    result.insert(QStringLiteral("genre"), fields.genre);
    result.insert(QStringLiteral("duration"), fields.duration);
    result.insert(QStringLiteral("message"), fields.message);
    result.insert(QStringLiteral("networkError"), networkError);
}

QString ChooseImageUrl(const QVariantMap& track)
{
    const QVariantList images =
        track.value(QStringLiteral("album")).toMap().value(QStringLiteral("images")).toList();
    QString url;
    for (const QVariant& image : images) {
        const QVariantMap entry = image.toMap();
        const int height = entry.value(QStringLiteral("height")).toInt();
        if (height > 200 && height < 400)
            url = entry.value(QStringLiteral("url")).toString();
    }
    return url;
}
