#pragma once

#include "MusicRecords.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QString>
#include <QThreadPool>

#include <functional>

class CShowListWidget;
class CTagWriter;
class CTreeWidgetItem;

// The one owner of every recorded song from its start until it is in the
// library: the recognition result of its own sample, its length, the
// too-short drop, its tags, its name after its title and its stored row.
//
// Songs are named by a serial the engine's thread gives each song when it
// starts; a recognition carries the serial of the song its sample came from,
// so a result lands on that song only: on the song being recorded, on a song
// that ended and is still being finished (which waits for its result), and
// nowhere when its song is gone (its cover file goes too).
//
// A recognised song's data comes first and its cover after it (see
// ExpectCover): the data is the song's from the moment it arrives, so that
// whatever ends the wait for the cover, the song keeps its data.
//
// A song that ended is finished in steps, each off the GUI thread when slow:
// its length is measured on a worker; a song still waiting for its result
// waits (bounded; once the window closes, a song that has its data waits for
// its cover a few seconds at most); its tags are written by a CTagWriter on
// that writer's worker (a result that comes after the wait ended, while they
// are written, is written into the file too: the file carries what the row
// claims); once they are in the file, the file takes the song's
// title as its name ("Track" without one) and the row is stored. Then
// SongStored hands the row over.
//
// Thread contract: everything here belongs to the GUI thread except the
// workers of m_pool, which read files, write cover pictures and append a
// closure to m_done under m_lock; the GUI thread runs those closures.
class CSongEndPipeline : public QObject
{
    Q_OBJECT
public:
    explicit CSongEndPipeline(CShowListWidget* library, QObject* parent = nullptr);
    // Quitting: finishes every song still being finished on the calling
    // thread (without waiting for results) with what it has: its data, tags
    // and name as any song gets them; tells nobody.
    ~CSongEndPipeline() override;

    // The song `serial` starts; its row, if the library made one, is the
    // library page's RecordingRow(), taken from it when the song ends.
    void SongStarted(int serial);
    // The song's sample went to recognition: it is not finished before the
    // result came (or the wait ran out).
    void RecognitionAsked(int serial);
    // The next result of the song `serial` is its data only: its cover is
    // still on its way and comes with a later, final result.
    void ExpectCover(int serial);
    // A recognition result. `info` (owned from here; null: not recognised)
    // has no covers yet: `cover`, the image answer, becomes one on a worker
    // when it is a picture.
    void ResultArrived(int serial, RecordMusicInfo* info, const QByteArray& cover, const QString& picturesFolder);
    // The window closes once the songs are finished: a song that has its data
    // waits for its cover `kCoverWaitOnCloseMs` at most from now on.
    void FinishForClose();
    // The engine finished the song's file at `path` (empty: none kept).
    // Songs of `minimumSeconds` or less are dropped (negative: only empty
    // ones). False when the song has no row: nothing to finish.
    bool SongEnded(int serial, const QString& path, int minimumSeconds);

    // The serial of the song being recorded, whose row is the library page's
    // RecordingRow(); 0 none.
    int CurrentSong() const { return m_current; }
    // Songs ended and not finished yet.
    bool IsBusy() const { return !m_songs.isEmpty(); }
    // Whether the song the engine reported as `path` is still being finished.
    bool IsFinishing(const QString& path) const;
    CTagWriter* TagWriter() const { return m_tagWriter; }

    // How long a song that ended waits for its recognition result at most:
    // beyond the recognition client's own time-outs (identify, token, track
    // and cover in turn), which end every recognition with a result.
    static constexpr int kResultWaitMs = 45000;
    // Closing, how long a song that has its data waits for its cover.
    static constexpr int kCoverWaitOnCloseMs = 3000;
    // Test seam: both waits shorter.
    void SetWaits(int resultWaitMs, int coverWaitOnCloseMs);

signals:
    // A song is finished and stored: `row` (now the caller's) goes into the
    // lists. `seconds` is its length, -1 when it could not be measured.
    void SongStored(CTreeWidgetItem* row, qint64 seconds, const QString& reported);
    // A song ended without a library row: dropped as too short (onDisk
    // empty) or kept as a file only, at onDisk, because its row could not be stored.
    void SongGone(const QString& reported, const QString& onDisk);
    // A row could not be stored; the reason as the library gives it.
    void LibraryNotWritable(const QString& reason);

private:
    struct Song {
        int serial = 0;
        int musicId = 0;
        CTreeWidgetItem* row = nullptr;   // owned until handed over
        QString reported;                 // the path the engine gave
        int minimumSeconds = -1;
        bool measuring = false, measured = false;
        qint64 ms = -1;                   // the length; -1 unknown
        bool awaitingResult = false;
        bool hasData = false;             // its recognised data is in; the cover may follow
        bool coverBound = false;          // the close's bound on its cover wait is set
        bool tagging = false, tagged = false;
        // A result came while its tags were written: a second write with it
        // waits behind the running one.
        bool retag = false;
        // The song file as it was before its tags, held open while they are
        // written (see ReleaseHeldFile); -1 none.
        int heldFile = -1;
    };

    // Runs `work` on a worker and then `done` with its result on the GUI thread.
    void OnWorker(std::function<std::function<void()>()> work);
    void RunDone();
    // Takes the song through its next step as far as it can go now.
    void Advance(int serial);
    void Measured(int serial, qint64 ms);
    void TagsWritten(int musicId);
    // `final`: the recognition's result, after which nothing comes; else the
    // song's data, its cover still on its way.
    void Apply(int serial, RecordMusicInfo* info, bool final);
    // Ends the wait of the song for its result after `ms`.
    void BoundResultWait(int serial, int ms, const char* why);
    // Closing: the song waits no longer than the close allows.
    void BoundForClose(Song& song);
    // Writes the row's tags into the song's file: on the tag writer's worker
    // (true: a write runs or waits there; its Finished ends the song's
    // tagging), or at once on this thread when quitting. False when the song
    // takes no tags or the writes are done.
    bool WriteTags(Song& song);
    // The song's last step: named after its title, stored, handed over.
    void Complete(Song& song);
    void Drop(Song& song);
    void Forget(int serial);
    // The tagged copy replaces the song in one rename on the GUI thread; the
    // file it replaces is freed when its last descriptor closes, which takes
    // tens of milliseconds for an hour of music: that close runs on a worker.
    void ReleaseHeldFile(Song& song);
    bool StoreRow(MusicInfoRow* record, const QString& nameBefore);

    CShowListWidget* m_library;
    CTagWriter* m_tagWriter;
    QHash<int, Song> m_songs;        // serial -> a song that ended, not finished yet
    int m_current = 0;               // serial of the song being recorded; 0 none
    bool m_currentAsked = false;     // ... its sample went to recognition
    bool m_currentAnswered = false;  // ... and the result came
    bool m_currentHasData = false;   // ... or its data, the cover to follow
    QSet<int> m_coverFollows;        // songs whose next result is their data only
    int m_resultWaitMs = kResultWaitMs;
    int m_coverWaitOnCloseMs = kCoverWaitOnCloseMs;
    bool m_closing = false;          // FinishForClose was called
    bool m_quitting = false;
    QThreadPool m_pool;
    QMutex m_lock;                              // guards m_done
    QList<std::function<void()>> m_done;        // workers' results for the GUI thread
};
