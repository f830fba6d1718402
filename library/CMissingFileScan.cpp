#include "CMissingFileScan.h"

#include "CMusicInfoTreeWidget.h"
#include "CTreeWidgetItem.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <QTimer>

#include <sys/stat.h>

#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <vector>

namespace {
// Copied paths, in walk order: each as QFile::encodeName gives it, ended by
// a zero byte, in one block (one allocation a few thousand songs, given
// back whole once walked).
struct Chunk {
    QByteArray paths;
    std::vector<int> musicIds;
};

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

// Exists as QFileInfo::exists answers: stat() follows links, so a dangling
// link is missing too.
bool Exists(const char* path)
{
    struct stat info;
    return *path && ::stat(path, &info) == 0;
}

// How often the clock is read while walking or copying.
constexpr int kClockEvery = 32;
} // namespace

// What the owner hands the worker: copied paths in order, and whether more
// will come. Guarded by `lock`; `more` wakes the worker.
struct CMissingFileScan::Job {
    std::mutex lock;
    std::condition_variable more;
    std::deque<Chunk> chunks;
    bool complete = false;   // the last chunk is in
    bool stop = false;       // abandoned: the worker ends
};

CMissingFileScan::CMissingFileScan(QObject* parent)
    : QObject(parent)
{
    m_copier = new QTimer(this);
    m_copier->setSingleShot(true);
    m_copier->setInterval(0);
    connect(m_copier, &QTimer::timeout, this, [this] { CopyPaths(2); });
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
    m_copier->stop();
    m_rows.clear();
    m_nextRow = 0;
    if (m_job) {
        {
            std::lock_guard<std::mutex> guard(m_job->lock);
            m_job->stop = true;
        }
        m_job->more.notify_all();
        m_job.reset();
    }
    for (QThread* worker : m_workers)
        worker->requestInterruption();
}

void CMissingFileScan::Start(const QVector<QTreeWidgetItem*>& rows, int budgetMs)
{
    Cancel();
    const quint64 generation = m_generation;

    // Here first, reading the rows themselves: a small selection, or one
    // whose first file is there, is answered before its menu shows.
    QElapsedTimer clock;
    clock.start();
    QVector<int> missing;
    QByteArray path;
    int next = 0;
    for (; next < rows.size(); ++next) {
        if ((next % kClockEvery) == kClockEvery - 1 && clock.elapsed() >= budgetMs)
            break;
        if (budgetMs <= 0)
            break;
        const CTreeWidgetItem* row = CMusicInfoTreeWidget::SelectableRow(rows.at(next));
        if (!row)
            continue;
        path.clear();
        AppendPath(path, row->MusicPathText());
        if (Exists(path.constData())) {
            if (!missing.isEmpty())
                emit Missing(missing);
            emit Finished(true, row->GetMusicId());
            return;
        }
        missing.append(row->GetMusicId());
    }
    if (!missing.isEmpty())
        emit Missing(missing);
    if (next >= rows.size()) {
        emit Finished(false, 0);
        return;
    }

    // The rest on a worker, reporting in batches so the list shows the
    // notices as they are found; its paths follow from the event loop.
    m_running = true;
    m_rows = rows;
    m_nextRow = next;
    auto job = std::make_shared<Job>();
    m_job = job;
    QThread* worker = QThread::create([this, job, generation] {
        QThread* self = QThread::currentThread();
        QVector<int> batch;
        QElapsedTimer sinceSent;
        sinceSent.start();
        auto send = [&](bool done, bool found, int musicId) {
            QMetaObject::invokeMethod(
                this,
                [this, generation, batch, done, found, musicId] {
                    Deliver(generation, batch, done, found, musicId);
                },
                Qt::QueuedConnection);
            batch.clear();
            sinceSent.restart();
        };
        for (;;) {
            Chunk chunk;
            {
                std::unique_lock<std::mutex> guard(job->lock);
                if (job->chunks.empty() && !job->complete && !job->stop && !batch.isEmpty()) {
                    // Nothing to walk for now: what was found shows meanwhile.
                    guard.unlock();
                    send(false, false, 0);
                    guard.lock();
                }
                job->more.wait(guard, [&] { return job->stop || job->complete || !job->chunks.empty(); });
                if (job->stop)
                    return;
                if (job->chunks.empty()) {
                    send(true, false, 0);   // complete, and every file missing
                    return;
                }
                chunk = std::move(job->chunks.front());
                job->chunks.pop_front();
            }
            int at = 0;
            for (size_t i = 0; i < chunk.musicIds.size(); ++i) {
                if ((i % kClockEvery) == 0) {
                    if (self->isInterruptionRequested())
                        return;
                    if (sinceSent.elapsed() >= 50 || batch.size() >= 8192)
                        send(false, false, 0);
                }
                const char* name = chunk.paths.constData() + at;
                at += static_cast<int>(std::strlen(name)) + 1;
                if (Exists(name)) {
                    send(true, true, chunk.musicIds[i]);
                    return;
                }
                batch.append(chunk.musicIds[i]);
            }
        }
    });
    m_workers.append(worker);
    connect(worker, &QThread::finished, this, [this, worker] {
        m_workers.removeAll(worker);
        worker->deleteLater();
    });
    worker->start();
    m_copier->start();
}

void CMissingFileScan::CopyPaths(int sliceMs)
{
    if (!m_job)
        return;
    QElapsedTimer clock;
    clock.start();
    while (m_nextRow < m_rows.size()) {
        Chunk chunk;
        chunk.paths.reserve(4096 * 64);
        chunk.musicIds.reserve(4096);
        const int end = qMin(m_rows.size(), m_nextRow + 4096);
        for (; m_nextRow < end; ++m_nextRow) {
            if (sliceMs >= 0 && (m_nextRow % kClockEvery) == 0 && clock.elapsed() >= sliceMs)
                break;
            const CTreeWidgetItem* row = CMusicInfoTreeWidget::SelectableRow(m_rows.at(m_nextRow));
            if (!row)
                continue;
            AppendPath(chunk.paths, row->MusicPathText());
            chunk.musicIds.push_back(row->GetMusicId());
        }
        {
            std::lock_guard<std::mutex> guard(m_job->lock);
            if (!chunk.musicIds.empty())
                m_job->chunks.push_back(std::move(chunk));
            m_job->complete = m_nextRow >= m_rows.size();
        }
        m_job->more.notify_all();
        if (sliceMs >= 0 && clock.elapsed() >= sliceMs)
            break;
    }
    if (m_nextRow < m_rows.size()) {
        m_copier->start();
        return;
    }
    // Every path is with the worker: the rows are not read again.
    m_rows.clear();
    m_nextRow = 0;
    m_job.reset();
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
    CopyPaths(-1);
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
