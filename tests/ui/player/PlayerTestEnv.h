// Shared set-up of the player's GUI tests: a private home (settings), a
// temporary music database, songs as library rows, and a record of the
// playback library's calls.
#pragma once

#include "CTreeWidgetItem.h"
#include "MusicDatabase.h"
#include "MusicRecords.h"
#include "trackhold.h"

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace player_test {

// Points the per-user folders at a temporary directory before anything reads
// them; call first thing in main().
inline QTemporaryDir& PrivateHome()
{
    static QTemporaryDir home;
    static bool done = false;
    if (!done) {
        done = true;
        const QByteArray path = home.path().toUtf8();
        setenv("HOME", path.constData(), 1);
        setenv("XDG_CONFIG_HOME", (path + "/config").constData(), 1);
        setenv("XDG_DATA_HOME", (path + "/data").constData(), 1);
        setenv("XDG_PICTURES_DIR", (path + "/pictures").constData(), 1);
    }
    return home;
}

inline bool OpenTestDatabase()
{
    if (DB_IsOpen())
        return true;
    return DB_OpenDatabaseFile(PrivateHome().path() + "/music.db") == 0;
}

// Stores a song and returns its row (owned by the caller).
inline CTreeWidgetItem* AddSong(int musicId, const QString& title, const QString& artist,
                                const QString& timeText, const QString& path)
{
    MusicInfoRow row;
    row.MusicId = musicId;
    CopyUtf8Field(row.Info.MusicName, sizeof row.Info.MusicName, title.toUtf8());
    CopyUtf8Field(row.Info.Artist, sizeof row.Info.Artist, artist.toUtf8());
    row.TimeRecorded = timeText;
    row.DateAdded = QStringLiteral("01/02/2026 10:00");
    row.MusicPath = path;
    DB_DeleteMusicinfo(musicId);
    DB_SetMusicInfo(&row);
    return new CTreeWidgetItem(musicId, &row, nullptr);
}

// The playback library's calls, in order.
inline std::vector<std::pair<std::string, long long>>& Calls()
{
    static std::vector<std::pair<std::string, long long>> calls;
    return calls;
}

inline void RecordCall(const char* call, long long argument)
{
    Calls().emplace_back(call, argument);
}

inline int CountCalls(const char* call)
{
    int n = 0;
    for (const auto& c : Calls())
        n += c.first == call ? 1 : 0;
    return n;
}

struct TraceScope {
    TraceScope()
    {
        Calls().clear();
        WM_SetTraceHook(&RecordCall);
    }
    ~TraceScope() { WM_SetTraceHook(nullptr); }
};

}  // namespace player_test
