#include "FileTimeHelpers.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QStringList>

namespace {
// Serialises choosing a free output name with reserving it on disk.
QMutex g_outputNameLock;
}  // namespace

QString MakeValidFileName(QString text)
{
    if (text.startsWith(QLatin1Char('.')))
        text[0] = QLatin1Char('_');
    static const char kReplaced[] = {'*', '/', '\\', ':', '?', '"', '<', '>', '|'};
    for (char c : kReplaced)
        text.replace(QLatin1Char(c), QLatin1Char('_'));
    return text;
}

namespace {
// Most file systems hold at most 255 bytes in one name. A title of long
// UTF-8 text (127 Japanese characters are 381 bytes) is cut at a character
// boundary so that it, a " 123" of a repeated name and the extension fit.
QString FitFileNameBytes(QString name, const QString& extension)
{
    constexpr int kNameMax = 255;
    constexpr int kNumberRoom = 8;
    const int room = kNameMax - kNumberRoom - 1 - extension.toUtf8().size();
    while (!name.isEmpty() && name.toUtf8().size() > room) {
        name.chop(1);
        if (!name.isEmpty() && name.at(name.size() - 1).isHighSurrogate())
            name.chop(1);
    }
    return name;
}
}  // namespace

QString GetUniqueOutputFileName(QString baseName, QString folder, QString extension)
{
    QMutexLocker guard(&g_outputNameLock);
    const QDir dir(folder);
    QString candidate;
    for (qint64 n = 0;; ++n) {
        candidate = n == 0 ? baseName : baseName + QStringLiteral(" %1").arg(n);
        // QDir name filters are wildcards: escape the ones a title may hold.
        QString pattern = candidate;
        pattern.replace(QLatin1Char('['), QStringLiteral("[[]"));
        pattern.replace(QLatin1Char('*'), QStringLiteral("[*]"));
        pattern.replace(QLatin1Char('?'), QStringLiteral("[?]"));
        const QStringList taken = dir.entryList(
            QStringList{pattern + ".m4a", pattern + ".mp3", pattern + ".wav"}, QDir::Files | QDir::Hidden);
        if (taken.isEmpty())
            break;
    }
    QString path = folder;
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    path += candidate + QLatin1Char('.') + extension;

    QFile reservation(path);
    if (reservation.open(QIODevice::ReadWrite | QIODevice::Truncate))
        reservation.close();
    else
        qDebug() << "GetUniqueOutputFileName cannot reserve" << path << reservation.errorString();
    return path;
}

QString TitleFromFileName(const QString& path)
{
    return QFileInfo(path).completeBaseName();
}

bool SaveLoadMuiscName(QString musicName, QString& path)
{
    qDebug() << "SaveLoadMuiscName MusicName " + musicName + " Path " + path;
    const QString extension = path.right(3);
    const QString safe = FitFileNameBytes(MakeValidFileName(musicName), extension);
    const QFileInfo info(path);
    if (TitleFromFileName(path).contains(safe)) {
        qDebug() << "don't need to changed";
        return true;
    }
    // A file that is gone has no canonical folder; its own folder still is the
    // place to look (never the current or the root folder).
    const QString folder = info.exists() ? info.canonicalPath() : info.absolutePath();
    const QString newPath = GetUniqueOutputFileName(safe, folder, extension);
    qDebug() << "SaveLoadMuiscName MusicName: " + newPath;

    // Only the reservation made just now: a folder or anything else that
    // stands there is never removed.
    if (QFileInfo(newPath).isFile() && QFileInfo(newPath).size() == 0)
        QFile::remove(newPath);
    bool renamed = true;
    if (QFile::exists(path)) {
        renamed = QFile::rename(path, newPath);
        if (!renamed)
            qDebug() << "SaveLoadMuiscName rename failed" << path << newPath;
    } else {
        qDebug() << path + "not exists";
    }
    if (renamed && QFile::exists(newPath))
        path = newPath;
    return renamed;
}

QString SecondToTimeText(unsigned int seconds)
{
    const unsigned h = seconds / 3600;
    const unsigned m = (seconds - 3600 * h) / 60;
    const unsigned r = seconds - 3600 * h - 60 * m;
    QString text;
    if (h > 0)
        text = QString::number(h) + QLatin1Char(':');
    text += QStringLiteral("%1:%2").arg(m, 2, 10, QLatin1Char('0')).arg(r, 2, 10, QLatin1Char('0'));
    return text;
}

int TimeTextToSecond(QString text)
{
    int total = 0;
    if (text.length() > 5) {
        QString hours = text.left(text.length() - 5);
        if (hours.endsWith(QLatin1Char(':')))
            hours.chop(1);
        total = hours.toInt(nullptr, 10) * 3600;
        text = text.right(5);
    }
    total += text.left(2).toInt(nullptr, 10) * 60 + text.right(2).toInt(nullptr, 10);
    return total;
}

QByteArray IntToLittleEndianBytes(qint32 value)
{
    const quint32 v = static_cast<quint32>(value);
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((v >> (8 * i)) & 0xff);
    return bytes;
}

QByteArray ShortToLittleEndianBytes(qint16 value)
{
    const quint16 v = static_cast<quint16>(value);
    QByteArray bytes(2, '\0');
    bytes[0] = static_cast<char>(v & 0xff);
    bytes[1] = static_cast<char>((v >> 8) & 0xff);
    return bytes;
}
