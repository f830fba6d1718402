#include "CStartupSongScan.h"

#include "FileTimeHelpers.h"
#include "MusicDatabase.h"
#include "trackhold.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QThread>

#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <vector>

namespace {
// Results go to the GUI thread in batches: the list shows progress while a
// long scan goes on, and no single hand-over holds the window up.
constexpr int kBatch = 200;

// The kinds of file the program records.
bool IsSongFile(const QFileInfo& file)
{
    const QString suffix = file.suffix().toLower();
    return file.isFile() && (suffix == QLatin1String("mp3") || suffix == QLatin1String("wav"));
}
QString Text(const TagLib::String& text)
{
    return QString::fromStdString(text.to8Bit(true)).trimmed();
}

void ReadTags(CStartupSongScan::FoundSong& song)
{
    const TagLib::FileRef file(QFile::encodeName(song.path).constData(), false);
    const TagLib::Tag* tag = file.isNull() ? nullptr : file.tag();
    if (!tag)
        return;
    song.title = Text(tag->title());
    song.artist = Text(tag->artist());
    song.album = Text(tag->album());
    song.genre = Text(tag->genre());
    song.year = tag->year() ? QString::number(tag->year()) : QString();
}
} // namespace

CStartupSongScan::CStartupSongScan(QObject* parent)
    : QObject(parent)
{
}

CStartupSongScan::~CStartupSongScan()
{
    if (m_worker) {
        m_stop->store(true);
        m_worker->wait();
        delete m_worker;
    }
}

void CStartupSongScan::Start()
{
    if (m_worker)
        return;
    m_worker = QThread::create([this] { Run(); });
    connect(m_worker, &QThread::finished, this, [this] {
        m_done = true;
        emit Finished();
    });
    m_worker->start(QThread::LowPriority);
}

// On the worker: reads `m_stop` only; results are posted to this object,
// which outlives the worker (its destructor waits for it).
void CStartupSongScan::Run()
{
    const std::shared_ptr<std::atomic<bool>> stop = m_stop;
    auto measure = [](const QString& path, qint64* ms) {
        int64_t length = 0;
        if (WM_MeasureFile(QFile::encodeName(path).constData(), &length) != 0)
            return false;
        *ms = length;
        return true;
    };

    // Lengths first: those songs are in the list already, with an empty cell.
    std::vector<std::pair<int, QString>> unknown;
    DB_GetSongsWithoutLength(unknown);
    QVector<QPair<int, QString>> lengths;
    std::vector<std::pair<int, QString>> toStore;
    auto storeLengths = [&] {
        if (toStore.empty())
            return;
        if (DB_SetSongLengths(toStore) == 0)
            QMetaObject::invokeMethod(this, [this, lengths] { emit LengthsStored(lengths); }, Qt::QueuedConnection);
        toStore.clear();
        lengths.clear();
    };
    for (const auto& song : unknown) {
        if (stop->load())
            break;
        qint64 ms = 0;
        if (!QFileInfo(song.second).isFile() || !measure(song.second, &ms))
            continue;   // asked again at the next start
        const QString text = SecondToTimeText(static_cast<unsigned>(ms / 1000));
        toStore.emplace_back(song.first, text);
        lengths.append(qMakePair(song.first, text));
        if (static_cast<int>(toStore.size()) >= kBatch)
            storeLengths();
    }
    storeLengths();

    // Then the songs the library should hold. The notes go only once the
    // GUI thread took every song found (the hand-overs arrive in order): a
    // program ended before that finds them again at its next start.
    const OutsideSongNotes notes = DB_ReadOutsideNotes();
    if (notes.entries == 0)
        return;
    std::vector<QString> paths;
    DB_GetMusicPaths(paths);
    QSet<QString> named;
    named.reserve(static_cast<int>(paths.size()));
    for (const QString& path : paths)
        named.insert(path);
    QStringList candidates = notes.songs;
    for (const QString& folder : notes.folders) {
        const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files, QDir::Name);
        for (const QFileInfo& file : files) {
            if (IsSongFile(file))
                candidates.append(file.absoluteFilePath());
        }
    }
    QVector<FoundSong> found;
    auto handOver = [&] {
        if (!found.isEmpty())
            QMetaObject::invokeMethod(this, [this, found] { emit SongsFound(found); }, Qt::QueuedConnection);
        found.clear();
    };
    for (const QString& path : candidates) {
        if (stop->load())
            return;
        const QFileInfo file(path);
        if (named.contains(path) || !file.isFile())
            continue;
        named.insert(path);
        FoundSong song;
        song.path = path;
        song.modified = file.lastModified();
        if (!measure(path, &song.ms)) {
            qWarning() << "CStartupSongScan: not a song the player reads, left out:" << path;
            continue;
        }
        ReadTags(song);
        found.append(song);
        if (found.size() >= kBatch)
            handOver();
    }
    handOver();
    const int entries = notes.entries;
    QMetaObject::invokeMethod(this, [entries] { DB_ForgetOutsideNotes(entries); }, Qt::QueuedConnection);
}
