#include "CStartupSongScan.h"

#include "CAppSettings.h"
#include "FileTimeHelpers.h"
#include "MusicDatabase.h"
#include "trackhold.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QThread>

#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#include <taglib/wavfile.h>

#include <vector>

namespace {
// Results go to the GUI thread in batches: the list shows progress while a
// long scan goes on, and no single hand-over holds the window up.
constexpr int kBatch = 200;

// The kinds of file the program records, by name.
bool IsSongFile(const QString& name)
{
    return name.endsWith(QLatin1String(".mp3"), Qt::CaseInsensitive)
           || name.endsWith(QLatin1String(".wav"), Qt::CaseInsensitive);
}
QString Text(const TagLib::String& text)
{
    return QString::fromStdString(text.to8Bit(true)).trimmed();
}

// The picture the song file carries as its front cover (the program puts
// its chosen cover there), empty when none.
QByteArray FrontCover(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    const QString suffix = QFileInfo(path).suffix().toLower();
    auto pictureOf = [](TagLib::ID3v2::Tag* tag) {
        if (!tag)
            return QByteArray();
        for (TagLib::ID3v2::Frame* frame : tag->frameListMap()["APIC"]) {
            const auto* picture = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(frame);
            if (picture && picture->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover)
                return QByteArray(picture->picture().data(), static_cast<int>(picture->picture().size()));
        }
        return QByteArray();
    };
    if (suffix == QLatin1String("mp3")) {
        TagLib::MPEG::File file(name.constData(), false);
        return file.isValid() ? pictureOf(file.ID3v2Tag(false)) : QByteArray();
    }
    TagLib::RIFF::WAV::File file(name.constData(), false);
    return file.isValid() && file.hasID3v2Tag() ? pictureOf(file.ID3v2Tag()) : QByteArray();
}

QByteArray Fingerprint(const QByteArray& bytes)
{
    return bytes.isEmpty() ? QByteArray() : QCryptographicHash::hash(bytes, QCryptographicHash::Sha1);
}

// Which former song each file is, told by the one thing a lost row leaves
// behind that its file shares: the covers waiting under the song's former
// MusicId are pictures, and the program put the chosen one into the song's
// file. A picture that more than one waiting song has, or that more than one
// file carries, tells nothing. The MusicId for each of `files` (0: none).
// The files' pictures first: a waiting picture is read only when one of them
// has its size, so the covers that wait for good (songs without a file) cost
// each start a look at their sizes at most.
std::vector<int> FormerSongs(const QStringList& files, const std::shared_ptr<std::atomic<bool>>& stop)
{
    std::vector<int> former(static_cast<size_t>(files.size()), 0);
    if (files.isEmpty())
        return former;
    std::vector<std::pair<int, QString>> waiting;
    DB_GetUnlinkedCovers(waiting);
    if (waiting.empty())
        return former;
    std::vector<QByteArray> prints(static_cast<size_t>(files.size()));
    QSet<qint64> sizes;
    for (int i = 0; i < files.size() && !stop->load(); ++i) {
        const QByteArray picture = FrontCover(files.at(i));
        if (picture.isEmpty())
            continue;
        sizes.insert(picture.size());
        prints[static_cast<size_t>(i)] = Fingerprint(picture);
    }
    if (sizes.isEmpty())
        return former;
    QHash<QByteArray, int> songOf;   // picture -> former MusicId, -1 when shared
    for (const auto& cover : waiting) {
        if (stop->load())
            return former;
        QFile picture(cover.second);
        if (!sizes.contains(picture.size()))
            continue;
        const QByteArray print = picture.open(QIODevice::ReadOnly) ? Fingerprint(picture.readAll()) : QByteArray();
        if (print.isEmpty())
            continue;
        const auto known = songOf.constFind(print);
        songOf.insert(print, known == songOf.constEnd() || *known == cover.first ? cover.first : -1);
    }
    QHash<int, int> filesOf;   // former MusicId -> files carrying its picture
    for (size_t i = 0; i < prints.size(); ++i) {
        const int song = prints[i].isEmpty() ? 0 : songOf.value(prints[i], 0);
        if (song > 0) {
            former[i] = song;
            ++filesOf[song];
        }
    }
    for (int& song : former) {
        if (song > 0 && filesOf.value(song) != 1)
            song = 0;
    }
    return former;
}

// A file's path with its folder as the file system knows it (links
// followed), each folder resolved once: a library names its 100,000 songs
// in a handful of folders.
class FolderSpelling
{
public:
    QString Canonical(const QString& path)
    {
        const QString clean = QDir::cleanPath(path);
        const int slash = clean.lastIndexOf(QLatin1Char('/'));
        if (slash <= 0)
            return clean;
        const QString folder = clean.left(slash);
        auto known = m_folders.constFind(folder);
        if (known == m_folders.constEnd()) {
            const QString real = QFileInfo(folder).canonicalFilePath();
            // A folder that is gone keeps its spelling.
            known = m_folders.insert(folder, real.isEmpty() ? folder : real);
        }
        return *known + clean.mid(slash);
    }

private:
    QHash<QString, QString> m_folders;
};

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
    m_outputFolder = CAppSettings::GetInstance()->GetOutputPath().value(0);
    m_startedAt = QDateTime::currentDateTime();
    m_worker = QThread::create([this] { Run(); });
    connect(m_worker, &QThread::finished, this, [this] {
        m_done = true;
        emit Finished();
    });
    m_worker->start(QThread::LowPriority);
}

// On the worker: reads `m_stop`, `m_outputFolder` and `m_startedAt` only;
// results are posted to this object, which outlives the worker (its
// destructor waits for it).
void CStartupSongScan::Run()
{
    const std::shared_ptr<std::atomic<bool>> stop = m_stop;
    // A library file another program holds takes nothing: wait for it to
    // let go (checked twice a second, ended at once by a stop). Turned out
    // damaged, or changed under the rows the page shows, it is the next
    // start's; notes stay.
    for (;;) {
        const int free = DB_TakeUpLibraryWhenFree();
        if (free < 0)
            return;
        if (free > 0)
            break;
        for (int i = 0; i < 10; ++i) {
            if (stop->load())
                return;
            QThread::msleep(50);
        }
    }
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

    // Then the songs the library should hold: each song file of the output
    // folder that no row names (one listing of names, nothing opened for
    // the songs the library holds), and those noted elsewhere. The notes go
    // only once the GUI thread took every song found (the hand-overs arrive
    // in order): a program ended before that finds them again at its next
    // start.
    const OutsideSongNotes notes = DB_ReadOutsideNotes();
    // Paths compared by their folder's real place: a song is named after its
    // title in its folder's canonical spelling, while the output folder is
    // listed as the settings spell it, and a link on the way (a music folder
    // on another disk) would have every such song taken in twice.
    FolderSpelling spelling;
    QSet<QString> named;
    {
        std::vector<QString> paths;
        DB_GetMusicPaths(paths);
        std::vector<PendingFileRemoval> removals;
        DB_GetPendingRemovals(removals);
        named.reserve(static_cast<int>(paths.size() + removals.size()));
        for (const QString& path : paths)
            named.insert(spelling.Canonical(path));
        // A deleted song whose file is still to go is no song kept out.
        for (const PendingFileRemoval& removal : removals) {
            if (removal.kind == PendingFileRemoval::SongFile)
                named.insert(spelling.Canonical(removal.path));
        }
    }
    QStringList candidates;
    auto consider = [&](const QString& path) {
        const QString canonical = spelling.Canonical(path);
        if (named.contains(canonical))
            return false;
        named.insert(canonical);
        candidates.append(canonical);
        return true;
    };
    for (const QString& path : notes.songs) {
        if (QFileInfo(path).isFile())
            consider(path);
    }
    QStringList folders = notes.folders;
    if (!m_outputFolder.isEmpty())
        folders.append(m_outputFolder);
    for (const QString& folder : folders) {
        const QDir dir(folder);
        const QStringList files = dir.entryList(QDir::Files, QDir::Unsorted);
        for (const QString& name : files) {
            if (stop->load())
                return;
            if (!IsSongFile(name))
                continue;
            // A song written since the start may still be being recorded:
            // its row comes with it, or it is noted, or the next start sees it.
            const QString path = dir.absoluteFilePath(name);
            if (!named.contains(spelling.Canonical(path)) && QFileInfo(path).lastModified() < m_startedAt)
                consider(path);
        }
    }
    const std::vector<int> former = FormerSongs(candidates, stop);
    QVector<FoundSong> found;
    auto handOver = [&] {
        if (!found.isEmpty())
            QMetaObject::invokeMethod(this, [this, found] { emit SongsFound(found); }, Qt::QueuedConnection);
        found.clear();
    };
    for (int i = 0; i < candidates.size(); ++i) {
        if (stop->load())
            return;
        const QString& path = candidates.at(i);
        const QFileInfo file(path);
        if (!file.isFile())
            continue;
        FoundSong song;
        song.path = path;
        song.modified = file.lastModified();
        song.formerMusicId = former[static_cast<size_t>(i)];
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
