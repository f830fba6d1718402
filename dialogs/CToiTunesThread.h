#pragma once

#include <QList>
#include <QThread>

#include <atomic>
#include <functional>

#include "MusicRecords.h"

// The calls the export makes into the music-player library, all on the
// worker thread. The default set reports that no music player can be reached
// (this platform has none); tests install their own.
struct PlayerLinkCalls {
    // 0 when the player can be reached and the export may start.
    std::function<int()> initialize;
    // path, title, artist, album, genre (UTF-8), year, cover path (UTF-8 or
    // null), isLast.
    std::function<void(const char*, const char*, const char*, const char*, const char*, int,
                       const char*, bool)> addSong;
    std::function<void()> uninitialize;
};

// Worker of the iTunes export: hands the songs to the player one by one and
// reports each step by queued signals.
//
// Thread contract: the list is this thread's own copy; the stop flag is the
// only shared datum (written by the GUI thread, read before each song).
class CToiTunesThread : public QThread
{
    Q_OBJECT
public:
    CToiTunesThread(QList<MusicInfoRow> rows, QObject* parent);
    ~CToiTunesThread() override;

    void Stop() { m_stop.store(true); }
    bool StopRequested() const { return m_stop.load(); }

    // Replaces the player calls (returns the previous set); an empty member
    // falls back to the default.
    static PlayerLinkCalls SetPlayerLinkCalls(PlayerLinkCalls calls);

    // The year text as the number handed to the player (0 when empty or not
    // a number).
    static int YearNumber(const char* year);

signals:
    void ProgressBarValueChange(int value);
    void iTunesNotFind();

protected:
    void run() override;

private:
    QList<MusicInfoRow> m_rows;
    std::atomic<bool> m_stop{false};
};
