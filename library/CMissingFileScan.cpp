#include "CMissingFileScan.h"

#include "CTreeWidgetItem.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <sys/stat.h>

#include <cstring>
#include <memory>
#include <vector>

// The walk's own copy of what it needs: the paths in one block (one large
// allocation, given back whole when the walk ends, where a string a row left
// megabytes in the heap after a right click) and where it stands. Used by
// one thread at a time: the owner's, then the worker's.
struct CMissingFileScan::Job {
    QByteArray paths;   // each as QFile::encodeName gives it, ended by a zero byte
    std::vector<int> musicIds;
    size_t next = 0;    // the row to check next
    int at = 0;         // where its path starts
};

namespace {
enum class Walk { Found, Ended, Paused };

// Checks the files from job.next on, appending the MusicIds of the missing
// ones, until one exists (its MusicId in found), the rows end, or goOn says
// to pause. Exists as QFileInfo::exists answers: stat() follows links, so a
// dangling link is missing too.
template <typename Job, typename GoOn>
Walk WalkFiles(Job& job, QVector<int>& missing, int& found, GoOn&& goOn)
{
    while (job.next < job.musicIds.size()) {
        if (!goOn())
            return Walk::Paused;
        const char* path = job.paths.constData() + job.at;
        job.at += static_cast<int>(std::strlen(path)) + 1;
        const int musicId = job.musicIds[job.next++];
        struct stat info;
        if (*path && ::stat(path, &info) == 0) {
            found = musicId;
            return Walk::Found;
        }
        missing.append(musicId);
    }
    return Walk::Ended;
}

// Appends one path as QFile::encodeName encodes it, and its ending zero.
void AppendPath(QByteArray& out, QStringView path)
{
    bool ascii = true;
    for (const QChar c : path) {
        if (c.unicode() >= 0x80 || c.unicode() == 0) {
            ascii = false;
            break;
        }
    }
    if (ascii) {
        const int at = out.size();
        out.resize(at + static_cast<int>(path.size()));
        char* to = out.data() + at;
        for (const QChar c : path)
            *to++ = static_cast<char>(c.unicode());
    } else if (!path.contains(QChar(0))) {
        out.append(QFile::encodeName(path.toString()));
    }
    // A name holding a zero character names no file (QFileInfo says the
    // same): it goes as an empty path, which never exists.
    out.append('\0');
}
} // namespace

CMissingFileScan::CMissingFileScan(QObject* parent)
    : QObject(parent)
{
}

CMissingFileScan::~CMissingFileScan()
{
    Cancel();
    // Each stops before its next file.
    for (QThread* worker : m_workers)
        worker->wait();
    qDeleteAll(m_workers);
}

void CMissingFileScan::Cancel()
{
    ++m_generation;
    m_running = false;
    for (QThread* worker : m_workers)
        worker->requestInterruption();
}

void CMissingFileScan::Start(const QList<CTreeWidgetItem*>& rows, int budgetMs)
{
    Cancel();
    const quint64 generation = m_generation;
    auto job = std::make_shared<Job>();
    qsizetype length = 0;
    for (const CTreeWidgetItem* row : rows)
        length += row->MusicPathText().size() + 1;
    job->paths.reserve(static_cast<int>(length));
    job->musicIds.reserve(static_cast<size_t>(rows.size()));
    for (const CTreeWidgetItem* row : rows) {
        AppendPath(job->paths, row->MusicPathText());
        job->musicIds.push_back(row->GetMusicId());
    }

    // Here first: a small selection is answered before its menu shows.
    QElapsedTimer clock;
    clock.start();
    int countdown = 0;
    QVector<int> missing;
    int found = 0;
    const Walk walk = WalkFiles(*job, missing, found, [&] { return (++countdown & 31) != 0 || clock.elapsed() < budgetMs; });
    if (!missing.isEmpty())
        emit Missing(missing);
    if (walk != Walk::Paused) {
        emit Finished(walk == Walk::Found, found);
        return;
    }

    // The rest on a worker, reporting in batches so the list shows the
    // notices as they are found.
    m_running = true;
    QThread* worker = QThread::create([this, job, generation] {
        QThread* self = QThread::currentThread();
        QVector<int> batch;
        QElapsedTimer sinceSent;
        sinceSent.start();
        int ticks = 0;
        for (;;) {
            int found = 0;
            const Walk walk = WalkFiles(*job, batch, found, [&] {
                if ((++ticks & 31) != 0)
                    return true;
                return !self->isInterruptionRequested() && sinceSent.elapsed() < 50 && batch.size() < 8192;
            });
            if (self->isInterruptionRequested())
                return;
            const bool done = walk != Walk::Paused;
            QMetaObject::invokeMethod(
                this,
                [this, generation, batch, done, walk, found] {
                    Deliver(generation, batch, done, walk == Walk::Found, found);
                },
                Qt::QueuedConnection);
            if (done)
                return;
            batch.clear();
            sinceSent.restart();
        }
    });
    m_workers.append(worker);
    connect(worker, &QThread::finished, this, [this, worker] {
        m_workers.removeAll(worker);
        worker->deleteLater();
    });
    worker->start();
}

void CMissingFileScan::Deliver(quint64 generation, const QVector<int>& missing, bool done, bool found, int musicId)
{
    if (generation != m_generation)
        return;   // a walk abandoned since
    if (!missing.isEmpty())
        emit Missing(missing);
    if (done) {
        m_running = false;
        emit Finished(found, musicId);
    }
}

bool CMissingFileScan::Wait(int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    const QList<QThread*> workers = m_workers;
    for (QThread* worker : workers) {
        const qint64 left = timeoutMs - waited.elapsed();
        if (left <= 0 || !worker->wait(static_cast<unsigned long>(left)))
            return false;
    }
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    return !m_running;
}
