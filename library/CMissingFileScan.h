#pragma once

#include <QList>
#include <QObject>
#include <QVector>

class CTreeWidgetItem;
class QThread;

// Walks the music files of rows in order until the first one that exists,
// as the library page's context menu asks: every song passed over is
// missing. The walk starts on the calling thread for a short time and goes
// on on a worker, so that a selection of 100,000 songs of a moved music
// folder (a file-system question each) never holds the window. The answers
// come as signals on the owner's thread, in order: Missing for each batch of
// songs found missing, then Finished once.
//
// Thread contract: Start, Cancel, Wait and the destructor run on the owner's
// (GUI) thread. A worker reads only its own copy of the paths and hands its
// findings over by queued calls; the destructor stops and waits for it.
class CMissingFileScan : public QObject
{
    Q_OBJECT
public:
    explicit CMissingFileScan(QObject* parent = nullptr);
    ~CMissingFileScan() override;

    // Abandons a walk still running (nothing more is heard of it) and walks
    // the files of rows, here for up to budgetMs and then on a worker.
    void Start(const QList<CTreeWidgetItem*>& rows, int budgetMs);
    void Cancel();
    // True from a Start that left work to the worker until its Finished.
    bool IsRunning() const { return m_running; }
    // Waits for the worker and delivers what it found; false on timeout.
    bool Wait(int timeoutMs);

signals:
    // Songs, by MusicId in walk order, whose files are missing.
    void Missing(const QVector<int>& musicIds);
    // The walk ended at the first song whose file exists (found, its
    // MusicId) or after the last row (not found).
    void Finished(bool found, int musicId);

private:
    struct Job;
    void Deliver(quint64 generation, const QVector<int>& missing, bool done, bool found, int musicId);

    QList<QThread*> m_workers;
    quint64 m_generation = 0;
    bool m_running = false;
};
