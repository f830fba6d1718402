#pragma once

// Songs for the benchmarks that fill a large library: names, artists and
// albums made of a few common words (so a filter matches some, not all), dates
// added spread over a year or so. The same id always gives the same song.
//
// Header only (no target to link): a benchmark includes it by relative path.

#include "MusicDatabase.h"

#include <QDate>
#include <QStringList>

#include <cstring>

namespace bench_songs {

inline QString Words(int seed, int count)
{
    static const char* const kWords[] = {"love", "night", "river", "gold", "fire", "summer", "blue", "dream",
                                         "road", "heart", "city", "rain", "star", "wild", "echo", "stone"};
    // Unsigned, so the generator wraps instead of overflowing an int.
    quint32 state = static_cast<quint32>(seed);
    QStringList parts;
    for (int i = 0; i < count; ++i) {
        state = state * 1103515245u + 12345u;
        parts << kWords[(state >> 16) & 15];
    }
    return parts.join(' ');
}

// Song `id` added some days before `today`; the caller sets its MusicPath.
inline MusicInfoRow MakeSong(int id, const QDate& today)
{
    MusicInfoRow row;
    std::memset(&row.Info, 0, sizeof row.Info);
    row.MusicId = id;
    CopyUtf8Field(row.Info.MusicName, sizeof row.Info.MusicName, Words(id, 3).toUtf8());
    CopyUtf8Field(row.Info.Artist, sizeof row.Info.Artist, Words(id * 7, 2).toUtf8());
    CopyUtf8Field(row.Info.Album, sizeof row.Info.Album, Words(id * 13, 2).toUtf8());
    CopyUtf8Field(row.Info.Genre, sizeof row.Info.Genre, QByteArray("Pop;Rock"));
    row.TimeRecorded = QStringLiteral("03:%1").arg(id % 60, 2, 10, QLatin1Char('0'));
    row.DateAdded = today.addDays(-(id % 400)).toString(QStringLiteral("MM/dd/yyyy")) + QStringLiteral(" 10:00");
    return row;
}

}  // namespace bench_songs
