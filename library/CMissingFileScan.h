#pragma once

#include <QObject>
#include <QVector>

#include <memory>

class QThread;
class QTimer;
class QTreeWidgetItem;

// Walks the music files of rows in order until the first one that exists,
// as the library page's context menu asks: every song passed over is
// missing. The walk starts on the calling thread for a short time and goes
// on on a worker, so that a selection of 100,000 songs of a moved music
// folder (a file-system question each) never holds the window. The worker
// walks copies of the paths, which the owner's thread makes a slice at a
// time while its event loop runs (the menu is open by then): copying them
// all first held the menu back for longer than everything else a right press
// does. The answers come as signals on the owner's thread, in order: Missing
// for each batch of songs found missing, then Finished once.
//
// Thread contract: Start, Cancel, Wait, the copying slices and the
// destructor run on the owner's (GUI) thread, which alone reads the rows. A
// worker reads only the copies handed to it through the job (under its
// lock) and hands its findings over by queued calls; the destructor stops
// and waits for it.
class CMissingFileScan : public QObject
{
    Q_OBJECT
public:
    explicit CMissingFileScan(QObject* parent = nullptr);
    ~CMissingFileScan() override;

    // Abandons a walk still running (nothing more is heard of it) and walks
    // the files of rows, here for up to budgetMs and then on a worker. Rows
    // that are no song, or that CMusicInfoTreeWidget::SelectableRow refuses,
    // are passed over. The rows are read until the walk ends: a caller that
    // deletes one before calls Cancel first.
    void Start(const QVector<QTreeWidgetItem*>& rows, int budgetMs);
    void Cancel();
    // True from a Start that left work to the worker until its Finished.
    bool IsRunning() const { return m_running; }
    // Copies what is left at once, waits for the worker and delivers what it
    // found; false on timeout.
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
    // Hands the worker the next rows' paths, for up to sliceMs (all of
    // them when negative); runs again from the event loop until none is left.
    void CopyPaths(int sliceMs);

    QList<QThread*> m_workers;
    // The walk the owner still copies for, and the rows not copied yet.
    std::shared_ptr<Job> m_job;
    QVector<QTreeWidgetItem*> m_rows;
    int m_nextRow = 0;
    QTimer* m_copier = nullptr;
    quint64 m_generation = 0;
    bool m_running = false;
};
