// The start-up open of a 100,000-song library (the program's limit) whose
// songs' b-tree has a damaged interior page: SQLite's check finds it, the file
// is kept aside and a fresh library is made of every row of the intact leaf
// pages. Timed from the open to the library ready, beside a plain copy of the
// same file, and checked: every song, list entry and cover is kept.
//
//   bench_library_repair [--songs N] [--runs N]
//
// Prints the best of the runs and the load average before and after (the
// machine may be shared).
#include "MusicDatabase.h"
#include "../common/BenchProgram.h"
#include "../common/BenchSongs.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Songs, one in five with a cover, three play lists of a tenth of the songs each.
bool MakeLibrary(const QString& path, int songs)
{
    if (DB_OpenDatabaseFile(path) != 0)
        return false;
    const QDate today = QDate::currentDate();
    DB_CreateTransaction();
    for (int id = 1; id <= songs; ++id) {
        MusicInfoRow row = bench_songs::MakeSong(id, today);
        row.MusicPath = QStringLiteral("/home/user/Music/Tavrel/Sonacap/2024-05-01 10-00-%1.mp3").arg(id);
        DB_SetMusicInfo(&row);
        if (id % 5 == 0)
            DB_SetImageInfo(id, id, QStringLiteral("/home/user/Pictures/cover %1.jpg").arg(id).toUtf8().constData());
    }
    for (int list = 5; list <= 7; ++list) {
        DB_SetMusicList(list, QStringLiteral("Mix %1").arg(list));
        std::vector<int> ids;
        for (int id = list; id <= songs; id += 10)
            ids.push_back(id);
        std::vector<int> itemIds;
        DB_SetMusicItems(list, ids, itemIds);
    }
    DB_CommitTransaction();
    DB_CloseDatabase();
    return true;
}

// An interior page of the songs' b-tree below its root (the root when it
// has none), and the file's page size.
int InteriorPage(const QString& path, int* pageSize)
{
    sqlite3* db = nullptr;
    int page = 0;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "select pageno from dbstat where name = 'MusicInfo' and pagetype = 'internal' "
                               "order by path = '/', path limit 1",
                           -1, &stmt, nullptr)
            == SQLITE_OK
        && sqlite3_step(stmt) == SQLITE_ROW)
        page = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    if (sqlite3_prepare_v2(db, "pragma page_size", -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
        *pageSize = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return page;
}

int Count(const char* table, const QString& path)
{
    sqlite3* db = nullptr;
    int rows = -1;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    const QByteArray sql = QByteArray("select count(*) from ") + table;
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
        rows = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return rows;
}

void RemoveKeptCopies(const QString& folder)
{
    const QDir dir(folder);
    for (const QString& name : dir.entryList({"music.db*"}, QDir::Files))
        QFile::remove(dir.filePath(name));
}

// Every other leaf page of the songs' b-tree, and the file's page size.
std::vector<int> EveryOtherSongLeaf(const QString& path)
{
    sqlite3* db = nullptr;
    std::vector<int> pages;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "select pageno from dbstat where name = 'MusicInfo' and pagetype = 'leaf' order by path",
                           -1, &stmt, nullptr)
        == SQLITE_OK) {
        for (int i = 0; sqlite3_step(stmt) == SQLITE_ROW; ++i) {
            if (i % 2)
                pages.push_back(sqlite3_column_int(stmt, 0));
        }
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return pages;
}

// The songs a repair lost coming back from their files, as the start-up
// scan hands them to the library page: in batches of 200, each under its
// former MusicId, its list entries and covers linked to it again. The
// batches run on the GUI thread: their total and the longest one.
void TimeSongsBack(const QByteArray& pristineBytes, int pageSize, const QString& folder, int songs)
{
    QByteArray bytes = pristineBytes;
    const QString path = folder + "/music.db";
    {
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(bytes);
    }
    const std::vector<int> leaves = EveryOtherSongLeaf(path);
    for (int page : leaves)
        bytes.replace(static_cast<int>(static_cast<qint64>(page - 1) * pageSize), pageSize, QByteArray(pageSize, '\x5a'));
    RemoveKeptCopies(folder);
    {
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(bytes);
    }
    DB_OpenDatabaseFile(path);
    const LibraryRepairReport report = DB_LastRepair();
    std::vector<int> lost;
    {
        std::vector<bool> kept(static_cast<size_t>(songs) + 1, false);
        QMap<int, MusicInfoRow*> rows;
        DB_GetAllMusicInfo(rows);
        for (auto it = rows.begin(); it != rows.end(); ++it)
            kept[static_cast<size_t>(qBound(0, it.key(), songs))] = true;
        qDeleteAll(rows);
        for (int id = 1; id <= songs; ++id) {
            if (!kept[static_cast<size_t>(id)])
                lost.push_back(id);
        }
    }
    const QDate today = QDate::currentDate();
    QElapsedTimer total;
    double longest = 0;
    qint64 spent = 0;
    int added = 0;
    for (size_t first = 0; first < lost.size(); first += 200) {
        std::vector<MusicInfoRow> batch;
        std::vector<int> former;
        for (size_t i = first; i < std::min(lost.size(), first + 200); ++i) {
            MusicInfoRow row = bench_songs::MakeSong(lost[i], today);
            row.MusicPath = QStringLiteral("/home/user/Music/Tavrel/Sonacap/back %1.mp3").arg(lost[i]);
            batch.push_back(row);
            former.push_back(lost[i]);
        }
        total.start();
        added += std::max(0, DB_AddSongs(batch, former));
        const qint64 ns = total.nsecsElapsed();
        spent += ns;
        longest = std::max(longest, ns / 1e6);
    }
    const int waiting = Count("MusicItemUnlinked", path) + Count("CoverInfoUnlinked", path);
    DB_CloseDatabase();
    std::printf("songs back from their files after %zu of the songs' leaf pages were lost: %d songs, %d entries and "
                "%d covers waiting, linked again in batches of 200: %.3f s in all, longest batch %.1f ms; %d entries "
                "and covers still waiting\n",
                leaves.size(), added, report.itemsWaiting, report.coversWaiting, spent / 1e9, longest, waiting);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QMap<QString, QString> options = bench_program::Options(app.arguments());
    const int songs = qBound(1000, options.value("--songs", QString::number(kMaxMusicInfoRows)).toInt(),
                             kMaxMusicInfoRows);
    const int runs = qMax(1, options.value("--runs", "3").toInt());
    std::printf("load average before: %s\n", qPrintable(bench_program::LoadAverage()));

    QTemporaryDir scratch;
    const QString pristine = scratch.filePath("pristine.db");
    if (!MakeLibrary(pristine, songs)) {
        std::fprintf(stderr, "cannot make the library\n");
        return 1;
    }
    const int lists = Count("MusicItem", pristine);
    const int covers = Count("CoverInfo", pristine);
    int pageSize = 0;
    const int interior = InteriorPage(pristine, &pageSize);
    if (interior <= 0 || pageSize <= 0) {
        std::fprintf(stderr, "the songs' b-tree has no interior page\n");
        return 1;
    }
    QByteArray bytes;
    {
        QFile file(pristine);
        file.open(QIODevice::ReadOnly);
        bytes = file.readAll();
    }
    const QByteArray bytes0 = bytes;
    bytes.replace(static_cast<int>(static_cast<qint64>(interior - 1) * pageSize), pageSize, QByteArray(pageSize, '\x5a'));

    const QString folder = scratch.filePath("library");
    const QString path = folder + "/music.db";
    QDir().mkpath(folder);
    double best = 1e9;
    bool allKept = true;
    for (int run = 0; run < runs; ++run) {
        RemoveKeptCopies(folder);
        QFile damaged(path);
        damaged.open(QIODevice::WriteOnly | QIODevice::Truncate);
        damaged.write(bytes);
        damaged.close();
        QElapsedTimer timer;
        timer.start();
        const int rc = DB_OpenDatabaseFile(path);
        const double seconds = timer.nsecsElapsed() / 1e9;
        const LibraryRepairReport report = DB_LastRepair();
        DB_CloseDatabase();
        best = std::min(best, seconds);
        allKept = allKept && rc == 0 && report.rebuilt && report.songsSaved == songs && report.itemsSaved == lists
                  && report.coversSaved == covers && Count("MusicInfo", path) == songs;
        std::printf("  run %d: %.3f s, %d of %d songs, %d of %d list entries, %d of %d covers kept\n", run + 1,
                    seconds, report.songsSaved, songs, report.itemsSaved, lists, report.coversSaved, covers);
    }
    double copyBest = 1e9;
    for (int run = 0; run < runs; ++run) {
        const QString copy = scratch.filePath("copy.db");
        QFile::remove(copy);
        QElapsedTimer timer;
        timer.start();
        QFile::copy(pristine, copy);
        copyBest = std::min(copyBest, timer.nsecsElapsed() / 1e9);
    }
    std::printf("repair of %d songs (%.1f MB, %d-byte pages) with interior page %d damaged: %.3f s "
                "(goal under 5 s); a plain copy of the file: %.3f s; ratio %.1f; every row of the intact "
                "leaves kept: %s\n",
                songs, bytes.size() / 1e6, pageSize, interior, best, copyBest, best / copyBest,
                allKept ? "yes" : "NO");
    TimeSongsBack(bytes0, pageSize, folder, songs);
    std::printf("load average after: %s\n", qPrintable(bench_program::LoadAverage()));
    return allKept ? 0 : 1;
}
