#include "CoverPictureFile.h"

#include "FileTimeHelpers.h"
#include "SystemHelpers.h"

#include <QBuffer>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

namespace {
// Past this many songs of one title something else is wrong.
constexpr int kMaxSameNames = 10000;
} // namespace

QString SaveCoverPicture(const QByteArray& bytes, const QString& folder, const QString& title)
{
    if (bytes.isEmpty() || folder.isEmpty())
        return QString();
    QImage image;
    if (!image.loadFromData(bytes)) {
        qWarning() << "SaveCoverPicture: the cover answer is no picture," << bytes.size() << "bytes";
        return QString();
    }
    QByteArray jpeg;
    {
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "JPG")) {
            qWarning() << "SaveCoverPicture: the cover could not be encoded";
            return QString();
        }
    }

    // The title came over the network: it becomes a valid file name that
    // stays inside the folder, as a song's does.
    QString name = MakeValidFileName(title);
    if (name.isEmpty() || name == QLatin1String("_"))
        name = QStringLiteral("cover");
    const QDir dir(folder);
    const QString inside = QFileInfo(folder).absoluteFilePath();
    CreateDirectoryTree(folder.toUtf8().constData());
    for (int n = 0; n < kMaxSameNames; ++n) {
        const QString path =
            dir.filePath(n == 0 ? name + QStringLiteral(".jpg") : QStringLiteral("%1 %2.jpg").arg(name).arg(n));
        if (QFileInfo(path).absolutePath() != inside) {
            qWarning() << "SaveCoverPicture: cover name refused:" << path;
            return QString();
        }
        QFile file(path);
        // Created only when no file has the name: a taken name moves on.
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (file.exists())
                continue;
            qWarning() << "SaveCoverPicture: cannot create" << path << file.errorString();
            return QString();
        }
        const bool written = file.write(jpeg) == jpeg.size() && file.flush();
        file.close();
        if (!written) {
            qWarning() << "SaveCoverPicture: cannot write" << path;
            QFile::remove(path);
            return QString();
        }
        return path;
    }
    qWarning() << "SaveCoverPicture: no free name for" << name;
    return QString();
}
