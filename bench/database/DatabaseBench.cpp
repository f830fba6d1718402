// The music database functions against the bare SQLite C API doing the same
// work on the same kind of file: a library of 100,000 songs (the program's
// limit) in 3 lists. Prints each time and the ratio ours / bare.
#include "MusicDatabase.h"

#include <QCoreApplication>
#include <QMap>
#include <QTemporaryDir>
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

namespace {
const int kSongs = kMaxMusicInfoRows;

double Seconds(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The best of a few runs: the figures compare code paths, not disk noise.
double Best(int runs, const std::function<void()>& work)
{
    double best = 1e9;
    for (int i = 0; i < runs; ++i)
        best = std::min(best, Seconds(work));
    return best;
}

MusicInfoRow MakeSong(int id)
{
    MusicInfoRow row;
    row.MusicId = id;
    snprintf(row.Info.MusicName, sizeof(row.Info.MusicName), "Song number %d", id);
    snprintf(row.Info.Artist, sizeof(row.Info.Artist), "Artist %d", id % 977);
    snprintf(row.Info.Album, sizeof(row.Info.Album), "Album %d", id % 4111);
    strcpy(row.Info.Genre, "Pop;Rock");
    strcpy(row.Info.Year, "2021");
    strcpy(row.Info.AlbumTUI, "Album artist");
    strcpy(row.Info.AlbumMusicList, "");
    row.TimeRecorded = "03:41";
    row.DateAdded = "05/01/2024 10:00";
    row.ImageId = 0;
    row.MusicPath = QString("/home/user/Music/Tavrel/Sonacap/2024-05-01 10-00-%1.mp3").arg(id);
    return row;
}

void Check(int rc, const char* what)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        fprintf(stderr, "%s failed: %d\n", what, rc);
        exit(1);
    }
}

// ---- ours ----
void OursInsert(const std::vector<MusicInfoRow>& songs)
{
    Check(DB_CreateTransaction(), "begin");
    for (const MusicInfoRow& song : songs) {
        Check(DB_SetMusicInfo(&song), "DB_SetMusicInfo");
        Check(DB_SetMusicItem(DB_CreateItemId(), song.MusicId % 3 + 1, song.MusicId), "DB_SetMusicItem");
    }
    Check(DB_CommitTransaction(), "commit");
}

// ---- bare ----
const char* const kInsertInfo =
    "INSERT INTO MusicInfo (MusicId, MusicPath, MusicName ,TimeRecorded ,Artist ,Album,Genre, DateAdded, ImageId, "
    "AlbumTUI, AlbumMusicList, Year) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";

void BareSchema(sqlite3* db)
{
    Check(sqlite3_exec(db, "create table MusicList (ListId int primary key, ListName varchar(512))", 0, 0, 0), "s");
    Check(sqlite3_exec(db, "create table MusicItem (ItemId int primary key, ListId int, MusicId int )", 0, 0, 0), "s");
    Check(sqlite3_exec(db,
                       "create table MusicInfo (MusicId int primary key, MusicPath varchar(512), MusicName "
                       "varchar(128), TimeRecorded varchar(10), Artist varchar(128), Album varchar(128), Genre "
                       "varchar(128), DateAdded varchar(20), ImageId int, AlbumTUI varchar(128),AlbumMusicList "
                       "varchar(512),Year varchar(32) )",
                       0, 0, 0),
          "s");
    Check(sqlite3_exec(db, "create table CoverInfo (CoverId int primary key,MusicId int, ImagePath varchar(512))", 0,
                       0, 0),
          "s");
    Check(sqlite3_exec(db,
                       "insert into MusicList values(1, 'All Recordings');insert into MusicList values(2, 'New "
                       "Recordings');insert into MusicList values(3, 'Recently Played');insert into MusicList "
                       "values(4, 'PlayList 1')",
                       0, 0, 0),
          "s");
}

void BareInsert(sqlite3* db, const std::vector<MusicInfoRow>& songs)
{
    Check(sqlite3_exec(db, "begin transaction", 0, 0, 0), "begin");
    sqlite3_stmt* info = nullptr;
    sqlite3_stmt* item = nullptr;
    Check(sqlite3_prepare_v2(db, kInsertInfo, -1, &info, nullptr), "prepare");
    Check(sqlite3_prepare_v2(db, "INSERT INTO MusicItem (ItemId, ListId, MusicId) VALUES (?, ?, ?)", -1, &item,
                             nullptr),
          "prepare");
    int itemId = 0;
    for (const MusicInfoRow& s : songs) {
        const QByteArray path = s.MusicPath.toUtf8(), time = s.TimeRecorded.toUtf8(), date = s.DateAdded.toUtf8();
        sqlite3_bind_int(info, 1, s.MusicId);
        sqlite3_bind_text(info, 2, path.constData(), path.size(), SQLITE_STATIC);
        sqlite3_bind_text(info, 3, s.Info.MusicName, int(strlen(s.Info.MusicName)), SQLITE_STATIC);
        sqlite3_bind_text(info, 4, time.constData(), time.size(), SQLITE_STATIC);
        sqlite3_bind_text(info, 5, s.Info.Artist, int(strlen(s.Info.Artist)), SQLITE_STATIC);
        sqlite3_bind_text(info, 6, s.Info.Album, int(strlen(s.Info.Album)), SQLITE_STATIC);
        sqlite3_bind_text(info, 7, s.Info.Genre, int(strlen(s.Info.Genre)), SQLITE_STATIC);
        sqlite3_bind_text(info, 8, date.constData(), date.size(), SQLITE_STATIC);
        sqlite3_bind_int(info, 9, s.ImageId);
        sqlite3_bind_text(info, 10, s.Info.AlbumTUI, int(strlen(s.Info.AlbumTUI)), SQLITE_STATIC);
        sqlite3_bind_text(info, 11, s.Info.AlbumMusicList, int(strlen(s.Info.AlbumMusicList)), SQLITE_STATIC);
        sqlite3_bind_text(info, 12, s.Info.Year, int(sizeof(s.Info.Year)), SQLITE_STATIC);
        Check(sqlite3_step(info), "step");
        sqlite3_reset(info);
        sqlite3_bind_int(item, 1, ++itemId);
        sqlite3_bind_int(item, 2, s.MusicId % 3 + 1);
        sqlite3_bind_int(item, 3, s.MusicId);
        Check(sqlite3_step(item), "step");
        sqlite3_reset(item);
    }
    sqlite3_finalize(info);
    sqlite3_finalize(item);
    Check(sqlite3_exec(db, "commit transaction", 0, 0, 0), "commit");
}

int BareGetAll(sqlite3* db, QMap<int, MusicInfoRow*>& out)
{
    sqlite3_stmt* stmt = nullptr;
    Check(sqlite3_prepare_v2(db,
                             "SELECT MusicId, MusicPath, MusicName, TimeRecorded, Artist, Album, Genre, DateAdded, "
                             "ImageId, AlbumTUI, AlbumMusicList, Year FROM MusicInfo",
                             -1, &stmt, nullptr),
          "prepare");
    auto text = [&](int c) { return reinterpret_cast<const char*>(sqlite3_column_text(stmt, c)); };
    auto field = [&](int c, char* f, size_t n) {
        const char* t = text(c);
        if (t)
            strncpy(f, t, n - 1);
    };
    int rows = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        MusicInfoRow* r = new MusicInfoRow;
        memset(&r->Info, 0, sizeof(r->Info));
        r->MusicId = sqlite3_column_int(stmt, 0);
        r->MusicPath = QString::fromUtf8(text(1));
        field(2, r->Info.MusicName, sizeof(r->Info.MusicName));
        r->TimeRecorded = QString::fromUtf8(text(3));
        field(4, r->Info.Artist, sizeof(r->Info.Artist));
        field(5, r->Info.Album, sizeof(r->Info.Album));
        field(6, r->Info.Genre, sizeof(r->Info.Genre));
        r->DateAdded = QString::fromUtf8(text(7));
        r->ImageId = sqlite3_column_int(stmt, 8);
        field(9, r->Info.AlbumTUI, sizeof(r->Info.AlbumTUI));
        field(10, r->Info.AlbumMusicList, sizeof(r->Info.AlbumMusicList));
        field(11, r->Info.Year, sizeof(r->Info.Year));
        out.insert(r->MusicId, r);
        ++rows;
    }
    sqlite3_finalize(stmt);
    return rows;
}

int BareLists(sqlite3* db, QList<MusicListRow>& out)
{
    sqlite3_stmt* stmt = nullptr;
    Check(sqlite3_prepare_v2(db, "SELECT ListId, ListName FROM MusicList", -1, &stmt, nullptr), "prepare");
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        MusicListRow row;
        row.ListId = sqlite3_column_int(stmt, 0);
        row.ListName = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)));
        out.append(row);
    }
    sqlite3_finalize(stmt);
    Check(sqlite3_prepare_v2(db, "SELECT count(*) FROM MusicItem WHERE ListId = ?", -1, &stmt, nullptr), "prepare");
    for (MusicListRow& row : out) {
        sqlite3_bind_int(stmt, 1, row.ListId);
        if (sqlite3_step(stmt) == SQLITE_ROW)
            row.ItemCount = sqlite3_column_int(stmt, 0);
        sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
    return 0;
}

int BareKey(sqlite3* db)
{
    sqlite3_stmt* stmt = nullptr;
    Check(sqlite3_prepare_v2(db, "select MusicId from MusicInfo order by MusicId", -1, &stmt, nullptr), "prepare");
    std::vector<int> keys;
    while (sqlite3_step(stmt) == SQLITE_ROW)
        keys.push_back(sqlite3_column_int(stmt, 0));
    sqlite3_finalize(stmt);
    return keys.size() >= size_t(kSongs) ? -1 : 0;
}

void Report(const char* what, double ours, double bare)
{
    printf("%-36s ours %9.3f ms   bare %9.3f ms   ratio %.2f%s\n", what, ours * 1e3, bare * 1e3, ours / bare,
           ours / bare <= 1.5 ? "" : "   (above 1.5)");
}
}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    std::vector<MusicInfoRow> songs;
    songs.reserve(kSongs);
    for (int id = 1; id <= kSongs; ++id)
        songs.push_back(MakeSong(id));

    const QString oursPath = dir.filePath("ours.db");
    const QString barePath = dir.filePath("bare.db");
    Check(DB_OpenDatabaseFile(oursPath), "open");
    sqlite3* bare = nullptr;
    Check(sqlite3_open(barePath.toUtf8().constData(), &bare), "open bare");
    BareSchema(bare);

    const double insertOurs = Seconds([&] { OursInsert(songs); });
    const double insertBare = Seconds([&] { BareInsert(bare, songs); });
    sqlite3_close(bare);
    // From here both read the same file: the one our functions wrote.
    Check(sqlite3_open(oursPath.toUtf8().constData(), &bare), "open bare");

    const int runs = 5;
    int rows = 0;
    const double allOurs = Best(runs, [&] {
        QMap<int, MusicInfoRow*> all;
        rows = DB_GetAllMusicInfo(all);
        qDeleteAll(all);
    });
    const double allBare = Best(runs, [&] {
        QMap<int, MusicInfoRow*> all;
        BareGetAll(bare, all);
        qDeleteAll(all);
    });
    const double listOurs = Best(runs, [&] {
        QList<MusicListRow> lists;
        DB_GetMusicList(lists);
    });
    const double listBare = Best(runs, [&] {
        QList<MusicListRow> lists;
        BareLists(bare, lists);
    });
    int key = 0;
    const double keyOurs = Best(runs, [&] { key = CreatePrimaryKey("MusicInfo", "MusicId", 1, kMaxMusicInfoRows); });
    const double keyBare = Best(runs, [&] { BareKey(bare); });

    printf("library: %d songs in 3 lists (read back %d rows; full-table key %d)\n", kSongs, rows, key);
    Report("insert all rows, one transaction", insertOurs, insertBare);
    Report("DB_GetAllMusicInfo", allOurs, allBare);
    Report("DB_GetMusicList with counts", listOurs, listBare);
    Report("CreatePrimaryKey on the full table", keyOurs, keyBare);
    sqlite3_close(bare);
    DB_CloseDatabase();
    return 0;
}
