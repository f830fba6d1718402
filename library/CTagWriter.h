#pragma once

#include "MusicRecords.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QThreadPool>

// Writes the tags of library songs into their files on a worker thread, so
// that a long file never stalls the window.
//
// The worker copies the song into a hidden file beside it and tags the copy;
// the GUI thread then gives the copy the song's name in one rename, but only
// when the song file is still the very file it was when the write started
// (same device, inode, size and modification time). A song that was deleted, renamed or
// rewritten meanwhile keeps what it has and the copy goes. On any failure the
// song stays byte for byte as it was. One song has at most one write running;
// a newer write of the same song waits for it and replaces any other waiting
// one (each write carries the whole tag set, so the newest is all that counts).
//
// Thread contract: Write, IsBusy and the signals belong to the GUI thread.
// The worker only reads its job (a copy) and appends to m_done under m_lock;
// the GUI thread takes m_done under the same lock.
class CTagWriter : public QObject
{
    Q_OBJECT
public:
    // What became of the last write of a song.
    enum Outcome {
        Written,   // the file holds the new tags
        Failed,    // the tags could not be written; the file is unchanged
        Dropped,   // the file was deleted, renamed or rewritten meanwhile
    };
    Q_ENUM(Outcome)

    // The texts of one write: the record's tags, the chosen cover's path and
    // the song file.
    struct Job {
        int musicId = 0;
        QString path;
        QByteArray title, artist, album, year, genre, cover;
        bool hasCover = false;
    };

    explicit CTagWriter(QObject* parent = nullptr);
    // Waits for the running write and finishes it; waiting writes are dropped.
    ~CTagWriter() override;

    // Whether the file at path takes tags (an MP3 named with a lower-case
    // ".mp3"; anything else keeps its bytes).
    static bool TakesTags(const QString& path);
    static Job MakeJob(const MusicInfoRow& record);
    // Writes job's tags into a tagged copy of source named destination (which
    // may be source itself), on the calling thread. 0 or a capdev error code.
    static int WriteTags(const Job& job, const QString& source, const QString& destination);

    // Queues the record's tags for its file; false when the file takes none.
    bool Write(const MusicInfoRow& record);
    bool IsBusy(int musicId) const;
    // Processes events until no write runs or waits (tests, quitting).
    void WaitUntilIdle();

signals:
    // A song has a write running or waiting (true), or none any more (false).
    void BusyChanged(int musicId, bool busy);
    // The last write of a song is done.
    void Finished(int musicId, const QString& path, CTagWriter::Outcome outcome, int code);

private:
    struct FileIdentity {
        bool valid = false;
        quint64 device = 0, inode = 0;
        qint64 size = 0, modifiedNs = 0;
        bool operator==(const FileIdentity& o) const;
    };
    struct Done {
        Job job;
        QString copy;          // the tagged copy; empty when none was made
        FileIdentity song;     // the song file when the write started
        int code = 0;
    };
    static FileIdentity IdentityOf(const QString& path);
    // Worker thread: tags a copy of the song when it still is `song`.
    static Done Run(const Job& job, const FileIdentity& song);
    void Start(const Job& job);
    // GUI thread: gives finished copies their songs' names, starts waiting writes.
    void ApplyDone();

    QThreadPool m_pool;                 // one worker: writes run in order
    QSet<int> m_running;                // MusicIds with a write running (GUI thread)
    QHash<int, Job> m_waiting;          // MusicId -> the newest write waiting (GUI thread)
    mutable QMutex m_lock;              // guards m_done
    QList<Done> m_done;                 // written by the worker, taken by the GUI thread
};
