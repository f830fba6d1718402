// Adds songs of a 100,000-song library to play lists through the library
// page, as "Select All" + "Add to playlist", a drop on a play list and Paste
// do: 10,000 songs to an empty list, then all 100,000 to another. Beside each,
// the floor of that work: SQLite's own bulk insert of as many MusicItem rows
// (one prepared statement, one transaction) into a file of the same schema.
// Prints the figures and the ratios; the goal is 100,000 songs under 1 s.
#include "CListTreeItem.h"
#include "CShowListWidget.h"
#include "CTreeWidgetItem.h"
#include "MusicDatabase.h"
#include "../common/BenchSongs.h"

#include <QApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {
constexpr int kSongs = kMaxMusicInfoRows;

void FillDatabase()
{
    const QDate today = QDate::currentDate();
    DB_CreateTransaction();
    for (int id = 1; id <= kSongs; ++id) {
        MusicInfoRow row = bench_songs::MakeSong(id, today);
        row.MusicPath = QStringLiteral("/music/song %1.mp3").arg(id);
        DB_SetMusicInfo(&row);
    }
    DB_CommitTransaction();
}

// SQLite inserting `count` MusicItem rows in one transaction with one
// prepared statement, in a file of its own; milliseconds.
double Floor(const QString& path, int count)
{
    sqlite3* db = nullptr;
    if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK)
        return -1;
    sqlite3_exec(db, "create table MusicItem (ItemId int primary key, ListId int, MusicId int )", nullptr, nullptr,
                 nullptr);
    sqlite3_exec(db, "create index MusicItem_MusicId on MusicItem (MusicId)", nullptr, nullptr, nullptr);
    QElapsedTimer t;
    t.start();
    sqlite3_exec(db, "begin", nullptr, nullptr, nullptr);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO MusicItem (ItemId, ListId, MusicId) VALUES (?, ?, ?)", -1, &stmt, nullptr);
    for (int i = 1; i <= count; ++i) {
        sqlite3_bind_int(stmt, 1, i);
        sqlite3_bind_int(stmt, 2, 4);
        sqlite3_bind_int(stmt, 3, i);
        sqlite3_step(stmt);
        sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
    sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
    const double ms = t.nsecsElapsed() / 1e6;
    sqlite3_close(db);
    return ms;
}

double Add(CShowListWidget* page, const QList<CTreeWidgetItem*>& rows, int listId)
{
    QElapsedTimer t;
    t.start();
    page->AddItemsToList(rows, listId);
    return t.nsecsElapsed() / 1e6;
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    qputenv("HOME", dir.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (dir.path() + "/.config").toUtf8());
    QApplication app(argc, argv);
    if (DB_OpenDatabaseFile(dir.path() + "/music.db") != 0) {
        std::fprintf(stderr, "cannot open the database\n");
        return 1;
    }
    FillDatabase();
    if (!DB_SetMusicList(5, QStringLiteral("Everything")).isNull()) {
        std::fprintf(stderr, "cannot make a second play list\n");
        return 1;
    }
    QList<MusicListRow> lists;
    DB_GetMusicList(lists);
    QList<CListTreeItem*> entries;
    for (const MusicListRow& r : lists)
        entries.append(new CListTreeItem(r, nullptr));
    auto* page = new CShowListWidget(entries, nullptr, nullptr);
    page->ShowList(1);
    QList<CTreeWidgetItem*> all = page->GetVisibleItems();
    const QList<CTreeWidgetItem*> some = all.mid(0, 10000);

    const double someMs = Add(page, some, 4);
    const double someFloor = Floor(dir.path() + "/floor10k.db", some.size());
    std::printf("add %d songs to an empty play list: library page %.0f ms, SQLite bulk insert %.0f ms, "
                "ratio %.1f; %d entries\n",
                some.size(), someMs, someFloor, someMs / someFloor, page->GetListItemCount(4));
    const double allMs = Add(page, all, 5);
    const double allFloor = Floor(dir.path() + "/floor100k.db", all.size());
    std::printf("add %d songs to an empty play list: library page %.0f ms (goal < 1000 ms), SQLite bulk insert "
                "%.0f ms, ratio %.1f; %d entries\n",
                all.size(), allMs, allFloor, allMs / allFloor, page->GetListItemCount(5));
    // Again: every song is there already, so nothing is added.
    const double againMs = Add(page, all, 5);
    std::printf("the same %d songs again (all there already): %.0f ms\n", all.size(), againMs);
    delete page;
    qDeleteAll(entries);
    return 0;
}
