#include "FileTimeHelpers.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>

#include <dirent.h>
#include <sys/stat.h>

#include <cstring>

namespace {
// Serialises choosing a free output name with reserving it on disk.
QMutex g_outputNameLock;

// Spaces at the start; spaces and dots at the end (a name ending in a dot or
// a blank is one that many tools and file systems cut or refuse).
QString TrimNameEnds(const QString& name)
{
    int from = 0;
    int to = name.size();
    while (from < to && name.at(from).isSpace())
        ++from;
    while (to > from && (name.at(to - 1).isSpace() || name.at(to - 1) == QLatin1Char('.')))
        --to;
    return name.mid(from, to - from);
}
}  // namespace

QString MakeValidFileName(QString text)
{
    // Direction marks and overrides show a name in another order than it is
    // stored ("Song<right-to-left override>3pm.exe" is read as an MP3). A
    // title never needs them in a file name; the letters they surround stay.
    static const QRegularExpression kDirectionControls(
        QStringLiteral("[\\x{061C}\\x{200E}\\x{200F}\\x{202A}-\\x{202E}\\x{2066}-\\x{2069}]"));
    text.remove(kDirectionControls);
    // A newline or a tab at an end goes with the blanks; one inside, as
    // every other control character, would break every tool that reads
    // names line by line.
    text = TrimNameEnds(text);
    for (QChar& c : text) {
        switch (c.unicode()) {
        case '*': case '/': case '\\': case ':': case '?': case '"': case '<': case '>': case '|':
            c = QLatin1Char('_');
            break;
        default:
            if (c.category() == QChar::Other_Control)
                c = QLatin1Char('_');
            break;
        }
    }
    if (text.startsWith(QLatin1Char('.')))
        text[0] = QLatin1Char('_');
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
    if (name.toUtf8().size() <= room)
        return name;
    while (!name.isEmpty() && name.toUtf8().size() > room) {
        name.chop(1);
        if (!name.isEmpty() && name.at(name.size() - 1).isHighSurrogate())
            name.chop(1);
    }
    // Cut in the middle of the title, it must not end in a blank or a dot either.
    return TrimNameEnds(name);
}
}  // namespace

namespace {
// The extensions a song file of the program may have; one of them takes a name.
const char* const kSongExtensions[] = {".m4a", ".mp3", ".wav"};
constexpr int kSongExtensionSize = 4;

bool HasSongExtension(const char* name, size_t size)
{
    if (size < size_t(kSongExtensionSize))
        return false;
    const char* tail = name + size - kSongExtensionSize;
    for (const char* extension : kSongExtensions) {
        if (qstrnicmp(tail, extension, kSongExtensionSize) == 0)
            return true;
    }
    return false;
}

// A regular file, or a link to one; folders, broken links, devices and the
// like never take a name.
bool IsFileEntry(int dirFd, const dirent* entry)
{
    if (entry->d_type == DT_REG)
        return true;
    if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
        return false;
    struct stat info;
    return fstatat(dirFd, entry->d_name, &info, 0) == 0 && S_ISREG(info.st_mode);
}

// The names (lower case, without the extension) that a song file in `folder`
// already takes. One pass over the folder, so that choosing among 10,000
// "Track N" songs costs one listing and not one per number tried; only the
// song files' names are decoded and only links are looked at further. A
// name is taken whatever its case ("TRACK 1.MP3" takes "Track 1") and
// hidden files count.
QSet<QString> TakenSongNames(const QString& folder)
{
    QSet<QString> taken;
    DIR* dir = opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return taken;
    const int dirFd = dirfd(dir);
    while (const dirent* entry = readdir(dir)) {
        const size_t size = strlen(entry->d_name);
        if (!HasSongExtension(entry->d_name, size) || !IsFileEntry(dirFd, entry))
            continue;
        const QByteArray stem(entry->d_name, int(size) - kSongExtensionSize);
        taken.insert(QFile::decodeName(stem).toLower());
    }
    closedir(dir);
    return taken;
}
}  // namespace

QString GetUniqueOutputFileName(QString baseName, QString folder, QString extension)
{
    QMutexLocker guard(&g_outputNameLock);
    // Names are compared as set entries, never as patterns: a "[", "*" or "?"
    // in a title stands for itself.
    const QSet<QString> taken = TakenSongNames(folder);
    const QString lowerBase = baseName.toLower();
    qint64 n = 0;
    while (taken.contains(n == 0 ? lowerBase : lowerBase + QLatin1Char(' ') + QString::number(n)))
        ++n;
    const QString candidate = n == 0 ? baseName : baseName + QLatin1Char(' ') + QString::number(n);
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
