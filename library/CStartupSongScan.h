#pragma once

#include <QDateTime>
#include <QObject>
#include <QPair>
#include <QString>
#include <QVector>

#include <atomic>
#include <memory>

class QThread;

// What the library learns from the songs' files once at start, on a worker,
// in one pass: the length of every song stored without one (the song a
// program ended in the middle of), and the song files the library should hold
// and does not: every song of the output folder no row names, whatever kept
// it out (a library that could not be written, a full disk, damaged pages, a
// file another program held), and the songs noted elsewhere. While another
// program holds the library file, the worker first waits for it to let go.
//
// Thread contract: constructed, started, connected and destroyed on the GUI
// thread; the worker reads files and the database (which locks itself) and
// hands its results to the GUI thread, where the signals are emitted.
class CStartupSongScan : public QObject
{
    Q_OBJECT
public:
    struct FoundSong {
        QString path;
        qint64 ms = 0;        // its length
        QDateTime modified;   // when the file was last written
        // What its tags carry (the program writes them for songs recognised
        // or edited); empty when the file has none.
        QString title;
        QString artist;
        QString album;
        QString year;
        QString genre;
        // The MusicId its list entries and covers wait under, when its
        // picture tells them apart (a song whose row a rebuilt library lost);
        // 0 none.
        int formerMusicId = 0;
    };

    explicit CStartupSongScan(QObject* parent = nullptr);
    // Stops the worker (within a file) and waits for it; what it did not
    // reach is noted again for the next start.
    ~CStartupSongScan() override;

    void Start();
    // True once the worker ended (tests).
    bool IsDone() const { return m_done; }

signals:
    // Lengths stored in the library: (MusicId, TimeRecorded text).
    void LengthsStored(const QVector<QPair<int, QString>>& lengths);
    // Song files to add to the library, a batch at a time.
    void SongsFound(const QVector<CStartupSongScan::FoundSong>& songs);
    void Finished();

private:
    void Run();

    // The output folder's songs recorded before this moment are taken in;
    // one written later may still be being recorded. Set before the worker
    // starts, read by it.
    QString m_outputFolder;
    QDateTime m_startedAt;
    QThread* m_worker = nullptr;
    // Set by the GUI thread to end the worker early, read by the worker.
    std::shared_ptr<std::atomic<bool>> m_stop = std::make_shared<std::atomic<bool>>(false);
    bool m_done = false;
};
