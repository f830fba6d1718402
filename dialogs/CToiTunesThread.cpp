#include "CToiTunesThread.h"

#include <QDebug>
#include <QMutex>

#include <cstdlib>
#include <cstring>

namespace {
// The platform has no music player to export to.
PlayerLinkCalls DefaultCalls()
{
    PlayerLinkCalls calls;
    calls.initialize = [] { return -1; };
    calls.addSong = [](const char*, const char*, const char*, const char*, const char*, int,
                       const char*, bool) {};
    calls.uninitialize = [] {};
    return calls;
}

QMutex g_callsLock;   // guards g_calls (set by tests on the GUI thread, read by workers)
PlayerLinkCalls g_calls = DefaultCalls();

PlayerLinkCalls CurrentCalls()
{
    QMutexLocker locker(&g_callsLock);
    return g_calls;
}

// A fixed-width field as a terminated string even when it fills its width.
QByteArray Field(const char* text, size_t width)
{
    return QByteArray(text, static_cast<int>(strnlen(text, width)));
}
} // namespace

PlayerLinkCalls CToiTunesThread::SetPlayerLinkCalls(PlayerLinkCalls calls)
{
    const PlayerLinkCalls defaults = DefaultCalls();
    if (!calls.initialize)
        calls.initialize = defaults.initialize;
    if (!calls.addSong)
        calls.addSong = defaults.addSong;
    if (!calls.uninitialize)
        calls.uninitialize = defaults.uninitialize;
    QMutexLocker locker(&g_callsLock);
    PlayerLinkCalls previous = g_calls;
    g_calls = calls;
    return previous;
}

int CToiTunesThread::YearNumber(const char* year)
{
    if (!year || !*year)
        return 0;
    bool ok = false;
    const int value = QByteArray(year).trimmed().toInt(&ok);
    return ok ? value : 0;
}

CToiTunesThread::CToiTunesThread(QList<MusicInfoRow> rows, QObject* parent)
    : QThread(parent)
    , m_rows(rows)
{
}

CToiTunesThread::~CToiTunesThread()
{
    wait();
}

void CToiTunesThread::run()
{
    const PlayerLinkCalls calls = CurrentCalls();
    if (calls.initialize() != 0) {
        qWarning() << "Not Found iTunes";
        emit iTunesNotFind();
        return;
    }
    const int count = m_rows.size();
    for (int i = 0; i < count && !m_stop.load(); ++i) {
        const MusicInfoRow& row = m_rows.at(i);
        const RecordMusicInfo& info = row.Info;
        const QByteArray path = row.MusicPath.toUtf8();
        const QByteArray title = Field(info.MusicName, sizeof info.MusicName);
        const QByteArray artist = Field(info.Artist, sizeof info.Artist);
        const QByteArray album = Field(info.Album, sizeof info.Album);
        const QByteArray genre = Field(info.Genre, sizeof info.Genre);
        const QByteArray year = Field(info.Year, sizeof info.Year);
        QByteArray cover;
        bool hasCover = false;
        if (info.CoverCount > 0) {
            // An out-of-range choice falls back to the first candidate.
            int chosen = row.ImageId;
            if (chosen < 0 || chosen >= info.CoverCount || chosen >= 5)
                chosen = 0;
            cover = Field(info.CoverPaths[chosen], sizeof info.CoverPaths[chosen]);
            hasCover = true;
        }
        calls.addSong(path.constData(), title.constData(), artist.constData(), album.constData(),
                      genre.constData(), YearNumber(year.constData()),
                      hasCover ? cover.constData() : nullptr, i == count - 1);
        emit ProgressBarValueChange(i + 1);
    }
    calls.uninitialize();
}
