#include "CTagWriter.h"

#include "SongRecordFields.h"
#include "capdev.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QRunnable>

#include <cstdio>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// A zero-filled array of CAPDEV_PATH_UNITS UTF-16 units; false when the path
// does not fit.
bool ToPathUnits(const QString& path, std::vector<char16_t>& out)
{
    out.assign(CAPDEV_PATH_UNITS, 0);
    if (path.isEmpty() || path.size() >= CAPDEV_PATH_UNITS)
        return false;
    std::memcpy(out.data(), path.utf16(), static_cast<size_t>(path.size()) * sizeof(char16_t));
    return true;
}

void RemoveCopy(const QString& copy)
{
    if (!copy.isEmpty() && ::unlink(QFile::encodeName(copy).constData()) != 0)
        qWarning() << "CTagWriter: could not remove" << copy;
}
} // namespace

bool CTagWriter::FileIdentity::operator==(const FileIdentity& o) const
{
    return valid && o.valid && device == o.device && inode == o.inode && size == o.size
        && modifiedNs == o.modifiedNs;
}

CTagWriter::CTagWriter(QObject* parent)
    : QObject(parent)
{
    m_pool.setMaxThreadCount(1);
    // Listeners on other threads and signal spies carry the outcome as a value.
    qRegisterMetaType<CTagWriter::Outcome>("CTagWriter::Outcome");
}

CTagWriter::~CTagWriter()
{
    m_waiting.clear();
    m_pool.waitForDone();
    // Whoever listens may be going away too: the last copy still takes its
    // song's name, but nobody is told.
    blockSignals(true);
    ApplyDone();
}

bool CTagWriter::TakesTags(const QString& path)
{
    return path.endsWith(QLatin1String("mp3"));
}

CTagWriter::Job CTagWriter::MakeJob(const MusicInfoRow& record)
{
    const RecordMusicInfo& info = record.Info;
    Job job;
    job.musicId = record.MusicId;
    job.path = record.MusicPath;
    job.title = RecordFieldBytes(info.MusicName);
    job.artist = RecordFieldBytes(info.Artist);
    job.album = RecordFieldBytes(info.Album);
    job.year = RecordFieldBytes(info.Year);
    job.genre = RecordFieldBytes(info.Genre);
    const int chosen = ChosenCoverIndex(record);
    job.hasCover = chosen >= 0;
    if (job.hasCover)
        job.cover = RecordFieldBytes(info.CoverPaths[chosen]);
    return job;
}

int CTagWriter::WriteTags(const Job& job, const QString& source, const QString& destination)
{
    const MusicTagsInfo tags{job.title.constData(), job.artist.constData(), job.album.constData(),
                             job.year.constData(),  job.genre.constData(),
                             job.hasCover ? job.cover.constData() : nullptr};
    std::vector<char16_t> from;
    std::vector<char16_t> to;
    if (!ToPathUnits(source, from) || !ToPathUnits(destination, to))
        return CAPDEV_ERR_ARGUMENT;
    return SetMusicTagsInfo(&tags, from.data(), to.data());
}

bool CTagWriter::Write(const MusicInfoRow& record)
{
    if (!TakesTags(record.MusicPath))
        return false;
    const Job job = MakeJob(record);
    const bool wasBusy = IsBusy(job.musicId);
    if (m_running.contains(job.musicId))
        m_waiting.insert(job.musicId, job);
    else
        Start(job);
    if (!wasBusy)
        emit BusyChanged(job.musicId, true);
    return true;
}

bool CTagWriter::IsBusy(int musicId) const
{
    return m_running.contains(musicId) || m_waiting.contains(musicId);
}

void CTagWriter::WaitUntilIdle()
{
    while (!m_running.isEmpty()) {
        m_pool.waitForDone();
        QCoreApplication::processEvents();
        ApplyDone();
    }
}

CTagWriter::FileIdentity CTagWriter::IdentityOf(const QString& path)
{
    FileIdentity id;
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return id;
    id.valid = true;
    id.device = static_cast<quint64>(st.st_dev);
    id.inode = static_cast<quint64>(st.st_ino);
    id.size = static_cast<qint64>(st.st_size);
    id.modifiedNs = static_cast<qint64>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return id;
}

void CTagWriter::Start(const Job& job)
{
    m_running.insert(job.musicId);
    // The file as it is now, on this thread, where every other change to a
    // song's file happens: whatever changes it later wins over this write.
    const FileIdentity song = IdentityOf(job.path);
    m_pool.start(QRunnable::create([this, job, song] {
        Done done = Run(job, song);
        {
            QMutexLocker guard(&m_lock);
            m_done.append(done);
        }
        QMetaObject::invokeMethod(this, &CTagWriter::ApplyDone, Qt::QueuedConnection);
    }));
}

CTagWriter::Done CTagWriter::Run(const Job& job, const FileIdentity& song)
{
    Done done;
    done.job = job;
    done.song = song;
    if (!(IdentityOf(job.path) == song)) {
        done.code = CAPDEV_ERR_SOURCE;
        return done;
    }
    // A fresh hidden name beside the song, created exclusively: the tagged
    // copy lands there and can later replace the song in one rename.
    const QByteArray pattern =
        QFile::encodeName(QFileInfo(job.path).absolutePath() + QStringLiteral("/.sonacap-tagged-XXXXXX"));
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        done.code = CAPDEV_ERR_TEMPFILE;
        return done;
    }
    ::close(fd);
    done.copy = QFile::decodeName(name.data());
    done.code = WriteTags(job, job.path, done.copy);
    // A song that changed while it was copied would lose that change.
    if (done.code == CAPDEV_OK && !(IdentityOf(job.path) == song))
        done.code = CAPDEV_ERR_SOURCE;
    if (done.code != CAPDEV_OK) {
        RemoveCopy(done.copy);
        done.copy.clear();
    }
    return done;
}

void CTagWriter::ApplyDone()
{
    QList<Done> finished;
    {
        QMutexLocker guard(&m_lock);
        finished.swap(m_done);
    }
    for (Done& done : finished) {
        const int musicId = done.job.musicId;
        const QString& path = done.job.path;
        m_running.remove(musicId);
        const bool sameFile = IdentityOf(path) == done.song;
        Outcome outcome = Failed;
        if (done.code == CAPDEV_OK && sameFile) {
            if (std::rename(QFile::encodeName(done.copy).constData(), QFile::encodeName(path).constData()) == 0) {
                outcome = Written;
            } else {
                done.code = CAPDEV_ERR_RENAME;
                RemoveCopy(done.copy);
            }
        } else {
            RemoveCopy(done.copy);
            if (!sameFile)
                outcome = Dropped;
        }
        if (outcome != Written)
            qWarning() << "SetMusicTagsInfo failed, musicId: " << musicId << " Err: " << done.code
                       << (outcome == Dropped ? "(the file changed meanwhile)" : "") << path;
        // A newer write of the song waits: it carries everything, it decides.
        if (m_waiting.contains(musicId)) {
            Start(m_waiting.take(musicId));
            continue;
        }
        emit BusyChanged(musicId, false);
        emit Finished(musicId, path, outcome, done.code);
    }
}
